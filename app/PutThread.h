#pragma once

#include "app/FileShares.h"

#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <QTimer>

#include <cstdint>
#include <mutex>

class TarnlowDlg;

/// An idle helper thread that holds three of the progress operations. The
/// operations act only on the window; the thread itself just waits until the
/// window stops it.
///
/// A transfer's worker never waits for the window to show its progress: it
/// leaves the latest name and count here, and the window shows them at its own
/// pace (at most about 25 times a second, at once when it has been quiet), so
/// that painting never holds the transfer. Whatever waits for the window
/// afterwards (a failure's message box, the completion dialog) shows the latest
/// state first, because it comes after the last report.
///
/// The bar divides each item into UnitsPerItem() units and moves with the bytes
/// of the files in work as well (each counts by the share of its own size that
/// has moved), so that a large file does not sit at one value until it ends.
/// With no file in work it stands exactly at the whole count, and the
/// percentage, computed from the bar's position, reads what PercentText()
/// gives for the items done.
class PutThread : public QThread {
    Q_OBJECT

public:
    explicit PutThread(QObject* pParent = nullptr);
    ~PutThread() override;

    /// Shows @p strName in the "Now Transferring:" field. Any thread; never waits.
    void ShowTransferName(TarnlowDlg* pDlg, const QString& strName);
    /// Counts one more item done of @p nTotal and shows the new percentage; the
    /// oldest file in work, if any, is that item. Any thread; never waits.
    void StepProgress(TarnlowDlg* pDlg, int nTotal);
    /// A file of the running transfer begins: it is in work until an item is
    /// counted done for it. Any thread; never waits.
    void FileBegun();
    /// The file begun last has moved @p nBytes of @p nSize (-1: not known);
    /// shows it when the bar moves. Any thread; never waits, and cheap enough
    /// to be told of every piece of a file sent or received.
    void FileMoved(TarnlowDlg* pDlg, int nTotal, std::int64_t nBytes, std::int64_t nSize);
    /// Empties the bar and shows "0%". Window's thread.
    void ClearProgress(TarnlowDlg* pDlg);
    /// Starts the count of a new transfer at 0. Window's thread, before its worker starts.
    void ResetCount();
    /// Shows the latest name and count now. Window's thread.
    void ShowLatest(TarnlowDlg* pDlg);

    /// Ends the thread's wait and joins it.
    void Stop();

    /// The percentage text for @p nDone of @p nTotal items, rounded half away from zero.
    static QString PercentText(int nDone, int nTotal);
    /// How many units of the bar make one item of a transfer of @p nTotal
    /// items: 1,000, or fewer where the whole bar would not fit an int.
    static int UnitsPerItem(int nTotal);

protected:
    void run() override;

private:
    /// Has the latest state shown soon: at once on the window's thread, else
    /// by one queued call at a time.
    void ShowSoon(TarnlowDlg* pDlg);
    /// Window's thread: shows the latest state now, or when the pace allows.
    void ScheduleShow(TarnlowDlg* pDlg);

    std::mutex m_mutex;
    QString m_strName; // the latest name in work
    int m_nDone = 0; // items done of the running transfer
    FileShares m_files; // its files in work
    int m_nPart = 0; // their shares in units of the bar, as last computed
    QElapsedTimer m_sinceBytesShown; // since the bytes alone last asked to be shown
    int m_nTotal = 0;
    bool m_bQueued = false; // a call to the window's thread is on its way
    // Window's thread only:
    QTimer m_showTimer;
    QElapsedTimer m_sinceShown;
    TarnlowDlg* m_pShowFor = nullptr;
};
