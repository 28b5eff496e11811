// Downloading selected remote files into the download folder.

#include "app/TarnlowDlg.h"

void TarnlowDlg::OnBrowse()
{
}

void TarnlowDlg::OnDownload()
{
}

void TarnlowDlg::StartDownload()
{
}

unsigned TarnlowDlg::DownloadThreadProc(void* pParam)
{
    Q_UNUSED(pParam);
    return 0;
}

void TarnlowDlg::DownloadNames(const QList<QByteArray>& names)
{
    Q_UNUSED(names);
}

void TarnlowDlg::DownloadFile(const QByteArray& strName)
{
    Q_UNUSED(strName);
}
