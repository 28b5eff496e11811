// Loading and saving the window's stored state: the five site profiles in the
// settings file, and the download folder as a stored setting.

#include "app/TarnlowDlg.h"
#include "sites/SettingsFile.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString kPathValue = QStringLiteral("Path");

} // namespace

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
    return m_settingsStore.Save(profiles);
}
