// Uploading dropped files and folders to the active site.

#include "app/TarnlowDlg.h"

void TarnlowDlg::OnDropFiles(const QStringList& paths)
{
    Q_UNUSED(paths);
}

void TarnlowDlg::StartUpload()
{
}

unsigned TarnlowDlg::UploadThreadProc(void* pParam)
{
    Q_UNUSED(pParam);
    return 0;
}

void TarnlowDlg::UploadPaths(const QStringList& paths)
{
    Q_UNUSED(paths);
}

void TarnlowDlg::UploadPath(const QString& strPath)
{
    UploadPaths(QStringList {strPath});
}

int TarnlowDlg::CountFiles(const QStringList& paths)
{
    Q_UNUSED(paths);
    return m_nFileCount;
}

void TarnlowDlg::CountPath(const QString& strPath)
{
    CountFiles(QStringList {strPath});
}
