#pragma once

#include "ftp/FtpConnection.h"
#include "ftp/FtpReplyReader.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"
#include "ftp/LocalFile.h"
#include "ftp/Socket.h"
#include "ftp/TransferMeter.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

/// The FtpConnection of this engine: a control connection on a Socket, active
/// mode data connections, every wait bounded by FtpTimeouts.
///
/// Commands are written as soon as they are known and their replies read when
/// a result needs them: each command sent leaves an expectation in a queue, and
/// every reply that arrives is filed to the oldest expectation still open, so a
/// reply can never be taken for another command's. A reply that cannot answer
/// the command it would be filed to shows a server out of step. In lock-step
/// mode (Pipelining::Off) every command waits for the replies of all before it.
///
/// After a failure that leaves the control connection out of step (time-out,
/// hostile reply, closed connection, abort), the connection is marked broken
/// and every later call fails at once.
class FtpClientConnection final : public FtpConnection {
public:
    enum class Pipelining {
        On, ///< commands go out before earlier replies are in, where that is safe
        Off, ///< one command at a time: for a server that mishandles more
    };

    FtpClientConnection(const FtpTimeouts& timeouts, Pipelining pipelining = Pipelining::On);
    ~FtpClientConnection() override;

    /**
     * Connects to the first of @p addresses that answers, each (up to three, the address families taking turns)
     * tried with its own connect time-out; reads the greeting, logs in and asks for FEAT, sending USER, PASS and
     * FEAT together when pipelining. A greeting of 421 (too many connections) is tried again a few times within
     * two seconds.
     * @throws InternetException with FTP_ERROR_INCORRECT_PASSWORD when the server
     *         refuses the login, another code for every other failure; its detail
     *         is the cause for the user.
     */
    void Open(const std::vector<SocketAddress>& addresses, const QByteArray& strUser, const QByteArray& strPassword);

    bool SetCurrentDirectory(const QByteArray& strDirectory) override;
    bool GetCurrentDirectory(QByteArray& strDirectory) override;
    bool EnterDirectory(const QByteArray& strDirectory, QByteArray& strNow, bool bCreate) override;
    bool CreateDirectory(const QByteArray& strName) override;
    bool RemoveDirectory(const QByteArray& strName) override;
    bool Remove(const QByteArray& strName) override;
    FtpTicket BeginPutFile(const QByteArray& strLocalPath, const QByteArray& strRemoteName) override;
    FtpTicket BeginGetFile(
        const QByteArray& strRemoteName, const QByteArray& strLocalPath, bool bFailIfExists) override;
    bool FinishFile(FtpTicket nTicket) override;
    void SettleTransfers() override { SettleEarlierUploads(m_nNextTicket); }
    void SetTransferMeter(TransferMeter* pMeter) override { m_pMeter = pMeter; }
    bool ReadDirectory(std::vector<FtpEntry>& entries, const QByteArray& strDirectory) override;
    using FtpConnection::ReadDirectory;
    bool IsUsable() const override;
    bool ConfirmUsable() override;
    QString LastFailureCause() const override { return m_strFailure; }
    void Close() override;
    void Abort() override;

    bool OffersMlsd() const { return m_bMlsd; }
    bool OffersSize() const { return m_bSize; }
    /// True once this connection saw the server mishandle commands sent ahead
    /// of their replies: it closed with several outstanding, or answered out
    /// of step. The caller should use lock-step mode with this server.
    bool PipeliningFailed() const { return m_bPipeliningFailed; }
    /// @p handler runs (on this connection's thread) when PipeliningFailed() becomes true.
    void SetPipeliningFailedHandler(std::function<void()> handler) { m_onPipeliningFailed = std::move(handler); }

private:
    using CommandId = std::uint64_t;

    /// A command on its way: what it was and, once read, its final reply.
    struct Command {
        CommandId m_nId = 0;
        QByteArray m_strVerb;
        bool m_bDone = false;
        bool m_bDiscard = false; // nobody waits for it: dropped once answered
        bool m_bMayGoUnanswered = false; // FEAT: some servers never answer it
        int m_nPreliminary = 0;
        std::int64_t m_nAnnounced = -1; // the size a 150 reply announced
        FtpReply m_reply;
    };

    /// One active-mode data transfer: its listener, its connection and the
    /// commands that set it up.
    struct DataChannel;
    /// A file transfer whose verdict has not been taken yet.
    struct FileTransfer;

    // --- the control channel
    void MarkBroken(FtpErrorCode nError, const QString& strCause);
    /// Notes that this server mishandles commands sent ahead of their replies.
    void PipeliningFails();
    /// The control connection was lost: with several commands on their way,
    /// that is taken for a server that cannot take them so.
    void LostWhileAhead();
    /// Fails the current operation with @p strCause without breaking the connection.
    void Refuse(const QString& strCause) { m_strFailure = strCause; }
    /// Queues a command and writes it with the next wait (in lock-step mode
    /// only once every earlier reply is in, unless @p bEvenInLockStep). With
    /// @p bDiscard nobody waits for its reply. 0 when it could not be sent.
    CommandId Send(
        const QByteArray& strVerb, const QByteArray& strArgument, bool bDiscard = false, bool bEvenInLockStep = false);
    /// Writes every queued command line to the socket.
    bool Flush();
    /// Reads one complete reply within @p nTimeoutMs, not filed to any command
    /// (the greeting, QUIT's answer). A time-out breaks the connection unless
    /// @p pbTimedOut is given.
    bool ReadReply(FtpReply& reply, int nTimeoutMs, bool* pbTimedOut = nullptr);
    /// Reads one reply within @p nTimeoutMs and files it. False on a broken
    /// connection; a time-out breaks it unless @p pbTimedOut is given.
    bool ReadAndFile(int nTimeoutMs, bool* pbTimedOut = nullptr);
    /// Files @p reply to the oldest open command. False when it cannot belong
    /// there (the connection is then broken as out of step).
    bool File(const FtpReply& reply);
    Command* Find(CommandId nId);
    /// Reads replies until the final reply of @p nId is in, and takes it (with
    /// the size a 150 reply announced, when @p pnAnnounced is given).
    bool Await(CommandId nId, FtpReply& reply, std::int64_t* pnAnnounced = nullptr);
    /// Await() for a command whose answer only matters as success.
    bool AwaitOk(CommandId nId);
    /// Sends a command and waits for its final reply.
    bool Execute(const QByteArray& strVerb, const QByteArray& strArgument, FtpReply& reply);
    bool ExecuteOk(const QByteArray& strVerb, const QByteArray& strArgument);
    /// The cause for a refusal: the server's reply line.
    void RefusedBy(const FtpReply& reply);
    std::size_t OpenCommands() const;

    // --- logging in
    void ConnectToFirstAnswering(const std::vector<SocketAddress>& addresses);
    /// Connects and reads the greeting, connecting again after a 421 a few times.
    FtpReply ReadGreeting(const std::vector<SocketAddress>& addresses);
    /// Waits for FEAT's answer (a few seconds at most); without one, NOOP brings
    /// the conversation back in step before anything else is sent.
    void ReadFeatures(CommandId nFeat);
    void ParseFeatures(const FtpReply& reply);

    // --- data transfers, step by step
    /// The command @p nId while it may still succeed; null once it is gone or
    /// was refused (its reply is then the cause).
    const Command* NotRefused(CommandId nId);
    /// A data socket's operation failed with @p result (@p strTimeout says which
    /// wait ran out): the cause is kept. Always false.
    bool DataFailed(SocketResult result, const Socket& socket, const QString& strTimeout);
    /// The transfers' buffer, made by the first one.
    char* Chunk();
    /// Opens a listener and sends PORT (or EPRT) and @p strVerb, in one exchange
    /// with whatever else is queued.
    bool OpenDataChannel(DataChannel& channel, const QByteArray& strVerb, const QByteArray& strArgument);
    /// Waits for the server's data connection, filing replies meanwhile; false
    /// when the command was refused first or the wait ran out.
    bool AcceptDataConnection(DataChannel& channel);
    /// Sends the local file (of @p nSize bytes when it began), watching the
    /// control connection for a refusal.
    bool SendData(DataChannel& channel, LocalFile& file, qint64 nSize, qint64& nSent);
    /// Receives until the server closes the data connection; @p sink takes each chunk.
    bool ReceiveData(DataChannel& channel, const std::function<bool(const char*, std::size_t)>& sink);
    /// The transfer command's final reply; gives the data port back when the
    /// connection ended cleanly on both sides.
    bool ReadTransferVerdict(DataChannel& channel);
    /// The work of BeginPutFile(): false when the file failed before its verdict.
    bool StartUpload(FileTransfer& transfer, const QByteArray& strLocalPath);
    /// The work of BeginGetFile(): false when the file failed before its verdict.
    bool StartDownload(FileTransfer& transfer, const QByteArray& strLocalPath, bool bFailIfExists);
    /// Settles every upload begun before @p nTicket that is not yet.
    void SettleEarlierUploads(FtpTicket nTicket);
    /// Readies an upload for the next command: reads its final reply first on a
    /// server that reads commands during transfers, and asks its SIZE.
    void Settle(FileTransfer& transfer);
    /// TYPE I once per connection, sent with the first transfer.
    void UseBinaryType();
    bool RemoteSizeMatches(CommandId nSize, std::int64_t nExpected);

    FtpTimeouts m_timeouts;
    Pipelining m_pipelining;
    AbortSignal m_abort;
    Socket m_control;
    FtpReplyReader m_reader;
    QByteArray m_strOutput; // command lines not written yet
    std::deque<Command> m_commands; // sent and not yet taken, oldest first
    CommandId m_nNextId = 1;
    std::deque<std::unique_ptr<FileTransfer>> m_transfers; // begun, verdict not taken, oldest first
    FtpTicket m_nNextTicket = 1;
    bool m_bBroken = false;
    bool m_bPipeliningFailed = false;
    std::function<void()> m_onPipeliningFailed;
    FtpErrorCode m_nLastError = FTP_ERROR_CANNOT_CONNECT;
    QString m_strFailure;
    bool m_bMlsd = false;
    bool m_bSize = false;
    bool m_bReadsDuringTransfers = true; // commands sent during an upload may cut it short
    bool m_bPortProbed = false; // the first PORT has shown how this server answers it
    bool m_bPortAhead = false; // the transfer command may follow PORT before its answer
    CommandId m_nTypeCommand = 0; // TYPE I, once sent
    bool m_bBinary = false; // the server accepted TYPE I
    std::unique_ptr<char[]> m_pChunk; // the transfers' buffer, made by the first one
    TransferMeter* m_pMeter = nullptr; // told how far each file has come
};
