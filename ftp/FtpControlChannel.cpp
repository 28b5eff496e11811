#include "ftp/FtpControlChannel.h"

#include "ftp/FtpCommandWriter.h"

#include <QCoreApplication>

#include <chrono>
#include <cstring>

namespace {

/// A server's reply line is shown to the user up to this many characters.
constexpr qsizetype MaxCauseChars = 300;

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

FtpErrorCode FtpControlChannel::ErrorOf(SocketResult result)
{
    switch (result) {
    case SocketResult::Timeout: return FTP_ERROR_TIMEOUT;
    case SocketResult::Aborted: return FTP_ERROR_ABORTED;
    default: return FTP_ERROR_CANNOT_CONNECT;
    }
}

QString FtpControlChannel::Seconds(int nMs)
{
    return QString::number((nMs + 999) / 1000);
}

QString FtpControlChannel::SocketCause(SocketResult result, int nErrno, const QString& strTimeout)
{
    switch (result) {
    case SocketResult::Timeout: return strTimeout;
    case SocketResult::Aborted: return QCoreApplication::translate("FtpControlChannel", "The operation was stopped.");
    case SocketResult::Closed:
        return QCoreApplication::translate("FtpControlChannel", "The server closed the connection.");
    default:
        return nErrno != 0 ? QString::fromLocal8Bit(std::strerror(nErrno))
                           : QCoreApplication::translate("FtpControlChannel", "The connection to the server failed.");
    }
}

FtpControlChannel::FtpControlChannel(const AbortSignal& abort, int nReplyMs, bool bPipelining)
    : m_abort(abort)
    , m_nReplyMs(nReplyMs)
    , m_bPipelining(bPipelining)
    , m_control(abort)
{
}

void FtpControlChannel::Restart()
{
    m_control.Close();
    m_reader = FtpReplyReader();
    m_queue = FtpCommandQueue();
    m_strOutput.clear();
    m_bBroken = false;
}

QString FtpControlChannel::ReplyLine(const FtpReply& reply)
{
    const qsizetype nEnd = reply.m_strText.indexOf('\n');
    QString strLine = QString::fromUtf8(nEnd < 0 ? reply.m_strText : reply.m_strText.left(nEnd));
    strLine.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    if (strLine.size() > MaxCauseChars)
        strLine = strLine.left(MaxCauseChars) + QStringLiteral("...");
    return strLine.trimmed();
}

bool FtpControlChannel::IsUsable() const
{
    return !m_bBroken && !m_abort.IsRaised() && m_control.IsOpen();
}

void FtpControlChannel::MarkBroken(FtpErrorCode nError, const QString& strCause)
{
    if (!m_bBroken)
        m_strFailure = m_abort.IsRaised()
            ? QCoreApplication::translate("FtpControlChannel", "The operation was stopped.")
            : strCause;
    m_bBroken = true;
    m_nLastError = m_abort.IsRaised() ? FTP_ERROR_ABORTED : nError;
    m_control.Close();
}

void FtpControlChannel::OutOfStep(const QString& strCause)
{
    if (m_bBroken)
        return;
    m_bOutOfStep = true;
    // A server that answers out of step with commands sent ahead may answer in
    // step when it gets one at a time.
    if (m_bPipelining && !std::exchange(m_bPipeliningFailed, true) && m_onPipeliningFailed)
        m_onPipeliningFailed();
    MarkBroken(FTP_ERROR_PROTOCOL, strCause);
}

void FtpControlChannel::LostWhileAhead()
{
    // A server that drops or mangles commands sent ahead shows it this way: the
    // connection ends while several are still waiting for their replies.
    if (m_bPipelining && m_queue.OpenCount() > 1 && !m_abort.IsRaised() && !m_bBroken) {
        m_bOutOfStep = true;
        if (!std::exchange(m_bPipeliningFailed, true) && m_onPipeliningFailed)
            m_onPipeliningFailed();
    }
}

bool FtpControlChannel::NothingUnasked()
{
    // Whatever a server says with no command open answers none of ours; were
    // it read later, it would be taken for the next command's reply.
    if (m_queue.OpenCount() > 0 || !m_strOutput.isEmpty() || !IsUsable())
        return IsUsable();
    if (!m_reader.HasReply() && !m_control.IsReadableNow())
        return true;
    FtpReply reply;
    if (!ReadReply(reply, m_nReplyMs))
        return false;
    if (reply.m_nCode != 421)
        OutOfStep(QCoreApplication::translate("FtpControlChannel", "The server sent \"%1\", which answers no command.")
                      .arg(ReplyLine(reply)));
    return false;
}

FtpControlChannel::CommandId FtpControlChannel::Send(
    const QByteArray& strVerb, const QByteArray& strArgument, bool bDiscard, bool bEvenInLockStep)
{
    QByteArray strLine;
    if (!FtpCommandWriter::Compose(strVerb, strArgument, strLine)) {
        m_nLastError = FTP_ERROR_INVALID_ARGUMENT;
        Refuse(QCoreApplication::translate("FtpControlChannel", "The name holds a line break or a NUL character."));
        return 0;
    }
    if (m_beforeSend)
        m_beforeSend();
    if (!m_bPipelining && !bEvenInLockStep) {
        // One command at a time: every earlier reply first.
        while (IsUsable() && m_queue.OpenCount() > 0) {
            if (!ReadAndFile(m_nReplyMs))
                break;
        }
    }
    if (!NothingUnasked())
        return 0;
    const CommandId nId = m_queue.Push(strVerb, bDiscard);
    m_strOutput += strLine;
    return nId;
}

bool FtpControlChannel::Flush()
{
    if (m_strOutput.isEmpty())
        return IsUsable();
    if (!IsUsable())
        return false;
    const SocketResult result
        = m_control.SendAll(m_strOutput.constData(), static_cast<std::size_t>(m_strOutput.size()), m_nReplyMs);
    m_strOutput.clear();
    m_queue.Written(NowMs());
    if (result != SocketResult::Ok) {
        LostWhileAhead();
        MarkBroken(ErrorOf(result),
            SocketCause(result, m_control.LastErrno(),
                QCoreApplication::translate("FtpControlChannel", "The server took no commands for %1 s.")
                    .arg(Seconds(m_nReplyMs))));
        return false;
    }
    return true;
}

bool FtpControlChannel::ReadReply(FtpReply& reply, int nTimeoutMs, bool* pbTimedOut)
{
    const Deadline deadline(nTimeoutMs);
    char buffer[4096];
    while (!m_reader.TakeReply(reply)) {
        if (!IsUsable())
            return false;
        std::size_t nRead = 0;
        const SocketResult result = m_control.Receive(buffer, sizeof buffer, nRead, deadline.RemainingMs());
        if (result == SocketResult::Timeout && pbTimedOut) {
            *pbTimedOut = true; // the caller decides what a late reply means
            return false;
        }
        if (result != SocketResult::Ok) {
            const Command* pOpen = m_queue.OldestOpen();
            const QString strTimeout = !pOpen
                ? QCoreApplication::translate("FtpControlChannel", "The server did not answer within %1 s.")
                      .arg(Seconds(nTimeoutMs))
                : QCoreApplication::translate("FtpControlChannel", "The server did not answer %1 within %2 s.")
                      .arg(QString::fromLatin1(pOpen->m_strVerb), Seconds(nTimeoutMs));
            LostWhileAhead();
            MarkBroken(ErrorOf(result), SocketCause(result, m_control.LastErrno(), strTimeout));
            return false;
        }
        if (!m_reader.Feed(buffer, nRead)) {
            MarkBroken(FTP_ERROR_PROTOCOL,
                QCoreApplication::translate("FtpControlChannel", "The server's reply could not be understood."));
            return false;
        }
    }
    // 421: the server is closing the control connection; nothing more will work.
    if (reply.m_nCode == 421)
        MarkBroken(FTP_ERROR_CANNOT_CONNECT, ReplyLine(reply));
    return true;
}

bool FtpControlChannel::ReadAndFile(int nTimeoutMs, bool* pbTimedOut)
{
    if (!Flush())
        return false;
    FtpReply reply;
    if (!ReadReply(reply, nTimeoutMs, pbTimedOut))
        return false;
    // A 421 read above has broken the channel but still answers its command.
    const FtpCommandQueue::Outcome outcome = m_queue.File(reply, NowMs());
    const Command* pCommand = m_queue.Find(outcome.m_nId);
    const QString strVerb = pCommand ? QString::fromLatin1(pCommand->m_strVerb) : QString();
    switch (outcome.m_filed) {
    case FtpCommandQueue::Filed::Preliminary:
    case FtpCommandQueue::Filed::Final: break;
    case FtpCommandQueue::Filed::OutOfStep:
        OutOfStep(QCoreApplication::translate("FtpControlChannel", "The server's reply \"%1\" does not answer %2.")
                      .arg(ReplyLine(reply), strVerb));
        return false;
    case FtpCommandQueue::Filed::NoCommand:
        if (reply.m_nCode != 421)
            OutOfStep(
                QCoreApplication::translate("FtpControlChannel", "The server sent \"%1\", which answers no command.")
                    .arg(ReplyLine(reply)));
        return false;
    case FtpCommandQueue::Filed::Endless:
        // A readable control connection keeps a wait from timing out, so a
        // server sending 1xx replies without end must be cut off here.
        MarkBroken(FTP_ERROR_PROTOCOL,
            QCoreApplication::translate("FtpControlChannel", "The server kept answering without finishing."));
        return false;
    }
    return IsUsable();
}

bool FtpControlChannel::Await(CommandId nId, FtpReply& reply, Command* pCommand)
{
    if (nId == 0)
        return false;
    for (bool bReading = true;;) {
        // A 421 filed by the last read still answers the command.
        Command command;
        if (m_queue.Take(nId, command)) {
            reply = command.m_reply;
            if (pCommand)
                *pCommand = std::move(command);
            return true;
        }
        if (!bReading || !m_queue.Find(nId))
            return false;
        bReading = ReadAndFile(m_nReplyMs);
    }
}

bool FtpControlChannel::AwaitOk(CommandId nId)
{
    FtpReply reply;
    if (!Await(nId, reply))
        return false;
    if (!reply.IsSuccess())
        RefusedBy(reply);
    return reply.IsSuccess();
}

bool FtpControlChannel::Execute(const QByteArray& strVerb, const QByteArray& strArgument, FtpReply& reply)
{
    return Await(Send(strVerb, strArgument), reply);
}

bool FtpControlChannel::ExecuteOk(const QByteArray& strVerb, const QByteArray& strArgument)
{
    return AwaitOk(Send(strVerb, strArgument));
}

void FtpControlChannel::Quit(int nWaitMs)
{
    if (IsUsable()) {
        // Say goodbye, but do not let a slow server hold up the caller.
        m_strOutput += "QUIT\r\n";
        if (m_control.SendAll(m_strOutput.constData(), static_cast<std::size_t>(m_strOutput.size()), nWaitMs)
            == SocketResult::Ok) {
            const Deadline deadline(std::min(nWaitMs, m_nReplyMs));
            FtpReply reply;
            while (deadline.RemainingMs() > 0 && ReadReply(reply, deadline.RemainingMs()) && reply.m_nCode != 221) { }
        }
        m_strOutput.clear();
    }
    m_bBroken = true;
    m_control.Close();
}
