#pragma once

#include "ftp/FtpConnection.h"
#include "ftp/FtpControlChannel.h"
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
#include <optional>
#include <utility>
#include <vector>

/// The FtpConnection of this engine: a control connection (FtpControlChannel)
/// and active mode data connections, every wait bounded by FtpTimeouts.
///
/// The control channel files every reply to the command it answers under the
/// reply grammar, in every mode; this class holds the operations built on it:
/// logging in, entering a folder, beginning and judging a file, listing.
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
    FtpTicket BeginPutFile(
        const QByteArray& strLocalPath, const QByteArray& strRemoteName, const FileIdentity& expected = {}) override;
    FtpTicket BeginGetFile(
        const QByteArray& strRemoteName, const QByteArray& strLocalPath, bool bFailIfExists) override;
    bool FinishFile(FtpTicket nTicket) override;
    void SettleTransfers() override { SettleEarlierUploads(m_nNextTicket); }
    void SetTransferMeter(TransferMeter* pMeter) override { m_pMeter = pMeter; }
    bool ReadDirectory(std::vector<FtpEntry>& entries, const QByteArray& strDirectory) override;
    using FtpConnection::ReadDirectory;
    bool ListingRefused() const override { return m_bListingRefused; }
    bool IsUsable() const override { return m_channel.IsUsable(); }
    bool WentOutOfStep() const override { return m_channel.WentOutOfStep(); }
    bool ConfirmUsable() override;
    QString LastFailureCause() const override { return m_channel.Failure(); }
    void Close() override;
    void Abort() override;

    bool OffersMlsd() const { return m_bMlsd; }
    bool OffersSize() const { return m_bSize; }
    /// True once this connection saw the server mishandle commands sent ahead
    /// of their replies: it closed with several outstanding, or answered out
    /// of step. The caller should use lock-step mode with this server.
    bool PipeliningFailed() const { return m_channel.PipeliningFailed(); }
    /// @p handler runs (on this connection's thread) when PipeliningFailed() becomes true.
    void SetPipeliningFailedHandler(std::function<void()> handler)
    {
        m_channel.SetPipeliningFailedHandler(std::move(handler));
    }

private:
    using CommandId = FtpControlChannel::CommandId;

    /// One active-mode data transfer: its listener, its connection and the
    /// commands that set it up.
    struct DataChannel;
    /// A file transfer whose verdict has not been taken yet.
    struct FileTransfer;

    // --- shorthands for the control channel
    CommandId Send(const QByteArray& strVerb, const QByteArray& strArgument, bool bDiscard = false)
    {
        return m_channel.Send(strVerb, strArgument, bDiscard);
    }
    void Refuse(const QString& strCause) { m_channel.Refuse(strCause); }

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
    const FtpControlChannel::Command* NotRefused(CommandId nId);
    /// A data socket's operation failed with @p result (@p strTimeout says which
    /// wait ran out): the cause is kept. Always false.
    bool DataFailed(SocketResult result, const Socket& socket, const QString& strTimeout);
    /// The transfers' buffer, made by the first one.
    char* Chunk();
    /// Opens a listener and sends PORT (or EPRT) and @p strVerb, in one exchange
    /// with whatever else is queued.
    bool OpenDataChannel(DataChannel& channel, const QByteArray& strVerb, const QByteArray& strArgument);
    /// After the first PORT of this connection was answered: whether the server
    /// opened the data connection on PORT already, which decides whether the
    /// transfer command may follow PORT before its answer from now on.
    void ProbePortBehaviour(const FtpControlChannel::Command& port, const DataChannel& channel);
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
    bool StartUpload(FileTransfer& transfer, const QByteArray& strLocalPath, const FileIdentity& expected);
    /// The work of BeginGetFile(): false when the file failed before its verdict.
    bool StartDownload(FileTransfer& transfer, const QByteArray& strLocalPath, bool bFailIfExists);
    /// Settles every upload begun before @p nTicket that is not yet.
    void SettleEarlierUploads(FtpTicket nTicket);
    /// Readies an upload for the next command: reads its final reply first on a
    /// server that reads commands during transfers, and asks its SIZE.
    void Settle(FileTransfer& transfer);
    /// TYPE I once per connection, sent with the first transfer.
    void UseBinaryType();
    /// Whether the server accepted TYPE I; its answer came before any transfer's.
    bool IsBinary();
    /// The size SIZE answered, or -1 when the server did not tell it.
    std::int64_t RemoteSize(CommandId nSize);
    bool RemoteSizeMatches(CommandId nSize, std::int64_t nExpected);
    /// A file's verdict, taken check by check: the cause of the first failure
    /// is the one kept.
    class Verdict {
    public:
        Verdict(bool bOk, QString& strFailure)
            : m_bOk(bOk)
            , m_strFailure(strFailure)
        {
        }
        bool Ok() const { return m_bOk; }
        /// Fails with @p strCause, unless it failed already.
        void Fail(const QString& strCause)
        {
            if (std::exchange(m_bOk, false))
                m_strFailure = strCause;
        }

    private:
        bool m_bOk;
        QString& m_strFailure;
    };
    /// The verdict of a file whose bytes went or came: from its own replies
    /// only. @p strFailure holds why it failed before, and gets why it fails.
    bool JudgeUpload(FileTransfer& transfer, QString& strFailure);
    bool JudgeDownload(FileTransfer& transfer, QString& strFailure);
    /// Fails @p verdict when the server refused binary transfers.
    void CheckBinary(Verdict& verdict);

    FtpTimeouts m_timeouts;
    AbortSignal m_abort;
    FtpControlChannel m_channel;
    std::deque<std::unique_ptr<FileTransfer>> m_transfers; // begun, verdict not taken, oldest first
    FtpTicket m_nNextTicket = 1;
    bool m_bMlsd = false;
    bool m_bSize = false;
    bool m_bListingRefused = false;
    bool m_bReadsDuringTransfers = true; // commands sent during an upload may cut it short
    bool m_bPortProbed = false; // the first PORT has shown how this server answers it
    bool m_bPortAhead = false; // the transfer command may follow PORT before its answer
    CommandId m_nTypeCommand = 0; // TYPE I, once sent
    std::optional<bool> m_binary; // the server's answer to TYPE I, once taken
    std::unique_ptr<char[]> m_pChunk; // the transfers' buffer, made by the first one
    TransferMeter* m_pMeter = nullptr; // told how far each file has come
};
