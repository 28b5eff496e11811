#include "sites/SettingsStore.h"

#include "sites/SettingsArchive.h"
#include "sites/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

/// The strings of one profile in the file.
constexpr int kFieldsPerProfile = 4;

/// Says on standard error that a save goes on without the lock: two windows
/// saving at that moment may then undo each other's change, and whoever
/// started the program from a terminal should be able to find out why.
void ReportSaveWithoutLock(const SettingsFile::Lock& lock)
{
    QString strLine
        = QCoreApplication::translate("SettingsStore", "tarnlow: saving the site profiles without the lock %1: %2")
              .arg(QDir::toNativeSeparators(lock.LockFile()), lock.Failure());
    // One line, whatever the path holds.
    strLine.replace(QLatin1Char('\n'), QStringLiteral("\\n")).replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    const QByteArray line = (strLine + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

SettingsStore::LoadOutcome SettingsStore::Load(const QString& strPath, const std::array<SiteProfile*, 5>& profiles)
{
    m_strPath = strPath;
    m_strKeptAs.clear();
    m_strReadError.clear();
    m_bSaveRefused = false;
    m_base = {};
    m_keptDamage.clear();

    // Another window's save never meets this one half way, nor its moving aside.
    const SettingsFile::Lock lock(strPath);
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
    for (size_t i = 0; i < profiles.size(); ++i) {
        profiles[i]->Serialize(archive);
        m_base[i] = *profiles[i];
    }
    m_outcome = archive.IsDamaged() ? LoadOutcome::Damaged : LoadOutcome::Whole;
    if (m_outcome == LoadOutcome::Damaged) {
        // The profiles behind the damage are only in these bytes; keep them for
        // recovery by hand before the save at exit writes what was loaded.
        m_strKeptAs = SettingsFile::KeepCopy(strPath, data, QStringLiteral(".damaged"));
        m_bSaveRefused = m_strKeptAs.isEmpty();
        m_keptDamage = data;
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
            return QCoreApplication::translate("SettingsStore",
                "The stored site profiles in %1 could not be read (%2).\n\nThe file is left as it "
                "is and will not be replaced when Tarnlow closes.")
                .arg(strFile, m_strReadError);
        return QCoreApplication::translate("SettingsStore",
            "The stored site profiles in %1 could not be read (%2).\n\nThe file was moved to %3; "
            "the profiles entered now will be saved in a new file.")
            .arg(strFile, m_strReadError, strKept);
    case LoadOutcome::Damaged:
        if (m_bSaveRefused)
            return QCoreApplication::translate("SettingsStore",
                "The stored site profiles in %1 are damaged: only the profiles before the damage "
                "were loaded.\n\nNo copy of the file could be made, so it will not be replaced "
                "when Tarnlow closes.")
                .arg(strFile);
        return QCoreApplication::translate("SettingsStore",
            "The stored site profiles in %1 are damaged: only the profiles before the damage were "
            "loaded.\n\nThe original file was kept as %2.")
            .arg(strFile, strKept);
    }
    return {};
}

bool SettingsStore::Save(const std::array<const SiteProfile*, 5>& profiles, QString* pstrError)
{
    m_strSaveMessage.clear();
    const auto Refuse = [pstrError](const QString& strWhy) {
        if (pstrError)
            *pstrError = strWhy;
        return false;
    };
    if (m_bSaveRefused)
        return Refuse(QCoreApplication::translate("SettingsStore", "the file found at start-up could not be kept"));

    // The file as it is now, with whatever other windows saved since this one
    // loaded it; held under the lock until the new file has replaced it.
    const SettingsFile::Lock lock(m_strPath);
    if (!lock.IsHeld())
        ReportSaveWithoutLock(lock);
    std::array<SiteProfile, 5> stored;
    int nStoredFields = 0; // the fields of the file that were read whole
    QByteArray data;
    QString strReadError;
    const QString strFile = QDir::toNativeSeparators(m_strPath);
    switch (SettingsFile::Read(m_strPath, data, &strReadError)) {
    case SettingsFile::ReadResult::Missing: break;
    case SettingsFile::ReadResult::Unreadable: {
        // Unreadable since start-up (a run as another user wrote it, say): as at
        // start-up, it is moved aside, and this run's profiles go into a new file.
        const QString strKept = SettingsFile::MoveAside(m_strPath, QStringLiteral(".unreadable"));
        if (strKept.isEmpty())
            return Refuse(
                QCoreApplication::translate("SettingsStore", "the file could not be read (%1) nor moved aside")
                    .arg(strReadError));
        m_strSaveMessage = QCoreApplication::translate("SettingsStore",
            "The stored site profiles in %1 could not be read when they were to be "
            "saved (%2).\n\nThe file was moved to %3; the profiles of this window "
            "were saved in a new file.")
                               .arg(strFile, strReadError, QDir::toNativeSeparators(strKept));
        break;
    }
    case SettingsFile::ReadResult::Read: {
        SettingsArchive archive = SettingsArchive::ForLoading(data);
        for (SiteProfile& profile : stored)
            profile.Serialize(archive);
        nStoredFields = archive.StringsRead();
        if (archive.IsDamaged() && data != m_keptDamage) {
            // Saves are always whole, so something else damaged it; its bytes
            // may hold profiles found nowhere else.
            const QString strKept = SettingsFile::KeepCopy(m_strPath, data, QStringLiteral(".damaged"));
            if (strKept.isEmpty())
                return Refuse(QCoreApplication::translate(
                    "SettingsStore", "the file is damaged and no copy of it could be made"));
            m_keptDamage = data;
            m_strSaveMessage = QCoreApplication::translate("SettingsStore",
                "The stored site profiles in %1 were found damaged when they were to "
                "be saved.\n\nThe damaged file was kept as %2; what could still be "
                "read of it was saved, completed with the profiles of this window.")
                                   .arg(strFile, QDir::toNativeSeparators(strKept));
        }
        break;
    }
    }

    // This run's changed profiles over the file, each whole; a profile the file
    // does not hold whole (no file, or damaged in it) takes this run's, changed
    // or not.
    std::array<SiteProfile, 5> merged;
    for (size_t nSite = 0; nSite < merged.size(); ++nSite) {
        const bool bChanged = *profiles[nSite] != m_base[nSite];
        const bool bStored = int(nSite + 1) * kFieldsPerProfile <= nStoredFields;
        merged[nSite] = bChanged || !bStored ? *profiles[nSite] : stored[nSite];
    }
    SettingsArchive archive = SettingsArchive::ForStoring();
    for (SiteProfile& profile : merged)
        profile.Serialize(archive);
    if (!SettingsFile::Write(m_strPath, archive.Data(), pstrError))
        return false;
    for (size_t i = 0; i < profiles.size(); ++i)
        m_base[i] = *profiles[i];
    return true;
}
