// The window's transfers: dropped files and folders uploaded to the active site,
// selected remote files downloaded into the download folder, and what the
// progress strip shows while they run.

#include "app/PutThread.h"
#include "app/TarnlowDlg.h"
#include "ftp/FtpConnection.h"
#include "ftp/TransferMeter.h"
#include "remote/SiteConnection.h"
#include "transfer/Download.h"
#include "transfer/TransferReport.h"
#include "transfer/Upload.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>

/// What a transfer reports, shown in the window's progress strip and message
/// boxes: the name in work, the count, and the bytes the connection has moved
/// of the files in work, handed over without waiting (the window shows the
/// latest at its own pace); a failure waits for the user. Meters @p connection
/// while it lives.
class TarnlowDlg::TransferView : public TransferReport, public TransferMeter {
public:
    TransferView(TarnlowDlg& dlg, FtpConnection& connection, int nTotalFiles)
        : m_dlg(dlg)
        , m_connection(connection)
        , m_nTotalFiles(nTotalFiles)
    {
        m_connection.SetTransferMeter(this);
    }
    ~TransferView() override { m_connection.SetTransferMeter(nullptr); }
    TransferView(const TransferView&) = delete;
    TransferView& operator=(const TransferView&) = delete;

    void ShowTransferName(const QString& strName) override { m_dlg.m_pPutThread->ShowTransferName(&m_dlg, strName); }
    void StepProgress() override { m_dlg.m_pPutThread->StepProgress(&m_dlg, m_nTotalFiles); }
    void FileBegun() override { m_dlg.m_pPutThread->FileBegun(); }
    void FileMoved(std::int64_t nBytes, std::int64_t nSize) override
    {
        m_dlg.m_pPutThread->FileMoved(&m_dlg, m_nTotalFiles, nBytes, nSize);
    }
    void ShowFailure(const QString& strText, const QString& strCause) override
    {
        // The strip shows where the transfer stands before the box asks.
        m_dlg.RunOnUi([this] { m_dlg.m_pPutThread->ShowLatest(&m_dlg); });
        m_dlg.MessageBox(strText, QStringLiteral("FTP Error"), MsgIcon::Hand, MsgButtons::Ok, strCause);
    }
    bool IsCancelled() const override { return m_dlg.m_gate.IsClosed(); }

private:
    TarnlowDlg& m_dlg;
    FtpConnection& m_connection;
    const int m_nTotalFiles;
};

TarnlowDlg::TransferJob TarnlowDlg::NewTransferJob() const
{
    TransferJob job;
    job.m_site = *m_pActivePane;
    job.m_nTotalFiles = m_nTotalFiles;
    return job;
}

void TarnlowDlg::OnDropFiles(const QStringList& paths)
{
    // While a listing runs, or an upload's worker is still connecting, the drop
    // waits for the connection slot.
    if (IsSlotBusy()) {
        m_heldDrops.append(paths);
        return;
    }
    m_uploadPaths = paths;
    ResetProgress(Upload::CountFiles(m_uploadPaths));
    StartUpload();
    raise();
    activateWindow();
}

void TarnlowDlg::StartUpload()
{
    if (IsSlotBusy()) {
        m_heldDrops.append(m_uploadPaths);
        return;
    }
    if (!ValidateSite(true))
        return;
    // The worker connects before the window goes busy; the wait cursor covers that.
    SetWaitCursor(true);
    TransferJob job = NewTransferJob();
    job.m_uploadPaths = m_uploadPaths;
    BeginWorker([this, job = std::move(job)] { UploadThreadProc(job); });
}

void TarnlowDlg::UploadThreadProc(TransferJob job)
{
    SiteConnection link;
    const bool bConnected = ConnectToSite(link, job.m_site, true);
    SetIdle(false, bConnected);
    StartTransferAnimation();
    bool bComplete = false;
    if (bConnected) {
        TransferView view(*this, link.Connection(), job.m_nTotalFiles);
        Upload upload(link.Connection(), view, job.m_site.m_strDirectory);
        upload.UploadPaths(job.m_uploadPaths);
        // Files refused one by one still end with the completion dialog; a lost
        // connection does not.
        bComplete = !upload.ConnectionLost();
    }
    StopTransferAnimation();
    // The transfer's own connection lists the site again when it still works.
    SetIdle(true, bConnected, bComplete, [&] { ShowRemoteDirectory(job.m_site, {}, &link); });
    link.Close();
}

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
    const QFileInfo folder(m_strDownloadPath);
    if (m_strDownloadPath.isEmpty() || !folder.isDir()) {
        const QString strPath = QDir::toNativeSeparators(m_strDownloadPath);
        const QString strWhy = m_strDownloadPath.isEmpty() ? QStringLiteral("No download folder is given.")
            : folder.exists()                              ? QStringLiteral("%1 is not a folder.").arg(strPath)
                                                           : QStringLiteral("%1 does not exist.").arg(strPath);
        MessageBox(QStringLiteral("Invalid directory for download, please reselect"), QStringLiteral("ERROR"),
            MsgIcon::Exclamation, MsgButtons::Ok, strWhy);
        return;
    }

    m_downloadNames.clear();
    for (int nRow = 0; nRow < m_remoteList->count(); ++nRow) {
        const QListWidgetItem* pItem = m_remoteList->item(nRow);
        if (pItem->isSelected())
            m_downloadNames.append(pItem->data(kItemNameRole).toByteArray());
    }
    if (m_downloadNames.isEmpty())
        return;
    ResetProgress(int(m_downloadNames.size()));
    StartDownload();
}

void TarnlowDlg::StartDownload()
{
    if (IsSlotBusy() || !ValidateSite(true) || !m_listedSite)
        return;
    SetWaitCursor(true);
    TransferJob job = NewTransferJob();
    // The names are those of the directory the list shows: they are fetched
    // from there, whatever has been typed into the pane since.
    job.m_site = *m_listedSite;
    job.m_downloadNames = m_downloadNames;
    job.m_strDownloadPath = m_strDownloadPath;
    BeginWorker([this, job = std::move(job)] { DownloadThreadProc(job); });
}

void TarnlowDlg::DownloadThreadProc(TransferJob job)
{
    // The download goes busy before it connects; the upload the other way round.
    SetIdle(false);
    SiteConnection link;
    const bool bConnected = ConnectToSite(link, job.m_site, true);
    StartTransferAnimation();
    bool bComplete = false;
    if (bConnected) {
        TransferView view(*this, link.Connection(), job.m_nTotalFiles);
        Download download(link.Connection(), view, job.m_strDownloadPath);
        download.DownloadNames(job.m_downloadNames);
        // No re-listing and no completion dialog after a failed file.
        bComplete = download.AllFetched();
    }
    StopTransferAnimation();
    // The transfer's own connection lists the site again when it still works.
    SetIdle(true, bConnected, bComplete, [&] { ShowRemoteDirectory(job.m_site, {}, &link); });
    link.Close();
}
