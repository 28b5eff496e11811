#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

struct FtpEntry;

/// One logged-in FTP control connection with its own current remote directory.
///
/// All operations block and must be used by one thread at a time; Abort() may be
/// called from any thread at any time and makes every pending and later
/// operation fail promptly. Names and paths are raw bytes, sent unchanged; one
/// holding CR, LF or NUL is refused before anything is sent.
class FtpConnection {
public:
    virtual ~FtpConnection() = default;

    /// CWD. True when the server accepted the change.
    virtual bool SetCurrentDirectory(const QByteArray& strDirectory) = 0;
    /// PWD. Fills @p strDirectory with the server's path (RFC 959 quoting undone);
    /// empty when the server reports none.
    virtual bool GetCurrentDirectory(QByteArray& strDirectory) = 0;
    virtual bool CreateDirectory(const QByteArray& strName) = 0; ///< MKD
    virtual bool RemoveDirectory(const QByteArray& strName) = 0; ///< RMD
    virtual bool Remove(const QByteArray& strName) = 0; ///< DELE

    /// Stores the local file under @p strRemoteName in the current directory, in
    /// binary. True only when every byte of the file arrived (see the checks in
    /// the implementation).
    virtual bool PutFile(const QString& strLocalPath, const QByteArray& strRemoteName) = 0;

    /// Fetches @p strRemoteName into @p strLocalPath in binary. With @p bFailIfExists
    /// the local file is created exclusively and an existing one is never touched.
    /// A failed fetch removes the local file it created.
    virtual bool GetFile(const QByteArray& strRemoteName, const QString& strLocalPath, bool bFailIfExists) = 0;

    /// Lists the current directory (MLSD where the server offers it, LIST
    /// otherwise); lines that do not parse are skipped. False when the listing
    /// could not be read.
    virtual bool ReadDirectory(std::vector<FtpEntry>& entries) = 0;

    /// False once the control connection is lost: closed by the server, a
    /// reply that did not come in time, a 421, a hostile reply, an abort, or
    /// Close(). Every later operation then fails at once.
    virtual bool IsUsable() const = 0;
    /// Asks the server whether the connection still works (NOOP, within the
    /// reply time-out), for a caller about to blame a failure on one file: a
    /// server may refuse a command and close the connection right after its
    /// reply. False when the connection is lost; any answer counts as alive.
    virtual bool ConfirmUsable() = 0;

    /// Sends QUIT (without waiting long) and closes the connection.
    virtual void Close() = 0;
    /// Closes the sockets from any thread; pending and later calls fail.
    virtual void Abort() = 0;
};

/// One entry of a remote directory listing.
struct FtpEntry {
    QByteArray m_strName; // bare name as the server sent it
    bool m_bDirectory = false;
    /// A symbolic link ("l" line, OS.unix=slink/symlink). It may lead to a file
    /// or a folder, which only the server can tell (m_bDirectory is false).
    bool m_bLink = false;
};
