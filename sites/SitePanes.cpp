// The five site panes of the main window: switching between them and checking
// that the active site is complete.

#include "app/TarnlowDlg.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>

void TarnlowDlg::ReadAllPanes()
{
    for (auto& pPane : m_panes)
        pPane->PullFields();
}

bool TarnlowDlg::ValidateSite(bool bReport)
{
    ReadAllPanes();
    struct Check {
        const QByteArray& m_str;
        const char* m_pszMessage;
        QLineEdit* m_pEdit;
    };
    const Check checks[] = {
        {m_pActivePane->m_strAddress, "You must supply the FTP Internet address", m_pActivePane->m_editAddress},
        {m_pActivePane->m_strUsername, "You must supply the FTP username", m_pActivePane->m_editUsername},
        {m_pActivePane->m_strPassword, "You must supply the FTP password", m_pActivePane->m_editPassword},
    };
    for (const Check& check : checks) {
        if (!check.m_str.isEmpty())
            continue;
        if (bReport) {
            MessageBox(QString::fromLatin1(check.m_pszMessage), QStringLiteral("ERROR"), MsgIcon::Exclamation);
            RunOnUi([&] { check.m_pEdit->setFocus(); });
        }
        return false;
    }
    return true;
}

void TarnlowDlg::OnSiteTabChanged(int nIndex)
{
    ReadAllPanes();
    if (nIndex < 0 || nIndex >= int(m_panes.size()))
        return;
    m_pActivePane = m_panes[size_t(nIndex)].get();
    m_pActivePane->m_editAddress->setFocus();

    if (ValidateSite(false)) {
        StartListing();
    } else {
        m_remoteList->clear();
        m_remoteList->setEnabled(false);
    }
}
