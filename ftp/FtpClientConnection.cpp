#include "ftp/FtpClientConnection.h"

#include "ftp/FtpCommandWriter.h"
#include "ftp/FtpListParser.h"
#include "ftp/InternetException.h"
#include "ftp/ListenPorts.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <netinet/in.h>
#include <poll.h>

namespace {

/// Bytes received per read of a download: large chunks keep the system calls
/// per gigabyte few (64 KiB cost a fifth more time on a 1 GiB download).
constexpr qint64 ChunkBytes = 1024 * 1024;
/// Bytes read and sent per step of an upload. Small steps keep the stream
/// even for the server that takes it in: in steps of 1 MiB a 1 GiB upload to
/// vsftpd on the loopback ran about a third slower (medians of 30 runs).
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

/// The size a 150 reply announces as "(1234 bytes)", or -1.
std::int64_t AnnouncedSize(const FtpReply& reply)
{
    static const QRegularExpression pattern(
        QStringLiteral("\\((\\d{1,18}) bytes\\)"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(reply.m_strText));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
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

FtpClientConnection::FtpClientConnection(const FtpTimeouts& timeouts)
    : m_timeouts(timeouts)
    , m_control(m_abort)
{
}

FtpClientConnection::~FtpClientConnection() = default;

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

void FtpClientConnection::MarkBroken(FtpErrorCode nError)
{
    m_bBroken = true;
    m_nLastError = m_abort.IsRaised() ? FTP_ERROR_ABORTED : nError;
    m_control.Close();
}

bool FtpClientConnection::SendCommand(const QByteArray& strVerb, const QByteArray& strArgument)
{
    QByteArray strLine;
    if (!FtpCommandWriter::Compose(strVerb, strArgument, strLine)) {
        m_nLastError = FTP_ERROR_INVALID_ARGUMENT;
        return false;
    }
    if (!IsUsable())
        return false;
    const SocketResult result
        = m_control.SendAll(strLine.constData(), static_cast<std::size_t>(strLine.size()), m_timeouts.nReplyMs);
    if (result != SocketResult::Ok) {
        MarkBroken(ErrorOf(result));
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
            MarkBroken(ErrorOf(result));
            return false;
        }
        if (!m_reader.Feed(buffer, nRead)) {
            MarkBroken(FTP_ERROR_PROTOCOL);
            return false;
        }
    }
    // 421: the server is closing the control connection; nothing more will work.
    if (reply.m_nCode == 421)
        MarkBroken(FTP_ERROR_CANNOT_CONNECT);
    return true;
}

bool FtpClientConnection::ReadFinalReply(FtpReply& reply)
{
    for (int i = 0; i < MaxPreliminaryReplies; ++i) {
        if (!ReadReply(reply, m_timeouts.nReplyMs))
            return false;
        if (!reply.IsPreliminary())
            return true;
    }
    MarkBroken(FTP_ERROR_PROTOCOL);
    return false;
}

bool FtpClientConnection::Execute(const QByteArray& strVerb, const QByteArray& strArgument, FtpReply& reply)
{
    return SendCommand(strVerb, strArgument) && ReadFinalReply(reply);
}

bool FtpClientConnection::ExecuteOk(const QByteArray& strVerb, const QByteArray& strArgument)
{
    FtpReply reply;
    return Execute(strVerb, strArgument, reply) && reply.IsSuccess();
}

void FtpClientConnection::Open(
    const std::vector<SocketAddress>& addresses, const QByteArray& strUser, const QByteArray& strPassword)
{
    if (!FtpCommandWriter::IsSafe(strUser) || !FtpCommandWriter::IsSafe(strPassword))
        throw InternetException(FTP_ERROR_INVALID_ARGUMENT, QStringLiteral("CR, LF or NUL in the credentials"));

    auto fail = [this](FtpErrorCode nError, const QString& strWhat) {
        const FtpErrorCode nCode = m_bBroken || m_abort.IsRaised() ? m_nLastError : nError;
        MarkBroken(nCode);
        throw InternetException(m_abort.IsRaised() ? FTP_ERROR_ABORTED : nCode, strWhat);
    };

    FtpReply reply;
    for (int nBusy = 0;; ++nBusy) {
        ConnectToFirstAnswering(addresses);
        // The greeting: 120 (wait) may precede 220 (ready).
        for (int i = 0;; ++i) {
            if (!ReadReply(reply, m_timeouts.nReplyMs))
                fail(m_nLastError, QStringLiteral("no greeting"));
            if (reply.m_nCode != 120 || i >= MaxPreliminaryReplies)
                break;
        }
        // A server that allows few connections at once may not yet have counted
        // one we closed a moment ago (the listing after a transfer connects
        // right after the transfer's connection closes), so 421 is tried again.
        if (reply.m_nCode != 421 || nBusy >= BusyRetries)
            break;
        m_control.Close();
        m_reader = FtpReplyReader();
        m_bBroken = false;
        if (!m_abort.Pause(BusyFirstWaitMs << nBusy))
            fail(FTP_ERROR_ABORTED, QStringLiteral("aborted"));
    }
    if (reply.m_nCode != 220)
        fail(reply.m_nCode == 421 ? FTP_ERROR_CANNOT_CONNECT : FTP_ERROR_PROTOCOL,
            QStringLiteral("greeting: %1").arg(QString::fromLatin1(reply.m_strText)));

    if (!Execute("USER", strUser, reply))
        fail(m_nLastError, QStringLiteral("USER"));
    if (reply.m_nCode == 331) {
        if (!Execute("PASS", strPassword, reply))
            fail(m_nLastError, QStringLiteral("PASS"));
    }
    if (reply.m_nCode >= 500 && reply.m_nCode < 600)
        fail(FTP_ERROR_INCORRECT_PASSWORD,
            QStringLiteral("login refused: %1").arg(QString::fromLatin1(reply.m_strText)));
    if (reply.m_nCode != 230 && reply.m_nCode != 202)
        fail(FTP_ERROR_PROTOCOL, QStringLiteral("login: %1").arg(QString::fromLatin1(reply.m_strText)));

    ReadFeatures();
    if (!IsUsable())
        fail(m_nLastError, QStringLiteral("FEAT"));
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
        m_control.Close();
        throw InternetException(ErrorOf(result), QStringLiteral("cannot connect"));
    }
}

void FtpClientConnection::ReadFeatures()
{
    if (!SendCommand("FEAT", {}))
        return;
    FtpReply reply;
    bool bTimedOut = false;
    if (!ReadReply(reply, std::min(FeatWaitMs, m_timeouts.nReplyMs), &bTimedOut)) {
        if (!bTimedOut)
            return;
        // Some servers never answer FEAT. NOOP brings the conversation back in
        // step: a late answer to FEAT may still come before NOOP's own.
        if (!SendCommand("NOOP", {}))
            return;
        for (int i = 0; i < 2; ++i) {
            if (!ReadFinalReply(reply))
                return;
            if (reply.m_nCode == 211)
                ParseFeatures(reply);
            else if (reply.IsSuccess())
                return;
        }
        return;
    }
    if (reply.IsPreliminary() && !ReadFinalReply(reply))
        return;
    if (reply.m_nCode == 211)
        ParseFeatures(reply);
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
    if (bUtf8) {
        FtpReply optsReply;
        Execute("OPTS", "UTF8 ON", optsReply); // the result does not matter: names are bytes either way
    }
}

bool FtpClientConnection::SetCurrentDirectory(const QByteArray& strDirectory)
{
    return IsValidName(strDirectory) && ExecuteOk("CWD", strDirectory);
}

bool FtpClientConnection::GetCurrentDirectory(QByteArray& strDirectory)
{
    strDirectory.clear();
    FtpReply reply;
    if (!Execute("PWD", {}, reply) || reply.m_nCode != 257)
        return false;
    return ParsePwdReply(reply.m_strText, strDirectory);
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

bool FtpClientConnection::UseBinaryType()
{
    // Nothing here asks for another type, so the server's answer holds for the
    // rest of the connection.
    if (!m_bBinary)
        m_bBinary = ExecuteOk("TYPE", "I");
    return m_bBinary;
}

std::int64_t FtpClientConnection::RemoteSize(const QByteArray& strName)
{
    FtpReply reply;
    if (!Execute("SIZE", strName, reply) || reply.m_nCode != 213)
        return -1;
    bool bOk = false;
    const qlonglong nSize = reply.FirstLineText().trimmed().toLongLong(&bOk);
    return bOk && nSize >= 0 ? nSize : -1;
}

bool FtpClientConnection::Transfer(const QByteArray& strVerb, const QByteArray& strArgument, const DataSink& sink,
    const DataSource& source, std::int64_t& nAnnounced)
{
    nAnnounced = -1;
    if (!IsUsable())
        return false;

    // Active mode: listen on the address the control connection uses.
    Socket listener(m_abort);
    QByteArray strPortVerb;
    QByteArray strPortArgument;
    if (ListenPorts::System().Listen(listener, m_control.LocalAddress()) != SocketResult::Ok)
        return false;
    const SocketAddress dataAddress = listener.LocalAddress();
    if (!PortCommand(dataAddress, strPortVerb, strPortArgument))
        return false;
    if (!ExecuteOk(strPortVerb, strPortArgument) || !SendCommand(strVerb, strArgument))
        return false;

    FtpReply finalReply;
    bool bFinal = false;
    // Once the command is out, a failure must still consume its final reply so
    // that the next command's reply is not mistaken for it.
    auto fail = [&]() {
        if (!bFinal && IsUsable()) {
            FtpReply reply;
            ReadFinalReply(reply);
        }
        return false;
    };
    // Takes the command's next reply: a preliminary one (which may announce the
    // size), or its final one. False when the transfer must end: the server
    // refused it, or the control connection failed.
    int nPreliminary = 0;
    auto takeReply = [&]() {
        FtpReply reply;
        if (!ReadReply(reply, m_timeouts.nReplyMs))
            return false;
        if (reply.IsPreliminary()) {
            // A readable control connection keeps poll() from timing out, so
            // a server sending 1xx replies without end must be cut off here.
            if (++nPreliminary > MaxPreliminaryReplies) {
                MarkBroken(FTP_ERROR_PROTOCOL);
                return false;
            }
            if (nAnnounced < 0)
                nAnnounced = AnnouncedSize(reply);
            return true;
        }
        finalReply = reply;
        bFinal = true;
        return reply.IsSuccess();
    };

    // Wait for the server's data connection; replies may arrive meanwhile.
    Socket data(m_abort);
    const SocketAddress serverAddress = m_control.PeerAddress();
    const Deadline acceptDeadline(m_timeouts.nAcceptMs);
    for (;;) {
        int nReady = 1;
        SocketResult result = SocketResult::Ok;
        // A reply already read along with an earlier one is not on the socket any more.
        if (!bFinal && m_reader.HasReply())
            nReady = 0;
        else if (!bFinal)
            result = Socket::WaitReadable(m_control, listener, nReady, acceptDeadline.RemainingMs());
        if (result == SocketResult::Timeout) {
            // A server that neither replies nor connects is out of step with us.
            MarkBroken(FTP_ERROR_TIMEOUT);
            return false;
        }
        if (result != SocketResult::Ok) {
            MarkBroken(ErrorOf(result));
            return false;
        }
        if (nReady == 0) {
            if (!takeReply())
                return false;
            continue;
        }
        SocketAddress peer;
        result = listener.Accept(data, peer, acceptDeadline.RemainingMs());
        if (result != SocketResult::Ok) {
            if (result == SocketResult::Aborted)
                MarkBroken(FTP_ERROR_ABORTED);
            return fail();
        }
        // Exactly one data connection, and only from the server itself.
        listener.Close();
        if (!peer.SameHost(serverAddress)) {
            data.Close();
            return fail();
        }
        break;
    }

    // The data, with the control connection watched until the final reply: a
    // server that refuses the transfer after opening the data connection (some
    // connect as soon as they get PORT) says so there, and the data connection
    // would then only wait out its time-out.
    bool bDataOk = true;
    // One buffer for the connection's life, never cleared: a walk of many
    // small files would otherwise allocate and fill a megabyte per file.
    if (!m_pChunk)
        m_pChunk = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(ChunkBytes));
    char* const pBuffer = m_pChunk.get();
    if (sink) {
        for (;;) {
            // A reply already read takes its turn first. Data that has arrived
            // is read at once; only when there is none yet does the wait cover
            // both connections, data first when both are ready.
            if (!bFinal && m_reader.HasReply()) {
                if (!takeReply()) {
                    bDataOk = false;
                    break;
                }
                continue;
            }
            std::size_t nRead = 0;
            const SocketResult result
                = data.Receive(pBuffer, static_cast<std::size_t>(ChunkBytes), nRead, bFinal ? m_timeouts.nDataMs : 0);
            if (result == SocketResult::Timeout && !bFinal) {
                int nReady = 0;
                if (Socket::WaitReady(data, POLLIN, m_control, nReady, m_timeouts.nDataMs) != SocketResult::Ok
                    || (nReady == 1 && !takeReply())) {
                    bDataOk = false;
                    break;
                }
                continue;
            }
            if (result == SocketResult::Closed)
                break;
            if (result != SocketResult::Ok || !sink(pBuffer, nRead)) {
                bDataOk = false;
                break;
            }
        }
    } else {
        for (;;) {
            const qint64 nChunk = source(pBuffer, UploadChunkBytes);
            if (nChunk <= 0) {
                bDataOk = nChunk == 0;
                break;
            }
            std::size_t nDone = 0;
            while (bDataOk && nDone < static_cast<std::size_t>(nChunk)) {
                SocketResult result = SocketResult::Interrupted;
                if (bFinal || !m_reader.HasReply()) {
                    std::size_t nSent = 0;
                    result = data.SendAll(pBuffer + nDone, static_cast<std::size_t>(nChunk) - nDone, m_timeouts.nDataMs,
                        bFinal ? nullptr : &m_control, &nSent);
                    nDone += nSent;
                }
                if (result == SocketResult::Interrupted)
                    bDataOk = takeReply();
                else if (result != SocketResult::Ok)
                    bDataOk = false;
            }
            if (!bDataOk)
                break;
        }
        if (bDataOk)
            data.ShutdownWrite();
    }
    // An upload's connection stays open until the final reply, which tells
    // whether its port can be given back.
    if (sink || !bDataOk)
        data.Close();
    if (m_abort.IsRaised()) {
        MarkBroken(FTP_ERROR_ABORTED);
        return false;
    }
    if (!bDataOk)
        return fail();
    if (!bFinal && !ReadFinalReply(finalReply))
        return false;
    // Confirmed by the server, and closed on its side as well: nothing of the
    // connection is left to protect, so its port may serve the next one.
    if (finalReply.IsSuccess() && data.IsOpen() && data.CanReusePort())
        ListenPorts::System().Release(dataAddress);
    return finalReply.IsSuccess();
}

bool FtpClientConnection::PutFile(const QString& strLocalPath, const QByteArray& strRemoteName)
{
    if (!IsUsable() || !IsValidName(strRemoteName))
        return false;
    // Open the local file first: one that cannot be read must not become an empty remote file.
    QFile file(strLocalPath);
    if (!QFileInfo(strLocalPath).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const qint64 nLocalSize = file.size();
    if (!UseBinaryType())
        return false;
    qint64 nSent = 0;
    const DataSource source = [&](char* pBuffer, qint64 nSize) {
        const qint64 nRead = file.read(pBuffer, nSize);
        if (nRead > 0)
            nSent += nRead;
        return nRead;
    };
    std::int64_t nAnnounced = -1;
    if (!Transfer("STOR", strRemoteName, {}, source, nAnnounced))
        return false;
    if (nSent != nLocalSize)
        return false;
    if (m_bSize) {
        const std::int64_t nRemote = RemoteSize(strRemoteName);
        if (!IsUsable() || (nRemote >= 0 && nRemote != nLocalSize))
            return false;
    }
    return true;
}

bool FtpClientConnection::GetFile(const QByteArray& strRemoteName, const QString& strLocalPath, bool bFailIfExists)
{
    if (!IsUsable() || !IsValidName(strRemoteName))
        return false;
    // With bFailIfExists the file is created exclusively (no check-then-create
    // race), so the file removed on failure is always one this call created.
    QFile file(strLocalPath);
    if (!file.open(QIODevice::WriteOnly | (bFailIfExists ? QIODevice::NewOnly : QIODevice::Truncate)))
        return false;

    auto fail = [&file]() {
        file.close();
        file.remove();
        return false;
    };
    if (!UseBinaryType())
        return fail();
    std::int64_t nExpected = m_bSize ? RemoteSize(strRemoteName) : -1;
    qint64 nReceived = 0;
    const DataSink sink = [&](const char* pData, std::size_t nSize) {
        if (file.write(pData, static_cast<qint64>(nSize)) != static_cast<qint64>(nSize))
            return false;
        nReceived += static_cast<qint64>(nSize);
        return true;
    };
    std::int64_t nAnnounced = -1;
    if (!Transfer("RETR", strRemoteName, sink, {}, nAnnounced))
        return fail();
    if (nExpected < 0)
        nExpected = nAnnounced;
    if ((nExpected >= 0 && nExpected != nReceived) || (nAnnounced >= 0 && nAnnounced != nReceived))
        return fail();
    if (!file.flush() || file.size() != nReceived)
        return fail();
    file.close();
    if (file.error() != QFileDevice::NoError)
        return fail();
    return true;
}

bool FtpClientConnection::ReadDirectory(std::vector<FtpEntry>& entries)
{
    entries.clear();
    FtpListingReader reader(m_bMlsd);
    const DataSink sink = [&reader](const char* pData, std::size_t nSize) { return reader.Feed(pData, nSize); };
    std::int64_t nAnnounced = -1;
    if (!Transfer(m_bMlsd ? "MLSD" : "LIST", {}, sink, {}, nAnnounced) || !reader.Finish())
        return false;
    entries = std::move(reader.Entries());
    return true;
}

void FtpClientConnection::Close()
{
    if (IsUsable()) {
        // Say goodbye, but do not let a slow server hold up the caller.
        static const QByteArray strQuit = "QUIT\r\n";
        if (m_control.SendAll(strQuit.constData(), static_cast<std::size_t>(strQuit.size()), QuitWaitMs)
            == SocketResult::Ok) {
            FtpReply reply;
            ReadReply(reply, std::min(QuitWaitMs, m_timeouts.nReplyMs));
        }
    }
    m_bBroken = true;
    m_control.Close();
}
