// The window's sites: the five panes, switching between them, checking that the
// active site is complete, and loading and saving the stored state (the five
// profiles in the settings file, the download folder as a stored setting).

#include "app/TarnlowDlg.h"
#include "sites/SettingsFile.h"

#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>

namespace {

const QString kPathValue = QStringLiteral("Path");

} // namespace

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
        QString m_strMessage;
        QLineEdit* m_pEdit;
    };
    const Check checks[] = {
        {m_pActivePane->m_strAddress, tr("You must supply the FTP Internet address"), m_pActivePane->m_editAddress},
        {m_pActivePane->m_strUsername, tr("You must supply the FTP username"), m_pActivePane->m_editUsername},
        {m_pActivePane->m_strPassword, tr("You must supply the FTP password"), m_pActivePane->m_editPassword},
    };
    for (const Check& check : checks) {
        if (!check.m_str.isEmpty())
            continue;
        if (bReport) {
            MessageBox(check.m_strMessage, tr("ERROR"), MsgIcon::Exclamation);
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
        ClearRemoteList();
        m_remoteList->setEnabled(false);
    }
}

QString TarnlowDlg::SettingsDirectory()
{
    // $XDG_CONFIG_HOME (by default ~/.config) followed by the program's own folder.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Tarnlow"));
}

void TarnlowDlg::LoadStoredPath()
{
    QSettings settings(QStringLiteral("Halvorn"), QStringLiteral("Tarnlow"));
    const QVariant value = settings.value(kPathValue);
    if (value.isValid())
        m_strDownloadPath = value.toString();
}

void TarnlowDlg::SaveStoredPath()
{
    UpdateDataFromFields();
    QSettings settings(QStringLiteral("Halvorn"), QStringLiteral("Tarnlow"));
    settings.setValue(kPathValue, m_strDownloadPath);
    settings.sync();
}

void TarnlowDlg::LoadSettings()
{
    m_strSettingsDir = SettingsDirectory();
    // A damaged file loads what is whole; the rest of the profiles stay empty.
    std::array<SiteProfile*, 5> profiles;
    for (size_t i = 0; i < m_panes.size(); ++i)
        profiles[i] = m_panes[i].get();
    m_settingsStore.Load(QDir(m_strSettingsDir).filePath(SettingsFile::FileName()), profiles);
}

bool TarnlowDlg::SaveSettings()
{
    std::array<const SiteProfile*, 5> profiles;
    for (size_t i = 0; i < m_panes.size(); ++i)
        profiles[i] = m_panes[i].get();
    const bool bSaved = m_settingsStore.Save(profiles);
    // A file damaged or made unreadable since start-up was kept aside: say where.
    if (const QString strKept = m_settingsStore.SaveMessage(); !strKept.isEmpty())
        m_dialogHost.MessageBox(this, strKept, tr("ERROR"), MsgIcon::Exclamation, MsgButtons::Ok);
    return bSaved;
}
