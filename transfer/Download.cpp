#include "transfer/Download.h"

#include "ftp/FtpConnection.h"
#include "ftp/LocalFile.h"
#include "ftp/RemoteLink.h"
#include "sites/ByteText.h"
#include "transfer/DownloadName.h"
#include "transfer/LocalPath.h"
#include "transfer/PartFile.h"
#include "transfer/TransferReport.h"

#include <QHash>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

const QString kFetchFailed = QStringLiteral("Could not transfer file to this location - File Exists!");

} // namespace

Download::Download(FtpConnection& connection, TransferReport& report, QByteArray strFolder)
    : m_connection(connection)
    , m_report(report)
    , m_strFolder(std::move(strFolder))
{
}

void Download::DownloadNames(const QList<QByteArray>& names)
{
    // A part file never takes a name this download is about to write: "x"
    // and ".x.tarnlow-part" may both be selected.
    m_names = QSet<QByteArray>(names.cbegin(), names.cend());
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
            break;
        // The entry of exactly this name decides whether it is a folder; a
        // longer name that begins with it (a backup copy, say) does not. A name
        // without an entry is tried as a file and reported when it fails: one
        // that cannot be looked up, one in a directory that could not be read,
        // and one the server no longer lists, so that the download never ends
        // as complete with the file missing. A folder, ".." among them, is
        // passed over quietly.
        const FtpEntry* pEntry = bListed && DownloadName::CanLookUp(strName) ? byName.value(strName) : nullptr;
        const bool bDots = strName == "." || strName == ".."; // folders, listed or not
        const bool bFile = !bDots && !(pEntry && (pEntry->m_bDirectory || pEntry->m_bLink));
        if (bFile) {
            // Files follow each other without a wait: the next is asked for as
            // soon as this one's bytes are in, and judged after.
            BeginFile(strName);
            continue;
        }
        FinishFetching();
        if (m_bLost || m_report.IsCancelled())
            break;
        // A link that turns out to lead to a file is fetched, and counted, as one.
        if (!bDots && pEntry && pEntry->m_bLink && DownloadLink(strName))
            continue;
        if (m_bLost)
            break;
        m_report.StepProgress();
    }
    // Files asked for are judged even when the walk ends early, so that their
    // part files go with them.
    FinishFetching();
    if (!m_bLost && !m_report.IsCancelled())
        m_report.ShowTransferName(QString());
}

bool Download::DownloadLink(const QByteArray& strName)
{
    // A link behaves as what it leads to: a folder is passed over like any
    // folder, anything else is fetched as a file (and reported if it fails).
    switch (RemoteLink::Resolve(m_connection, strName)) {
    case RemoteLink::Target::Folder: return false;
    case RemoteLink::Target::NotFolder:
        BeginFile(strName);
        FinishFetching();
        return true;
    case RemoteLink::Target::Lost: GiveUp(); return false; // later names would be looked for in the wrong place
    }
    return false;
}

void Download::BeginFile(const QByteArray& strName)
{
    if (m_report.IsCancelled() || m_bLost)
        return; // the window is going
    m_report.ShowTransferName(ByteText::Display(strName));
    Fetching fetching;
    fetching.m_strName = strName;
    fetching.m_strPath = DownloadName::IsSafe(strName) ? LocalPath::Join(m_strFolder, strName) : QByteArray();
    // A name taken already fails at once, before anything is fetched for nothing.
    if (fetching.m_strPath.isEmpty()) {
        fetching.m_strFailure
            = QStringLiteral("%1 cannot be a file name in the download folder.").arg(ByteText::Display(strName));
    } else if (PartFile::Exists(fetching.m_strPath)) {
        fetching.m_strFailure = QStringLiteral("%1 exists already.").arg(LocalFile::Display(fetching.m_strPath));
    } else {
        // Received under a part name and given its own only once it has
        // arrived whole, its size checked: a run killed mid-file never leaves
        // a cut-off file under the real name. A fetch that fails removes its
        // part file.
        fetching.m_strPartPath = PartFile::FreePath(m_strFolder, strName, m_names);
        if (fetching.m_strPartPath.isEmpty())
            fetching.m_strFailure = QStringLiteral("No free name for the part file of %1 in %2.")
                                        .arg(ByteText::Display(strName), LocalFile::Display(m_strFolder));
        else
            fetching.m_nTicket = m_connection.BeginGetFile(strName, fetching.m_strPartPath, true);
    }
    // The file before is judged now, while this one's verdict is on its way.
    m_fetching.push_back(std::move(fetching));
    FinishFetching(true);
}

bool Download::FinishFetching(bool bAllButLast)
{
    bool bAll = true;
    while (m_fetching.size() > (bAllButLast ? 1u : 0u)) {
        const Fetching fetching = std::move(m_fetching.front());
        m_fetching.pop_front();
        bool bFetched = false;
        QString strWhy = fetching.m_strFailure;
        if (fetching.m_nTicket != 0) {
            bFetched = m_connection.FinishFile(fetching.m_nTicket);
            // The part file is this side's business: the user knows the file by its name.
            int nErrno = 0;
            if (!bFetched) {
                strWhy = m_connection.LastFailureCause().replace(
                    LocalFile::Display(fetching.m_strPartPath), LocalFile::Display(fetching.m_strPath));
            } else if (!PartFile::Place(
                           fetching.m_strPartPath, fetching.m_strPath, PartFile::Method::RenameNoReplace, &nErrno)) {
                // Only a name taken meanwhile is one that "appeared"; any
                // other failure is named as the system names it.
                bFetched = false;
                strWhy = nErrno == EEXIST ? QStringLiteral("%1 appeared while it was fetched; it was left as it is.")
                                                .arg(LocalFile::Display(fetching.m_strPath))
                                          : QStringLiteral("%1: %2").arg(LocalFile::Display(fetching.m_strPath),
                                              QString::fromLocal8Bit(std::strerror(nErrno)));
            }
        }
        bAll = bAll && bFetched;
        if (m_bLost || m_report.IsCancelled())
            continue; // reported already, or the window is going
        if (!bFetched && !Failed(strWhy))
            continue;
        m_report.StepProgress();
    }
    return bAll;
}

bool Download::Failed(const QString& strWhy)
{
    // No re-listing and no completion dialog after a failed file.
    m_bAllFetched = false;
    if (Lost())
        return false; // the loss is reported already
    m_report.ShowFailure(kFetchFailed, strWhy);
    return true;
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
        m_report.ShowFailure(kFetchFailed, m_connection.LastFailureCause());
}
