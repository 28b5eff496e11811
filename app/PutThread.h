#pragma once

#include <QString>
#include <QThread>

class TarnlowDlg;

/// An idle helper thread that holds three of the progress operations. The
/// operations act only on the window, on the thread that calls them (a transfer's
/// worker); the thread itself just waits until the window stops it.
class PutThread : public QThread {
    Q_OBJECT

public:
    explicit PutThread(QObject* pParent = nullptr);
    ~PutThread() override;

    /// Shows @p strName in the "Now Transferring:" field.
    void ShowTransferName(TarnlowDlg* pDlg, const QString& strName);
    /// Counts one more item done of @p nTotal and shows the new percentage.
    void StepProgress(TarnlowDlg* pDlg, int nTotal);
    /// Empties the bar and shows "0%".
    void ClearProgress(TarnlowDlg* pDlg);

    /// Ends the thread's wait and joins it.
    void Stop();

    /// The percentage text for @p nDone of @p nTotal items, rounded half away from zero.
    static QString PercentText(int nDone, int nTotal);

protected:
    void run() override;
};
