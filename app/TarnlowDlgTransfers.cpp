// The window's transfers: dropped files and folders uploaded to the active site,
// selected remote files downloaded into the download folder, and what the
// progress strip shows while they run.

#include "app/PutThread.h"
#include "app/RemoteListModel.h"
#include "app/TarnlowDlg.h"
#include "ftp/TransferMeter.h"
#include "remote/SiteConnection.h"
#include "transfer/Download.h"
#include "transfer/TransferReport.h"
#include "transfer/Upload.h"
#include "transfer/UploadPlan.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

/// What a transfer reports, shown in the window's progress strip and message
/// boxes: the name in work, the count, and the bytes the connection has moved
/// of the files in work, handed over without waiting (the window shows the
/// latest at its own pace); a failure waits for the user.
class TarnlowDlg::TransferView : public TransferReport, public TransferMeter {
public:
    TransferView(TarnlowDlg& dlg, int nTotalFiles)
        : m_dlg(dlg)
        , m_nTotalFiles(nTotalFiles)
    {
    }

    /// The count once an upload has read what it sends, before its first step.
    void SetTotalFiles(int nTotalFiles) { m_nTotalFiles = nTotalFiles; }

    void ShowTransferName(const QString& strName) override { m_dlg.m_pPutThread->ShowTransferName(&m_dlg, strName); }
    void StepProgress() override { m_dlg.m_pPutThread->StepProgress(&m_dlg, m_nTotalFiles); }
    TransferMeter* Meter() override { return this; }
    void FileBegun() override { m_dlg.m_pPutThread->FileBegun(); }
    void FileMoved(std::int64_t nBytes, std::int64_t nSize) override
    {
        m_dlg.m_pPutThread->FileMoved(&m_dlg, m_nTotalFiles, nBytes, nSize);
    }
    void ShowFailure(const QString& strText, const QString& strCause) override
    {
        // The strip shows where the transfer stands before the box asks.
        m_dlg.RunOnUi([this] { m_dlg.m_pPutThread->ShowLatest(&m_dlg); });
        m_dlg.MessageBox(strText, TarnlowDlg::tr("FTP Error"), MsgIcon::Hand, MsgButtons::Ok, strCause);
    }
    bool IsCancelled() const override { return m_dlg.m_gate.IsClosed(); }

private:
    TarnlowDlg& m_dlg;
    int m_nTotalFiles;
};

TarnlowDlg::TransferJob TarnlowDlg::NewTransferJob() const
{
    TransferJob job;
    job.m_site = *m_pActivePane;
    job.m_pPane = m_pActivePane;
    job.m_nTotalFiles = m_nTotalFiles;
    return job;
}

void TarnlowDlg::OnDropFiles(const QList<QByteArray>& paths)
{
    // While a listing runs, or an upload's worker is still connecting, the drop
    // waits for the connection slot.
    if (IsSlotBusy()) {
        m_heldDrops.append(paths);
        return;
    }
    // Nothing is read from the disk here: the upload's worker reads the
    // dropped items once, and sizes the bar by what it will send.
    m_uploadPaths = paths;
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
    // The dropped items are read once, into the plan the upload sends. Its
    // length is the bar's count, handed to the window before anything
    // connects, so the bar is sized before its first step is shown.
    TransferView view(*this, 0);
    const UploadPlan plan = UploadPlan::Make(job.m_uploadPaths, view);
    view.SetTotalFiles(plan.Steps());
    RunOnUi([this, nSteps = plan.Steps()] { ResetProgress(nSteps); });
    SiteConnection link;
    const bool bConnected = ConnectToSite(link, job.m_site, true);
    SetIdle(false, bConnected);
    StartTransferAnimation();
    bool bComplete = false;
    if (bConnected) {
        Upload upload(link.Connection(), view, job.m_site.m_strDirectory, link.Reopener(m_session, job.m_site));
        upload.SendPlan(plan);
        // Files refused one by one still end with the completion dialog; a lost
        // connection does not.
        bComplete = !upload.ConnectionLost();
    }
    StopTransferAnimation();
    // The transfer's own connection lists the site again when it still works.
    SetIdle(true, bConnected, bComplete, [&] { ShowRemoteDirectory(job.m_site, job.m_pPane, {}, &link); });
    link.Close();
}

void TarnlowDlg::OnBrowse()
{
    const QString strFolder = m_dialogHost.BrowseForFolder(this, tr("Choose A Directory For FTP Download"));
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
    // a trailing separator is the folder itself). The typed text becomes the
    // bytes of a path here, once; from here on the folder is those bytes.
    const QByteArray strFolder = QFile::encodeName(m_strDownloadPath);
    struct stat st { };
    const bool bExists = !strFolder.isEmpty() && ::stat(strFolder.constData(), &st) == 0;
    if (!bExists || !S_ISDIR(st.st_mode)) {
        const QString strPath = QDir::toNativeSeparators(m_strDownloadPath);
        const QString strWhy = m_strDownloadPath.isEmpty() ? tr("No download folder is given.")
            : bExists                                      ? tr("%1 is not a folder.").arg(strPath)
                                                           : tr("%1 does not exist.").arg(strPath);
        MessageBox(tr("Invalid directory for download, please reselect"), tr("ERROR"), MsgIcon::Exclamation,
            MsgButtons::Ok, strWhy);
        return;
    }

    m_downloadNames.clear();
    for (int nRow : SelectedRows())
        m_downloadNames.append(m_pListModel->Name(nRow));
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
    job.m_pPane = m_pListedPane;
    job.m_downloadNames = m_downloadNames;
    job.m_strDownloadPath = QFile::encodeName(m_strDownloadPath);
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
        TransferView view(*this, job.m_nTotalFiles);
        Download download(link.Connection(), view, job.m_strDownloadPath, link.Reopener(m_session, job.m_site));
        download.DownloadNames(job.m_downloadNames);
        // No re-listing and no completion dialog after a failed file.
        bComplete = download.AllFetched();
    }
    StopTransferAnimation();
    // The transfer's own connection lists the site again when it still works.
    SetIdle(true, bConnected, bComplete, [&] { ShowRemoteDirectory(job.m_site, job.m_pPane, {}, &link); });
    link.Close();
}
