#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <QTimer>

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
class PutThread : public QThread {
    Q_OBJECT

public:
    explicit PutThread(QObject* pParent = nullptr);
    ~PutThread() override;

    /// Shows @p strName in the "Now Transferring:" field. Any thread; never waits.
    void ShowTransferName(TarnlowDlg* pDlg, const QString& strName);
    /// Counts one more item done of @p nTotal and shows the new percentage. Any
    /// thread; never waits.
    void StepProgress(TarnlowDlg* pDlg, int nTotal);
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
    int m_nTotal = 0;
    bool m_bQueued = false; // a call to the window's thread is on its way
    // Window's thread only:
    QTimer m_showTimer;
    QElapsedTimer m_sinceShown;
    TarnlowDlg* m_pShowFor = nullptr;
};
