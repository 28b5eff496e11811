// One download walk in a process of its own, so that a test can kill it in the
// middle of a file: DownloadHelper ADDRESS USER PASSWORD DIRECTORY FOLDER NAME...
// Exits 0 when every name arrived, 1 when one did not, 2 when it could not connect.

#include "ftp/InternetSession.h"
#include "remote/SiteConnection.h"
#include "transfer/Download.h"
#include "transfer/TransferReport.h"

#include <QCoreApplication>
#include <QFile>

namespace {

/// Nothing to show: the test watches the download folder.
class SilentReport : public TransferReport {
public:
    void ShowTransferName(const QString&) override { }
    void StepProgress() override { }
    void ShowFailure(const QString&, const QString&) override { }
    bool IsCancelled() const override { return false; }
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 7)
        return 2;
    InternetSession session;
    SiteConnection link;
    const SiteProfile site {argv[1], argv[2], argv[3], argv[4]};
    if (link.Open(session, site) != SiteConnection::Outcome::Connected)
        return 2;
    QList<QByteArray> names;
    for (int i = 6; i < argc; ++i)
        names.append(argv[i]);
    SilentReport report;
    Download download(link.Connection(), report, QFile::decodeName(argv[5]));
    download.DownloadNames(names);
    return download.AllFetched() ? 0 : 1;
}
