#include "transfer/Download.h"

#include "ftp/FtpConnection.h"
#include "ftp/RemoteLink.h"
#include "sites/ByteText.h"
#include "transfer/DownloadName.h"
#include "transfer/PartFile.h"
#include "transfer/TransferReport.h"

#include <QHash>

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
    // One listing of the directory decides every name: listing it again for
    // each name would cost the square of the selection.
    std::vector<FtpEntry> listing;
    const bool bListed = m_connection.ReadDirectory(listing);
    if (!bListed && Lost())
        return;
    QHash<QByteArray, const FtpEntry*> byName;
    byName.reserve(qsizetype(listing.size()));
    for (const FtpEntry& entry : listing) {
        if (!byName.contains(entry.m_strName))
            byName.insert(entry.m_strName, &entry);
    }

    for (const QByteArray& strName : names) {
        if (m_bLost || m_report.IsCancelled())
            return;
        // The entry of exactly this name decides whether it is a folder; a
        // longer name that begins with it (a backup copy, say) does not. A name
        // without an entry is tried as a file and reported when it fails: one
        // that cannot be looked up, one in a directory that could not be read,
        // and one the server no longer lists, so that the download never ends
        // as complete with the file missing. A folder, ".." among them, is
        // passed over quietly.
        const FtpEntry* pEntry = bListed && DownloadName::CanLookUp(strName) ? byName.value(strName) : nullptr;
        const bool bDots = strName == "." || strName == ".."; // folders, listed or not
        if (!bDots && pEntry && pEntry->m_bLink)
            DownloadLink(strName);
        else if (!bDots && !(pEntry && pEntry->m_bDirectory))
            DownloadFile(strName);
        if (m_bLost)
            return;
        m_report.StepProgress();
    }
    m_report.ShowTransferName(QString());
}

void Download::DownloadLink(const QByteArray& strName)
{
    // A link behaves as what it leads to: a folder is passed over like any
    // folder, anything else is fetched as a file (and reported if it fails).
    switch (RemoteLink::Resolve(m_connection, strName)) {
    case RemoteLink::Target::Folder: break;
    case RemoteLink::Target::NotFolder: DownloadFile(strName); break;
    case RemoteLink::Target::Lost: GiveUp(); break; // later names would be looked for in the wrong place
    }
}

bool Download::DownloadFile(const QByteArray& strName)
{
    if (m_report.IsCancelled())
        return false; // the window is going
    m_report.ShowTransferName(ByteText::Display(strName));
    if (Fetch(strName))
        return true;
    // No re-listing and no completion dialog after a failed file.
    m_bAllFetched = false;
    if (m_report.IsCancelled() || Lost())
        return false; // the window is going, or the loss is reported already
    m_report.ShowFailure(kFetchFailed);
    return false;
}

bool Download::Fetch(const QByteArray& strName)
{
    if (!DownloadName::IsSafe(strName))
        return false;
    // A name taken already fails at once, before anything is fetched for nothing.
    const QString strPath = DownloadName::LocalPath(m_strFolder, strName);
    if (PartFile::Exists(strPath))
        return false;
    // Received under a part name and given its own only once it has arrived
    // whole, its size checked: a run killed mid-file never leaves a cut-off
    // file under the real name. A fetch that fails removes its part file.
    const QString strPartPath = PartFile::FreePath(m_strFolder, strName);
    return !strPartPath.isEmpty() && m_connection.GetFile(strName, strPartPath, true)
        && PartFile::Place(strPartPath, strPath);
}

bool Download::Lost()
{
    // Asked only after a failure: a server may refuse a command as it dies.
    if (!m_bLost && !m_connection.ConfirmUsable())
        GiveUp();
    return m_bLost;
}

void Download::GiveUp()
{
    // One message for the whole transfer, not one for every name left.
    m_bLost = true;
    m_bAllFetched = false;
    if (!m_report.IsCancelled())
        m_report.ShowFailure(kFetchFailed);
}
