#include "app/PutThread.h"

#include "app/TarnlowDlg.h"

#include <QProgressBar>

#include <algorithm>
#include <limits>

namespace {

/// The least time between two showings of a running transfer's progress.
constexpr int kShowEveryMs = 40;
/// The least time between two showings asked for by the bytes of a file alone:
/// the bar still moves smoothly, and a long transfer is not repainted (by the
/// window's thread and the X server, on processors the transfer needs) more
/// than it must be.
constexpr int kShowBytesEveryMs = 100;
/// Units of the bar per item: fine enough for a bar many hundred pixels wide.
constexpr int kMaxUnitsPerItem = 1000;

} // namespace

PutThread::PutThread(QObject* pParent)
    : QThread(pParent)
{
    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, [this] {
        if (m_pShowFor)
            ShowLatest(m_pShowFor);
    });
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
    m_showTimer.stop();
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

int PutThread::UnitsPerItem(int nTotal)
{
    return nTotal > 0 ? std::clamp(std::numeric_limits<int>::max() / nTotal, 1, kMaxUnitsPerItem) : kMaxUnitsPerItem;
}

void PutThread::ShowTransferName(TarnlowDlg* pDlg, const QString& strName)
{
    {
        std::lock_guard lock(m_mutex);
        m_strName = strName;
    }
    ShowSoon(pDlg);
}

void PutThread::StepProgress(TarnlowDlg* pDlg, int nTotal)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_nDone;
        m_files.Stepped();
        m_nPart = m_files.Units(UnitsPerItem(nTotal));
        m_nTotal = nTotal;
    }
    ShowSoon(pDlg);
}

void PutThread::FileBegun()
{
    std::lock_guard lock(m_mutex);
    m_files.Begun();
}

void PutThread::FileMoved(TarnlowDlg* pDlg, int nTotal, std::int64_t nBytes, std::int64_t nSize)
{
    {
        std::lock_guard lock(m_mutex);
        m_files.Moved(nBytes, nSize);
        const int nPart = m_files.Units(UnitsPerItem(nTotal));
        m_nTotal = nTotal;
        // Most pieces of a large file do not move the bar by a unit.
        if (nPart == m_nPart)
            return;
        m_nPart = nPart;
        // Shown later with the next showing; on the window's thread at once.
        if (m_sinceBytesShown.isValid() && m_sinceBytesShown.elapsed() < kShowBytesEveryMs
            && !pDlg->Gate().IsUiThread())
            return;
        m_sinceBytesShown.start();
    }
    ShowSoon(pDlg);
}

void PutThread::ResetCount()
{
    std::lock_guard lock(m_mutex);
    m_nDone = 0;
    m_files.Clear();
    m_nPart = 0;
}

void PutThread::ShowSoon(TarnlowDlg* pDlg)
{
    if (pDlg->Gate().IsUiThread()) {
        ShowLatest(pDlg);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (std::exchange(m_bQueued, true))
            return; // the call on its way shows this too
    }
    // Queued, not waited for; dropped with the window if it goes first.
    QMetaObject::invokeMethod(
        pDlg, [this, pDlg] { ScheduleShow(pDlg); }, Qt::QueuedConnection);
}

void PutThread::ScheduleShow(TarnlowDlg* pDlg)
{
    m_pShowFor = pDlg;
    if (m_showTimer.isActive())
        return;
    const qint64 nSince = m_sinceShown.isValid() ? m_sinceShown.elapsed() : kShowEveryMs;
    if (nSince >= kShowEveryMs)
        ShowLatest(pDlg);
    else
        m_showTimer.start(int(kShowEveryMs - nSince));
}

void PutThread::ShowLatest(TarnlowDlg* pDlg)
{
    QString strName;
    int nDone = 0;
    int nPart = 0;
    int nTotal = 0;
    {
        std::lock_guard lock(m_mutex);
        m_bQueued = false;
        strName = m_strName;
        nDone = m_nDone;
        nPart = m_nPart;
        nTotal = m_nTotal;
    }
    m_showTimer.stop();
    m_sinceShown.start();
    QProgressBar* pBar = pDlg->m_progress;
    pDlg->m_strTransferName = strName;
    if (nDone > 0 || nPart > 0) {
        // UnitsPerItem() keeps the whole bar within an int.
        const int nUnits = UnitsPerItem(nTotal);
        pBar->setValue(int(std::min<qint64>(qint64(nDone) * nUnits + nPart, pBar->maximum())));
        pDlg->m_strPercent = PercentText(pBar->value(), nTotal * nUnits);
    }
    pDlg->UpdateFieldsFromData();
}

void PutThread::ClearProgress(TarnlowDlg* pDlg)
{
    {
        std::lock_guard lock(m_mutex);
        m_nDone = 0;
        m_files.Clear();
        m_nPart = 0;
        m_bQueued = false;
    }
    m_showTimer.stop();
    pDlg->m_progress->setValue(0);
    pDlg->m_strPercent = QStringLiteral("0%");
    pDlg->UpdateFieldsFromData();
}
