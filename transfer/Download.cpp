#include "transfer/Download.h"

#include "ftp/FtpConnection.h"
#include "sites/ByteText.h"
#include "transfer/DownloadName.h"
#include "transfer/TransferReport.h"

#include <vector>

namespace {

const QString kFetchFailed = QStringLiteral("Could not transfer file to this location - File Exists!");

} // namespace

Download::Download(FtpConnection& connection, TransferReport& report, QString strFolder)
    : m_connection(connection)
    , m_report(report)
    , m_strFolder(std::move(strFolder))
{
}

void Download::DownloadNames(const QList<QByteArray>& names)
{
    for (const QByteArray& strName : names) {
        if (m_bLost || m_report.IsCancelled())
            return;
        if (!DownloadName::CanLookUp(strName)) {
            // A pattern of it would match other entries; it is refused as a file.
            DownloadFile(strName);
        } else {
            FtpFileFind find(m_connection);
            if (find.FindFile(strName + '*')) {
                // The entry of exactly this name decides whether it is a folder; a
                // longer name listed before it (a backup copy, say) does not. Without
                // one, the first match decides. The file fetched is always the name itself.
                bool bDirectory = false;
                bool bFirst = true;
                bool bMore = true;
                while (bMore) {
                    bMore = find.FindNextFile();
                    if (bFirst || find.GetFileName() == strName)
                        bDirectory = find.IsDirectory();
                    bFirst = false;
                    if (find.GetFileName() == strName)
                        break;
                }
                find.Close();
                if (!bDirectory)
                    DownloadFile(strName);
            } else {
                // Only a name that is really gone is skipped quietly. When the
                // directory cannot be read at all (a broken connection, say), the
                // file is tried and, failing, reported, so the download does not
                // end as complete with the file missing.
                std::vector<FtpEntry> entries;
                if (!m_connection.ReadDirectory(entries) && !Lost())
                    DownloadFile(strName);
            }
        }
        if (m_bLost)
            return;
        m_report.StepProgress();
    }
    m_report.ShowTransferName(QString());
}

bool Download::DownloadFile(const QByteArray& strName)
{
    if (m_report.IsCancelled())
        return false; // the window is going
    m_report.ShowTransferName(ByteText::Display(strName));
    const bool bFetched = DownloadName::IsSafe(strName)
        && m_connection.GetFile(strName, DownloadName::LocalPath(m_strFolder, strName), true);
    if (bFetched)
        return true;
    // No re-listing and no completion dialog after a failed file.
    m_bAllFetched = false;
    if (m_report.IsCancelled() || Lost())
        return false; // the window is going, or the loss is reported already
    m_report.ShowFailure(kFetchFailed);
    return false;
}

bool Download::Lost()
{
    if (!m_bLost && !m_connection.IsUsable()) {
        // One message for the whole transfer, not one for every name left.
        m_bLost = true;
        m_bAllFetched = false;
        if (!m_report.IsCancelled())
            m_report.ShowFailure(kFetchFailed);
    }
    return m_bLost;
}
