#pragma once

#include "ftp/FtpConnection.h"
#include "ftp/FtpReplyReader.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"
#include "ftp/Socket.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

/// The FtpConnection of this engine: a control connection on a Socket, active
/// mode data connections, every wait bounded by FtpTimeouts.
///
/// After a failure that leaves the control connection out of step (time-out,
/// hostile reply, closed connection, abort), the connection is marked broken
/// and every later call fails at once.
class FtpClientConnection final : public FtpConnection {
public:
    explicit FtpClientConnection(const FtpTimeouts& timeouts);
    ~FtpClientConnection() override;

    /**
     * Connects to the first of @p addresses that answers, each (up to three, the address families taking turns)
     * tried with its own connect time-out; reads the greeting, logs in and asks for FEAT. A greeting of 421
     * (too many connections) is tried again a few times within two seconds.
     * @throws InternetException with FTP_ERROR_INCORRECT_PASSWORD when the server
     *         refuses the login, another code for every other failure.
     */
    void Open(const std::vector<SocketAddress>& addresses, const QByteArray& strUser, const QByteArray& strPassword);

    bool SetCurrentDirectory(const QByteArray& strDirectory) override;
    bool GetCurrentDirectory(QByteArray& strDirectory) override;
    bool CreateDirectory(const QByteArray& strName) override;
    bool RemoveDirectory(const QByteArray& strName) override;
    bool Remove(const QByteArray& strName) override;
    bool PutFile(const QString& strLocalPath, const QByteArray& strRemoteName) override;
    bool GetFile(const QByteArray& strRemoteName, const QString& strLocalPath, bool bFailIfExists) override;
    bool ReadDirectory(std::vector<FtpEntry>& entries) override;
    bool IsUsable() const override;
    bool ConfirmUsable() override;
    void Close() override;
    void Abort() override;

    bool OffersMlsd() const { return m_bMlsd; }
    bool OffersSize() const { return m_bSize; }

private:
    /// Receives one data chunk (RETR, listings); false stops the transfer as failed.
    using DataSink = std::function<bool(const char* pData, std::size_t nSize)>;
    /// Fills the buffer with the next chunk to send (STOR); 0 at the end, -1 on error.
    using DataSource = std::function<qint64(char* pBuffer, qint64 nSize)>;

    void MarkBroken(FtpErrorCode nError);
    bool SendCommand(const QByteArray& strVerb, const QByteArray& strArgument);
    /// Reads one reply within @p nTimeoutMs. A time-out breaks the connection,
    /// unless @p pbTimedOut is given: then it is set and the connection stays.
    bool ReadReply(FtpReply& reply, int nTimeoutMs, bool* pbTimedOut = nullptr);
    bool ReadFinalReply(FtpReply& reply);
    /// Sends a command and reads its final reply (preliminary ones skipped).
    bool Execute(const QByteArray& strVerb, const QByteArray& strArgument, FtpReply& reply);
    /// Execute() and true only for a 2xx reply.
    bool ExecuteOk(const QByteArray& strVerb, const QByteArray& strArgument);
    /// Connects the control socket; throws InternetException when no address answers.
    void ConnectToFirstAnswering(const std::vector<SocketAddress>& addresses);
    /// FEAT, optional: a refusal, or no answer within a few seconds, leaves the
    /// connection usable with no features (LIST, no SIZE).
    void ReadFeatures();
    void ParseFeatures(const FtpReply& reply);
    /// TYPE I, sent once per connection. False when the server refused it.
    bool UseBinaryType();
    /// The remote size from SIZE, or -1 when the server does not tell it.
    std::int64_t RemoteSize(const QByteArray& strName);
    /// Runs one active-mode transfer: PORT/EPRT, the command, the data, the final
    /// reply. @p nAnnounced gets the size a 150 reply announced, or -1.
    bool Transfer(const QByteArray& strVerb, const QByteArray& strArgument, const DataSink& sink,
        const DataSource& source, std::int64_t& nAnnounced);

    FtpTimeouts m_timeouts;
    AbortSignal m_abort;
    Socket m_control;
    FtpReplyReader m_reader;
    bool m_bBroken = false;
    FtpErrorCode m_nLastError = FTP_ERROR_CANNOT_CONNECT;
    bool m_bMlsd = false;
    bool m_bSize = false;
    bool m_bBinary = false; // the server accepted TYPE I
    std::unique_ptr<char[]> m_pChunk; // the transfers' buffer, made by the first one
};
