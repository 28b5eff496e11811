#include "ftp/FtpClientConnection.h"

#include "ftp/FtpCommandWriter.h"
#include "ftp/FtpListParser.h"
#include "ftp/InternetException.h"
#include "ftp/ListenPorts.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
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
constexpr int QuitWaitMs = 1000;
/// FEAT is optional: a server that has not answered it by then is taken to offer nothing.
constexpr int FeatWaitMs = 5000;
/// Addresses of one host name tried in turn, each with a full connect time-out.
constexpr std::size_t MaxAddressAttempts = 3;
/// A greeting of 421 (too many connections) is tried again this often, after
/// waits that double from the first.
constexpr int BusyRetries = 3;
constexpr int BusyFirstWaitMs = 250;
/// The least time the first PORT's data connection is given to arrive after
/// PORT's answer, on a fast network (see ProbePortBehaviour).
constexpr int PortProbeLeastMs = 5;

using Command = FtpControlChannel::Command;

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

QString SystemError(int nErrno)
{
    return QString::fromLocal8Bit(std::strerror(nErrno));
}

/// The count by which a translation of a text about @p nBytes bytes picks its
/// plural form. The sizes themselves are given as arguments: they may exceed
/// what the count can hold, where every language here has its plural already.
int PluralCount(std::int64_t nBytes)
{
    return int(std::clamp<std::int64_t>(nBytes, 0, std::numeric_limits<int>::max()));
}

/// The size a 150 reply announces as "(1234 bytes)" at the end of a line (a full
/// stop may follow), or -1. Only the end counts: vsftpd quotes the file's name
/// before the size, and a name may hold "(3 bytes)" itself.
std::int64_t AnnouncedSize(const FtpReply& reply)
{
    static const QRegularExpression pattern(QStringLiteral("\\((\\d{1,18}) bytes\\)\\.?[ \\t]*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(reply.m_strText));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

/// The size a SIZE reply gives, or -1 when it gives none.
std::int64_t SizeOf(const FtpReply& reply)
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
    CommandId m_nPort = 0;
    CommandId m_nCommand = 0;
    int m_nFinalCode = 0; // the transfer command's final reply, once read
    std::int64_t m_nAnnounced = -1; // the size its 150 reply announced
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
    , m_channel(m_abort, timeouts.nReplyMs, pipelining == Pipelining::On)
{
    // The server takes nothing while a file is still coming in: some answer
    // commands in the middle of an upload and cut it short, so the upload's
    // final reply comes first.
    m_channel.SetBeforeSend([this] { SettleEarlierUploads(m_nNextTicket); });
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

bool FtpClientConnection::ConfirmUsable()
{
    FtpReply reply;
    m_channel.Execute("NOOP", {}, reply);
    return IsUsable();
}

void FtpClientConnection::Close()
{
    m_channel.Quit(QuitWaitMs);
}

// --- logging in --------------------------------------------------------------

void FtpClientConnection::Open(
    const std::vector<SocketAddress>& addresses, const QByteArray& strUser, const QByteArray& strPassword)
{
    if (!FtpCommandWriter::IsSafe(strUser) || !FtpCommandWriter::IsSafe(strPassword))
        throw InternetException(FTP_ERROR_INVALID_ARGUMENT,
            QCoreApplication::translate(
                "FtpClientConnection", "The username or password holds a line break or a NUL character."));

    auto fail = [this](FtpErrorCode nError, const QString& strCause) {
        const bool bBroken = m_channel.IsBroken() || m_abort.IsRaised();
        const FtpErrorCode nCode = bBroken ? m_channel.LastError() : nError;
        const QString strShown = bBroken ? m_channel.Failure() : strCause;
        m_channel.MarkBroken(nCode, strShown);
        throw InternetException(m_abort.IsRaised() ? FTP_ERROR_ABORTED : nCode, strShown);
    };

    const FtpReply greeting = ReadGreeting(addresses);
    // vsftpd reads no command while a transfer runs: it answers them, in order,
    // once the transfer has ended. It names itself in its standard greeting.
    m_bReadsDuringTransfers = !greeting.m_strText.contains("(vsFTPd ");
    if (greeting.m_nCode != 220)
        fail(greeting.m_nCode == 421 ? FTP_ERROR_CANNOT_CONNECT : FTP_ERROR_PROTOCOL,
            greeting.m_nCode == 0
                ? QCoreApplication::translate("FtpClientConnection", "The server's greeting could not be understood.")
                : FtpControlChannel::ReplyLine(greeting));

    // USER, PASS and FEAT travel together; a server that wanted no password
    // answers the PASS with a refusal that does not matter.
    const bool bAhead = m_channel.IsPipelining();
    const CommandId nUser = Send("USER", strUser);
    CommandId nPass = bAhead ? Send("PASS", strPassword) : 0;
    CommandId nFeat = bAhead ? Send("FEAT", {}) : 0;
    FtpReply reply;
    if (!m_channel.Await(nUser, reply))
        fail(m_channel.LastError(), m_channel.Failure());
    if (reply.m_nCode == 331) {
        if (!nPass)
            nPass = Send("PASS", strPassword);
        if (!m_channel.Await(nPass, reply))
            fail(m_channel.LastError(), m_channel.Failure());
    } else if (nPass) {
        FtpReply unused;
        if (!m_channel.Await(nPass, unused))
            fail(m_channel.LastError(), m_channel.Failure());
    }
    if (reply.m_nCode >= 500 && reply.m_nCode < 600)
        fail(FTP_ERROR_INCORRECT_PASSWORD, FtpControlChannel::ReplyLine(reply));
    if (reply.m_nCode != 230 && reply.m_nCode != 202)
        fail(FTP_ERROR_PROTOCOL, FtpControlChannel::ReplyLine(reply));

    if (!nFeat)
        nFeat = Send("FEAT", {});
    ReadFeatures(nFeat);
    if (!IsUsable())
        fail(m_channel.LastError(), m_channel.Failure());
}

FtpReply FtpClientConnection::ReadGreeting(const std::vector<SocketAddress>& addresses)
{
    FtpReply reply;
    for (int nBusy = 0;; ++nBusy) {
        ConnectToFirstAnswering(addresses);
        // The greeting: 120 (wait) may precede 220 (ready).
        for (int i = 0;; ++i) {
            if (!m_channel.ReadReply(reply, m_timeouts.nReplyMs)) {
                if (m_channel.LastError() == FTP_ERROR_TIMEOUT)
                    m_channel.Refuse(
                        QCoreApplication::translate("FtpClientConnection", "The server did not greet within %1 s.")
                            .arg(FtpControlChannel::Seconds(m_timeouts.nReplyMs)));
                throw InternetException(
                    m_abort.IsRaised() ? FTP_ERROR_ABORTED : m_channel.LastError(), m_channel.Failure());
            }
            if (reply.m_nCode != 120 || i >= FtpCommandQueue::MaxPreliminaryReplies)
                break;
        }
        // A server that allows few connections at once may not yet have counted
        // one we closed a moment ago (the listing after a transfer connects
        // right after the transfer's connection closes), so 421 is tried again.
        if (reply.m_nCode != 421 || nBusy >= BusyRetries)
            return reply;
        m_channel.Restart();
        if (!m_abort.Pause(BusyFirstWaitMs << nBusy))
            throw InternetException(
                FTP_ERROR_ABORTED, QCoreApplication::translate("FtpClientConnection", "The operation was stopped."));
    }
}

void FtpClientConnection::ConnectToFirstAnswering(const std::vector<SocketAddress>& addresses)
{
    // Each address gets its own bounded attempt, so an address that never answers
    // (an unreachable IPv6 one, say) does not use up the time of the next.
    Socket& control = m_channel.Control();
    SocketResult result = SocketResult::Error;
    const std::vector<SocketAddress> ordered = AlternateFamilies(addresses);
    for (std::size_t i = 0; i < std::min(ordered.size(), MaxAddressAttempts); ++i) {
        result = control.Connect(ordered[i], m_timeouts.nConnectMs);
        if (result == SocketResult::Ok || result == SocketResult::Aborted)
            break;
    }
    if (result != SocketResult::Ok) {
        const int nErrno = control.LastErrno();
        control.Close();
        const QString strCause = FtpControlChannel::SocketCause(result, nErrno,
            QCoreApplication::translate("FtpClientConnection", "The server did not accept the connection within %1 s.")
                .arg(FtpControlChannel::Seconds(m_timeouts.nConnectMs)));
        m_channel.Refuse(strCause);
        throw InternetException(FtpControlChannel::ErrorOf(result), strCause);
    }
}

void FtpClientConnection::ReadFeatures(CommandId nFeat)
{
    bool bTimedOut = false;
    if (!m_channel.Flush())
        return;
    const Deadline deadline(std::min(FeatWaitMs, m_timeouts.nReplyMs));
    const Command* pFeat = m_channel.Find(nFeat);
    while (pFeat && !pFeat->m_bDone) {
        if (!m_channel.ReadAndFile(deadline.RemainingMs(), &bTimedOut)) {
            if (!bTimedOut)
                return;
            // Some servers never answer FEAT. NOOP brings the conversation back
            // in step: its reply is read, and whatever FEAT's late answer is
            // comes before it, before anything else is sent.
            FtpReply reply;
            const CommandId nNoop = m_channel.Send("NOOP", {}, false, true);
            if (!m_channel.Await(nNoop, reply))
                return;
            break;
        }
        pFeat = m_channel.Find(nFeat);
    }
    FtpReply reply;
    pFeat = m_channel.Find(nFeat);
    if (pFeat && pFeat->m_bDone && m_channel.Await(nFeat, reply) && reply.m_nCode == 211)
        ParseFeatures(reply);
    m_channel.DropIfAnswered(nFeat);
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
        Refuse(
            QCoreApplication::translate("FtpClientConnection", "The directory name is empty or holds a line break."));
        return false;
    }
    return m_channel.ExecuteOk("CWD", strDirectory);
}

bool FtpClientConnection::GetCurrentDirectory(QByteArray& strDirectory)
{
    strDirectory.clear();
    FtpReply reply;
    if (!m_channel.Execute("PWD", {}, reply))
        return false;
    if (reply.m_nCode != 257 || !ParsePwdReply(reply.m_strText, strDirectory)) {
        m_channel.RefusedBy(reply);
        return false;
    }
    return true;
}

bool FtpClientConnection::EnterDirectory(const QByteArray& strDirectory, QByteArray& strNow, bool bCreate)
{
    strNow.clear();
    if (!IsValidName(strDirectory)) {
        Refuse(
            QCoreApplication::translate("FtpClientConnection", "The directory name is empty or holds a line break."));
        return false;
    }
    if (bCreate)
        Send("MKD", strDirectory, true); // an existing folder is simply used
    const CommandId nCwd = Send("CWD", strDirectory);
    const CommandId nPwd = Send("PWD", {});
    const bool bEntered = m_channel.AwaitOk(nCwd);
    const QString strRefusal = m_channel.Failure();
    FtpReply reply;
    if (!m_channel.Await(nPwd, reply))
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
    return IsValidName(strName) && m_channel.ExecuteOk("MKD", strName);
}

bool FtpClientConnection::RemoveDirectory(const QByteArray& strName)
{
    return IsValidName(strName) && m_channel.ExecuteOk("RMD", strName);
}

bool FtpClientConnection::Remove(const QByteArray& strName)
{
    return IsValidName(strName) && m_channel.ExecuteOk("DELE", strName);
}

// --- data transfers, step by step ---------------------------------------------

void FtpClientConnection::UseBinaryType()
{
    // Nothing here asks for another type, so the server's answer holds for the
    // rest of the connection; it arrives before any transfer's own.
    if (m_nTypeCommand == 0)
        m_nTypeCommand = Send("TYPE", "I");
}

bool FtpClientConnection::IsBinary()
{
    if (!m_binary) {
        FtpReply reply;
        if (m_nTypeCommand == 0 || !m_channel.Await(m_nTypeCommand, reply))
            return false;
        m_binary = reply.IsSuccess();
    }
    return *m_binary;
}

bool FtpClientConnection::OpenDataChannel(
    DataChannel& channel, const QByteArray& strVerb, const QByteArray& strArgument)
{
    if (!IsUsable())
        return false;
    // Active mode: listen on the address the control connection uses.
    QByteArray strPortVerb;
    QByteArray strPortArgument;
    if (ListenPorts::System().Listen(channel.m_listener, m_channel.Control().LocalAddress()) != SocketResult::Ok) {
        Refuse(QCoreApplication::translate("FtpClientConnection", "No local port for the data connection: %1")
                   .arg(SystemError(errno)));
        return false;
    }
    channel.m_local = channel.m_listener.LocalAddress();
    if (!PortCommand(channel.m_local, strPortVerb, strPortArgument)) {
        Refuse(QCoreApplication::translate(
            "FtpClientConnection", "The data connection's address cannot be given to the server."));
        return false;
    }
    channel.m_nPort = Send(strPortVerb, strPortArgument);
    if (!m_bPortAhead) {
        // Until this server is known not to connect on PORT, PORT is answered
        // before anything follows it (see ProbePortBehaviour).
        FtpReply reply;
        Command port;
        if (!m_channel.Await(std::exchange(channel.m_nPort, 0), reply, &port))
            return false;
        if (!reply.IsSuccess()) {
            m_channel.RefusedBy(reply);
            return false;
        }
        if (!std::exchange(m_bPortProbed, true))
            ProbePortBehaviour(port, channel);
    }
    channel.m_nCommand = Send(strVerb, strArgument);
    return channel.m_nCommand != 0 && m_channel.Flush();
}

void FtpClientConnection::ProbePortBehaviour(const Command& port, const DataChannel& channel)
{
    if (!m_channel.IsPipelining())
        return;
    // Some servers (pyftpdlib) connect as soon as they get PORT, answer it only
    // once connected, and meanwhile answer the transfer command sent behind it,
    // so the replies would cross. vsftpd, which names itself in its greeting,
    // never connects before the transfer command. For any other server the
    // first PORT's data connection is given time to come: its handshake ends
    // up to a round trip after PORT's answer leaves the server, more through a
    // proxy, so twice PORT's own round trip. A server that connects is always
    // answered PORT first; a judgement that still goes wrong shows as replies
    // out of step, and the files concerned are tried again one command at a time.
    if (!m_bReadsDuringTransfers) {
        m_bPortAhead = true;
        return;
    }
    const std::int64_t nRoundTripMs = port.m_nWrittenMs >= 0 && port.m_nAnsweredMs >= port.m_nWrittenMs
        ? port.m_nAnsweredMs - port.m_nWrittenMs
        : 0;
    const int nWaitMs = int(std::clamp<std::int64_t>(2 * nRoundTripMs, PortProbeLeastMs, m_timeouts.nAcceptMs));
    m_bPortAhead = !channel.m_listener.IsReadableWithin(nWaitMs);
}

const Command* FtpClientConnection::NotRefused(CommandId nId)
{
    const Command* pCommand = m_channel.Find(nId);
    if (pCommand && pCommand->m_bDone && !pCommand->m_reply.IsSuccess()) {
        m_channel.RefusedBy(pCommand->m_reply);
        return nullptr;
    }
    return pCommand;
}

bool FtpClientConnection::DataFailed(SocketResult result, const Socket& socket, const QString& strTimeout)
{
    // An abort ends the whole connection; anything else fails this transfer only.
    if (result == SocketResult::Aborted)
        m_channel.MarkBroken(FTP_ERROR_ABORTED, {});
    else
        Refuse(FtpControlChannel::SocketCause(result, socket.LastErrno(), strTimeout));
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
    const Deadline deadline(m_timeouts.nAcceptMs);
    const QString strTimeout
        = QCoreApplication::translate("FtpClientConnection", "The server did not open the data connection within %1 s.")
              .arg(FtpControlChannel::Seconds(m_timeouts.nAcceptMs));
    for (;;) {
        // A refused PORT or transfer command means no data connection will come.
        if (m_channel.Find(channel.m_nPort) && !NotRefused(channel.m_nPort))
            return false;
        const Command* pCommand = NotRefused(channel.m_nCommand);
        if (!pCommand)
            return false;
        int nReady = 1;
        SocketResult result = SocketResult::Ok;
        if (!pCommand->m_bDone) {
            // A reply already read along with an earlier one is not on the socket any more.
            if (m_channel.HasReply())
                nReady = 0;
            else
                result = Socket::WaitReadable(m_channel.Control(), channel.m_listener, nReady, deadline.RemainingMs());
        }
        if (result != SocketResult::Ok) {
            // A server that neither replies nor connects is out of step with us.
            m_channel.MarkBroken(
                FtpControlChannel::ErrorOf(result), FtpControlChannel::SocketCause(result, 0, strTimeout));
            return false;
        }
        if (nReady == 0) {
            if (!m_channel.ReadAndFile(m_timeouts.nReplyMs))
                return false;
            continue;
        }
        SocketAddress peer;
        result = channel.m_listener.Accept(channel.m_data, peer, deadline.RemainingMs());
        if (result != SocketResult::Ok)
            return DataFailed(result, channel.m_listener, strTimeout);
        // Exactly one data connection, from whatever address it comes: many
        // servers connect from an address of their own other than the one the
        // control connection reached. A stranger who connects first takes only
        // this one connection; the server then cannot connect, and the
        // transfer fails by its own reply and byte counts.
        channel.m_listener.Close();
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
            const Command* pCommand = m_channel.Find(channel.m_nCommand);
            const bool bWatch = pCommand && !pCommand->m_bDone;
            if (bWatch && m_channel.HasReply()) {
                if (!m_channel.ReadAndFile(m_timeouts.nReplyMs) || refused())
                    return false;
                continue;
            }
            std::size_t nPart = 0;
            const SocketResult result
                = channel.m_data.SendAll(pBuffer + nDone, static_cast<std::size_t>(nChunk) - nDone, m_timeouts.nDataMs,
                    bWatch ? &m_channel.Control() : nullptr, &nPart);
            nDone += nPart;
            nSent += static_cast<qint64>(nPart);
            if (nPart > 0 && m_pMeter)
                m_pMeter->FileMoved(nSent, nSize);
            if (result == SocketResult::Interrupted) {
                if (!m_channel.ReadAndFile(m_timeouts.nReplyMs) || refused())
                    return false;
            } else if (result != SocketResult::Ok) {
                return DataFailed(result, channel.m_data,
                    QCoreApplication::translate("FtpClientConnection", "The server took no data for %1 s.")
                        .arg(FtpControlChannel::Seconds(m_timeouts.nDataMs)));
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
        if (bWatch && m_channel.HasReply()) {
            if (!m_channel.ReadAndFile(m_timeouts.nReplyMs))
                return false;
            continue;
        }
        std::size_t nRead = 0;
        SocketResult result = channel.m_data.Receive(
            pBuffer, static_cast<std::size_t>(ChunkBytes), nRead, bWatch ? 0 : m_timeouts.nDataMs);
        if (result == SocketResult::Timeout && bWatch) {
            int nReady = 0;
            result = Socket::WaitReady(channel.m_data, POLLIN, m_channel.Control(), nReady, m_timeouts.nDataMs);
            if (result == SocketResult::Ok) {
                if (nReady == 1 && !m_channel.ReadAndFile(m_timeouts.nReplyMs))
                    return false;
                continue;
            }
        }
        if (result == SocketResult::Closed)
            return true;
        if (result != SocketResult::Ok)
            return DataFailed(result, channel.m_data,
                QCoreApplication::translate("FtpClientConnection", "No data arrived for %1 s.")
                    .arg(FtpControlChannel::Seconds(m_timeouts.nDataMs)));
        if (!sink(pBuffer, nRead))
            return false;
    }
}

bool FtpClientConnection::ReadTransferVerdict(DataChannel& channel)
{
    // The transfer command's own replies decide: the grammar lets its final
    // reply be a success only after a preliminary reply of its own.
    FtpReply reply;
    Command command;
    const bool bAnswered = m_channel.Await(std::exchange(channel.m_nCommand, 0), reply, &command);
    // The PORT's reply came before; it was only needed while waiting.
    m_channel.DropIfAnswered(channel.m_nPort);
    if (!bAnswered)
        return false;
    channel.m_nFinalCode = reply.m_nCode;
    channel.m_nAnnounced = AnnouncedSize(command.m_preliminary);
    if (!reply.IsSuccess()) {
        m_channel.RefusedBy(reply);
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
        transfer.m_strFailure = m_channel.Failure();
        return;
    }
    // Asked now, so the answer travels with the next file's commands.
    if (m_bSize)
        transfer.m_nSize = Send("SIZE", transfer.m_strRemote);
}

std::int64_t FtpClientConnection::RemoteSize(CommandId nSize)
{
    FtpReply reply;
    return nSize != 0 && m_channel.Await(nSize, reply) ? SizeOf(reply) : -1;
}

bool FtpClientConnection::RemoteSizeMatches(CommandId nSize, std::int64_t nExpected)
{
    if (nSize == 0)
        return true;
    FtpReply reply;
    if (!m_channel.Await(nSize, reply))
        return false;
    const std::int64_t nRemote = SizeOf(reply);
    if (nRemote < 0 || nRemote == nExpected)
        return true; // the server does not tell it for this file, or it agrees
    Refuse(QCoreApplication::translate(
        "FtpClientConnection", "The server has %1 bytes where %2 were expected.", nullptr, PluralCount(nRemote))
               .arg(nRemote)
               .arg(nExpected));
    return false;
}

// --- files -------------------------------------------------------------------

FtpTicket FtpClientConnection::BeginPutFile(
    const QByteArray& strLocalPath, const QByteArray& strRemoteName, const FileIdentity& expected)
{
    auto pTransfer = std::make_unique<FileTransfer>();
    pTransfer->m_nTicket = m_nNextTicket++;
    pTransfer->m_bUpload = true;
    pTransfer->m_strRemote = strRemoteName;
    if (m_pMeter)
        m_pMeter->FileBegun();
    if (!StartUpload(*pTransfer, strLocalPath, expected)) {
        pTransfer->m_bFailed = true;
        pTransfer->m_strFailure = m_channel.Failure();
        // Its final reply, if the command went out, is read by the verdict.
        pTransfer->m_bSettled = true;
    }
    // Queued only now, so that its own commands do not wait for its verdict.
    m_transfers.push_back(std::move(pTransfer));
    return m_transfers.back()->m_nTicket;
}

bool FtpClientConnection::StartUpload(
    FileTransfer& transfer, const QByteArray& strLocalPath, const FileIdentity& expected)
{
    if (!IsUsable())
        return false;
    if (!IsValidName(transfer.m_strRemote)) {
        Refuse(QCoreApplication::translate("FtpClientConnection", "The name is empty or holds a line break."));
        return false;
    }
    // Open the local file first: one that cannot be read must not become an empty remote file.
    LocalFile file;
    if (!file.OpenForReading(strLocalPath, expected)) {
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
        pTransfer->m_strFailure = m_channel.Failure();
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
        Refuse(QCoreApplication::translate("FtpClientConnection", "The name is empty or holds a line break."));
        return false;
    }
    // With bFailIfExists the file is created exclusively (no check-then-create
    // race), so the file removed on failure is always one this call created.
    // Unbuffered: every chunk reaches the file as it arrives, so a full disk is
    // found (and named) at once, not later by a flush.
    auto pFile = std::make_unique<LocalFile>();
    if (!pFile->Create(strLocalPath, bFailIfExists)) {
        Refuse(pFile->LastErrno() == EEXIST ? QCoreApplication::translate("FtpClientConnection", "%1 exists already.")
                                                  .arg(LocalFile::Display(strLocalPath))
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
                const Command* pSize = m_channel.Find(transfer.m_nSize);
                const Command* pRetr = m_channel.Find(channel.m_nCommand);
                nFileSize = pSize && pSize->m_bDone ? SizeOf(pSize->m_reply) : -1;
                if (nFileSize < 0 && pRetr && pRetr->m_nPreliminary > 0)
                    nFileSize = AnnouncedSize(pRetr->m_preliminary);
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
    QString strFailure = pTransfer->m_strFailure;
    const bool bOk = pTransfer->m_bUpload ? JudgeUpload(*pTransfer, strFailure) : JudgeDownload(*pTransfer, strFailure);
    if (!bOk)
        Refuse(strFailure);
    return bOk;
}

bool FtpClientConnection::JudgeUpload(FileTransfer& transfer, QString& strFailure)
{
    Verdict verdict(!transfer.m_bFailed, strFailure);
    DataChannel* pChannel = transfer.m_pChannel.get();
    if (!transfer.m_bSettled) {
        Settle(transfer);
        if (transfer.m_bFailed)
            verdict.Fail(m_channel.Failure());
    }
    // Sent whole, then confirmed by the STOR's own final reply.
    if (verdict.Ok() && pChannel && pChannel->m_nCommand != 0 && !ReadTransferVerdict(*pChannel))
        verdict.Fail(m_channel.Failure());
    // A transfer that failed early may still owe its final reply; a refusal
    // there says best why it failed.
    if (!verdict.Ok() && pChannel && pChannel->m_nCommand != 0) {
        FtpReply reply;
        if (m_channel.Await(std::exchange(pChannel->m_nCommand, 0), reply) && !reply.IsSuccess()
            && !transfer.m_bLocalCause)
            strFailure = FtpControlChannel::ReplyLine(reply);
    }
    CheckBinary(verdict);
    if (transfer.m_nBytes != transfer.m_nLocalSize)
        verdict.Fail(QCoreApplication::translate("FtpClientConnection",
            "The file changed while it was sent: %1 of %2 bytes.", nullptr, PluralCount(transfer.m_nLocalSize))
                         .arg(transfer.m_nBytes)
                         .arg(transfer.m_nLocalSize));
    // Judged by its own replies only: the connection may be lost by now over
    // a later file, whose commands went out before this verdict was taken.
    if (transfer.m_nSize != 0 && !RemoteSizeMatches(transfer.m_nSize, transfer.m_nLocalSize))
        verdict.Fail(m_channel.Failure());
    return verdict.Ok();
}

bool FtpClientConnection::JudgeDownload(FileTransfer& transfer, QString& strFailure)
{
    Verdict verdict(!transfer.m_bFailed, strFailure);
    DataChannel* pChannel = transfer.m_pChannel.get();
    const std::int64_t nSize = RemoteSize(transfer.m_nSize);
    // Received whole, then confirmed by the RETR's own final reply.
    if (pChannel && pChannel->m_nCommand != 0 && !ReadTransferVerdict(*pChannel)) {
        if (!verdict.Ok() && !transfer.m_bLocalCause && m_channel.Failure() != strFailure && IsUsable())
            strFailure = m_channel.Failure(); // the server's own refusal
        verdict.Fail(m_channel.Failure());
    }
    CheckBinary(verdict);
    // SIZE's answer is the size expected; the size the 150 reply announced
    // counts only without one, and is no reason to fail when it disagrees
    // with it (a server that quotes the name may have put another number there).
    const std::int64_t nExpected = nSize >= 0 ? nSize : (pChannel ? pChannel->m_nAnnounced : -1);
    if (nExpected >= 0 && nExpected != transfer.m_nBytes)
        verdict.Fail(QCoreApplication::translate(
            "FtpClientConnection", "Only %1 of %2 bytes arrived.", nullptr, PluralCount(nExpected))
                         .arg(transfer.m_nBytes)
                         .arg(nExpected));
    if (LocalFile* pFile = transfer.m_pFile.get()) {
        if (pFile->Size() != transfer.m_nBytes)
            verdict.Fail(QCoreApplication::translate(
                "FtpClientConnection", "%1 holds %2 bytes where %3 arrived.", nullptr, PluralCount(pFile->Size()))
                             .arg(LocalFile::Display(pFile->Path()))
                             .arg(pFile->Size())
                             .arg(transfer.m_nBytes));
        if (!pFile->Close())
            verdict.Fail(pFile->Cause());
        if (!verdict.Ok())
            pFile->Remove();
    }
    return verdict.Ok();
}

void FtpClientConnection::CheckBinary(Verdict& verdict)
{
    if (verdict.Ok() && !IsBinary())
        verdict.Fail(QCoreApplication::translate("FtpClientConnection", "The server refused binary transfers (TYPE I)."));
}

bool FtpClientConnection::ReadDirectory(std::vector<FtpEntry>& entries, const QByteArray& strDirectory)
{
    entries.clear();
    m_bListingRefused = false;
    if (!IsUsable())
        return false;
    // Entering the directory travels with the listing's own commands; when it
    // is refused, whatever is listed is not that directory.
    CommandId nCwd = 0;
    if (!strDirectory.isEmpty()) {
        if (!IsValidName(strDirectory)) {
            Refuse(QCoreApplication::translate("FtpClientConnection", "The directory name holds a line break."));
            return false;
        }
        nCwd = Send("CWD", strDirectory);
    }
    DataChannel channel(m_abort);
    FtpListingReader reader(m_bMlsd);
    const auto sink = [&reader, this](const char* pData, std::size_t nSize) {
        if (!reader.Feed(pData, nSize)) {
            Refuse(QCoreApplication::translate("FtpClientConnection", "The listing is too large."));
            return false;
        }
        return true;
    };
    bool bOk = OpenDataChannel(channel, m_bMlsd ? "MLSD" : "LIST", {});
    QString strRefusal;
    const bool bCwdRefused = nCwd != 0 && !m_channel.AwaitOk(nCwd);
    if (bCwdRefused) {
        // No data connection is let in; the server's refusal of it ends the listing.
        strRefusal = m_channel.Failure();
        channel.m_listener.Close();
        bOk = false;
    }
    bOk = bOk && AcceptDataConnection(channel) && ReceiveData(channel, sink);
    if (!bOk && strRefusal.isEmpty())
        strRefusal = m_channel.Failure();
    channel.m_data.Close();
    if (channel.m_nCommand != 0 && !ReadTransferVerdict(channel)) {
        // Only the server's own refusal to list (no files to list) is one; a
        // data connection that failed is answered with 425 or 426 instead.
        m_bListingRefused = !bCwdRefused && IsUsable() && (channel.m_nFinalCode == 450 || channel.m_nFinalCode == 550);
        bOk = false;
    }
    if (!bOk || !reader.Finish()) {
        if (!strRefusal.isEmpty())
            Refuse(strRefusal);
        return false;
    }
    entries = std::move(reader.Entries());
    return true;
}
