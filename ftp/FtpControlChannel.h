#pragma once

#include "ftp/FtpCommandQueue.h"
#include "ftp/FtpReplyReader.h"
#include "ftp/InternetException.h"
#include "ftp/Socket.h"

#include <QByteArray>
#include <QString>

#include <functional>

/// The control connection of one FTP session: its socket, the commands written
/// to it and the replies filed to them.
///
/// Commands are written as soon as they are known and their replies read when a
/// result needs them: each command sent leaves an entry in an FtpCommandQueue,
/// and every reply that arrives is filed by it to the command it answers, under
/// the reply grammar, so a reply can never be taken for another command's. In
/// lock-step mode every command waits for the replies of all before it.
///
/// A reply that fits no open command, or comes when none is open, shows a
/// server out of step: the channel is then broken. So is it after a time-out, a
/// reply that cannot be read, a lost connection, an abort or a 421; every later
/// call fails at once, and Failure() says why.
class FtpControlChannel {
public:
    using CommandId = FtpCommandQueue::CommandId;
    using Command = FtpCommandQueue::Command;

    /// @p nReplyMs bounds every wait for a reply; with @p bPipelining commands go
    /// out before the replies to earlier ones are in.
    FtpControlChannel(const AbortSignal& abort, int nReplyMs, bool bPipelining);

    Socket& Control() { return m_control; }
    const Socket& Control() const { return m_control; }
    bool IsPipelining() const { return m_bPipelining; }

    /// Starts afresh on a new connection of the same socket: nothing queued,
    /// nothing read, not broken.
    void Restart();

    /// Runs before each command is queued (the connection reads what must be
    /// in before anything more goes to the server); it may send commands itself.
    void SetBeforeSend(std::function<void()> beforeSend) { m_beforeSend = std::move(beforeSend); }

    /// Queues a command; it is written with the next wait (in lock-step mode
    /// only once every earlier reply is in, unless @p bEvenInLockStep). With
    /// @p bDiscard nobody waits for its reply. 0 when it could not be sent.
    CommandId Send(
        const QByteArray& strVerb, const QByteArray& strArgument, bool bDiscard = false, bool bEvenInLockStep = false);
    /// Writes every queued command line to the socket.
    bool Flush();
    /// Reads one complete reply within @p nTimeoutMs, not filed to any command
    /// (the greeting, QUIT's answer). A time-out breaks the channel unless
    /// @p pbTimedOut is given.
    bool ReadReply(FtpReply& reply, int nTimeoutMs, bool* pbTimedOut = nullptr);
    /// Reads one reply within @p nTimeoutMs and files it. False on a broken
    /// channel; a time-out breaks it unless @p pbTimedOut is given.
    bool ReadAndFile(int nTimeoutMs, bool* pbTimedOut = nullptr);
    /// Reads replies until the final reply of @p nId is in, and takes it out of
    /// the queue (the whole entry into @p pCommand when given: its preliminary
    /// reply, its times).
    bool Await(CommandId nId, FtpReply& reply, Command* pCommand = nullptr);
    /// Await() for a command whose answer only matters as success; a refusal
    /// becomes the failure cause.
    bool AwaitOk(CommandId nId);
    /// Sends a command and waits for its final reply.
    bool Execute(const QByteArray& strVerb, const QByteArray& strArgument, FtpReply& reply);
    bool ExecuteOk(const QByteArray& strVerb, const QByteArray& strArgument);

    const Command* Find(CommandId nId) const { return m_queue.Find(nId); }
    /// Drops the answer of @p nId, when it is in, which nobody will take.
    void DropIfAnswered(CommandId nId) { m_queue.DropIfAnswered(nId); }
    std::size_t OpenCommands() const { return m_queue.OpenCount(); }
    /// True when a reply has been read already and waits to be filed.
    bool HasReply() const { return m_reader.HasReply(); }

    bool IsUsable() const;
    bool IsBroken() const { return m_bBroken; }
    /// Breaks the channel (the socket is closed) with @p strCause for the user.
    void MarkBroken(FtpErrorCode nError, const QString& strCause);
    /// Fails the current operation with @p strCause without breaking the channel.
    void Refuse(const QString& strCause) { m_strFailure = strCause; }
    /// The cause for a refusal: the server's reply line.
    void RefusedBy(const FtpReply& reply) { Refuse(ReplyLine(reply)); }
    const QString& Failure() const { return m_strFailure; }
    FtpErrorCode LastError() const { return m_nLastError; }
    void SetLastError(FtpErrorCode nError) { m_nLastError = nError; }

    /// True once the channel broke because the server answered out of step: a
    /// reply no open command could get, or one when none was open, or the
    /// connection lost with several commands open.
    bool WentOutOfStep() const { return m_bOutOfStep; }
    /// True once this server mishandled commands sent ahead of their replies;
    /// @p handler runs (on this thread) when that is found.
    bool PipeliningFailed() const { return m_bPipeliningFailed; }
    void SetPipeliningFailedHandler(std::function<void()> handler) { m_onPipeliningFailed = std::move(handler); }

    /// Writes QUIT after whatever is queued and waits up to @p nWaitMs for its
    /// answer; the replies still owed to earlier commands are not waited for.
    /// The channel is closed either way.
    void Quit(int nWaitMs);

    /// The first line of a reply as the user may read it: its code and text,
    /// control characters dropped, shortened when very long.
    static QString ReplyLine(const FtpReply& reply);
    /// What a socket failure means to the user; @p strTimeout names the wait
    /// that ran out, for a time-out.
    static QString SocketCause(SocketResult result, int nErrno, const QString& strTimeout);
    static FtpErrorCode ErrorOf(SocketResult result);
    /// @p nMs as whole seconds, rounded up, for a message.
    static QString Seconds(int nMs);

private:
    /// The server answered out of step: the channel breaks, and a server sent
    /// commands ahead is kept to one at a time from now on.
    void OutOfStep(const QString& strCause);
    /// The control connection was lost while several commands were open.
    void LostWhileAhead();
    /// Reads a reply that came while no command was open, before anything more is sent.
    bool NothingUnasked();

    const AbortSignal& m_abort;
    int m_nReplyMs;
    bool m_bPipelining;
    Socket m_control;
    FtpReplyReader m_reader;
    FtpCommandQueue m_queue;
    QByteArray m_strOutput; // command lines not written yet
    std::function<void()> m_beforeSend;
    bool m_bBroken = false;
    bool m_bOutOfStep = false;
    bool m_bPipeliningFailed = false;
    std::function<void()> m_onPipeliningFailed;
    FtpErrorCode m_nLastError = FTP_ERROR_CANNOT_CONNECT;
    QString m_strFailure;
};
