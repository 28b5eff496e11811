#pragma once

#include "ftp/LocalFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

struct FtpEntry;
class TransferMeter;

/// Identifies a file transfer begun on a connection, until its verdict is taken.
using FtpTicket = std::uint64_t;

/// One logged-in FTP control connection with its own current remote directory.
///
/// All operations block and must be used by one thread at a time; Abort() may be
/// called from any thread at any time and makes every pending and later
/// operation fail promptly. Names and paths are raw bytes, sent unchanged; one
/// holding CR, LF or NUL is refused before anything is sent.
///
/// Commands may travel to the server before the replies to earlier ones have
/// come back (on a server that takes them so); every reply is still matched to
/// its own command, in order, and no operation returns a result before the
/// replies it depends on have been read.
class FtpConnection {
public:
    virtual ~FtpConnection() = default;

    /// CWD. True when the server accepted the change.
    virtual bool SetCurrentDirectory(const QByteArray& strDirectory) = 0;
    /// PWD. Fills @p strDirectory with the server's path (RFC 959 quoting undone);
    /// empty when the server reports none.
    virtual bool GetCurrentDirectory(QByteArray& strDirectory) = 0;
    /// CWD into @p strDirectory, then PWD, in one exchange; with @p bCreate an MKD
    /// goes first, whose answer does not matter (an existing folder is simply
    /// entered). True when the server entered the directory; @p strNow is then
    /// the server's own name for it (empty when it gives none), else empty.
    virtual bool EnterDirectory(const QByteArray& strDirectory, QByteArray& strNow, bool bCreate = false) = 0;
    virtual bool CreateDirectory(const QByteArray& strName) = 0; ///< MKD
    virtual bool RemoveDirectory(const QByteArray& strName) = 0; ///< RMD
    virtual bool Remove(const QByteArray& strName) = 0; ///< DELE

    /**
     * Starts storing the local file under @p strRemoteName in the current
     * directory, in binary, and returns once its bytes have been sent (or the
     * attempt failed). The server's verdict comes from FinishFile(), which a
     * later call may have read meanwhile; until then the next file may already
     * be on its way. Nothing is sent for a local file that cannot be read.
     * @p strLocalPath is the path's bytes, given to the system as they are;
     * when @p expected is known, only that file is sent (LocalFile::OpenForReading).
     */
    virtual FtpTicket BeginPutFile(
        const QByteArray& strLocalPath, const QByteArray& strRemoteName, const FileIdentity& expected = {})
        = 0;
    /**
     * Starts fetching @p strRemoteName into @p strLocalPath in binary and returns
     * once its bytes have arrived (or the attempt failed); FinishFile() gives
     * the verdict. With @p bFailIfExists the local file is created exclusively
     * and an existing one is never touched. A fetch that fails removes the local
     * file it created. @p strLocalPath is the path's bytes, as for BeginPutFile().
     */
    virtual FtpTicket BeginGetFile(const QByteArray& strRemoteName, const QByteArray& strLocalPath, bool bFailIfExists)
        = 0;
    /// The verdict of a begun transfer, reading the replies it still needs:
    /// true only when the server confirmed it and every byte count agrees (the
    /// local size, the bytes moved, and the server's SIZE or announced size).
    /// Transfers are finished in the order they began.
    virtual bool FinishFile(FtpTicket nTicket) = 0;

    /// Has @p pMeter told how far each file transfer begun from now on has come
    /// (none with nullptr). The meter must outlive its use here.
    virtual void SetTransferMeter(TransferMeter* pMeter) = 0;

    /// Reads the replies that must be in before any further command goes to
    /// this server: an upload's final reply, on a server that reads commands
    /// while a file comes in. Nothing on a server that takes them at once.
    virtual void SettleTransfers() = 0;

    /// BeginPutFile() and its verdict.
    bool PutFile(const QByteArray& strLocalPath, const QByteArray& strRemoteName)
    {
        return FinishFile(BeginPutFile(strLocalPath, strRemoteName));
    }
    /// BeginGetFile() and its verdict.
    bool GetFile(const QByteArray& strRemoteName, const QByteArray& strLocalPath, bool bFailIfExists)
    {
        return FinishFile(BeginGetFile(strRemoteName, strLocalPath, bFailIfExists));
    }

    /// Lists the current directory (MLSD where the server offers it, LIST
    /// otherwise); lines that do not parse are skipped. With @p strDirectory,
    /// enters that directory first, in the same exchange, and fails when the
    /// server will not enter it. False when the listing could not be read.
    virtual bool ReadDirectory(std::vector<FtpEntry>& entries, const QByteArray& strDirectory = {}) = 0;
    /// True when the last ReadDirectory() failed only because the server
    /// refused to list the directory (450 or 550: no files to list), the one
    /// failure that may be shown as an empty folder. A data connection that
    /// never came, a time-out or a lost connection is no such refusal.
    virtual bool ListingRefused() const = 0;

    /// False once the control connection is lost: closed by the server, a
    /// reply that did not come in time, a 421, a hostile reply, a reply out of
    /// step, an abort, or Close(). Every later operation then fails at once.
    virtual bool IsUsable() const = 0;
    /// True once the connection ended because the server answered out of
    /// step with the commands (a reply no command on its way could get) or
    /// dropped commands sent ahead of their replies. Nothing it said after
    /// the last verdict taken can be trusted; the transfers whose verdicts are
    /// not in may be tried again on a fresh connection, which the session
    /// then opens one command at a time.
    virtual bool WentOutOfStep() const = 0;
    /// Asks the server whether the connection still works (NOOP, within the
    /// reply time-out), for a caller about to blame a failure on one file: a
    /// server may refuse a command and close the connection right after its
    /// reply. False when the connection is lost; any answer counts as alive.
    virtual bool ConfirmUsable() = 0;

    /// Why the last operation that failed did, in words for the user: the
    /// server's reply ("550 Permission denied."), the system's error ("No space
    /// left on device") or the wait that ran out. Empty when none has failed.
    virtual QString LastFailureCause() const = 0;

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
