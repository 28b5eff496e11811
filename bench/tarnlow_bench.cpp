// The program's side of the benchmark (bench/run.sh). Transfers run through the
// core's walks exactly as the window's workers run them: one connection per
// operation, every report carried to a main thread by the window's own
// WorkerGate (a blocking queued call), then a second connection that lists the
// site again. The listing, and the stalls of the window's thread, go through
// the real window under the offscreen platform. The window's own scenarios
// (fetch-window, app) run the real window on whatever platform the caller
// chose (the benchmark uses Xvfb) and stop their clocks when the window runs
// its completion dialog.
//
// Usage:
//   tarnlow_bench upload   HOST USER PASSWORD DIRECTORY LOCAL_PATH...
//   tarnlow_bench download HOST USER PASSWORD DIRECTORY LOCAL_FOLDER NAMES_FILE
//   tarnlow_bench list     HOST USER PASSWORD DIRECTORY
//   tarnlow_bench window   HOST USER PASSWORD WORK_DIRECTORY LIST_DIRECTORY BIG_FILE TREE_FOLDER LOCAL_FOLDER
//   tarnlow_bench site     HOST USER PASSWORD DIRECTORY
//   tarnlow_bench fetch-window HOST USER PASSWORD DIRECTORY LOCAL_FOLDER NAMES_FILE
//   tarnlow_bench app      PATH...
//   tarnlow_bench list-app ROWS
//
// site stores the bench's site as the first profile of the settings file, as
// the user would have left it; app is then the program itself started with
// PATH... on its command line (TarnlowApp), timed from the process's start
// (TARNLOW_BENCH_T0, the caller's $EPOCHREALTIME just before starting it) to
// the completion dialog; list-app is the program started without paths, which
// lists the stored site's folder at once, timed from the process's start until
// its list of ROWS rows is filled and painted. With TARNLOW_BENCH_REPORTS=direct the upload and
// download modes record progress on the worker without a hop to the main
// thread, which shows what the hops cost. With TARNLOW_BENCH_PERF_CTL=CTL,ACK
// (the FIFOs of `perf record --control`) the window's scenarios turn the
// profiler on for the timed part only.
//
// Each prints one line of figures ("key=value ...") and exits with 0 only when
// the operation completed without a single failure.

#include "app/DialogHost.h"
#include "app/FileShares.h"
#include "app/PutThread.h"
#include "app/TarnlowApp.h"
#include "app/TarnlowDlg.h"
#include "app/TransferDoneDlg.h"
#include "app/WorkerGate.h"
#include "ftp/FtpConnection.h"
#include "ftp/InternetSession.h"
#include "ftp/TransferMeter.h"
#include "remote/RemoteListing.h"
#include "remote/SiteConnection.h"
#include "sites/SettingsFile.h"
#include "sites/SettingsStore.h"
#include "transfer/Download.h"
#include "transfer/TransferReport.h"
#include "transfer/Upload.h"
#include "transfer/UploadPlan.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kOperationLimitMs = 15 * 60 * 1000;
constexpr int kLayoutLimitMs = 60 * 1000;

/// CPU time the calling thread has used, in microseconds.
qint64 ThreadCpuUs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

/// Time the machine's processors were held by the host (the "steal" column of
/// /proc/stat, all processors together), in milliseconds.
qint64 StealMs()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    return fields.size() > 8 ? fields[8].toLongLong() * 1000 / sysconf(_SC_CLK_TCK) : 0;
}

/// Selects exactly the rows of @p list whose text @p wanted takes, as
/// Ctrl-clicks would; returns how many.
int SelectWhere(QListView& list, const std::function<bool(const QString&)>& wanted)
{
    const QAbstractItemModel* pModel = list.model();
    QItemSelection selection;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        const QModelIndex index = pModel->index(nRow, 0);
        if (wanted(index.data().toString()))
            selection.select(index, index);
    }
    list.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    return int(list.selectionModel()->selectedIndexes().size());
}

/// A figure of /proc/self/status in MiB ("VmRSS", "VmHWM"), or -1.
double StatusMiB(const char* pszField)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray strPrefix = QByteArray(pszField) + ':';
    for (const QByteArray& strLine : status.readAll().split('\n')) {
        if (strLine.startsWith(strPrefix))
            return strLine.mid(strPrefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

double PeakRssMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

/// What the window's progress strip holds, kept on the main thread.
struct ProgressState {
    QString m_strName;
    QString m_strPercent;
    int m_nDone = 0;
    int m_nFailures = 0;
    qint64 m_nHalfMs = -1; // when the first half of the items was done
};

/// A TransferReport that reports as the window's TransferView does: the name in
/// work, each step and the bytes of the files in work are handed over under a
/// lock without waiting, and a failure hops to the main thread through the
/// window's WorkerGate and waits there. With direct reports
/// (TARNLOW_BENCH_REPORTS=direct) a failure too is recorded on the worker: the
/// same walk without a single hop.
class GateReport : public TransferReport, public TransferMeter {
public:
    GateReport(WorkerGate& gate, ProgressState& state, const QElapsedTimer& clock, int nTotal)
        : m_gate(gate)
        , m_state(state)
        , m_clock(clock)
        , m_nTotal(nTotal)
        , m_nUnits(PutThread::UnitsPerItem(nTotal))
        , m_bDirect(qgetenv("TARNLOW_BENCH_REPORTS") == "direct")
    {
    }

    void ShowTransferName(const QString& strName) override
    {
        Report(false, [&] { m_state.m_strName = strName; });
    }
    void StepProgress() override
    {
        m_shares.Stepped();
        m_nPart = m_shares.Units(m_nUnits);
        Report(false, [&] {
            ++m_state.m_nDone;
            m_state.m_strPercent = PutThread::PercentText(m_state.m_nDone * m_nUnits + m_nPart, m_nTotal * m_nUnits);
            if (m_state.m_nDone == m_nTotal / 2)
                m_state.m_nHalfMs = m_clock.elapsed();
        });
    }
    void FileBegun() override { m_shares.Begun(); }
    void FileMoved(std::int64_t nBytes, std::int64_t nSize) override
    {
        m_shares.Moved(nBytes, nSize);
        const int nPart = m_shares.Units(m_nUnits);
        if (nPart == m_nPart)
            return;
        m_nPart = nPart;
        Report(false, [&] {
            m_state.m_strPercent = PutThread::PercentText(m_state.m_nDone * m_nUnits + m_nPart, m_nTotal * m_nUnits);
        });
    }
    void ShowFailure(const QString& strText, const QString& strCause) override
    {
        Report(true, [&] {
            ++m_state.m_nFailures;
            std::fprintf(stderr, "tarnlow_bench: %s (at %s): %s\n", qPrintable(strText), qPrintable(m_state.m_strName),
                qPrintable(strCause));
        });
    }
    bool IsCancelled() const override { return false; }
    TransferMeter* Meter() override { return this; }

private:
    void Report(bool bWait, const std::function<void()>& fn)
    {
        if (m_bDirect || !bWait) {
            std::lock_guard lock(m_mutex);
            fn();
        } else {
            m_gate.Call([&] {
                std::lock_guard lock(m_mutex);
                fn();
            });
        }
    }

    WorkerGate& m_gate;
    ProgressState& m_state;
    const QElapsedTimer& m_clock;
    const int m_nTotal;
    const int m_nUnits;
    const bool m_bDirect;
    FileShares m_shares;
    int m_nPart = 0;
    std::mutex m_mutex;
};

/// One transfer as the window's worker runs it: connect and enter the site's
/// directory, the walk, list the site again over the same connection, close.
int RunTransfer(const QStringList& args)
{
    const bool bUpload = args[1] == QLatin1String("upload");
    if ((bUpload && args.size() < 7) || (!bUpload && args.size() != 8)) {
        std::fprintf(stderr, "usage: see the head of bench/tarnlow_bench.cpp\n");
        return 2;
    }
    const SiteProfile site {args[2].toUtf8(), args[3].toUtf8(), args[4].toUtf8(), args[5].toUtf8()};
    const QStringList paths = bUpload ? args.mid(6) : QStringList();
    QList<QByteArray> names;
    if (!bUpload) {
        QFile file(args[7]);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "tarnlow_bench: cannot read %s\n", qPrintable(args[7]));
            return 2;
        }
        for (const QByteArray& strLine : file.readAll().split('\n')) {
            if (!strLine.isEmpty())
                names.append(strLine);
        }
    }

    QObject context;
    WorkerGate gate(&context);
    InternetSession session;
    ProgressState state;
    QElapsedTimer clock;
    // An upload counts what it sends on the worker, as the window's does.
    int nTotal = bUpload ? 0 : int(names.size());
    bool bComplete = false;
    qint64 nWalkEndMs = 0;
    std::size_t nListed = 0;

    clock.start();
    gate.Start([&] {
        UploadPlan plan;
        if (bUpload) {
            QList<QByteArray> pathBytes;
            for (const QString& strPath : paths)
                pathBytes.append(QFile::encodeName(strPath));
            GateReport planReport(gate, state, clock, 0);
            plan = UploadPlan::Make(pathBytes, planReport);
            nTotal = plan.Steps();
        }
        SiteConnection link;
        const SiteConnection::Outcome outcome = link.Open(session, site);
        gate.Call([&] { state.m_strName.clear(); }); // the window goes busy
        if (outcome == SiteConnection::Outcome::Connected) {
            GateReport report(gate, state, clock, nTotal);
            if (bUpload) {
                Upload upload(link.Connection(), report, site.m_strDirectory, link.Reopener(session, site));
                upload.SendPlan(plan);
                bComplete = !upload.ConnectionLost();
            } else {
                Download download(link.Connection(), report, QFile::encodeName(args[6]), link.Reopener(session, site));
                download.DownloadNames(names);
                bComplete = download.AllFetched();
            }
        } else {
            std::fprintf(stderr, "tarnlow_bench: %s\n", qPrintable(SiteConnection::FailureText(outcome)));
        }
        nWalkEndMs = clock.elapsed();
        if (bComplete) {
            // Listed again as the window does: over the transfer's own
            // connection while it works, back in the site's directory.
            RemoteListing listing;
            bool bListed = link.IsConnected() && link.Connection().IsUsable() && !link.SiteDirectory().isEmpty()
                && listing.ListRemoteDirectory(link.Connection(), link.SiteDirectory());
            link.Close();
            SiteConnection relist;
            if (!bListed && relist.Open(session, site) == SiteConnection::Outcome::Connected)
                bListed = listing.ListRemoteDirectory(relist.Connection());
            relist.Close();
            bComplete = bListed;
            gate.Call([&] { nListed = listing.Entries().size(); });
        }
        link.Close();
        gate.Call([&] { QCoreApplication::quit(); });
    });
    QTimer::singleShot(kOperationLimitMs, [] { QCoreApplication::exit(3); });
    const int nExit = QCoreApplication::exec();
    const qint64 nTotalMs = clock.elapsed();
    if (nExit != 0 || !gate.WaitForWorkers(5000)) {
        std::fprintf(stderr, "tarnlow_bench: the operation did not end\n");
        return 1;
    }
    const qint64 nHalfMs = state.m_nHalfMs;
    const int nHalf = nTotal / 2;
    std::printf("ms=%lld walk_ms=%lld items=%d done=%d failures=%d listed=%zu peak_mib=%.1f", qint64(nTotalMs),
        qint64(nWalkEndMs), nTotal, state.m_nDone, state.m_nFailures, nListed, PeakRssMiB());
    if (nHalfMs > 0 && nWalkEndMs > nHalfMs) {
        // Items per second of the first half (from the start) and of the second half.
        std::printf(" first_rate=%.1f second_rate=%.1f", nHalf * 1000.0 / double(nHalfMs),
            (nTotal - nHalf) * 1000.0 / double(nWalkEndMs - nHalfMs));
    }
    std::printf("\n");
    return bComplete && state.m_nFailures == 0 && state.m_nDone == nTotal ? 0 : 1;
}

/// Microseconds of the real-time clock: stamps that line up with the caller's
/// start stamp and with the latency proxy's log.
qint64 RealUs()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

/// The caller's stamp taken just before it started this process
/// (TARNLOW_BENCH_T0, seconds with a fraction, as bash's $EPOCHREALTIME), or 0.
qint64 ProcessStartUs()
{
    const QByteArray strStamp = qgetenv("TARNLOW_BENCH_T0");
    const qsizetype nDot = strStamp.indexOf('.');
    bool bOk = false;
    const qint64 nSeconds = strStamp.left(nDot < 0 ? strStamp.size() : nDot).toLongLong(&bOk);
    if (!bOk)
        return 0;
    const QByteArray strFraction = nDot < 0 ? QByteArray() : (strStamp.mid(nDot + 1) + "000000").left(6);
    return nSeconds * 1000000 + strFraction.toLongLong();
}

/// Time in milliseconds from @p nFromUs to @p nToUs, or -1 when either is missing.
double SpanMs(qint64 nFromUs, qint64 nToUs)
{
    return nFromUs > 0 && nToUs > 0 ? double(nToUs - nFromUs) / 1000.0 : -1.0;
}

/// Processor time and time spent waiting for a processor of each thread of
/// this process (/proc/self/task/TID/schedstat), by thread id.
struct ThreadTimes {
    qint64 m_nRunNs = 0;
    qint64 m_nQueueNs = 0;
    QByteArray m_strName;
};
std::map<int, ThreadTimes> ThreadSnapshot()
{
    std::map<int, ThreadTimes> threads;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& strTid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(strTid + QStringLiteral("/schedstat")));
        QFile comm(tasks.filePath(strTid + QStringLiteral("/comm")));
        if (!stat.open(QIODevice::ReadOnly) || !comm.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = stat.readAll().simplified().split(' ');
        if (fields.size() < 2)
            continue;
        threads[strTid.toInt()]
            = ThreadTimes {fields[0].toLongLong(), fields[1].toLongLong(), comm.readAll().trimmed()};
    }
    return threads;
}

/// The threads' times between two snapshots: the main thread, the threads that
/// started in between under the process's own name (the window's workers), and
/// the rest (Qt's and the window's helper threads), as figures.
QString ThreadFigures(const std::map<int, ThreadTimes>& before, const std::map<int, ThreadTimes>& after)
{
    const int nMain = int(getpid());
    const QByteArray strMainName = after.count(nMain) ? after.at(nMain).m_strName : QByteArray();
    double dMainRun = 0, dMainQueue = 0, dWorkerRun = 0, dWorkerQueue = 0, dOtherRun = 0;
    for (const auto& [nTid, times] : after) {
        const auto it = before.find(nTid);
        const double dRun = double(times.m_nRunNs - (it != before.end() ? it->second.m_nRunNs : 0)) / 1e6;
        const double dQueue = double(times.m_nQueueNs - (it != before.end() ? it->second.m_nQueueNs : 0)) / 1e6;
        if (nTid == nMain) {
            dMainRun = dRun;
            dMainQueue = dQueue;
        } else if (it == before.end() && times.m_strName == strMainName) {
            dWorkerRun += dRun;
            dWorkerQueue += dQueue;
        } else {
            dOtherRun += dRun;
        }
    }
    return QStringLiteral("main_cpu_ms=%1 main_runq_ms=%2 worker_cpu_ms=%3 worker_runq_ms=%4 other_cpu_ms=%5")
        .arg(dMainRun, 0, 'f', 1)
        .arg(dMainQueue, 0, 'f', 1)
        .arg(dWorkerRun, 0, 'f', 1)
        .arg(dWorkerQueue, 0, 'f', 1)
        .arg(dOtherRun, 0, 'f', 1);
}

/// Turns `perf record --control` on or off when the caller asked for it
/// (TARNLOW_BENCH_PERF_CTL=CONTROL_FIFO,ACK_FIFO), so a profile holds only the
/// timed part of a window's scenario.
void PerfControl(const char* pszCommand)
{
    const QList<QByteArray> fifos = qgetenv("TARNLOW_BENCH_PERF_CTL").split(',');
    if (fifos.size() != 2)
        return;
    QFile control(QString::fromLocal8Bit(fifos[0]));
    QFile ack(QString::fromLocal8Bit(fifos[1]));
    if (!control.open(QIODevice::WriteOnly) || !ack.open(QIODevice::ReadOnly))
        return;
    control.write(pszCommand);
    control.write("\n");
    control.flush();
    ack.readLine(16);
}

/// The window's thread, event by event: how long it spent on each kind of
/// event while measuring (events nested in another count with the outer one).
class BenchApplication : public QApplication {
public:
    using QApplication::QApplication;

    void Measure(bool bOn)
    {
        if (bOn)
            m_spent = {};
        m_bMeasuring.store(bOn);
    }

    bool notify(QObject* pReceiver, QEvent* pEvent) override
    {
        if (!m_bMeasuring.load(std::memory_order_relaxed) || QThread::currentThread() != thread() || m_nDepth > 0)
            return QApplication::notify(pReceiver, pEvent);
        const qint64 nStartNs = m_clock.nsecsElapsed();
        const QEvent::Type type = pEvent->type();
        ++m_nDepth;
        const bool bResult = QApplication::notify(pReceiver, pEvent);
        --m_nDepth;
        Spent& spent = type == QEvent::MetaCall ? m_spent.m_hops
            : type == QEvent::UpdateRequest || type == QEvent::Paint || type == QEvent::UpdateLater
                || type == QEvent::Expose
            ? m_spent.m_paint
            : type == QEvent::Timer ? m_spent.m_timers
                                    : m_spent.m_other;
        spent.m_nNs += m_clock.nsecsElapsed() - nStartNs;
        ++spent.m_nCount;
        return bResult;
    }

    /// The figures of the last measurement.
    QString Figures() const
    {
        const auto one = [](const char* pszName, const Spent& spent) {
            return QStringLiteral("ui_%1=%2 ui_%1_ms=%3 ")
                .arg(QLatin1String(pszName))
                .arg(spent.m_nCount)
                .arg(double(spent.m_nNs) / 1e6, 0, 'f', 1);
        };
        return one("hops", m_spent.m_hops) + one("paint", m_spent.m_paint) + one("timers", m_spent.m_timers)
            + one("other", m_spent.m_other);
    }

private:
    struct Spent {
        qint64 m_nNs = 0;
        int m_nCount = 0;
    };
    struct {
        Spent m_hops; // queued calls: the workers' hops to the window's thread
        Spent m_paint; // painting and showing what was painted
        Spent m_timers; // the animation, the list's batched layout
        Spent m_other; // input, window-system and every other event
    } m_spent;
    std::atomic<bool> m_bMeasuring {false};
    int m_nDepth = 0;
    QElapsedTimer m_clock {[] {
        QElapsedTimer clock;
        clock.start();
        return clock;
    }()};
};

/// Answers every prompt at once; a message box is a failure of the run. The
/// completion dialog is stamped the moment the window runs it, and ended at
/// once.
class BenchDialogHost : public DialogHost {
public:
    MsgAnswer MessageBox(
        QWidget*, const QString& strText, const QString& strCaption, MsgIcon, MsgButtons, const QString&) override
    {
        ++m_nMessages;
        std::fprintf(stderr, "tarnlow_bench: message: %s: %s\n", qPrintable(strCaption), qPrintable(strText));
        return MsgAnswer::Ok;
    }
    int DoModal(QDialog& dialog) override
    {
        ++m_nDialogs;
        if (qobject_cast<TransferDoneDlg*>(&dialog)) {
            m_nDoneUs = RealUs();
            if (m_onDone)
                m_onDone(dialog);
        }
        return 1;
    }
    QString BrowseForFolder(QWidget*, const QString&) override { return {}; }
    bool OpenUrl(const QUrl&) override { return false; }

    int m_nMessages = 0;
    int m_nDialogs = 0; // modal dialogs run
    qint64 m_nDoneUs = 0; // when the last completion dialog was run
    std::function<void(QDialog&)> m_onDone; // called at that moment, on the window's thread
};

/// The real window with the bench's site on its first tab, and a 1 ms timer on
/// its thread that records the longest gap between two ticks, and the most
/// processor time the thread itself used between two ticks: a long gap in
/// which the thread hardly ran was the machine's doing, not the window's.
class WindowRig {
public:
    WindowRig(const QStringList& args)
        : m_dlg(m_host)
    {
        m_dlg.OnInitDialog();
        m_dlg.show();
        TabPane& pane = *m_dlg.ActivePane();
        pane.m_editAddress->setText(args[2]);
        pane.m_editUsername->setText(args[3]);
        pane.m_editPassword->setText(args[4]);
        m_pList = m_dlg.findChild<QListView*>(QStringLiteral("m_remoteList"));
        m_ticker.setTimerType(Qt::PreciseTimer);
        m_ticker.setInterval(1);
        QObject::connect(&m_ticker, &QTimer::timeout, &m_dlg, [this] {
            const qint64 nCpuUs = ThreadCpuUs();
            m_nMaxGapMs = std::max(m_nMaxGapMs, m_tick.restart());
            m_nMaxBusyUs = std::max(m_nMaxBusyUs, nCpuUs - m_nCpuUs);
            m_nCpuUs = nCpuUs;
        });
    }

    void SetDirectory(const QString& strDirectory)
    {
        m_dlg.ActivePane()->m_editDirectory->setText(strDirectory);
        m_dlg.ActivePane()->PullFields();
    }

    /// Runs @p start, then serves the window until its worker has released the
    /// connection slot and the list is laid out and painted. Returns the time
    /// taken, or -1 when the operation did not end.
    qint64 Run(const std::function<void()>& start)
    {
        QEventLoop loop;
        const auto released = QObject::connect(&m_dlg, &TarnlowDlg::SlotReleased, &loop, &QEventLoop::quit);
        QTimer::singleShot(kOperationLimitMs, &loop, [&loop] { loop.exit(1); });
        QElapsedTimer clock;
        clock.start();
        m_nMaxGapMs = 0;
        m_nMaxBusyUs = 0;
        m_nStealMs = StealMs();
        m_nCpuUs = ThreadCpuUs();
        m_tick.start();
        m_ticker.start();
        start();
        const int nExit = m_dlg.IsSlotBusy() ? loop.exec() : 0;
        // The list counts as filled once its last item is laid out (the list
        // lays out a large content in batches while the window goes on) and
        // the list is painted.
        const QAbstractItemModel* pModel = m_pList->model();
        QElapsedTimer wait;
        wait.start();
        while (pModel->rowCount() > 0 && wait.elapsed() < kLayoutLimitMs
            && !m_pList->visualRect(pModel->index(pModel->rowCount() - 1, 0)).isValid())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        m_pList->viewport()->repaint();
        QCoreApplication::processEvents();
        m_ticker.stop();
        m_nStealMs = StealMs() - m_nStealMs;
        QObject::disconnect(released);
        return nExit == 0 ? clock.elapsed() : -1;
    }

    BenchDialogHost m_host;
    TarnlowDlg m_dlg;
    QListView* m_pList = nullptr;
    QTimer m_ticker;
    QElapsedTimer m_tick;
    qint64 m_nMaxGapMs = 0;
    qint64 m_nMaxBusyUs = 0;
    qint64 m_nCpuUs = 0;
    qint64 m_nStealMs = 0; // after Run(): the host's share during it
};

/// One refresh of the window's list of DIRECTORY, until the list is filled and painted.
int RunList(const QStringList& args)
{
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: see the head of bench/tarnlow_bench.cpp\n");
        return 2;
    }
    WindowRig rig(args);
    rig.SetDirectory(args[5]);
    const qint64 nMs = rig.Run([&] { rig.m_dlg.OnRefresh(); });
    const int nItems = rig.m_pList->model()->rowCount();
    std::printf("ms=%lld items=%d stall_ms=%lld busy_ms=%.1f steal_ms=%lld peak_mib=%.1f\n", qint64(nMs), nItems,
        qint64(rig.m_nMaxGapMs), double(rig.m_nMaxBusyUs) / 1000.0, qint64(rig.m_nStealMs), PeakRssMiB());
    return nMs >= 0 && rig.m_host.m_nMessages == 0 && nItems > 1 ? 0 : 1;
}

/// The window's thread and memory while the window runs a 1 GiB upload and its
/// download, a folder tree dropped on it, and a large listing.
int RunWindow(const QStringList& args)
{
    if (args.size() != 10) {
        std::fprintf(stderr, "usage: see the head of bench/tarnlow_bench.cpp\n");
        return 2;
    }
    const QString strWorkDir = args[5];
    const QString strListDir = args[6];
    const QString strBig = args[7];
    const QString strTree = args[8];
    const QString strLocal = args[9];
    WindowRig rig(args);
    rig.SetDirectory(strWorkDir);
    bool bOk = rig.Run([&] { rig.m_dlg.OnRefresh(); }) >= 0;
    const double dIdleMiB = PeakRssMiB();

    struct Phase {
        const char* m_pszName;
        qint64 m_nMs = 0;
        qint64 m_nStallMs = 0;
        qint64 m_nBusyUs = 0;
        qint64 m_nStealMs = 0;
        double m_dPeakMiB = 0;
    };
    std::vector<Phase> phases;
    // Each transfer ends with one completion dialog; the listing with none.
    const auto runPhase = [&](const char* pszName, int nDialogs, const std::function<void()>& start) {
        Phase phase {pszName};
        nDialogs += rig.m_host.m_nDialogs;
        phase.m_nMs = rig.Run(start);
        phase.m_nStallMs = rig.m_nMaxGapMs;
        phase.m_nBusyUs = rig.m_nMaxBusyUs;
        phase.m_nStealMs = rig.m_nStealMs;
        phase.m_dPeakMiB = PeakRssMiB();
        bOk = bOk && phase.m_nMs >= 0 && rig.m_host.m_nDialogs == nDialogs;
        phases.push_back(phase);
    };

    runPhase("upload", 1, [&] { rig.m_dlg.OnDropFiles({QFile::encodeName(strBig)}); });
    runPhase("download", 1, [&] {
        const QString strName = QFileInfo(strBig).fileName();
        SelectWhere(*rig.m_pList, [&](const QString& strText) { return strText == strName; });
        rig.m_dlg.findChild<QLineEdit*>(QStringLiteral("m_editDownloadPath"))->setText(strLocal);
        rig.m_dlg.OnDownload();
    });
    runPhase("tree", 1, [&] { rig.m_dlg.OnDropFiles({QFile::encodeName(strTree)}); });
    rig.SetDirectory(strListDir);
    runPhase("list", 0, [&] { rig.m_dlg.OnRefresh(); });

    qint64 nWorstStall = 0;
    qint64 nWorstBusyUs = 0;
    std::printf("idle_mib=%.1f", dIdleMiB);
    for (const Phase& phase : phases) {
        const char* pszName = phase.m_pszName;
        std::printf(" %s_ms=%lld %s_stall_ms=%lld %s_busy_ms=%.1f %s_steal_ms=%lld %s_peak_mib=%.1f", pszName,
            qint64(phase.m_nMs), pszName, qint64(phase.m_nStallMs), pszName, double(phase.m_nBusyUs) / 1000.0, pszName,
            qint64(phase.m_nStealMs), pszName, phase.m_dPeakMiB);
        nWorstStall = std::max(nWorstStall, phase.m_nStallMs);
        nWorstBusyUs = std::max(nWorstBusyUs, phase.m_nBusyUs);
    }
    std::printf(" stall_ms=%lld busy_ms=%.1f\n", qint64(nWorstStall), double(nWorstBusyUs) / 1000.0);
    return bOk && rig.m_host.m_nMessages == 0 ? 0 : 1;
}

constexpr int kWindowLimitMs = 120 * 1000;

/// Serves the window's thread until @p done holds or @p nLimitMs have passed;
/// false on the time-out. Looks every few milliseconds, so waiting costs the
/// thread next to nothing.
bool WaitUntil(const std::function<bool()>& done, int nLimitMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(nLimitMs, &loop, [&loop] { loop.exit(1); });
    poll.start();
    return loop.exec() == 0;
}

/// Stores the bench's site (HOST USER PASSWORD DIRECTORY in @p args from index
/// 2) as the first profile of the settings file, keeping the other four.
bool StoreSite(const QStringList& args)
{
    std::array<SiteProfile, 5> profiles;
    std::array<SiteProfile*, 5> toLoad;
    std::array<const SiteProfile*, 5> toSave;
    for (size_t i = 0; i < profiles.size(); ++i) {
        toLoad[i] = &profiles[i];
        toSave[i] = &profiles[i];
    }
    const QString strDir = TarnlowDlg::SettingsDirectory();
    SettingsStore store;
    if (!QDir().mkpath(strDir))
        return false;
    store.Load(QDir(strDir).filePath(SettingsFile::FileName()), toLoad);
    profiles[0] = SiteProfile {args[2].toUtf8(), args[3].toUtf8(), args[4].toUtf8(), args[5].toUtf8()};
    return store.Save(toSave);
}

int RunSite(const QStringList& args)
{
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: see the head of bench/tarnlow_bench.cpp\n");
        return 2;
    }
    if (!StoreSite(args)) {
        std::fprintf(stderr, "tarnlow_bench: the settings file could not be written\n");
        return 1;
    }
    return 0;
}

/// Stamps what a user of the started program sees happen, on the real-time
/// clock: the window mapped and painted, the first name in work, the first
/// item done, the list emptied for the listing after the transfer, and filled.
class PhaseWatch : public QObject {
public:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        const QEvent::Type type = pEvent->type();
        if (!m_pDlg && type == QEvent::Show && pWatched->objectName() == QLatin1String("TarnlowDlg"))
            Hook(static_cast<QWidget*>(pWatched));
        else if (m_pDlg && type == QEvent::Expose && !m_nShownUs
            && pWatched == static_cast<QObject*>(m_pDlg->windowHandle()))
            m_nShownUs = RealUs();
        else if (m_pDlg && type == QEvent::Paint && !m_nPaintedUs && pWatched == m_pDlg)
            m_nPaintedUs = RealUs();
        return false;
    }

    /// When the window was first painted, or 0.
    qint64 PaintedUs() const { return m_nPaintedUs; }

    /// Forgets what was stamped so far: the next of each counts.
    void Reset() { m_nNameUs = m_nStepUs = m_nRelistUs = m_nListedUs = 0; }

    QString Figures(qint64 nStartUs) const
    {
        QString strFigures;
        const std::pair<const char*, qint64> stamps[] = {{"shown", m_nShownUs}, {"painted", m_nPaintedUs},
            {"name", m_nNameUs}, {"step", m_nStepUs}, {"relist", m_nRelistUs}, {"listed", m_nListedUs}};
        for (const auto& [pszName, nUs] : stamps)
            strFigures
                += QStringLiteral(" at_%1_ms=%2").arg(QLatin1String(pszName)).arg(SpanMs(nStartUs, nUs), 0, 'f', 1);
        return strFigures;
    }

private:
    void Hook(QWidget* pDlg)
    {
        m_pDlg = pDlg;
        const auto once = [](qint64& nUs) {
            if (!nUs)
                nUs = RealUs();
        };
        auto* pName = pDlg->findChild<QLineEdit*>(QStringLiteral("m_editTransferName"));
        auto* pBar = pDlg->findChild<QProgressBar*>(QStringLiteral("m_progress"));
        auto* pList = pDlg->findChild<QListView*>(QStringLiteral("m_remoteList"));
        if (pName)
            connect(pName, &QLineEdit::textChanged, this, [=, this](const QString& str) {
                if (!str.isEmpty())
                    once(m_nNameUs);
            });
        if (pBar)
            connect(pBar, &QProgressBar::valueChanged, this, [=, this](int n) {
                if (n > 0)
                    once(m_nStepUs);
            });
        if (pList) {
            // The list is emptied when the listing starts, and filled in one step.
            connect(pList->model(), &QAbstractItemModel::modelReset, this,
                [=, this] { once(pList->model()->rowCount() == 0 ? m_nRelistUs : m_nListedUs); });
        }
    }

    QWidget* m_pDlg = nullptr;
    qint64 m_nShownUs = 0;
    qint64 m_nPaintedUs = 0;
    qint64 m_nNameUs = 0;
    qint64 m_nStepUs = 0;
    qint64 m_nRelistUs = 0;
    qint64 m_nListedUs = 0;
};

/// The user's download: the window starts and lists the site's folder, the
/// names are selected in its list, and the Download button is clicked. Timed
/// from the click to the completion dialog (which comes after the window has
/// listed the folder again).
int RunFetchWindow(BenchApplication& app, const QStringList& args)
{
    if (args.size() != 8) {
        std::fprintf(stderr, "usage: see the head of bench/tarnlow_bench.cpp\n");
        return 2;
    }
    QFile namesFile(args[7]);
    if (!namesFile.open(QIODevice::ReadOnly) || !StoreSite(args)) {
        std::fprintf(stderr, "tarnlow_bench: cannot read %s or write the settings\n", qPrintable(args[7]));
        return 2;
    }
    QSet<QString> names;
    for (const QByteArray& strLine : namesFile.readAll().split('\n')) {
        if (!strLine.isEmpty())
            names.insert(QString::fromUtf8(strLine));
    }

    BenchDialogHost host;
    PhaseWatch phases;
    app.installEventFilter(&phases);
    TarnlowDlg dlg(host);
    dlg.OnInitDialog(); // with a valid site, the window lists its folder at once
    dlg.show();
    auto* pList = dlg.findChild<QListView*>(QStringLiteral("m_remoteList"));
    auto* pButton = dlg.findChild<QPushButton*>(QStringLiteral("m_btnDownload"));
    auto* pPath = dlg.findChild<QLineEdit*>(QStringLiteral("m_editDownloadPath"));
    const bool bListed = WaitUntil(
        [&] {
            const int nLast = pList->model()->rowCount() - 1;
            return !dlg.IsSlotBusy() && nLast >= int(names.size())
                && pList->visualRect(pList->model()->index(nLast, 0)).isValid();
        },
        kWindowLimitMs);
    pPath->setText(args[6]);
    const int nSelected = SelectWhere(*pList, [&](const QString& strText) { return names.contains(strText); });
    if (!bListed || nSelected != int(names.size())) {
        std::fprintf(stderr, "tarnlow_bench: the list shows %d of the %d names\n", nSelected, int(names.size()));
        return 1;
    }

    bool bReleased = false;
    QObject::connect(&dlg, &TarnlowDlg::SlotReleased, &dlg, [&] { bReleased = host.m_nDoneUs > 0; });
    std::map<int, ThreadTimes> after;
    host.m_onDone = [&](QDialog&) {
        app.Measure(false);
        after = ThreadSnapshot();
        PerfControl("disable");
    };
    PerfControl("enable");
    const std::map<int, ThreadTimes> before = ThreadSnapshot();
    app.Measure(true);
    phases.Reset();
    const qint64 nClickUs = RealUs();
    pButton->click();
    const bool bDone = WaitUntil([&] { return bReleased; }, kWindowLimitMs);
    app.removeEventFilter(&phases);
    std::printf("ms=%.1f items=%d pid=%d dialogs=%d messages=%d%s %s %s peak_mib=%.1f\n",
        SpanMs(nClickUs, host.m_nDoneUs), nSelected, int(getpid()), host.m_nDialogs, host.m_nMessages,
        qPrintable(phases.Figures(nClickUs)), qPrintable(app.Figures()), qPrintable(ThreadFigures(before, after)),
        PeakRssMiB());
    return bDone && host.m_nDialogs == 1 && host.m_nMessages == 0 ? 0 : 1;
}

/// The program as a user starts it without paths: TarnlowApp runs the window,
/// which lists the stored site's folder at once. Timed from the process's start
/// until the list holds ROWS rows, its last one laid out (the list lays out a
/// large content in steps while the window goes on), and the list is painted;
/// then the window's resident memory, its peak so far, and the longest gap
/// between two ticks of a 1 ms timer on the window's thread while the list
/// filled. The window is closed then.
int RunListApp(BenchApplication& app, const QStringList& args, qint64 nMainUs, qint64 nAppUs)
{
    bool bRowsOk = false;
    const int nRows = args.value(2).toInt(&bRowsOk);
    if (args.size() != 3 || !bRowsOk || nRows < 1) {
        std::fprintf(stderr, "usage: see the head of bench/tarnlow_bench.cpp\n");
        return 2;
    }
    const qint64 nStartUs = ProcessStartUs();
    BenchDialogHost host;
    PhaseWatch phases;
    app.installEventFilter(&phases);
    qint64 nFilledUs = 0;
    qint64 nFirstRowUs = 0;
    double dRssMiB = -1;
    double dHwmMiB = -1;
    int nShown = 0;
    // The window's thread: the longest gap between two ticks, and the most
    // processor time it used in one, from the tick after the window's first
    // paint (the window's own start is not the list's) to the filled list.
    QElapsedTimer tick;
    qint64 nMaxGapMs = 0;
    qint64 nMaxBusyUs = 0;
    qint64 nCpuUs = ThreadCpuUs();
    bool bCounting = false;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        const qint64 nNowCpuUs = ThreadCpuUs();
        const qint64 nGapMs = tick.restart();
        if (bCounting) {
            nMaxGapMs = std::max(nMaxGapMs, nGapMs);
            nMaxBusyUs = std::max(nMaxBusyUs, nNowCpuUs - nCpuUs);
        }
        bCounting = bCounting || phases.PaintedUs() != 0;
        nCpuUs = nNowCpuUs;
    });
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        TarnlowDlg* pDlg = nullptr;
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            if (auto* pFound = qobject_cast<TarnlowDlg*>(pWidget); pFound && pFound->isVisible())
                pDlg = pFound;
        }
        auto* pList = pDlg ? pDlg->findChild<QListView*>(QStringLiteral("m_remoteList")) : nullptr;
        if (!pList)
            return;
        const QAbstractItemModel* pModel = pList->model();
        nShown = pModel->rowCount();
        if (nShown > 0 && !nFirstRowUs)
            nFirstRowUs = RealUs();
        if (nShown < nRows || pDlg->IsSlotBusy() || !pList->visualRect(pModel->index(nShown - 1, 0)).isValid())
            return;
        pList->viewport()->repaint();
        nFilledUs = RealUs();
        poll.stop();
        ticker.stop();
        app.Measure(false);
        PerfControl("disable");
        dRssMiB = StatusMiB("VmRSS");
        dHwmMiB = StatusMiB("VmHWM");
        pDlg->reject();
    });
    // A run whose list never fills (a failure was shown) ends here.
    QTimer::singleShot(kWindowLimitMs, &app, [] {
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            if (auto* pDlg = qobject_cast<TarnlowDlg*>(pWidget))
                pDlg->reject();
        }
    });
    TarnlowApp theApp(host);
    PerfControl("enable");
    app.Measure(true);
    const qint64 nWindowUs = RealUs();
    tick.start();
    ticker.start();
    poll.start();
    const int nExit = theApp.InitInstance({});
    app.removeEventFilter(&phases);
    std::printf("ms=%.1f window_ms=%.1f first_row_ms=%.1f rows=%d rss_mib=%.1f hwm_mib=%.1f stall_ms=%lld busy_ms=%.1f "
                "at_main_ms=%.1f at_app_ms=%.1f at_window_ms=%.1f%s pid=%d messages=%d %s\n",
        SpanMs(nStartUs, nFilledUs), SpanMs(nWindowUs, nFilledUs), SpanMs(nStartUs, nFirstRowUs), nShown, dRssMiB,
        dHwmMiB, qint64(nMaxGapMs), double(nMaxBusyUs) / 1000.0, SpanMs(nStartUs, nMainUs), SpanMs(nStartUs, nAppUs),
        SpanMs(nStartUs, nWindowUs), qPrintable(phases.Figures(nStartUs)), int(getpid()), host.m_nMessages,
        qPrintable(app.Figures()));
    return nExit == 0 && nFilledUs > 0 && host.m_nMessages == 0 ? 0 : 1;
}

/// The program as a user starts it with PATH... on its command line: TarnlowApp
/// runs the window, which uploads the paths to the stored site and lists it
/// again. Timed from the process's start (and from the window's) to the
/// completion dialog; the window is closed once its worker is done.
int RunApp(BenchApplication& app, const QStringList& args, qint64 nMainUs, qint64 nAppUs)
{
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: see the head of bench/tarnlow_bench.cpp\n");
        return 2;
    }
    const qint64 nStartUs = ProcessStartUs();
    BenchDialogHost host;
    PhaseWatch phases;
    app.installEventFilter(&phases);
    std::map<int, ThreadTimes> after;
    host.m_onDone = [&](QDialog& done) {
        app.Measure(false);
        after = ThreadSnapshot();
        PerfControl("disable");
        if (auto* pDlg = qobject_cast<TarnlowDlg*>(done.parentWidget()))
            QObject::connect(
                pDlg, &TarnlowDlg::SlotReleased, pDlg, [pDlg] { pDlg->reject(); }, Qt::QueuedConnection);
    };
    // A run that never reaches its dialog (a failure was shown) ends here.
    QTimer::singleShot(kWindowLimitMs, &app, [] {
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            if (auto* pDlg = qobject_cast<TarnlowDlg*>(pWidget))
                pDlg->reject();
        }
    });
    TarnlowApp theApp(host);
    PerfControl("enable");
    const std::map<int, ThreadTimes> before = ThreadSnapshot();
    app.Measure(true);
    const qint64 nWindowUs = RealUs();
    QList<QByteArray> arguments;
    for (const QString& strArgument : args.mid(2))
        arguments.append(QFile::encodeName(strArgument));
    const int nExit = theApp.InitInstance(arguments);
    app.removeEventFilter(&phases);
    std::printf("process_ms=%.1f window_ms=%.1f at_main_ms=%.1f at_app_ms=%.1f at_window_ms=%.1f%s at_dialog_ms=%.1f "
                "t0_us=%lld pid=%d dialogs=%d messages=%d %s %s peak_mib=%.1f\n",
        SpanMs(nStartUs, host.m_nDoneUs), SpanMs(nWindowUs, host.m_nDoneUs), SpanMs(nStartUs, nMainUs),
        SpanMs(nStartUs, nAppUs), SpanMs(nStartUs, nWindowUs), qPrintable(phases.Figures(nStartUs)),
        SpanMs(nStartUs, host.m_nDoneUs), nStartUs, int(getpid()), host.m_nDialogs, host.m_nMessages,
        qPrintable(app.Figures()), qPrintable(ThreadFigures(before, after)), PeakRssMiB());
    return nExit == 0 && host.m_nDoneUs > 0 && host.m_nDialogs == 1 && host.m_nMessages == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    const qint64 nMainUs = RealUs();
    const QString strMode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (strMode == QLatin1String("upload") || strMode == QLatin1String("download")) {
        QCoreApplication app(argc, argv);
        return RunTransfer(QCoreApplication::arguments());
    }
    if (strMode == QLatin1String("site")) {
        QCoreApplication app(argc, argv);
        return RunSite(QCoreApplication::arguments());
    }
    const bool bWindowMode = strMode == QLatin1String("fetch-window") || strMode == QLatin1String("app")
        || strMode == QLatin1String("list-app");
    if (strMode == QLatin1String("list") || strMode == QLatin1String("window") || bWindowMode) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // As the program's own main() makes it.
        BenchApplication app(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Halvorn"));
        QApplication::setApplicationName(QStringLiteral("Tarnlow"));
        QApplication::setApplicationVersion(QStringLiteral("1.02"));
        const qint64 nAppUs = RealUs();
        const QStringList args = QApplication::arguments();
        if (strMode == QLatin1String("app"))
            return RunApp(app, args, nMainUs, nAppUs);
        if (strMode == QLatin1String("list-app"))
            return RunListApp(app, args, nMainUs, nAppUs);
        if (strMode == QLatin1String("fetch-window"))
            return RunFetchWindow(app, args);
        return strMode == QLatin1String("list") ? RunList(args) : RunWindow(args);
    }
    std::fprintf(stderr,
        "usage: tarnlow_bench upload|download|list|window|site|fetch-window|app|list-app ... (see "
        "bench/tarnlow_bench.cpp)\n");
    return 2;
}
