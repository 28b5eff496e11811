#pragma once

#include <QByteArray>
#include <QString>

/// Reading and writing the settings file as a whole.
///
/// The settings file may be a symbolic link (dotfiles kept in a repository are
/// often linked into place). Every function here then works on the file the
/// link leads to, its target: the new bytes, the temporary file, the lock and
/// the kept copies all go beside the target, and the link itself stays. A link
/// that leads nowhere names the file to create.
namespace SettingsFile {

/// The settings file's name: "FTPSettings.dat".
QString FileName();

enum class ReadResult {
    Missing, ///< no file at the path
    Read, ///< the whole file is in the data
    Unreadable ///< the file exists but could not be read (a folder, no permission, an I/O error)
};

/// Reads the whole file at @p strPath into @p data. On any result but Read,
/// @p data is empty and @p pstrError (if given) says why for Unreadable.
ReadResult Read(const QString& strPath, QByteArray& data, QString* pstrError = nullptr);

/// The file that @p strPath leads to once every symbolic link on the way is
/// followed (a link to a link included; a relative link is taken from the
/// link's own folder). @p strPath itself, made absolute, when it is no link.
/// @return an empty string with @p pstrError (if given) set when the links go
/// round in a loop or run deeper than the system allows.
QString Target(const QString& strPath, QString* pstrError = nullptr);

/// Writes @p data to @p strPath so that the stored profiles are never lost: the
/// bytes go to a temporary file in the same folder, are flushed to disk, and the
/// temporary file is then renamed over the old one. The file is readable and
/// writable by its owner only (0600), from the moment it is created. A missing
/// folder is created (0700).
/// @return false with @p pstrError (if given) set to a message on failure; the
/// old file is then untouched and no temporary file is left behind.
bool Write(const QString& strPath, const QByteArray& data, QString* pstrError = nullptr);

/// Writes @p data to a new file beside @p strPath, named after it with
/// @p strSuffix ("FTPSettings.dat.damaged", then "...damaged-2" and so on: an
/// existing file is never replaced). Owner-only, flushed to disk.
/// @return the new file's path, or an empty string on failure.
QString KeepCopy(const QString& strPath, const QByteArray& data, const QString& strSuffix);

/// Renames @p strPath to a new name beside it, chosen as for KeepCopy(); an
/// existing file is never replaced. A link is left in place and what it leads
/// to is moved.
/// @return the new path, or an empty string when the rename failed.
QString MoveAside(const QString& strPath, const QString& strSuffix);

/// An exclusive lock that keeps the read, merge and write of one save apart from
/// a save of another process: an flock() on a lock file beside the settings
/// file (".FTPSettings.dat.lock", never removed, since removing a lock file lets
/// two processes lock two different files). The folder is created when missing.
///
/// The wait is bounded: when another process holds the lock for longer (stopped
/// in the middle of a save), or no lock file can be made, the lock is not held
/// and the caller goes on without it rather than hang or lose its save.
class Lock {
public:
    explicit Lock(const QString& strPath, int nWaitMs = 2000);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    bool IsHeld() const { return m_fd >= 0; }
    /// The lock file (beside the link's target), or the settings path itself
    /// when the links to it could not be followed.
    QString LockFile() const { return m_strLockFile; }
    /// Why the lock is not held ("another save held it for more than 2000 ms",
    /// the system's reason the lock file could not be made); empty while it is.
    QString Failure() const { return m_strFailure; }

private:
    int m_fd = -1;
    QString m_strLockFile;
    QString m_strFailure;
};

} // namespace SettingsFile
