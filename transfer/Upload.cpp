#include "transfer/Upload.h"

#include "ftp/FtpConnection.h"
#include "ftp/LocalFile.h"
#include "ftp/RemotePath.h"
#include "transfer/TransferReport.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

/// The message of every item that was not sent.
QString TransferFailedText()
{
    return QCoreApplication::translate("Upload", "Could not transfer file");
}

/// The path concerned and what went wrong, for the line below the message.
QString Cause(const QByteArray& strPath, const QString& strWhy)
{
    const QString strShown = LocalFile::Display(strPath);
    return strWhy.isEmpty() ? strShown : strShown + QLatin1Char('\n') + strWhy;
}

/// Empty while @p folder is still the folder the plan read; otherwise why not.
QString NoLongerTheFolder(const UploadPlan::Item& folder)
{
    struct stat st { };
    if (::stat(folder.m_strPath.constData(), &st) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        return QCoreApplication::translate("Upload", "It is no longer a folder.");
    return folder.m_id.IsKnown() && FileIdentity::Of(st) != folder.m_id ? LocalFile::ReplacedText() : QString();
}

} // namespace

Upload::Upload(FtpConnection& connection, TransferReport& report, QByteArray strSiteDirectory,
    TransferConnection::Reconnect reconnect)
    : m_connection(connection, std::move(reconnect), report.Meter())
    , m_report(report)
    , m_strSiteDirectory(std::move(strSiteDirectory))
    , m_here(QByteArray())
{
}

void Upload::SendPlan(const UploadPlan& plan)
{
    const std::vector<Item>& items = plan.Items();
    // The directory the items go into, by a name that leads there from
    // anywhere: the server's own, or else the site's directory when it is
    // absolute (a relative one leads elsewhere once the walk has moved).
    QByteArray strStartDir;
    if (items.size() > 1)
        Again([&](FtpConnection& connection) { return connection.GetCurrentDirectory(strStartDir); });
    if (strStartDir.isEmpty() && m_strSiteDirectory.startsWith('/'))
        strStartDir = m_strSiteDirectory;
    for (size_t i = 0; i < items.size(); ++i) {
        if (Stopped())
            break;
        const Item& item = items[i];
        if (item.m_kind == UploadPlan::Kind::Folder) {
            if (UploadFolder(item, strStartDir) && items.size() > 1 && !ReturnTo(strStartDir)) {
                FailRest(items, i + 1);
                break;
            }
        } else {
            UploadFile(item);
        }
    }
    FinishSent();
    m_report.ShowTransferName(QString());
}

bool Upload::Stopped() const
{
    return m_bLost || m_report.IsCancelled();
}

bool Upload::Lost()
{
    if (m_bLost)
        return true;
    switch (m_connection.AfterFailure()) {
    case TransferConnection::State::Usable:
        return false;
    case TransferConnection::State::OutOfStep:
        return !Resume(); // a fresh connection, where the walk stands
    case TransferConnection::State::Gone:
        break;
    }
    // One message for the whole transfer, not one for every file left.
    m_bLost = true;
    if (!m_report.IsCancelled())
        m_report.ShowFailure(TransferFailedText(), m_connection->LastFailureCause());
    return true;
}

bool Upload::Resume()
{
    if (m_bLost)
        return false; // given up already
    if (!m_here || !m_connection.StartAfresh(*m_here)) {
        m_bLost = true;
        if (!m_report.IsCancelled())
            m_report.ShowFailure(
                TransferFailedText(), m_here ? m_connection.Failure() : m_connection->LastFailureCause());
        return false;
    }
    m_bFresh = true;
    // Whatever was sent on the old connection is sent again, in order.
    for (Sent& sent : m_sent)
        sent.m_nTicket = 0;
    return true;
}

bool Upload::Again(const std::function<bool(FtpConnection&)>& operation)
{
    if (operation(*m_connection))
        return true;
    return m_connection->WentOutOfStep() && Resume() && operation(*m_connection);
}

/// Creates and enters the remote folder and sends the folder's entries into it.
/// False when the remote folder could not be entered: then nothing of it is
/// sent, and the current remote directory has not moved.
bool Upload::UploadFolder(const Item& folder, const QByteArray& strParentDir)
{
    // Created (an existing folder is simply used), entered and named in one
    // exchange, once the files sent before have their verdicts.
    FinishSent();
    if (Stopped())
        return false;
    // A folder removed (or replaced) since the plan was read is reported as a
    // whole, never made an empty remote folder.
    if (const QString strGone = NoLongerTheFolder(folder); !strGone.isEmpty()) {
        FailFolder(folder, strGone);
        return false;
    }
    const QByteArray& strLeaf = folder.m_strName;
    QByteArray strFolderDir;
    if (!Again([&](FtpConnection& connection) { return connection.EnterDirectory(strLeaf, strFolderDir, true); })) {
        const QString strWhy = m_connection->LastFailureCause();
        if (Lost())
            return false;
        // Its files would otherwise land in whatever directory is current.
        FailFolder(folder, strWhy);
        return false;
    }
    // The folder's own name, as the server gives it, is the way back to it.
    // Without one, the parent's name and the leaf lead there as the walk came
    // in; without either, there is no way back, and the folder's entries stop
    // at its first sub-folder.
    if (strFolderDir.isEmpty() && !strParentDir.isEmpty())
        strFolderDir = RemotePath::Navigate(strParentDir, strLeaf);
    // Where a fresh connection finds this folder again: by that name only.
    const std::optional<QByteArray> outside
        = std::exchange(m_here, strFolderDir.isEmpty() ? std::nullopt : std::optional<QByteArray>(strFolderDir));

    const std::vector<Item>& entries = folder.m_entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Stopped())
            break;
        const Item& entry = entries[i];
        bool bEntered = false;
        if (entry.m_kind == UploadPlan::Kind::Folder) {
            bEntered = UploadFolder(entry, strFolderDir);
            m_report.ShowTransferName(QString());
        } else {
            // The name stays until the next file takes its place: this one's
            // verdict may still be awaited.
            UploadFile(entry);
        }

        // Back out of a sub-folder, and back to the folder after its last
        // entry, by name and never by "..": where the sub-folder is a link on
        // a server that follows links as it changes directory, ".." leads to
        // the parent of the link's target.
        const bool bLast = i + 1 == entries.size();
        if (bEntered || bLast)
            FinishSent();
        if ((bEntered || bLast) && !Stopped() && !ReturnTo(strFolderDir) && !bLast) {
            FailRest(entries, i + 1);
            break;
        }
    }
    FinishSent();
    // The caller comes back out by its own way back, to the folder it stood in.
    m_here = outside;
    return true;
}

void Upload::FailFolder(const Item& folder, const QString& strWhy)
{
    m_report.ShowTransferName(LocalFile::Display(folder.m_strPath));
    for (int i = 0; i < folder.m_nSteps && !Stopped(); ++i)
        m_report.StepProgress();
    if (!Stopped())
        m_report.ShowFailure(TransferFailedText(), Cause(folder.m_strPath, strWhy));
}

bool Upload::ReturnTo(const QByteArray& strDirectory)
{
    FinishSent();
    if (Stopped())
        return false;
    if (strDirectory.isEmpty()) {
        m_strWayBackFailure = QCoreApplication::translate(
            "Upload", "The server did not name the folder, so there is no way back to it.");
        return false;
    }
    if (Again([&](FtpConnection& connection) { return connection.SetCurrentDirectory(strDirectory); }))
        return true;
    m_strWayBackFailure = m_connection->LastFailureCause();
    Lost(); // a connection gone is reported as such
    return false;
}

void Upload::FailRest(const std::vector<Item>& items, size_t nFirst)
{
    if (nFirst >= items.size() || Stopped())
        return;
    m_report.ShowTransferName(LocalFile::Display(items[nFirst].m_strPath));
    for (size_t i = nFirst; i < items.size(); ++i) {
        for (int n = 0; n < items[i].m_nSteps && !Stopped(); ++n)
            m_report.StepProgress();
    }
    if (!Stopped())
        m_report.ShowFailure(TransferFailedText(), Cause(items[nFirst].m_strPath, m_strWayBackFailure));
}

/// Sends one file under its own name; an item the plan could not send is
/// reported the same way as a file the server refused, with its reason.
/// Either way the progress advances by one, once its verdict is in: the next
/// file's bytes may be on their way by then.
void Upload::UploadFile(const Item& item)
{
    // What the file before must have had answered comes first, under its name.
    m_connection->SettleTransfers();
    m_report.ShowTransferName(LocalFile::Display(item.m_strPath));
    if (item.m_kind != UploadPlan::Kind::File) {
        FinishSent();
        if (!Stopped())
            Report(item, false, item.m_strWhy);
        return;
    }
    // Nothing more goes to a server out of step; and files to be sent again
    // on a fresh connection go first, each judged before the next is sent:
    // a server out of step with one command at a time gets them one at a time.
    if (m_connection->WentOutOfStep() && !Resume())
        return;
    if (!m_sent.empty() && m_sent.back().m_nTicket == 0)
        FinishSent();
    if (Stopped())
        return;
    m_sent.emplace_back().m_pItem = &item;
    Begin(m_sent.back());
    // The file before this one is judged now, while this one's reply is on its way.
    FinishSent(true);
}

void Upload::Begin(Sent& sent)
{
    sent.m_bAlone = std::exchange(m_bFresh, false);
    // A file gone since the plan was read fails to open here, with its cause.
    // So does one replaced since, by another file or a link to one.
    sent.m_nTicket = m_connection->BeginPutFile(sent.m_pItem->m_strPath, sent.m_pItem->m_strName, sent.m_pItem->m_id);
}

void Upload::FinishSent(bool bAllButLast)
{
    while (m_sent.size() > (bAllButLast ? 1u : 0u) && !m_bLost) {
        Sent& front = m_sent.front();
        if (front.m_nTicket == 0 && (!m_connection->WentOutOfStep() || Resume()))
            Begin(front);
        bool bSent = front.m_nTicket != 0 && m_connection->FinishFile(front.m_nTicket);
        // Its verdict was lost with a server out of step: sent again, alone,
        // on a fresh connection. Out of step even so, it fails.
        while (!bSent && !front.m_bAlone && m_connection->WentOutOfStep() && Resume()) {
            Begin(front);
            bSent = m_connection->FinishFile(front.m_nTicket);
        }
        const Sent sent = std::move(front);
        m_sent.pop_front();
        if (!Stopped())
            Report(*sent.m_pItem, bSent, bSent ? QString() : m_connection->LastFailureCause());
    }
    // Verdicts a lost connection will never give are not waited for.
    if (m_bLost)
        m_sent.clear();
}

void Upload::Report(const Item& item, bool bSent, const QString& strWhy)
{
    if (!bSent && Lost())
        return;
    m_report.StepProgress();
    if (!bSent && !Stopped())
        m_report.ShowFailure(TransferFailedText(), Cause(item.m_strPath, strWhy));
}
