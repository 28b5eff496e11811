#include "sites/SettingsStore.h"

#include "sites/SettingsArchive.h"
#include "sites/SettingsFile.h"

#include <QDir>

SettingsStore::LoadOutcome SettingsStore::Load(const QString& strPath, const std::array<SiteProfile*, 5>& profiles)
{
    m_strPath = strPath;
    m_strKeptAs.clear();
    m_strReadError.clear();
    m_bSaveRefused = false;

    QByteArray data;
    switch (SettingsFile::Read(strPath, data, &m_strReadError)) {
    case SettingsFile::ReadResult::Missing: m_outcome = LoadOutcome::Missing; return m_outcome;
    case SettingsFile::ReadResult::Unreadable:
        // Whatever it holds, it must not be replaced by the save at exit.
        m_outcome = LoadOutcome::Unreadable;
        m_strKeptAs = SettingsFile::MoveAside(strPath, QStringLiteral(".unreadable"));
        m_bSaveRefused = m_strKeptAs.isEmpty();
        return m_outcome;
    case SettingsFile::ReadResult::Read: break;
    }

    SettingsArchive archive = SettingsArchive::ForLoading(data);
    for (SiteProfile* pProfile : profiles)
        pProfile->Serialize(archive);
    m_outcome = archive.IsDamaged() ? LoadOutcome::Damaged : LoadOutcome::Whole;
    if (m_outcome == LoadOutcome::Damaged) {
        // The profiles behind the damage are only in these bytes; keep them for
        // recovery by hand before the save at exit writes what was loaded.
        m_strKeptAs = SettingsFile::KeepCopy(strPath, data, QStringLiteral(".damaged"));
        m_bSaveRefused = m_strKeptAs.isEmpty();
    }
    return m_outcome;
}

QString SettingsStore::LoadMessage() const
{
    const QString strFile = QDir::toNativeSeparators(m_strPath);
    const QString strKept = QDir::toNativeSeparators(m_strKeptAs);
    switch (m_outcome) {
    case LoadOutcome::Missing:
    case LoadOutcome::Whole: return {};
    case LoadOutcome::Unreadable:
        if (m_bSaveRefused)
            return QStringLiteral("The stored site profiles in %1 could not be read (%2).\n\nThe file is left as it "
                                  "is and will not be replaced when Tarnlow closes.")
                .arg(strFile, m_strReadError);
        return QStringLiteral("The stored site profiles in %1 could not be read (%2).\n\nThe file was moved to %3; "
                              "the profiles entered now will be saved in a new file.")
            .arg(strFile, m_strReadError, strKept);
    case LoadOutcome::Damaged:
        if (m_bSaveRefused)
            return QStringLiteral("The stored site profiles in %1 are damaged: only the profiles before the damage "
                                  "were loaded.\n\nNo copy of the file could be made, so it will not be replaced "
                                  "when Tarnlow closes.")
                .arg(strFile);
        return QStringLiteral("The stored site profiles in %1 are damaged: only the profiles before the damage were "
                              "loaded.\n\nThe original file was kept as %2.")
            .arg(strFile, strKept);
    }
    return {};
}

bool SettingsStore::Save(const std::array<const SiteProfile*, 5>& profiles, QString* pstrError) const
{
    if (m_bSaveRefused) {
        if (pstrError)
            *pstrError = QStringLiteral("the file found at start-up could not be kept");
        return false;
    }
    SettingsArchive archive = SettingsArchive::ForStoring();
    for (const SiteProfile* pProfile : profiles) {
        SiteProfile profile = *pProfile; // Serialize() also loads, so it cannot take a const profile
        profile.Serialize(archive);
    }
    return SettingsFile::Write(m_strPath, archive.Data(), pstrError);
}
