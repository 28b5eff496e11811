// One download walk in a process of its own, so that a test can kill it in the
// middle of a file, or limit the size of the files it may write (as a full disk
// would): DownloadHelper ADDRESS USER PASSWORD DIRECTORY FOLDER NAME...
// With TARNLOW_HELPER_FILE_LIMIT=BYTES, no file may grow past BYTES. Each
// failure is printed on a line of its own, with its cause after a tab. Exits 0
// when every name arrived, 1 when one did not, 2 when it could not connect.

#include "ftp/InternetSession.h"
#include "remote/SiteConnection.h"
#include "transfer/Download.h"
#include "transfer/TransferReport.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace {

/// Only failures are shown, on standard output; the test watches the download folder.
class PrintedReport : public TransferReport {
public:
    void ShowTransferName(const QString&) override { }
    void StepProgress() override { }
    void ShowFailure(const QString& strText, const QString& strCause) override
    {
        std::printf("%s\t%s\n", qPrintable(strText), qPrintable(QString(strCause).replace(QLatin1Char('\n'), u' ')));
        std::fflush(stdout);
    }
    bool IsCancelled() const override { return false; }
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 7)
        return 2;
    if (const QByteArray strLimit = qgetenv("TARNLOW_HELPER_FILE_LIMIT"); !strLimit.isEmpty()) {
        // A write past the limit then fails with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t nLimit = strLimit.toULongLong();
        const rlimit limit {nLimit, nLimit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 2;
    }
    InternetSession session;
    SiteConnection link;
    const SiteProfile site {argv[1], argv[2], argv[3], argv[4]};
    if (link.Open(session, site) != SiteConnection::Outcome::Connected)
        return 2;
    QList<QByteArray> names;
    for (int i = 6; i < argc; ++i)
        names.append(argv[i]);
    PrintedReport report;
    Download download(link.Connection(), report, QByteArray(argv[5]));
    download.DownloadNames(names);
    return download.AllFetched() ? 0 : 1;
}
