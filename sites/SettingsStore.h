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
     * Writes @p profiles to the path of the last Load(), through a temporary
     * file and a rename.
     * @return false (with @p pstrError set when given) when writing failed, or
     *         when the file found at load time could not be kept safe: then it
     *         is left untouched.
     */
    bool Save(const std::array<const SiteProfile*, 5>& profiles, QString* pstrError = nullptr) const;

private:
    QString m_strPath;
    LoadOutcome m_outcome = LoadOutcome::Missing;
    QString m_strKeptAs;
    QString m_strReadError;
    bool m_bSaveRefused = false;
};
