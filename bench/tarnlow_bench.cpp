// The program's side of the benchmark (bench/run.sh). Transfers run through the
// core's walks exactly as the window's workers run them: one connection per
// operation, every report carried to a main thread by the window's own
// WorkerGate (a blocking queued call), then a second connection that lists the
// site again. The listing, and the stalls of the window's thread, go through
// the real window under the offscreen platform.
//
// Usage:
//   tarnlow_bench upload   HOST USER PASSWORD DIRECTORY LOCAL_PATH...
//   tarnlow_bench download HOST USER PASSWORD DIRECTORY LOCAL_FOLDER NAMES_FILE
//   tarnlow_bench list     HOST USER PASSWORD DIRECTORY
//   tarnlow_bench window   HOST USER PASSWORD WORK_DIRECTORY LIST_DIRECTORY BIG_FILE TREE_FOLDER LOCAL_FOLDER
//
// Each prints one line of figures ("key=value ...") and exits with 0 only when
// the operation completed without a single failure.

#include "app/DialogHost.h"
#include "app/PutThread.h"
#include "app/TarnlowDlg.h"
#include "app/WorkerGate.h"
#include "ftp/InternetSession.h"
#include "remote/RemoteListing.h"
#include "remote/SiteConnection.h"
#include "transfer/Download.h"
#include "transfer/TransferReport.h"
#include "transfer/Upload.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
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

/// A TransferReport whose every call hops to the main thread through the
/// window's WorkerGate and waits there, as the window's TransferView does.
class GateReport : public TransferReport {
public:
    GateReport(WorkerGate& gate, ProgressState& state, const QElapsedTimer& clock, int nTotal)
        : m_gate(gate)
        , m_state(state)
        , m_clock(clock)
        , m_nTotal(nTotal)
    {
    }

    void ShowTransferName(const QString& strName) override
    {
        m_gate.Call([&] { m_state.m_strName = strName; });
    }
    void StepProgress() override
    {
        m_gate.Call([&] {
            ++m_state.m_nDone;
            m_state.m_strPercent = PutThread::PercentText(m_state.m_nDone, m_nTotal);
            if (m_state.m_nDone == m_nTotal / 2)
                m_state.m_nHalfMs = m_clock.elapsed();
        });
    }
    void ShowFailure(const QString& strText, const QString&) override
    {
        m_gate.Call([&] {
            ++m_state.m_nFailures;
            std::fprintf(stderr, "tarnlow_bench: %s (at %s)\n", qPrintable(strText), qPrintable(m_state.m_strName));
        });
    }
    bool IsCancelled() const override { return false; }

private:
    WorkerGate& m_gate;
    ProgressState& m_state;
    const QElapsedTimer& m_clock;
    const int m_nTotal;
};

/// One transfer as the window's worker runs it: connect and enter the site's
/// directory, the walk, close, and list the site again over a new connection.
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
    // Counted before the worker starts, as the window counts a drop.
    const int nTotal = bUpload ? Upload::CountFiles(paths) : int(names.size());
    bool bComplete = false;
    qint64 nWalkEndMs = 0;
    std::size_t nListed = 0;

    clock.start();
    gate.Start([&] {
        SiteConnection link;
        const SiteConnection::Outcome outcome = link.Open(session, site);
        gate.Call([&] { state.m_strName.clear(); }); // the window goes busy
        if (outcome == SiteConnection::Outcome::Connected) {
            GateReport report(gate, state, clock, nTotal);
            if (bUpload) {
                Upload upload(link.Connection(), report, site.m_strDirectory);
                upload.UploadPaths(paths);
                bComplete = !upload.ConnectionLost();
            } else {
                Download download(link.Connection(), report, args[6]);
                download.DownloadNames(names);
                bComplete = download.AllFetched();
            }
        } else {
            std::fprintf(stderr, "tarnlow_bench: %s\n", qPrintable(SiteConnection::FailureText(outcome)));
        }
        link.Close();
        nWalkEndMs = clock.elapsed();
        if (bComplete) {
            SiteConnection relist;
            if (relist.Open(session, site) == SiteConnection::Outcome::Connected) {
                RemoteListing listing;
                listing.ListRemoteDirectory(relist.Connection());
                relist.Close();
                gate.Call([&] { nListed = listing.Entries().size(); });
            } else {
                bComplete = false;
            }
        }
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

/// Answers every prompt at once; a message box is a failure of the run.
class BenchDialogHost : public DialogHost {
public:
    MsgAnswer MessageBox(
        QWidget*, const QString& strText, const QString& strCaption, MsgIcon, MsgButtons, const QString&) override
    {
        ++m_nMessages;
        std::fprintf(stderr, "tarnlow_bench: message: %s: %s\n", qPrintable(strCaption), qPrintable(strText));
        return MsgAnswer::Ok;
    }
    int DoModal(QDialog&) override
    {
        ++m_nDialogs;
        return 1;
    }
    QString BrowseForFolder(QWidget*, const QString&) override { return {}; }
    bool OpenUrl(const QUrl&) override { return false; }

    int m_nMessages = 0;
    int m_nDialogs = 0; // completion dialogs shown
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
        m_pList = m_dlg.findChild<QListWidget*>(QStringLiteral("m_remoteList"));
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
    QListWidget* m_pList = nullptr;
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
    const int nItems = rig.m_pList->count();
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

    runPhase("upload", 1, [&] { rig.m_dlg.OnDropFiles({strBig}); });
    runPhase("download", 1, [&] {
        const QString strName = QFileInfo(strBig).fileName();
        for (int nRow = 0; nRow < rig.m_pList->count(); ++nRow)
            rig.m_pList->item(nRow)->setSelected(rig.m_pList->item(nRow)->text() == strName);
        rig.m_dlg.findChild<QLineEdit*>(QStringLiteral("m_editDownloadPath"))->setText(strLocal);
        rig.m_dlg.OnDownload();
    });
    runPhase("tree", 1, [&] { rig.m_dlg.OnDropFiles({strTree}); });
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

} // namespace

int main(int argc, char* argv[])
{
    const QString strMode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (strMode == QLatin1String("upload") || strMode == QLatin1String("download")) {
        QCoreApplication app(argc, argv);
        return RunTransfer(QCoreApplication::arguments());
    }
    if (strMode == QLatin1String("list") || strMode == QLatin1String("window")) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Halvorn"));
        QApplication::setApplicationName(QStringLiteral("Tarnlow"));
        const QStringList args = QApplication::arguments();
        return strMode == QLatin1String("list") ? RunList(args) : RunWindow(args);
    }
    std::fprintf(stderr, "usage: tarnlow_bench upload|download|list|window ... (see bench/tarnlow_bench.cpp)\n");
    return 2;
}
