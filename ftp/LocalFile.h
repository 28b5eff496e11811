#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

struct stat;

/// A file as the system knows it (device and inode), whatever path reaches
/// it. Default-made: not known, which matches any file.
struct FileIdentity {
    std::uint64_t m_nDevice = 0;
    std::uint64_t m_nInode = 0;

    static FileIdentity Of(const struct stat& st);
    bool IsKnown() const { return m_nInode != 0; }
    auto operator<=>(const FileIdentity&) const = default;
};

/// The local side of a file transfer: one file, opened by the bytes of its path.
///
/// A path is never turned into text on its way to the system: a name that is
/// not valid UTF-8 (common on disks written under older locales) is opened as
/// it stands. Owns its descriptor; reads and writes go straight to it, without
/// a buffer in between, so that a full disk is seen at the write that meets it.
class LocalFile {
public:
    LocalFile() = default;
    ~LocalFile();
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    /// Opens a regular file for reading. False when @p strPath is missing, is
    /// not a regular file (a folder, a pipe, a device: reading one could block
    /// or never end), cannot be read, or is not the file @p expected (when
    /// known) names: another file, or a link to one, put at the path since it
    /// was chosen is never read in its place. Cause() then says why.
    bool OpenForReading(const QByteArray& strPath, const FileIdentity& expected = {});
    /// Creates the file for writing, readable and writable as the umask allows.
    /// With @p bExclusive an entry of that name (a link that leads nowhere
    /// included) makes it fail, so the file it creates is always its own;
    /// without, an existing file is emptied.
    bool Create(const QByteArray& strPath, bool bExclusive);

    bool IsOpen() const { return m_fd >= 0; }
    int Handle() const { return m_fd; }
    const QByteArray& Path() const { return m_strPath; }
    /// The file's size now, -1 when it cannot be told.
    std::int64_t Size() const;

    /// Reads up to @p nSize bytes: the count read, 0 at the end, -1 on error.
    std::int64_t Read(char* pBuffer, std::size_t nSize);
    /// Writes all @p nSize bytes. False on error (a full disk, say).
    bool WriteAll(const char* pData, std::size_t nSize);

    /// Closes the file; false when the system reports an error only now (a
    /// delayed write error of a network file system).
    bool Close();
    /// Closes the file and removes the path it was created at.
    void Remove();

    /// Why the last operation failed: the path and the system's reason.
    QString Cause() const;
    /// The system's error number of the last failure, 0 when none.
    int LastErrno() const { return m_nErrno; }

    /// @p strPath as the user may read it (bytes that are not UTF-8 shown one
    /// character each).
    static QString Display(const QByteArray& strPath);
    /// Why a file or folder chosen for an upload is not sent: another one
    /// stands at its path now.
    static QString ReplacedText();

private:
    bool Failed(int nErrno);

    int m_fd = -1;
    QByteArray m_strPath;
    int m_nErrno = 0;
    bool m_bNotFile = false; // opened, but a folder, pipe or device
    bool m_bReplaced = false; // opened, but not the file expected
};
