// Downloading the selected remote files into the download folder.
//
// Each file is written as a new file directly inside the download folder under
// its remote name; an existing local file is never touched, and a name that
// could lead outside the folder is refused.

#include "app/ByteText.h"
#include "app/TarnlowDlg.h"
#include "ftp/FtpConnection.h"
#include "transfer/DownloadName.h"
#include "transfer/PutThread.h"

#include <QFileInfo>
#include <QListWidget>

#include <vector>

void TarnlowDlg::OnBrowse()
{
    const QString strFolder = m_dialogHost.BrowseForFolder(this, QStringLiteral("Choose A Directory For FTP Download"));
    if (strFolder.isEmpty())
        return;
    m_strDownloadPath = strFolder;
    UpdateFieldsFromData();
}

void TarnlowDlg::OnDownload()
{
    // A listing or another transfer holds the connection.
    if (IsSlotBusy())
        return;
    UpdateDataFromFields();
    // The files are created inside this folder, so it must be one (a path with
    // a trailing separator is the folder itself).
    if (m_strDownloadPath.isEmpty() || !QFileInfo(m_strDownloadPath).isDir()) {
        MessageBox(QStringLiteral("Invalid directory for download, please reselect"), QStringLiteral("ERROR"),
            MsgIcon::Exclamation);
        return;
    }

    m_downloadNames.clear();
    m_nTotalFiles = 0;
    for (int nRow = 0; nRow < m_remoteList->count(); ++nRow) {
        const QListWidgetItem* pItem = m_remoteList->item(nRow);
        if (!pItem->isSelected())
            continue;
        ++m_nTotalFiles;
        m_downloadNames.append(pItem->data(Qt::UserRole + 1).toByteArray());
    }
    if (m_nTotalFiles == 0)
        return;
    ResetProgress();
    StartDownload();
}

void TarnlowDlg::StartDownload()
{
    if (IsSlotBusy() || !ValidateSite(true))
        return;
    SetWaitCursor(true);
    BeginWorker(&TarnlowDlg::DownloadThreadProc);
}

unsigned TarnlowDlg::DownloadThreadProc(void* pParam)
{
    auto* pDlg = static_cast<TarnlowDlg*>(pParam);
    pDlg->SetIdle(false);
    pDlg->ConnectToSite(true);
    // The re-listing at the end puts its own connection into the slot; this one
    // is closed here afterwards, whether or not a file failed.
    const std::shared_ptr<FtpConnection> pConnection = pDlg->m_bConnected ? pDlg->m_pConnection : nullptr;
    pDlg->StartTransferAnimation();
    if (pDlg->m_bConnected)
        pDlg->DownloadNames(pDlg->m_downloadNames);
    pDlg->StopTransferAnimation();
    pDlg->SetIdle(true);
    if (pConnection)
        pConnection->Close();
    return 0;
}

void TarnlowDlg::DownloadNames(const QList<QByteArray>& names)
{
    if (!m_pConnection)
        return;
    FtpConnection& connection = *m_pConnection;
    for (const QByteArray& strName : names) {
        if (m_gate.IsClosed())
            return; // the window is going
        if (!DownloadName::CanLookUp(strName)) {
            // A pattern of it would match other entries; it is refused as a file.
            DownloadFile(strName);
        } else {
            FtpFileFind find(connection);
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
                if (!connection.ReadDirectory(entries))
                    DownloadFile(strName);
            }
        }
        m_pPutThread->StepProgress(this, m_nTotalFiles);
    }
    m_pPutThread->ShowTransferName(this, QString());
}

void TarnlowDlg::DownloadFile(const QByteArray& strName)
{
    m_pPutThread->ShowTransferName(this, ByteText::Display(strName));
    // The folder is read on the window's thread, which owns the field behind it.
    QString strFolder;
    if (!RunOnUi([&] { strFolder = m_strDownloadPath; }))
        return; // the window is going
    const bool bFetched = DownloadName::IsSafe(strName) && m_pConnection
        && m_pConnection->GetFile(strName, DownloadName::LocalPath(strFolder, strName), true);
    if (bFetched)
        return;
    MessageBox(QStringLiteral("Could not transfer file to this location - File Exists!"), QStringLiteral("FTP Error"),
        MsgIcon::Hand);
    // No re-listing and no completion dialog after a failed file.
    m_bConnected = false;
}
