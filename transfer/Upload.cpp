// Uploading dropped files and folders to the active site.
//
// The upload works in the server's current directory: it goes into a folder by
// its leaf name, comes back out of each sub-folder, and returns to the folder's
// own directory (as the server named it) after its last entry.

#include "app/TarnlowDlg.h"
#include "ftp/FtpConnection.h"
#include "transfer/LocalTree.h"
#include "transfer/PutThread.h"

#include <QFile>

namespace {

const QString kTransferFailed = QStringLiteral("Could not transfer file");

/// One upload's walk on the worker thread, over the upload's own connection.
class Uploader {
public:
    Uploader(TarnlowDlg& dlg, FtpConnection& connection)
        : m_dlg(dlg)
        , m_connection(connection)
    {
    }

    /// Sends @p items into the current remote directory. With more than one item,
    /// returns to that directory after each folder, so the next item lands beside it.
    void UploadItems(const QList<LocalTree::Entry>& items)
    {
        QByteArray strStartDir;
        if (items.size() > 1) {
            m_connection.GetCurrentDirectory(strStartDir);
            // Without an answer the site's own directory is the best way back.
            if (strStartDir.isEmpty())
                strStartDir = m_dlg.m_pActivePane->m_strDirectory;
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
        ShowName(QString());
    }

private:
    /// Creates and enters the remote folder and sends the folder's entries into
    /// it. False when the remote folder could not be entered: then nothing of it
    /// is sent, and the current remote directory has not moved.
    bool UploadFolder(const LocalTree::Entry& folder)
    {
        const QByteArray strLeaf = QFile::encodeName(folder.m_strName);
        m_connection.CreateDirectory(strLeaf); // an existing folder is simply used
        if (!m_connection.SetCurrentDirectory(strLeaf)) {
            // Its files would otherwise land in whatever directory is current.
            ShowName(folder.m_strPath);
            const int nItems = LocalTree::CountItems(folder);
            for (int i = 0; i < nItems && !Stopped(); ++i)
                m_dlg.m_pPutThread->StepProgress(&m_dlg, m_dlg.m_nTotalFiles);
            m_dlg.MessageBox(kTransferFailed, QStringLiteral("FTP Error"), MsgIcon::Hand);
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
            ShowName(QString());

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
    /// reported the same way as a file the server refused. Either way the
    /// progress advances by one.
    void UploadFile(const LocalTree::Entry& item)
    {
        ShowName(item.m_strPath);
        bool bSent = false;
        if (item.m_kind == LocalTree::Kind::File)
            bSent = m_connection.PutFile(item.m_strPath, QFile::encodeName(item.m_strName));
        m_dlg.m_pPutThread->StepProgress(&m_dlg, m_dlg.m_nTotalFiles);
        if (!bSent && !Stopped())
            m_dlg.MessageBox(kTransferFailed, QStringLiteral("FTP Error"), MsgIcon::Hand);
    }

    void ShowName(const QString& strName) { m_dlg.m_pPutThread->ShowTransferName(&m_dlg, strName); }

    /// The window is going: stop at once, touching nothing more.
    bool Stopped() const { return m_dlg.Gate().IsClosed(); }

    TarnlowDlg& m_dlg;
    FtpConnection& m_connection;
};

QList<LocalTree::Entry> Classify(const QStringList& paths)
{
    QList<LocalTree::Entry> items;
    items.reserve(paths.size());
    for (const QString& strPath : paths)
        items.append(LocalTree::Classify(strPath));
    return items;
}

} // namespace

void TarnlowDlg::OnDropFiles(const QStringList& paths)
{
    // While a listing runs, or an upload's worker is still connecting, the drop
    // waits for the connection slot; the running worker still reads these members.
    if (IsSlotBusy()) {
        m_heldDropPaths = paths;
        return;
    }
    m_nTotalFiles = 0;
    m_uploadPaths = paths;
    m_nFileCount = 0;
    m_nTotalFiles = CountFiles(m_uploadPaths);
    ResetProgress();
    StartUpload();
    raise();
    activateWindow();
}

void TarnlowDlg::StartUpload()
{
    if (IsSlotBusy()) {
        m_heldDropPaths = m_uploadPaths;
        return;
    }
    if (!ValidateSite(true))
        return;
    // The worker connects before the window goes busy; the wait cursor covers that.
    SetWaitCursor(true);
    BeginWorker(&TarnlowDlg::UploadThreadProc);
}

unsigned TarnlowDlg::UploadThreadProc(void* pParam)
{
    auto* pDlg = static_cast<TarnlowDlg*>(pParam);
    pDlg->ConnectToSite(true);
    // The re-listing at the end puts its own connection into the slot; this one
    // is closed here afterwards.
    const std::shared_ptr<FtpConnection> pConnection = pDlg->m_bConnected ? pDlg->m_pConnection : nullptr;
    pDlg->SetIdle(false);
    pDlg->StartTransferAnimation();
    if (pDlg->m_bConnected)
        pDlg->UploadPaths(pDlg->m_uploadPaths);
    pDlg->StopTransferAnimation();
    pDlg->SetIdle(true);
    if (pConnection)
        pConnection->Close();
    return 0;
}

void TarnlowDlg::UploadPaths(const QStringList& paths)
{
    if (!m_pConnection)
        return;
    Uploader(*this, *m_pConnection).UploadItems(Classify(paths));
}

void TarnlowDlg::UploadPath(const QString& strPath)
{
    UploadPaths(QStringList {strPath});
}

int TarnlowDlg::CountFiles(const QStringList& paths)
{
    for (const LocalTree::Entry& item : Classify(paths))
        m_nFileCount += LocalTree::CountItems(item);
    return m_nFileCount;
}

void TarnlowDlg::CountPath(const QString& strPath)
{
    CountFiles(QStringList {strPath});
}
