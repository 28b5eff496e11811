#include "app/PutThread.h"

#include "app/TarnlowDlg.h"

#include <QProgressBar>

PutThread::PutThread(QObject* pParent)
    : QThread(pParent)
{
}

PutThread::~PutThread()
{
    Stop();
}

void PutThread::run()
{
    exec();
}

void PutThread::Stop()
{
    if (isRunning()) {
        quit();
        wait();
    }
}

QString PutThread::PercentText(int nDone, int nTotal)
{
    if (nTotal <= 0)
        return QStringLiteral("0%");
    // Halfway cases go away from zero: 1 of 8 is 12.5, shown as 13. Whole numbers
    // keep every half exact; in doubles 23 of 40 comes out just below 57.5.
    const qint64 nPercent = (qint64(nDone) * 200 + nTotal) / (qint64(nTotal) * 2);
    return QString::number(nPercent) + QLatin1Char('%');
}

void PutThread::ShowTransferName(TarnlowDlg* pDlg, const QString& strName)
{
    pDlg->RunOnUi([&] {
        pDlg->m_strTransferName = strName;
        pDlg->UpdateFieldsFromData();
    });
}

void PutThread::StepProgress(TarnlowDlg* pDlg, int nTotal)
{
    pDlg->RunOnUi([&] {
        QProgressBar* pBar = pDlg->m_progress;
        pBar->setValue(std::min(pBar->value() + 1, pBar->maximum()));
        pDlg->m_strPercent = PercentText(pBar->value(), nTotal);
        pDlg->UpdateFieldsFromData();
    });
}

void PutThread::ClearProgress(TarnlowDlg* pDlg)
{
    pDlg->RunOnUi([&] {
        pDlg->m_progress->setValue(0);
        pDlg->m_strPercent = QStringLiteral("0%");
        pDlg->UpdateFieldsFromData();
    });
}
