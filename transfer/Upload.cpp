#include "transfer/Upload.h"

#include "ftp/FtpConnection.h"
#include "ftp/RemotePath.h"
#include "transfer/LocalTree.h"
#include "transfer/TransferReport.h"

#include <QDir>
#include <QFile>

namespace {

const QString kTransferFailed = QStringLiteral("Could not transfer file");

/// The path concerned and what went wrong, for the line below the message.
QString Cause(const QString& strPath, const QString& strWhy)
{
    const QString strShown = QDir::toNativeSeparators(strPath);
    return strWhy.isEmpty() ? strShown : strShown + QLatin1Char('\n') + strWhy;
}

QList<LocalTree::Entry> Classify(const QStringList& paths)
{
    QList<LocalTree::Entry> items;
    items.reserve(paths.size());
    for (const QString& strPath : paths)
        items.append(LocalTree::Classify(strPath));
    return items;
}

} // namespace

Upload::Upload(FtpConnection& connection, TransferReport& report, QByteArray strSiteDirectory)
    : m_connection(connection)
    , m_report(report)
    , m_strSiteDirectory(std::move(strSiteDirectory))
{
}

int Upload::CountFiles(const QStringList& paths)
{
    int nCount = 0;
    for (const LocalTree::Entry& item : Classify(paths))
        nCount += LocalTree::CountItems(item);
    return nCount;
}

void Upload::UploadPaths(const QStringList& paths)
{
    UploadItems(Classify(paths));
}

bool Upload::Stopped() const
{
    return m_bLost || m_report.IsCancelled();
}

bool Upload::Lost()
{
    // Asked only after a failure: vsftpd, for one, answers "500 OOPS" as it
    // dies, and only the next exchange shows the connection is gone.
    if (!m_bLost && !m_connection.ConfirmUsable()) {
        // One message for the whole transfer, not one for every file left.
        m_bLost = true;
        if (!m_report.IsCancelled())
            m_report.ShowFailure(kTransferFailed, m_connection.LastFailureCause());
    }
    return m_bLost;
}

void Upload::UploadItems(const QList<LocalTree::Entry>& items)
{
    // The directory the items go into, by a name that leads there from
    // anywhere: the server's own, or else the site's directory when it is
    // absolute (a relative one leads elsewhere once the walk has moved).
    QByteArray strStartDir;
    if (items.size() > 1)
        m_connection.GetCurrentDirectory(strStartDir);
    if (strStartDir.isEmpty() && m_strSiteDirectory.startsWith('/'))
        strStartDir = m_strSiteDirectory;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (Stopped())
            break;
        const LocalTree::Entry& item = items[i];
        if (item.m_kind == LocalTree::Kind::Folder) {
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

/// Creates and enters the remote folder and sends the folder's entries into it.
/// False when the remote folder could not be entered: then nothing of it is
/// sent, and the current remote directory has not moved.
bool Upload::UploadFolder(const LocalTree::Entry& folder, const QByteArray& strParentDir)
{
    // Created (an existing folder is simply used), entered and named in one
    // exchange, once the files sent before have their verdicts.
    FinishSent();
    if (Stopped())
        return false;
    const QByteArray strLeaf = QFile::encodeName(folder.m_strName);
    QByteArray strFolderDir;
    if (!m_connection.EnterDirectory(strLeaf, strFolderDir, true)) {
        const QString strWhy = m_connection.LastFailureCause();
        if (Lost())
            return false;
        // Its files would otherwise land in whatever directory is current.
        m_report.ShowTransferName(folder.m_strPath);
        const int nItems = LocalTree::CountItems(folder);
        for (int i = 0; i < nItems && !Stopped(); ++i)
            m_report.StepProgress();
        m_report.ShowFailure(kTransferFailed, Cause(folder.m_strPath, strWhy));
        return false;
    }
    // The folder's own name, as the server gives it, is the way back to it.
    // Without one, the parent's name and the leaf lead there as the walk came
    // in; without either, there is no way back, and the folder's entries stop
    // at its first sub-folder.
    if (strFolderDir.isEmpty() && !strParentDir.isEmpty())
        strFolderDir = RemotePath::Navigate(strParentDir, strLeaf);

    const QList<LocalTree::Entry> entries = LocalTree::Entries(folder.m_strPath);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (Stopped())
            break;
        const LocalTree::Entry& entry = entries[i];
        bool bEntered = false;
        if (entry.m_kind == LocalTree::Kind::Folder) {
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
    return true;
}

bool Upload::ReturnTo(const QByteArray& strDirectory)
{
    FinishSent();
    if (Stopped())
        return false;
    if (strDirectory.isEmpty()) {
        m_strWayBackFailure = QStringLiteral("The server did not name the folder, so there is no way back to it.");
        return false;
    }
    if (m_connection.SetCurrentDirectory(strDirectory))
        return true;
    m_strWayBackFailure = m_connection.LastFailureCause();
    Lost(); // a connection gone is reported as such
    return false;
}

void Upload::FailRest(const QList<LocalTree::Entry>& items, qsizetype nFirst)
{
    if (nFirst >= items.size() || Stopped())
        return;
    m_report.ShowTransferName(items[nFirst].m_strPath);
    for (qsizetype i = nFirst; i < items.size(); ++i) {
        const int nItems = LocalTree::CountItems(items[i]);
        for (int n = 0; n < nItems && !Stopped(); ++n)
            m_report.StepProgress();
    }
    if (!Stopped())
        m_report.ShowFailure(kTransferFailed, Cause(items[nFirst].m_strPath, m_strWayBackFailure));
}

/// Sends one file under its own name; anything that is not a readable file is
/// reported the same way as a file the server refused. Either way the progress
/// advances by one, once its verdict is in: the next file's bytes may be on
/// their way by then.
void Upload::UploadFile(const LocalTree::Entry& item)
{
    // What the file before must have had answered comes first, under its name.
    m_connection.SettleTransfers();
    m_report.ShowTransferName(item.m_strPath);
    if (item.m_kind != LocalTree::Kind::File) {
        FinishSent();
        if (!Stopped())
            Report(item, false, QStringLiteral("It is not a file that can be read."));
        return;
    }
    const FtpTicket nTicket = m_connection.BeginPutFile(QFile::encodeName(item.m_strPath), QFile::encodeName(item.m_strName));
    // The file before this one is judged now, while this one's reply is on its way.
    FinishSent();
    m_sent = Sent {nTicket, item};
}

void Upload::FinishSent()
{
    if (!m_sent)
        return;
    const Sent sent = *std::exchange(m_sent, std::nullopt);
    const bool bSent = m_connection.FinishFile(sent.m_nTicket);
    if (!Stopped())
        Report(sent.m_item, bSent, bSent ? QString() : m_connection.LastFailureCause());
}

void Upload::Report(const LocalTree::Entry& item, bool bSent, const QString& strWhy)
{
    if (!bSent && Lost())
        return;
    m_report.StepProgress();
    if (!bSent && !Stopped())
        m_report.ShowFailure(kTransferFailed, Cause(item.m_strPath, strWhy));
}
