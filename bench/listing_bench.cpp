// Lists one remote directory in the real window and prints how long the list
// took to fill, the longest time the window's event loop was held up meanwhile,
// and the process's peak memory.
//
// Usage: listing_bench HOST USER PASSWORD [RUNS]

#include "app/DialogHost.h"
#include "app/TarnlowDlg.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

// Answers every prompt at once and shows it on stderr.
class BenchDialogHost : public DialogHost {
public:
    MsgAnswer MessageBox(QWidget*, const QString& strText, const QString& strCaption, MsgIcon, MsgButtons) override
    {
        std::fprintf(stderr, "prompt: %s: %s\n", qPrintable(strCaption), qPrintable(strText));
        return MsgAnswer::Ok;
    }
    int DoModal(QDialog&) override { return 1; }
    QString BrowseForFolder(QWidget*, const QString&) override { return {}; }
    bool OpenDocument(const QString&) override { return false; }
};

double PeakRssMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct Run {
    qint64 m_nTotalMs = 0; // Refresh to the full list laid out and painted
    qint64 m_nFillMs = 0; // first item in the list to the end
    qint64 m_nMaxStallMs = 0;
    int m_nItems = 0;
};

Run ListOnce(TarnlowDlg& dlg)
{
    Run run;
    QElapsedTimer total;
    QElapsedTimer fill;
    QElapsedTimer tick;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(
        &ticker, &QTimer::timeout, [&] { run.m_nMaxStallMs = std::max(run.m_nMaxStallMs, tick.restart()); });
    const auto inserted = QObject::connect(dlg.m_remoteList->model(), &QAbstractItemModel::rowsInserted, &ticker, [&] {
        if (!fill.isValid())
            fill.start();
    });
    QEventLoop loop;
    QObject::connect(&dlg, &TarnlowDlg::SlotReleased, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);

    total.start();
    tick.start();
    ticker.start();
    dlg.OnRefresh();
    loop.exec();
    // The first paint of the full list belongs to the cost of showing it.
    dlg.m_remoteList->doItemsLayout();
    dlg.m_remoteList->viewport()->repaint();
    QCoreApplication::processEvents();
    ticker.stop();
    run.m_nTotalMs = total.elapsed();
    run.m_nFillMs = fill.isValid() ? fill.elapsed() : 0;
    run.m_nItems = dlg.m_remoteList->count();
    QObject::disconnect(inserted);
    return run;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));
    QApplication::setApplicationName(QStringLiteral("Tarnlow"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: listing_bench HOST USER PASSWORD [RUNS]\n");
        return 2;
    }
    const int nRuns = args.size() > 4 ? std::max(1, args[4].toInt()) : 3;

    BenchDialogHost host;
    TarnlowDlg dlg(host);
    dlg.OnInitDialog();
    dlg.show();
    TabPane& pane = *dlg.ActivePane();
    pane.m_editAddress->setText(args[1]);
    pane.m_editUsername->setText(args[2]);
    pane.m_editPassword->setText(args[3]);
    pane.m_editDirectory->clear();
    const double dBeforeMiB = PeakRssMiB();

    std::vector<Run> runs;
    for (int i = 0; i < nRuns; ++i)
        runs.push_back(ListOnce(dlg));
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.m_nTotalMs < b.m_nTotalMs; });
    const Run& median = runs[runs.size() / 2];
    qint64 nWorstStall = 0;
    for (const Run& run : runs)
        nWorstStall = std::max(nWorstStall, run.m_nMaxStallMs);

    std::printf("%-22s %8d items  total %6lld ms  fill %6lld ms  longest UI stall %4lld ms  peak RSS %6.1f MiB "
                "(%.1f MiB before listing)\n",
        "tarnlow (window)", median.m_nItems, static_cast<long long>(median.m_nTotalMs),
        static_cast<long long>(median.m_nFillMs), static_cast<long long>(nWorstStall), PeakRssMiB(), dBeforeMiB);
    dlg.reject();
    return 0;
}
