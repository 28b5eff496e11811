// Connecting the window's one connection slot to the active site.

#include "app/TarnlowDlg.h"
#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"

#include <QListWidget>

void TarnlowDlg::ConnectToSite(bool bShowErrors)
{
    const TabPane& site = *m_pActivePane;
    try {
        m_pConnection = m_session.GetFtpConnection(site.m_strAddress, site.m_strUsername, site.m_strPassword, 0, false);
        m_bConnected = true;
    } catch (const InternetException& e) {
        m_bConnected = false;
        RunOnUi([this] { m_remoteList->clear(); });
        if (bShowErrors) {
            QString strText;
            switch (e.m_dwError) {
            case FTP_ERROR_INCORRECT_PASSWORD:
                strText = QStringLiteral("Can't connect to FTP server - check the FTP username/password");
                break;
            case FTP_ERROR_NAME_NOT_RESOLVED:
                strText = QStringLiteral("Can't connect to FTP server - check the FTP address");
                break;
            default: strText = QStringLiteral("Can't connect to the FTP server"); break;
            }
            MessageBox(strText, QStringLiteral("FTP Error"), MsgIcon::Hand);
        }
    }

    if (!m_bConnected)
        return;
    if (!m_pActivePane->m_strDirectory.isEmpty()) {
        if (!m_pConnection->SetCurrentDirectory(m_pActivePane->m_strDirectory)) {
            m_bConnected = false;
            Disconnect();
            if (bShowErrors)
                MessageBox(QStringLiteral("Directory is not contained on FTP server - check the Directory"),
                    QStringLiteral("FTP Error"), MsgIcon::Hand);
        }
    } else {
        m_pConnection->GetCurrentDirectory(m_strHomeDir);
        m_pActivePane->m_strDirectory = m_strHomeDir;
    }
}

void TarnlowDlg::Disconnect()
{
    m_bConnected = false;
    if (m_pConnection) {
        m_pConnection->Close();
        m_pConnection.reset();
    }
}
