#include "transfer/Download.h"

#include "ftp/FtpConnection.h"
#include "ftp/LocalFile.h"
#include "ftp/RemoteLink.h"
#include "sites/ByteText.h"
#include "transfer/DownloadName.h"
#include "transfer/LocalPath.h"
#include "transfer/PartFile.h"
#include "transfer/TransferReport.h"

#include <QCoreApplication>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

/// The message of every file that did not arrive.
QString FetchFailedText()
{
    return QCoreApplication::translate("Download", "Could not transfer file to this location - File Exists!");
}

} // namespace

Download::Download(
    FtpConnection& connection, TransferReport& report, QByteArray strFolder, TransferConnection::Reconnect reconnect)
    : m_connection(connection, std::move(reconnect), report.Meter())
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
    bool bListed = m_connection->ReadDirectory(listing);
    if (!bListed && m_connection->WentOutOfStep() && !Lost())
        bListed = m_connection->ReadDirectory(listing);
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
    RemoteLink::Target target = RemoteLink::Resolve(*m_connection, strName);
    if (target == RemoteLink::Target::Lost && m_connection->WentOutOfStep() && !Lost())
        target = RemoteLink::Resolve(*m_connection, strName);
    switch (target) {
    case RemoteLink::Target::Folder: return false;
    case RemoteLink::Target::NotFolder:
        BeginFile(strName);
        FinishFetching();
        return true;
    case RemoteLink::Target::Lost:
        // Later names would be looked for in the wrong place.
        GiveUp(m_connection->LastFailureCause());
        return false;
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
            = QCoreApplication::translate("Download", "%1 cannot be a file name in the download folder.")
                  .arg(ByteText::Display(strName));
    } else if (PartFile::Exists(fetching.m_strPath)) {
        fetching.m_strFailure
            = QCoreApplication::translate("Download", "%1 exists already.").arg(LocalFile::Display(fetching.m_strPath));
    } else {
        // Nothing more goes to a server out of step; and files to be asked
        // for again on a fresh connection go first, each judged before the
        // next is asked for: a server out of step with one command at a time
        // gets them one at a time.
        if (!m_connection->WentOutOfStep() || Resume()) {
            if (!m_fetching.empty() && m_fetching.back().m_nTicket == 0 && m_fetching.back().m_strFailure.isEmpty())
                FinishFetching();
            if (!m_bLost)
                Ask(fetching);
        }
    }
    // The file before is judged now, while this one's verdict is on its way.
    m_fetching.push_back(std::move(fetching));
    FinishFetching(true);
}

void Download::Ask(Fetching& fetching)
{
    // Received under a part name and given its own only once it has arrived
    // whole, its size checked: a run killed mid-file never leaves a cut-off
    // file under the real name. A fetch that fails removes its part file.
    fetching.m_bAlone = std::exchange(m_bFresh, false);
    fetching.m_strPartPath = PartFile::FreePath(m_strFolder, fetching.m_strName, m_names);
    if (fetching.m_strPartPath.isEmpty())
        fetching.m_strFailure = QCoreApplication::translate("Download", "No free name for the part file of %1 in %2.")
                                    .arg(ByteText::Display(fetching.m_strName), LocalFile::Display(m_strFolder));
    else
        fetching.m_nTicket = m_connection->BeginGetFile(fetching.m_strName, fetching.m_strPartPath, true);
}

bool Download::Resume()
{
    if (m_bLost)
        return false; // given up already
    if (!m_connection.StartAfresh({})) {
        GiveUp(m_connection.Failure());
        return false;
    }
    m_bFresh = true;
    // Whatever was asked for on the old connection is asked for again, in order.
    for (Fetching& fetching : m_fetching) {
        if (fetching.m_strFailure.isEmpty())
            fetching.m_nTicket = 0;
    }
    return true;
}

bool Download::FinishFetching(bool bAllButLast)
{
    bool bAll = true;
    while (m_fetching.size() > (bAllButLast ? 1u : 0u)) {
        Fetching& front = m_fetching.front();
        if (front.m_nTicket == 0 && front.m_strFailure.isEmpty() && !m_bLost
            && (!m_connection->WentOutOfStep() || Resume()))
            Ask(front);
        bool bFetched = front.m_nTicket != 0 && m_connection->FinishFile(front.m_nTicket);
        // Its verdict was lost with a server out of step: asked for again,
        // alone, on a fresh connection. Out of step even so, it fails.
        while (!bFetched && front.m_nTicket != 0 && !front.m_bAlone && m_connection->WentOutOfStep() && Resume()) {
            Ask(front);
            bFetched = front.m_nTicket != 0 && m_connection->FinishFile(front.m_nTicket);
        }
        const Fetching fetching = std::move(front);
        m_fetching.pop_front();
        QString strWhy = fetching.m_strFailure;
        if (fetching.m_nTicket != 0) {
            // The part file is this side's business: the user knows the file by its name.
            int nErrno = 0;
            if (!bFetched) {
                strWhy = m_connection->LastFailureCause().replace(
                    LocalFile::Display(fetching.m_strPartPath), LocalFile::Display(fetching.m_strPath));
            } else if (!PartFile::Place(
                           fetching.m_strPartPath, fetching.m_strPath, PartFile::Method::RenameNoReplace, &nErrno)) {
                // Only a name taken meanwhile is one that "appeared"; any
                // other failure is named as the system names it.
                bFetched = false;
                strWhy = nErrno == EEXIST
                    ? QCoreApplication::translate("Download", "%1 appeared while it was fetched; it was left as it is.")
                          .arg(LocalFile::Display(fetching.m_strPath))
                    : QCoreApplication::translate("Download", "%1: %2")
                          .arg(LocalFile::Display(fetching.m_strPath), QString::fromLocal8Bit(std::strerror(nErrno)));
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
    m_report.ShowFailure(FetchFailedText(), strWhy);
    return true;
}

bool Download::Lost()
{
    if (m_bLost)
        return true;
    switch (m_connection.AfterFailure()) {
    case TransferConnection::State::Usable:
        return false;
    case TransferConnection::State::OutOfStep:
        // The download goes on over a fresh connection, in the same directory.
        return !Resume();
    case TransferConnection::State::Gone:
        break;
    }
    GiveUp(m_connection->LastFailureCause());
    return true;
}

void Download::GiveUp(const QString& strCause)
{
    // One message for the whole transfer, not one for every name left.
    m_bLost = true;
    m_bAllFetched = false;
    if (!m_report.IsCancelled())
        m_report.ShowFailure(FetchFailedText(), strCause);
}
