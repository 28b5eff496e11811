#include "ftp/FtpClientConnection.h"

#include "ftp/FtpCommandWriter.h"
#include "ftp/FtpListParser.h"
#include "ftp/InternetException.h"
#include "ftp/ListenPorts.h"

#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

namespace {

/// Bytes received per read of a download: large chunks keep the system calls
/// per gigabyte few (64 KiB cost a fifth more time on a 1 GiB download).
constexpr qint64 ChunkBytes = 1024 * 1024;
/// Bytes read and sent per step of an upload. Small steps keep the stream
/// even for the server that takes it in: in steps of 1 MiB a 1 GiB upload to
/// vsftpd on the loopback ran about a third slower (medians of 30 runs). The
/// bytes go through this process on purpose: sent with sendfile(2) straight
/// from the file's pages, the same upload took 2.1 s instead of 1.45 s
/// (medians of five interleaved runs), as the server's reads and writes each
/// took twice as long, copying from those pages instead of from data this
/// process had just written.
constexpr qint64 UploadChunkBytes = 64 * 1024;
constexpr int MaxPreliminaryReplies = 16;
constexpr int QuitWaitMs = 1000;
/// FEAT is optional: a server that has not answered it by then is taken to offer nothing.
constexpr int FeatWaitMs = 5000;
/// Addresses of one host name tried in turn, each with a full connect time-out.
constexpr std::size_t MaxAddressAttempts = 3;
/// A greeting of 421 (too many connections) is tried again this often, after
/// waits that double from the first.
constexpr int BusyRetries = 3;
constexpr int BusyFirstWaitMs = 250;
/// A server's reply line is shown to the user up to this many characters.
constexpr qsizetype MaxCauseChars = 300;

/// @p addresses with the families taking turns (the first address's family
/// first), so that a family that does not answer costs one attempt, not all.
std::vector<SocketAddress> AlternateFamilies(const std::vector<SocketAddress>& addresses)
{
    std::vector<SocketAddress> first, other;
    for (const SocketAddress& address : addresses)
        (address.Family() == addresses.front().Family() ? first : other).push_back(address);
    std::vector<SocketAddress> ordered;
    for (std::size_t i = 0; i < std::max(first.size(), other.size()); ++i) {
        if (i < first.size())
            ordered.push_back(first[i]);
        if (i < other.size())
            ordered.push_back(other[i]);
    }
    return ordered;
}

FtpErrorCode ErrorOf(SocketResult result)
{
    switch (result) {
    case SocketResult::Timeout: return FTP_ERROR_TIMEOUT;
    case SocketResult::Aborted: return FTP_ERROR_ABORTED;
    default: return FTP_ERROR_CANNOT_CONNECT;
    }
}

QString Seconds(int nMs)
{
    return QString::number((nMs + 999) / 1000);
}

QString SystemError(int nErrno)
{
    return QString::fromLocal8Bit(std::strerror(nErrno));
}

/// The first line of a reply as the user may read it: its code and text,
/// control characters dropped, shortened when very long.
QString ReplyLine(const FtpReply& reply)
{
    const qsizetype nEnd = reply.m_strText.indexOf('\n');
    QString strLine = QString::fromUtf8(nEnd < 0 ? reply.m_strText : reply.m_strText.left(nEnd));
    strLine.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    if (strLine.size() > MaxCauseChars)
        strLine = strLine.left(MaxCauseChars) + QStringLiteral("...");
    return strLine.trimmed();
}

/// What a socket failure means to the user, for @p strWaitingFor (the wait that
/// ran out, or the step that failed).
QString SocketCause(SocketResult result, int nErrno, const QString& strTimeout)
{
    switch (result) {
    case SocketResult::Timeout: return strTimeout;
    case SocketResult::Aborted: return QStringLiteral("The operation was stopped.");
    case SocketResult::Closed: return QStringLiteral("The server closed the connection.");
    default: return nErrno != 0 ? SystemError(nErrno) : QStringLiteral("The connection to the server failed.");
    }
}

/// The size a 150 reply announces as "(1234 bytes)", or -1.
std::int64_t AnnouncedSize(const FtpReply& reply)
{
    static const QRegularExpression pattern(
        QStringLiteral("\\((\\d{1,18}) bytes\\)"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(reply.m_strText));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

/// The size a reply to SIZE gives, or -1 when it gives none.
std::int64_t SizeFrom(const FtpReply& reply)
{
    if (reply.m_nCode != 213)
        return -1;
    bool bOk = false;
    const qlonglong nSize = reply.FirstLineText().trimmed().toLongLong(&bOk);
    return bOk && nSize >= 0 ? nSize : -1;
}

/// "PORT h1,h2,h3,h4,p1,p2" or "EPRT |2|addr|port|" argument for @p address.
bool PortCommand(const SocketAddress& address, QByteArray& strVerb, QByteArray& strArgument)
{
    const std::uint16_t nPort = address.Port();
    QByteArray strIpv4;
    if (address.Family() == AF_INET) {
        strIpv4 = address.HostText();
    } else if (address.Family() == AF_INET6) {
        // An IPv4-mapped address ("::ffff:a.b.c.d") is an IPv4 connection on the
        // wire; the server only understands PORT (or EPRT |1|) on it.
        const in6_addr& ip6 = reinterpret_cast<const sockaddr_in6*>(&address.m_storage)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&ip6))
            strIpv4 = QByteArray::number(ip6.s6_addr[12]) + '.' + QByteArray::number(ip6.s6_addr[13]) + '.'
                + QByteArray::number(ip6.s6_addr[14]) + '.' + QByteArray::number(ip6.s6_addr[15]);
    }
    if (!strIpv4.isEmpty()) {
        strVerb = "PORT";
        strArgument
            = strIpv4.replace('.', ',') + ',' + QByteArray::number(nPort >> 8) + ',' + QByteArray::number(nPort & 0xFF);
        return true;
    }
    if (address.Family() == AF_INET6) {
        strVerb = "EPRT";
        strArgument = "|2|" + address.HostText() + '|' + QByteArray::number(nPort) + '|';
        return true;
    }
    return false;
}

/// A name or path usable as a command argument: not empty, no CR, LF or NUL.
bool IsValidName(const QByteArray& strName)
{
    return !strName.isEmpty() && FtpCommandWriter::IsSafe(strName);
}

bool IsTransferVerb(const QByteArray& strVerb)
{
    return strVerb == "STOR" || strVerb == "RETR" || strVerb == "LIST" || strVerb == "MLSD";
}

/// Whether @p nCode can be the final reply to @p strVerb (RFC 959, 2389, 3659).
/// With several commands on their way, a reply that cannot be its command's
/// shows a server that answers out of step.
bool Fits(const QByteArray& strVerb, int nCode)
{
    const int nClass = nCode / 100;
    if (nClass == 4 || nClass == 5)
        return true;
    if (IsTransferVerb(strVerb))
        return nCode == 225 || nCode == 226 || nCode == 250;
    if (strVerb == "SIZE")
        return nCode == 213;
    if (strVerb == "FEAT")
        return nCode == 211;
    if (strVerb == "USER")
        return nCode == 230 || nCode == 202 || nCode == 331 || nCode == 332;
    if (strVerb == "PASS")
        return nCode == 230 || nCode == 202 || nCode == 332;
    return nClass == 2;
}

} // namespace

/// One active-mode data transfer: its listener, its connection and the two
/// commands (PORT or EPRT, then the transfer's own) that set it up.
struct FtpClientConnection::DataChannel {
    explicit DataChannel(const AbortSignal& abort)
        : m_listener(abort)
        , m_data(abort)
    {
    }

    Socket m_listener;
    Socket m_data;
    SocketAddress m_local; // the listener's address: its port may be given back
    QByteArray m_strVerb;
    CommandId m_nPort = 0;
    CommandId m_nCommand = 0;
    std::int64_t m_nAnnounced = -1; // the size a 150 reply announced
};

/// A file transfer begun and not yet judged.
struct FtpClientConnection::FileTransfer {
    FtpTicket m_nTicket = 0;
    bool m_bUpload = false;
    bool m_bFailed = false; // judged already: the verdict is false
    bool m_bSettled = false; // an upload ready for later commands: SIZE asked, final reply read where needed
    QString m_strFailure; // why it failed
    QByteArray m_strRemote;
    std::unique_ptr<DataChannel> m_pChannel;
    qint64 m_nBytes = 0; // sent or received
    qint64 m_nLocalSize = -1; // an upload's local size
    std::unique_ptr<LocalFile> m_pFile; // a download's local file, removed when it fails
    CommandId m_nSize = 0; // SIZE: an upload's after its final reply, a download's before RETR
    bool m_bLocalCause = false; // failed on this side (a full disk, say), not the server's
};

FtpClientConnection::FtpClientConnection(const FtpTimeouts& timeouts, Pipelining pipelining)
    : m_timeouts(timeouts)
    , m_pipelining(pipelining)
    , m_control(m_abort)
{
}

FtpClientConnection::~FtpClientConnection()
{
    // Downloads never judged leave no partial file behind.
    for (const auto& pTransfer : m_transfers) {
        if (pTransfer->m_pFile)
            pTransfer->m_pFile->Remove();
    }
}

void FtpClientConnection::Abort()
{
    m_abort.Raise();
}

bool FtpClientConnection::IsUsable() const
{
    return !m_bBroken && !m_abort.IsRaised() && m_control.IsOpen();
}

bool FtpClientConnection::ConfirmUsable()
{
    FtpReply reply;
    Execute("NOOP", {}, reply);
    return IsUsable();
}

// --- the control channel -----------------------------------------------------

void FtpClientConnection::MarkBroken(FtpErrorCode nError, const QString& strCause)
{
    if (!m_bBroken)
        m_strFailure = m_abort.IsRaised() ? QStringLiteral("The operation was stopped.") : strCause;
    m_bBroken = true;
    m_nLastError = m_abort.IsRaised() ? FTP_ERROR_ABORTED : nError;
    m_control.Close();
}

void FtpClientConnection::LostWhileAhead()
{
    // A server that drops or mangles commands sent ahead shows it this way: the
    // connection ends while several are still waiting for their replies.
    if (m_pipelining == Pipelining::On && OpenCommands() > 1 && !m_abort.IsRaised())
        PipeliningFails();
}

void FtpClientConnection::PipeliningFails()
{
    if (std::exchange(m_bPipeliningFailed, true))
        return;
    if (m_onPipeliningFailed)
        m_onPipeliningFailed();
}

std::size_t FtpClientConnection::OpenCommands() const
{
    return std::size_t(
        std::count_if(m_commands.begin(), m_commands.end(), [](const Command& c) { return !c.m_bDone; }));
}

FtpClientConnection::CommandId FtpClientConnection::Send(
    const QByteArray& strVerb, const QByteArray& strArgument, bool bDiscard, bool bEvenInLockStep)
{
    QByteArray strLine;
    if (!FtpCommandWriter::Compose(strVerb, strArgument, strLine)) {
        m_nLastError = FTP_ERROR_INVALID_ARGUMENT;
        Refuse(QStringLiteral("The name holds a line break or a NUL character."));
        return 0;
    }
    // The server takes nothing while a file is still coming in: some answer
    // commands in the middle of an upload and cut it short, so the upload's
    // final reply comes first.
    SettleEarlierUploads(m_nNextTicket);
    if (m_pipelining == Pipelining::Off && !bEvenInLockStep) {
        // One command at a time: every earlier reply first.
        while (IsUsable() && OpenCommands() > 0) {
            if (!ReadAndFile(m_timeouts.nReplyMs))
                break;
        }
    }
    if (!IsUsable())
        return 0;
    Command command;
    command.m_nId = m_nNextId++;
    command.m_strVerb = strVerb;
    command.m_bDiscard = bDiscard;
    command.m_bMayGoUnanswered = strVerb == "FEAT";
    m_commands.push_back(std::move(command));
    m_strOutput += strLine;
    return m_commands.back().m_nId;
}

bool FtpClientConnection::Flush()
{
    if (m_strOutput.isEmpty())
        return IsUsable();
    if (!IsUsable())
        return false;
    const SocketResult result
        = m_control.SendAll(m_strOutput.constData(), static_cast<std::size_t>(m_strOutput.size()), m_timeouts.nReplyMs);
    m_strOutput.clear();
    if (result != SocketResult::Ok) {
        LostWhileAhead();
        MarkBroken(ErrorOf(result),
            SocketCause(result, m_control.LastErrno(),
                QStringLiteral("The server took no commands for %1 s.").arg(Seconds(m_timeouts.nReplyMs))));
        return false;
    }
    return true;
}

bool FtpClientConnection::ReadReply(FtpReply& reply, int nTimeoutMs, bool* pbTimedOut)
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
            const auto it
                = std::find_if(m_commands.begin(), m_commands.end(), [](const Command& c) { return !c.m_bDone; });
            const QString strTimeout = it == m_commands.end()
                ? QStringLiteral("The server did not answer within %1 s.").arg(Seconds(nTimeoutMs))
                : QStringLiteral("The server did not answer %1 within %2 s.")
                      .arg(QString::fromLatin1(it->m_strVerb), Seconds(nTimeoutMs));
            LostWhileAhead();
            MarkBroken(ErrorOf(result), SocketCause(result, m_control.LastErrno(), strTimeout));
            return false;
        }
        if (!m_reader.Feed(buffer, nRead)) {
            MarkBroken(FTP_ERROR_PROTOCOL, QStringLiteral("The server's reply could not be understood."));
            return false;
        }
    }
    // 421: the server is closing the control connection; nothing more will work.
    if (reply.m_nCode == 421)
        MarkBroken(FTP_ERROR_CANNOT_CONNECT, ReplyLine(reply));
    return true;
}

bool FtpClientConnection::ReadAndFile(int nTimeoutMs, bool* pbTimedOut)
{
    if (!Flush())
        return false;
    FtpReply reply;
    if (!ReadReply(reply, nTimeoutMs, pbTimedOut)) {
        // A 421 read above has broken the connection but still answers its command.
        return false;
    }
    const bool bFiled = File(reply);
    return bFiled && IsUsable();
}

bool FtpClientConnection::File(const FtpReply& reply)
{
    auto it = std::find_if(m_commands.begin(), m_commands.end(), [](const Command& c) { return !c.m_bDone; });
    if (it == m_commands.end()) {
        if (reply.m_nCode != 421)
            MarkBroken(FTP_ERROR_PROTOCOL, QStringLiteral("The server sent a reply to no command."));
        return false;
    }
    if (reply.IsPreliminary()) {
        // Only a transfer opens with a preliminary reply: one for anything else,
        // among several commands, is another command's.
        if (!IsTransferVerb(it->m_strVerb) && OpenCommands() > 1) {
            PipeliningFails();
            MarkBroken(FTP_ERROR_PROTOCOL,
                QStringLiteral("The server's reply \"%1\" does not answer %2.")
                    .arg(ReplyLine(reply), QString::fromLatin1(it->m_strVerb)));
            return false;
        }
        // A readable control connection keeps a wait from timing out, so a
        // server sending 1xx replies without end must be cut off here.
        if (++it->m_nPreliminary > MaxPreliminaryReplies) {
            MarkBroken(FTP_ERROR_PROTOCOL, QStringLiteral("The server kept answering without finishing."));
            return false;
        }
        if (it->m_nAnnounced < 0)
            it->m_nAnnounced = AnnouncedSize(reply);
        return true;
    }
    // Alone on its way, a command takes whatever final reply comes, as it always
    // has; among several, a reply that cannot be its command's is out of step.
    const bool bAlone = OpenCommands() == 1;
    if (!bAlone && !Fits(it->m_strVerb, reply.m_nCode)) {
        auto next = std::find_if(std::next(it), m_commands.end(), [](const Command& c) { return !c.m_bDone; });
        // FEAT that was never answered: NOOP's own 200 is the sign, and what came
        // before it belonged to FEAT.
        if (it->m_bMayGoUnanswered && reply.m_nCode == 200 && next != m_commands.end() && next->m_strVerb == "NOOP") {
            it->m_bDone = true;
            it = next;
        } else {
            if (m_pipelining == Pipelining::On)
                PipeliningFails();
            MarkBroken(FTP_ERROR_PROTOCOL,
                QStringLiteral("The server's reply \"%1\" does not answer %2.")
                    .arg(ReplyLine(reply), QString::fromLatin1(it->m_strVerb)));
            return false;
        }
    }
    it->m_bDone = true;
    it->m_reply = reply;
    if (it->m_nId == m_nTypeCommand)
        m_bBinary = reply.IsSuccess();
    // Replies nobody waits for, and the answered prefix of the queue, go.
    if (it->m_bDiscard)
        m_commands.erase(it);
    return true;
}

FtpClientConnection::Command* FtpClientConnection::Find(CommandId nId)
{
    auto it = std::find_if(m_commands.begin(), m_commands.end(), [nId](const Command& c) { return c.m_nId == nId; });
    return it == m_commands.end() ? nullptr : &*it;
}

bool FtpClientConnection::Await(CommandId nId, FtpReply& reply, std::int64_t* pnAnnounced)
{
    if (nId == 0)
        return false;
    for (bool bReading = true;;) {
        // A 421 filed by the last read still answers the command.
        if (const Command* pCommand = Find(nId); pCommand && pCommand->m_bDone) {
            reply = pCommand->m_reply;
            if (pnAnnounced)
                *pnAnnounced = pCommand->m_nAnnounced;
            std::erase_if(m_commands, [nId](const Command& c) { return c.m_nId == nId; });
            return true;
        }
        if (!bReading || !Find(nId))
            return false;
        bReading = ReadAndFile(m_timeouts.nReplyMs);
    }
}

bool FtpClientConnection::AwaitOk(CommandId nId)
{
    FtpReply reply;
    if (!Await(nId, reply))
        return false;
    if (!reply.IsSuccess())
        RefusedBy(reply);
    return reply.IsSuccess();
}

bool FtpClientConnection::Execute(const QByteArray& strVerb, const QByteArray& strArgument, FtpReply& reply)
{
    return Await(Send(strVerb, strArgument), reply);
}

bool FtpClientConnection::ExecuteOk(const QByteArray& strVerb, const QByteArray& strArgument)
{
    return AwaitOk(Send(strVerb, strArgument));
}

void FtpClientConnection::RefusedBy(const FtpReply& reply)
{
    Refuse(ReplyLine(reply));
}

// --- logging in --------------------------------------------------------------

void FtpClientConnection::Open(
    const std::vector<SocketAddress>& addresses, const QByteArray& strUser, const QByteArray& strPassword)
{
    if (!FtpCommandWriter::IsSafe(strUser) || !FtpCommandWriter::IsSafe(strPassword))
        throw InternetException(FTP_ERROR_INVALID_ARGUMENT,
            QStringLiteral("The username or password holds a line break or a NUL character."));

    auto fail = [this](FtpErrorCode nError, const QString& strCause) {
        const FtpErrorCode nCode = m_bBroken || m_abort.IsRaised() ? m_nLastError : nError;
        const QString strShown = m_bBroken || m_abort.IsRaised() ? m_strFailure : strCause;
        MarkBroken(nCode, strShown);
        throw InternetException(m_abort.IsRaised() ? FTP_ERROR_ABORTED : nCode, strShown);
    };

    const FtpReply greeting = ReadGreeting(addresses);
    // vsftpd reads no command while a transfer runs: it answers them, in order,
    // once the transfer has ended. It names itself in its standard greeting.
    m_bReadsDuringTransfers = !greeting.m_strText.contains("(vsFTPd ");
    if (greeting.m_nCode != 220)
        fail(greeting.m_nCode == 421 ? FTP_ERROR_CANNOT_CONNECT : FTP_ERROR_PROTOCOL,
            greeting.m_nCode == 0 ? QStringLiteral("The server's greeting could not be understood.")
                                  : ReplyLine(greeting));

    // USER, PASS and FEAT travel together; a server that wanted no password
    // answers the PASS with a refusal that does not matter.
    const bool bAhead = m_pipelining == Pipelining::On;
    const CommandId nUser = Send("USER", strUser);
    CommandId nPass = bAhead ? Send("PASS", strPassword) : 0;
    CommandId nFeat = bAhead ? Send("FEAT", {}) : 0;
    FtpReply reply;
    if (!Await(nUser, reply))
        fail(m_nLastError, m_strFailure);
    if (reply.m_nCode == 331) {
        if (!nPass)
            nPass = Send("PASS", strPassword);
        if (!Await(nPass, reply))
            fail(m_nLastError, m_strFailure);
    } else if (nPass) {
        FtpReply unused;
        if (!Await(nPass, unused))
            fail(m_nLastError, m_strFailure);
    }
    if (reply.m_nCode >= 500 && reply.m_nCode < 600)
        fail(FTP_ERROR_INCORRECT_PASSWORD, ReplyLine(reply));
    if (reply.m_nCode != 230 && reply.m_nCode != 202)
        fail(FTP_ERROR_PROTOCOL, ReplyLine(reply));

    if (!nFeat)
        nFeat = Send("FEAT", {});
    ReadFeatures(nFeat);
    if (!IsUsable())
        fail(m_nLastError, m_strFailure);
}

FtpReply FtpClientConnection::ReadGreeting(const std::vector<SocketAddress>& addresses)
{
    FtpReply reply;
    for (int nBusy = 0;; ++nBusy) {
        ConnectToFirstAnswering(addresses);
        // The greeting: 120 (wait) may precede 220 (ready).
        for (int i = 0;; ++i) {
            if (!ReadReply(reply, m_timeouts.nReplyMs)) {
                if (m_nLastError == FTP_ERROR_TIMEOUT)
                    m_strFailure
                        = QStringLiteral("The server did not greet within %1 s.").arg(Seconds(m_timeouts.nReplyMs));
                throw InternetException(m_abort.IsRaised() ? FTP_ERROR_ABORTED : m_nLastError, m_strFailure);
            }
            if (reply.m_nCode != 120 || i >= MaxPreliminaryReplies)
                break;
        }
        // A server that allows few connections at once may not yet have counted
        // one we closed a moment ago (the listing after a transfer connects
        // right after the transfer's connection closes), so 421 is tried again.
        if (reply.m_nCode != 421 || nBusy >= BusyRetries)
            return reply;
        m_control.Close();
        m_reader = FtpReplyReader();
        m_bBroken = false;
        if (!m_abort.Pause(BusyFirstWaitMs << nBusy))
            throw InternetException(FTP_ERROR_ABORTED, QStringLiteral("The operation was stopped."));
    }
}

void FtpClientConnection::ConnectToFirstAnswering(const std::vector<SocketAddress>& addresses)
{
    // Each address gets its own bounded attempt, so an address that never answers
    // (an unreachable IPv6 one, say) does not use up the time of the next.
    SocketResult result = SocketResult::Error;
    const std::vector<SocketAddress> ordered = AlternateFamilies(addresses);
    for (std::size_t i = 0; i < std::min(ordered.size(), MaxAddressAttempts); ++i) {
        result = m_control.Connect(ordered[i], m_timeouts.nConnectMs);
        if (result == SocketResult::Ok || result == SocketResult::Aborted)
            break;
    }
    if (result != SocketResult::Ok) {
        const int nErrno = m_control.LastErrno();
        m_control.Close();
        m_strFailure = SocketCause(result, nErrno,
            QStringLiteral("The server did not accept the connection within %1 s.")
                .arg(Seconds(m_timeouts.nConnectMs)));
        throw InternetException(ErrorOf(result), m_strFailure);
    }
}

void FtpClientConnection::ReadFeatures(CommandId nFeat)
{
    bool bTimedOut = false;
    if (!Flush())
        return;
    const Deadline deadline(std::min(FeatWaitMs, m_timeouts.nReplyMs));
    Command* pFeat = Find(nFeat);
    while (pFeat && !pFeat->m_bDone) {
        if (!ReadAndFile(deadline.RemainingMs(), &bTimedOut)) {
            if (!bTimedOut)
                return;
            // Some servers never answer FEAT. NOOP brings the conversation back
            // in step: its reply is read, and whatever FEAT's late answer is
            // comes before it, before anything else is sent.
            FtpReply reply;
            const CommandId nNoop = Send("NOOP", {}, false, true);
            if (!Await(nNoop, reply))
                return;
            break;
        }
        pFeat = Find(nFeat);
    }
    FtpReply reply;
    pFeat = Find(nFeat);
    if (pFeat && pFeat->m_bDone && Await(nFeat, reply) && reply.m_nCode == 211)
        ParseFeatures(reply);
    std::erase_if(m_commands, [nFeat](const Command& c) { return c.m_nId == nFeat; });
}

void FtpClientConnection::ParseFeatures(const FtpReply& reply)
{
    bool bUtf8 = false;
    const QList<QByteArray> lines = reply.m_strText.split('\n');
    // The first and the last line carry the code; the features are in between.
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QByteArray strFeature = lines[i].trimmed().toUpper();
        const QByteArray strName
            = strFeature.left(strFeature.indexOf(' ') < 0 ? strFeature.size() : strFeature.indexOf(' '));
        if (strName == "MLST" || strName == "MLSD")
            m_bMlsd = true;
        else if (strName == "SIZE")
            m_bSize = true;
        else if (strName == "UTF8")
            bUtf8 = true;
    }
    // The answer does not matter: names are bytes either way.
    if (bUtf8)
        Send("OPTS", "UTF8 ON", true);
}

// --- directory commands ------------------------------------------------------

bool FtpClientConnection::SetCurrentDirectory(const QByteArray& strDirectory)
{
    if (!IsValidName(strDirectory)) {
        Refuse(QStringLiteral("The directory name is empty or holds a line break."));
        return false;
    }
    return ExecuteOk("CWD", strDirectory);
}

bool FtpClientConnection::GetCurrentDirectory(QByteArray& strDirectory)
{
    strDirectory.clear();
    FtpReply reply;
    if (!Execute("PWD", {}, reply))
        return false;
    if (reply.m_nCode != 257 || !ParsePwdReply(reply.m_strText, strDirectory)) {
        RefusedBy(reply);
        return false;
    }
    return true;
}

bool FtpClientConnection::EnterDirectory(const QByteArray& strDirectory, QByteArray& strNow, bool bCreate)
{
    strNow.clear();
    if (!IsValidName(strDirectory)) {
        Refuse(QStringLiteral("The directory name is empty or holds a line break."));
        return false;
    }
    if (bCreate)
        Send("MKD", strDirectory, true); // an existing folder is simply used
    const CommandId nCwd = Send("CWD", strDirectory);
    const CommandId nPwd = Send("PWD", {});
    const bool bEntered = AwaitOk(nCwd);
    const QString strRefusal = m_strFailure;
    FtpReply reply;
    if (!Await(nPwd, reply))
        return false;
    if (!bEntered) {
        Refuse(strRefusal);
        return false;
    }
    if (reply.m_nCode != 257 || !ParsePwdReply(reply.m_strText, strNow))
        strNow.clear();
    return true;
}

bool FtpClientConnection::CreateDirectory(const QByteArray& strName)
{
    return IsValidName(strName) && ExecuteOk("MKD", strName);
}

bool FtpClientConnection::RemoveDirectory(const QByteArray& strName)
{
    return IsValidName(strName) && ExecuteOk("RMD", strName);
}

bool FtpClientConnection::Remove(const QByteArray& strName)
{
    return IsValidName(strName) && ExecuteOk("DELE", strName);
}

// --- data transfers, step by step ---------------------------------------------

void FtpClientConnection::UseBinaryType()
{
    // Nothing here asks for another type, so the server's answer holds for the
    // rest of the connection; it arrives before any transfer's own.
    if (m_nTypeCommand == 0)
        m_nTypeCommand = Send("TYPE", "I", true);
}

bool FtpClientConnection::OpenDataChannel(
    DataChannel& channel, const QByteArray& strVerb, const QByteArray& strArgument)
{
    if (!IsUsable())
        return false;
    // Active mode: listen on the address the control connection uses.
    QByteArray strPortVerb;
    QByteArray strPortArgument;
    if (ListenPorts::System().Listen(channel.m_listener, m_control.LocalAddress()) != SocketResult::Ok) {
        Refuse(QStringLiteral("No local port for the data connection: %1").arg(SystemError(errno)));
        return false;
    }
    channel.m_local = channel.m_listener.LocalAddress();
    if (!PortCommand(channel.m_local, strPortVerb, strPortArgument)) {
        Refuse(QStringLiteral("The data connection's address cannot be given to the server."));
        return false;
    }
    channel.m_strVerb = strVerb;
    channel.m_nPort = Send(strPortVerb, strPortArgument);
    if (!m_bPortAhead) {
        // Some servers connect as soon as they get PORT, answer it only once
        // connected, and meanwhile answer the command sent behind it: the
        // replies would cross. The first PORT of a connection is answered
        // before anything follows it, and shows which kind of server this is.
        FtpReply reply;
        if (!Await(std::exchange(channel.m_nPort, 0), reply))
            return false;
        if (!reply.IsSuccess()) {
            RefusedBy(reply);
            return false;
        }
        if (!std::exchange(m_bPortProbed, true))
            m_bPortAhead = m_pipelining == Pipelining::On && !channel.m_listener.IsReadableNow();
    }
    channel.m_nCommand = Send(strVerb, strArgument);
    return channel.m_nCommand != 0 && Flush();
}

const FtpClientConnection::Command* FtpClientConnection::NotRefused(CommandId nId)
{
    const Command* pCommand = Find(nId);
    if (pCommand && pCommand->m_bDone && !pCommand->m_reply.IsSuccess()) {
        RefusedBy(pCommand->m_reply);
        return nullptr;
    }
    return pCommand;
}

bool FtpClientConnection::DataFailed(SocketResult result, const Socket& socket, const QString& strTimeout)
{
    // An abort ends the whole connection; anything else fails this transfer only.
    if (result == SocketResult::Aborted)
        MarkBroken(FTP_ERROR_ABORTED, {});
    else
        Refuse(SocketCause(result, socket.LastErrno(), strTimeout));
    return false;
}

char* FtpClientConnection::Chunk()
{
    // One buffer for the connection's life, never cleared: a walk of many
    // small files would otherwise allocate and fill a megabyte per file.
    if (!m_pChunk)
        m_pChunk = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(ChunkBytes));
    return m_pChunk.get();
}

bool FtpClientConnection::AcceptDataConnection(DataChannel& channel)
{
    const SocketAddress serverAddress = m_control.PeerAddress();
    const Deadline deadline(m_timeouts.nAcceptMs);
    for (;;) {
        // A refused PORT or transfer command means no data connection will come.
        if (Find(channel.m_nPort) && !NotRefused(channel.m_nPort))
            return false;
        const Command* pCommand = NotRefused(channel.m_nCommand);
        if (!pCommand)
            return false;
        int nReady = 1;
        SocketResult result = SocketResult::Ok;
        if (!pCommand->m_bDone) {
            // A reply already read along with an earlier one is not on the socket any more.
            if (m_reader.HasReply())
                nReady = 0;
            else
                result = Socket::WaitReadable(m_control, channel.m_listener, nReady, deadline.RemainingMs());
        }
        if (result != SocketResult::Ok) {
            // A server that neither replies nor connects is out of step with us.
            MarkBroken(ErrorOf(result),
                SocketCause(result, 0,
                    QStringLiteral("The server did not open the data connection within %1 s.")
                        .arg(Seconds(m_timeouts.nAcceptMs))));
            return false;
        }
        if (nReady == 0) {
            if (!ReadAndFile(m_timeouts.nReplyMs))
                return false;
            continue;
        }
        SocketAddress peer;
        result = channel.m_listener.Accept(channel.m_data, peer, deadline.RemainingMs());
        if (result != SocketResult::Ok) {
            return DataFailed(result, channel.m_listener,
                QStringLiteral("The server did not open the data connection within %1 s.")
                    .arg(Seconds(m_timeouts.nAcceptMs)));
        }
        // Exactly one data connection, and only from the server itself.
        channel.m_listener.Close();
        if (!peer.SameHost(serverAddress)) {
            channel.m_data.Close();
            Refuse(QStringLiteral("The data connection came from %1, not from the server.")
                       .arg(QString::fromLatin1(peer.HostText())));
            return false;
        }
        return true;
    }
}

bool FtpClientConnection::SendData(DataChannel& channel, LocalFile& file, qint64 nSize, qint64& nSent)
{
    char* const pBuffer = Chunk();
    // The control connection is watched until the final reply: a server that
    // refuses the transfer after opening the data connection says so there.
    const auto refused = [&]() { return !NotRefused(channel.m_nCommand); };
    for (;;) {
        const qint64 nChunk = file.Read(pBuffer, UploadChunkBytes);
        if (nChunk < 0) {
            Refuse(file.Cause());
            return false;
        }
        if (nChunk == 0)
            break;
        std::size_t nDone = 0;
        while (nDone < static_cast<std::size_t>(nChunk)) {
            const Command* pCommand = Find(channel.m_nCommand);
            const bool bWatch = pCommand && !pCommand->m_bDone;
            if (bWatch && m_reader.HasReply()) {
                if (!ReadAndFile(m_timeouts.nReplyMs) || refused())
                    return false;
                continue;
            }
            std::size_t nPart = 0;
            const SocketResult result = channel.m_data.SendAll(pBuffer + nDone,
                static_cast<std::size_t>(nChunk) - nDone, m_timeouts.nDataMs, bWatch ? &m_control : nullptr, &nPart);
            nDone += nPart;
            nSent += static_cast<qint64>(nPart);
            if (nPart > 0 && m_pMeter)
                m_pMeter->FileMoved(nSent, nSize);
            if (result == SocketResult::Interrupted) {
                if (!ReadAndFile(m_timeouts.nReplyMs) || refused())
                    return false;
            } else if (result != SocketResult::Ok) {
                return DataFailed(result, channel.m_data,
                    QStringLiteral("The server took no data for %1 s.").arg(Seconds(m_timeouts.nDataMs)));
            }
        }
    }
    channel.m_data.ShutdownWrite();
    return true;
}

bool FtpClientConnection::ReceiveData(DataChannel& channel, const std::function<bool(const char*, std::size_t)>& sink)
{
    char* const pBuffer = Chunk();
    for (;;) {
        const Command* pCommand = NotRefused(channel.m_nCommand);
        if (!pCommand)
            return false;
        const bool bWatch = !pCommand->m_bDone;
        // A reply already read takes its turn first. Data that has arrived is
        // read at once; only when there is none yet does the wait cover both
        // connections, data first when both are ready.
        if (bWatch && m_reader.HasReply()) {
            if (!ReadAndFile(m_timeouts.nReplyMs))
                return false;
            continue;
        }
        std::size_t nRead = 0;
        SocketResult result = channel.m_data.Receive(
            pBuffer, static_cast<std::size_t>(ChunkBytes), nRead, bWatch ? 0 : m_timeouts.nDataMs);
        if (result == SocketResult::Timeout && bWatch) {
            int nReady = 0;
            result = Socket::WaitReady(channel.m_data, POLLIN, m_control, nReady, m_timeouts.nDataMs);
            if (result == SocketResult::Ok) {
                if (nReady == 1 && !ReadAndFile(m_timeouts.nReplyMs))
                    return false;
                continue;
            }
        }
        if (result == SocketResult::Closed)
            return true;
        if (result != SocketResult::Ok)
            return DataFailed(
                result, channel.m_data, QStringLiteral("No data arrived for %1 s.").arg(Seconds(m_timeouts.nDataMs)));
        if (!sink(pBuffer, nRead))
            return false;
    }
}

bool FtpClientConnection::ReadTransferVerdict(DataChannel& channel)
{
    FtpReply reply;
    const CommandId nCommand = std::exchange(channel.m_nCommand, 0);
    const bool bAnswered = Await(nCommand, reply, &channel.m_nAnnounced);
    // The PORT's reply came before; it was only needed while waiting.
    std::erase_if(m_commands, [&channel](const Command& c) { return c.m_nId == channel.m_nPort && c.m_bDone; });
    if (!bAnswered)
        return false;
    if (!reply.IsSuccess()) {
        RefusedBy(reply);
        channel.m_data.Close();
        return false;
    }
    // Confirmed by the server, and closed on its side as well: nothing of the
    // connection is left to protect, so its port may serve the next one.
    if (channel.m_data.IsOpen() && channel.m_data.CanReusePort())
        ListenPorts::System().Release(channel.m_local);
    channel.m_data.Close();
    return true;
}

void FtpClientConnection::SettleEarlierUploads(FtpTicket nTicket)
{
    for (const auto& pTransfer : m_transfers) {
        if (pTransfer->m_nTicket < nTicket && pTransfer->m_bUpload && !pTransfer->m_bSettled)
            Settle(*pTransfer);
    }
}

void FtpClientConnection::Settle(FileTransfer& transfer)
{
    transfer.m_bSettled = true;
    if (transfer.m_bFailed || !transfer.m_pChannel)
        return;
    // Most servers read commands while a file comes in (and answer them, refuse
    // them or drop the file), so the upload's final reply is read first; a
    // server that reads none until the transfer has ended takes them at once.
    if (m_bReadsDuringTransfers && !ReadTransferVerdict(*transfer.m_pChannel)) {
        transfer.m_bFailed = true;
        transfer.m_strFailure = m_strFailure;
        return;
    }
    // Asked now, so the answer travels with the next file's commands.
    if (m_bSize)
        transfer.m_nSize = Send("SIZE", transfer.m_strRemote);
}

bool FtpClientConnection::RemoteSizeMatches(CommandId nSize, std::int64_t nExpected)
{
    if (nSize == 0)
        return true;
    FtpReply reply;
    if (!Await(nSize, reply))
        return false;
    if (reply.m_nCode != 213)
        return true; // the server does not tell it for this file
    bool bOk = false;
    const qlonglong nRemote = reply.FirstLineText().trimmed().toLongLong(&bOk);
    if (!bOk || nRemote < 0 || nRemote == nExpected)
        return true;
    Refuse(QStringLiteral("The server has %1 bytes where %2 were expected.").arg(nRemote).arg(nExpected));
    return false;
}

// --- files -------------------------------------------------------------------

FtpTicket FtpClientConnection::BeginPutFile(const QByteArray& strLocalPath, const QByteArray& strRemoteName)
{
    auto pTransfer = std::make_unique<FileTransfer>();
    pTransfer->m_nTicket = m_nNextTicket++;
    pTransfer->m_bUpload = true;
    pTransfer->m_strRemote = strRemoteName;
    if (m_pMeter)
        m_pMeter->FileBegun();
    if (!StartUpload(*pTransfer, strLocalPath)) {
        pTransfer->m_bFailed = true;
        pTransfer->m_strFailure = m_strFailure;
        // Its final reply, if the command went out, is read by the verdict.
        pTransfer->m_bSettled = true;
    }
    // Queued only now, so that its own commands do not wait for its verdict.
    m_transfers.push_back(std::move(pTransfer));
    return m_transfers.back()->m_nTicket;
}

bool FtpClientConnection::StartUpload(FileTransfer& transfer, const QByteArray& strLocalPath)
{
    if (!IsUsable())
        return false;
    if (!IsValidName(transfer.m_strRemote)) {
        Refuse(QStringLiteral("The name is empty or holds a line break."));
        return false;
    }
    // Open the local file first: one that cannot be read must not become an empty remote file.
    LocalFile file;
    if (!file.OpenForReading(strLocalPath)) {
        Refuse(file.Cause());
        return false;
    }
    transfer.m_nLocalSize = file.Size();
    transfer.m_pChannel = std::make_unique<DataChannel>(m_abort);
    DataChannel& channel = *transfer.m_pChannel;
    UseBinaryType();
    if (OpenDataChannel(channel, "STOR", transfer.m_strRemote) && AcceptDataConnection(channel)
        && SendData(channel, file, transfer.m_nLocalSize, transfer.m_nBytes))
        return true;
    channel.m_data.Close();
    channel.m_listener.Close();
    return false;
}

FtpTicket FtpClientConnection::BeginGetFile(
    const QByteArray& strRemoteName, const QByteArray& strLocalPath, bool bFailIfExists)
{
    auto pTransfer = std::make_unique<FileTransfer>();
    pTransfer->m_nTicket = m_nNextTicket++;
    pTransfer->m_strRemote = strRemoteName;
    if (m_pMeter)
        m_pMeter->FileBegun();
    if (!StartDownload(*pTransfer, strLocalPath, bFailIfExists)) {
        pTransfer->m_bFailed = true;
        pTransfer->m_strFailure = m_strFailure;
    }
    if (pTransfer->m_pChannel) {
        // Everything has arrived (or never will): the server is done with this
        // file, so the next may be asked for before this one's final reply is read.
        pTransfer->m_pChannel->m_data.Close();
        pTransfer->m_pChannel->m_listener.Close();
    }
    m_transfers.push_back(std::move(pTransfer));
    return m_transfers.back()->m_nTicket;
}

bool FtpClientConnection::StartDownload(FileTransfer& transfer, const QByteArray& strLocalPath, bool bFailIfExists)
{
    if (!IsUsable())
        return false;
    if (!IsValidName(transfer.m_strRemote)) {
        Refuse(QStringLiteral("The name is empty or holds a line break."));
        return false;
    }
    // With bFailIfExists the file is created exclusively (no check-then-create
    // race), so the file removed on failure is always one this call created.
    // Unbuffered: every chunk reaches the file as it arrives, so a full disk is
    // found (and named) at once, not later by a flush.
    auto pFile = std::make_unique<LocalFile>();
    if (!pFile->Create(strLocalPath, bFailIfExists)) {
        Refuse(pFile->LastErrno() == EEXIST ? QStringLiteral("%1 exists already.").arg(LocalFile::Display(strLocalPath))
                                            : pFile->Cause());
        return false;
    }
    transfer.m_pFile = std::move(pFile);
    LocalFile& file = *transfer.m_pFile;
    UseBinaryType();
    if (m_bSize)
        transfer.m_nSize = Send("SIZE", transfer.m_strRemote);
    transfer.m_pChannel = std::make_unique<DataChannel>(m_abort);
    DataChannel& channel = *transfer.m_pChannel;
    std::int64_t nFileSize = -1; // once the server has told it (SIZE, or the transfer's 150 reply)
    const auto sink = [&](const char* pData, std::size_t nSize) {
        if (!file.WriteAll(pData, nSize)) {
            // This side failed: the server's reply to the broken transfer is not the cause.
            Refuse(file.Cause());
            transfer.m_bLocalCause = true;
            return false;
        }
        transfer.m_nBytes += static_cast<qint64>(nSize);
        if (m_pMeter) {
            if (nFileSize < 0) {
                const Command* pSize = Find(transfer.m_nSize);
                const Command* pRetr = Find(channel.m_nCommand);
                nFileSize = pSize && pSize->m_bDone ? SizeFrom(pSize->m_reply) : -1;
                if (nFileSize < 0 && pRetr)
                    nFileSize = pRetr->m_nAnnounced;
            }
            m_pMeter->FileMoved(transfer.m_nBytes, nFileSize);
        }
        return true;
    };
    return OpenDataChannel(channel, "RETR", transfer.m_strRemote) && AcceptDataConnection(channel)
        && ReceiveData(channel, sink);
}

bool FtpClientConnection::FinishFile(FtpTicket nTicket)
{
    // Verdicts are taken in order; one skipped over is judged and dropped.
    while (!m_transfers.empty() && m_transfers.front()->m_nTicket < nTicket)
        FinishFile(m_transfers.front()->m_nTicket);
    if (m_transfers.empty() || m_transfers.front()->m_nTicket != nTicket)
        return false;
    const std::unique_ptr<FileTransfer> pTransfer = std::move(m_transfers.front());
    m_transfers.pop_front();
    FileTransfer& transfer = *pTransfer;

    bool bOk = !transfer.m_bFailed;
    QString strFailure = transfer.m_strFailure;
    const auto failed = [&]() {
        if (bOk)
            strFailure = m_strFailure;
        bOk = false;
    };
    DataChannel* pChannel = transfer.m_pChannel.get();
    if (transfer.m_bUpload) {
        if (!transfer.m_bSettled) {
            Settle(transfer);
            if (transfer.m_bFailed)
                failed();
        }
        if (bOk && pChannel && pChannel->m_nCommand != 0 && !ReadTransferVerdict(*pChannel))
            failed();
        // A transfer that failed early may still owe its final reply; a
        // refusal there says best why it failed.
        if (!bOk && pChannel && pChannel->m_nCommand != 0) {
            FtpReply reply;
            if (Await(std::exchange(pChannel->m_nCommand, 0), reply) && !reply.IsSuccess() && !transfer.m_bLocalCause)
                strFailure = ReplyLine(reply);
        }
        if (bOk && !m_bBinary) {
            Refuse(QStringLiteral("The server refused binary transfers (TYPE I)."));
            failed();
        }
        if (bOk && transfer.m_nBytes != transfer.m_nLocalSize) {
            Refuse(QStringLiteral("The file changed while it was sent: %1 of %2 bytes.")
                       .arg(transfer.m_nBytes)
                       .arg(transfer.m_nLocalSize));
            failed();
        }
        // Judged by its own replies only: the connection may be lost by now over
        // a later file, whose commands went out before this verdict was taken.
        if (transfer.m_nSize != 0 && !RemoteSizeMatches(transfer.m_nSize, transfer.m_nLocalSize) && bOk)
            failed();
    } else {
        std::int64_t nExpected = -1;
        if (transfer.m_nSize != 0) {
            FtpReply reply;
            if (Await(transfer.m_nSize, reply))
                nExpected = SizeFrom(reply);
        }
        if (pChannel && pChannel->m_nCommand != 0 && !ReadTransferVerdict(*pChannel)) {
            if (!bOk && !transfer.m_bLocalCause && m_strFailure != strFailure && IsUsable())
                strFailure = m_strFailure; // the server's own refusal
            failed();
        }
        if (bOk && !m_bBinary) {
            Refuse(QStringLiteral("The server refused binary transfers (TYPE I)."));
            failed();
        }
        const std::int64_t nAnnounced = pChannel ? pChannel->m_nAnnounced : -1;
        if (nExpected < 0)
            nExpected = nAnnounced;
        if (bOk
            && ((nExpected >= 0 && nExpected != transfer.m_nBytes)
                || (nAnnounced >= 0 && nAnnounced != transfer.m_nBytes))) {
            Refuse(QStringLiteral("Only %1 of %2 bytes arrived.").arg(transfer.m_nBytes).arg(nExpected));
            failed();
        }
        if (LocalFile* pFile = transfer.m_pFile.get()) {
            if (bOk && pFile->Size() != transfer.m_nBytes) {
                Refuse(QStringLiteral("%1 holds %2 bytes where %3 arrived.")
                           .arg(LocalFile::Display(pFile->Path()))
                           .arg(pFile->Size())
                           .arg(transfer.m_nBytes));
                failed();
            }
            if (!pFile->Close() && bOk) {
                Refuse(pFile->Cause());
                failed();
            }
            if (!bOk)
                pFile->Remove();
        }
    }
    if (!bOk)
        m_strFailure = strFailure;
    return bOk;
}

bool FtpClientConnection::ReadDirectory(std::vector<FtpEntry>& entries, const QByteArray& strDirectory)
{
    entries.clear();
    if (!IsUsable())
        return false;
    // Entering the directory travels with the listing's own commands; when it
    // is refused, whatever is listed is not that directory.
    CommandId nCwd = 0;
    if (!strDirectory.isEmpty()) {
        if (!IsValidName(strDirectory)) {
            Refuse(QStringLiteral("The directory name holds a line break."));
            return false;
        }
        nCwd = Send("CWD", strDirectory);
    }
    DataChannel channel(m_abort);
    FtpListingReader reader(m_bMlsd);
    const auto sink = [&reader, this](const char* pData, std::size_t nSize) {
        if (!reader.Feed(pData, nSize)) {
            Refuse(QStringLiteral("The listing is too large."));
            return false;
        }
        return true;
    };
    bool bOk = OpenDataChannel(channel, m_bMlsd ? "MLSD" : "LIST", {});
    QString strRefusal;
    if (nCwd != 0 && !AwaitOk(nCwd)) {
        // No data connection is let in; the server's refusal of it ends the listing.
        strRefusal = m_strFailure;
        channel.m_listener.Close();
        bOk = false;
    }
    bOk = bOk && AcceptDataConnection(channel) && ReceiveData(channel, sink);
    if (!bOk && strRefusal.isEmpty())
        strRefusal = m_strFailure;
    channel.m_data.Close();
    if (channel.m_nCommand != 0 && !ReadTransferVerdict(channel))
        bOk = false;
    if (!bOk || !reader.Finish()) {
        if (!strRefusal.isEmpty())
            m_strFailure = strRefusal;
        return false;
    }
    entries = std::move(reader.Entries());
    return true;
}

void FtpClientConnection::Close()
{
    if (IsUsable()) {
        // Say goodbye, but do not let a slow server hold up the caller; the
        // replies still owed to earlier commands are not waited for.
        m_strOutput += "QUIT\r\n";
        if (m_control.SendAll(m_strOutput.constData(), static_cast<std::size_t>(m_strOutput.size()), QuitWaitMs)
            == SocketResult::Ok) {
            const Deadline deadline(std::min(QuitWaitMs, m_timeouts.nReplyMs));
            FtpReply reply;
            while (deadline.RemainingMs() > 0 && ReadReply(reply, deadline.RemainingMs()) && reply.m_nCode != 221) { }
        }
        m_strOutput.clear();
    }
    m_bBroken = true;
    m_control.Close();
}
