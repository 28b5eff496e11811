#include "transfer/Upload.h"

#include "ftp/FtpConnection.h"
#include "transfer/LocalTree.h"
#include "transfer/TransferReport.h"

#include <QFile>

namespace {

const QString kTransferFailed = QStringLiteral("Could not transfer file");

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
            m_report.ShowFailure(kTransferFailed);
    }
    return m_bLost;
}

void Upload::UploadItems(const QList<LocalTree::Entry>& items)
{
    QByteArray strStartDir;
    if (items.size() > 1) {
        m_connection.GetCurrentDirectory(strStartDir);
        // Without an answer the site's own directory is the best way back.
        if (strStartDir.isEmpty())
            strStartDir = m_strSiteDirectory;
    }
    for (const LocalTree::Entry& item : items) {
        if (Stopped())
            return;
        if (item.m_kind == LocalTree::Kind::Folder) {
            if (UploadFolder(item) && items.size() > 1)
                m_connection.SetCurrentDirectory(strStartDir);
        } else {
            UploadFile(item);
        }
    }
    m_report.ShowTransferName(QString());
}

/// Creates and enters the remote folder and sends the folder's entries into it.
/// False when the remote folder could not be entered: then nothing of it is
/// sent, and the current remote directory has not moved.
bool Upload::UploadFolder(const LocalTree::Entry& folder)
{
    const QByteArray strLeaf = QFile::encodeName(folder.m_strName);
    m_connection.CreateDirectory(strLeaf); // an existing folder is simply used
    if (!m_connection.SetCurrentDirectory(strLeaf)) {
        if (Lost())
            return false;
        // Its files would otherwise land in whatever directory is current.
        m_report.ShowTransferName(folder.m_strPath);
        const int nItems = LocalTree::CountItems(folder);
        for (int i = 0; i < nItems && !Stopped(); ++i)
            m_report.StepProgress();
        m_report.ShowFailure(kTransferFailed);
        return false;
    }
    QByteArray strFolderDir;
    m_connection.GetCurrentDirectory(strFolderDir);

    const QList<LocalTree::Entry> entries = LocalTree::Entries(folder.m_strPath);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (Stopped())
            break;
        const LocalTree::Entry& entry = entries[i];
        bool bEntered = false;
        if (entry.m_kind == LocalTree::Kind::Folder)
            bEntered = UploadFolder(entry);
        else
            UploadFile(entry);
        m_report.ShowTransferName(QString());

        const bool bLast = i + 1 == entries.size();
        if (bLast && !strFolderDir.isEmpty()) {
            m_connection.SetCurrentDirectory(strFolderDir);
        } else if (bEntered) {
            // Back out of the sub-folder; its parent's own name is the fallback.
            if (!m_connection.SetCurrentDirectory(QByteArrayLiteral("..")) && !strFolderDir.isEmpty())
                m_connection.SetCurrentDirectory(strFolderDir);
        }
    }
    return true;
}

/// Sends one file under its own name; anything that is not a readable file is
/// reported the same way as a file the server refused. Either way the progress
/// advances by one.
void Upload::UploadFile(const LocalTree::Entry& item)
{
    m_report.ShowTransferName(item.m_strPath);
    bool bSent = false;
    if (item.m_kind == LocalTree::Kind::File)
        bSent = m_connection.PutFile(item.m_strPath, QFile::encodeName(item.m_strName));
    if (!bSent && Lost())
        return;
    m_report.StepProgress();
    if (!bSent && !Stopped())
        m_report.ShowFailure(kTransferFailed);
}
