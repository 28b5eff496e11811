#pragma once

#include "sites/SiteProfile.h"

#include <QString>

#include <array>

/// The settings file of the five site profiles, kept so that stored profiles
/// are never lost by a run that could not read them.
///
/// A file that cannot be read is moved aside before anything is written in its
/// place; a damaged file (one that ends before its twenty strings) loads what is
/// whole, and a copy of its original bytes is kept beside it. When neither can
/// be done, the save at exit is refused and the stored file stays as it is.
///
/// Several windows may run at once, each with the profiles it loaded. A save
/// therefore writes only the profiles this run changed over the file as it is
/// at that moment, and keeps every other profile as the file holds it, so that
/// what another window saved meanwhile stays. A profile is written whole, never
/// field by field: one stitched from two windows (one's address, the other's
/// password) would send a password to a host it was never meant for. A profile
/// changed in both windows takes the later save, whole.
class SettingsStore {
public:
    enum class LoadOutcome {
        Missing, ///< no file yet: the profiles stay empty
        Whole, ///< all twenty strings were read
        Damaged, ///< the file ends early: the profiles before the damage are loaded
        Unreadable, ///< the file exists but could not be read: the profiles stay empty
    };

    /**
     * Reads the settings file at @p strPath into @p profiles (site 1 first).
     * A damaged file's bytes are copied to a new file beside it; an unreadable
     * file is moved to a new name beside it.
     */
    LoadOutcome Load(const QString& strPath, const std::array<SiteProfile*, 5>& profiles);

    /// What the user must be told after Load(): empty when the file was whole or missing.
    QString LoadMessage() const;

    /// Where the damaged or unreadable file was kept; empty when it was not.
    QString KeptAs() const { return m_strKeptAs; }

    /**
     * Saves the profiles of @p profiles that this run changed since Load() (or
     * since the last Save()) into the file at the path of the last Load(), as
     * that file is now: it is read again, each profile this run changed (any of
     * its four fields) is written over it whole, and the result replaces it
     * through a temporary file and a rename, all under a lock that keeps other
     * processes' saves apart. When the lock cannot be taken (another save held
     * it too long, no lock file could be made), the save goes on without it,
     * merged the same way, and one line on standard error names the lock file
     * and why.
     *
     * A file found damaged now (by something else: saves are whole) is copied
     * beside it first, and its profiles not whole in it take this run's. A file
     * found unreadable now is moved aside first, and this run's profiles are
     * saved whole in a new file. SaveMessage() then says so.
     * @return false (with @p pstrError set when given) when writing failed, or
     *         when a file that could not be read or was damaged could not be
     *         kept safe, at load or now: then it is left untouched.
     */
    bool Save(const std::array<const SiteProfile*, 5>& profiles, QString* pstrError = nullptr);

    /// What the user must be told after Save(): empty unless the file was found
    /// damaged or unreadable at the save and was kept beside it.
    QString SaveMessage() const { return m_strSaveMessage; }

private:
    QString m_strPath;
    LoadOutcome m_outcome = LoadOutcome::Missing;
    QString m_strKeptAs;
    QString m_strReadError;
    bool m_bSaveRefused = false;
    /// The profiles as this run last shared them with the file: as loaded,
    /// then as saved. A profile of the window that differs in any field is
    /// this run's change.
    std::array<SiteProfile, 5> m_base;
    /// The bytes of a damaged file that are kept already, so that the save
    /// does not keep the same bytes twice.
    QByteArray m_keptDamage;
    QString m_strSaveMessage;
};
