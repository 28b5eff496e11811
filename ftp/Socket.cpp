#include "ftp/Socket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

namespace {

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

/// poll() over @p fds plus the abort pipe, restarted on EINTR with the time left.
/// Returns Ok when one of @p fds is ready, Timeout, Aborted or Error.
SocketResult PollWithAbort(pollfd* fds, int nCount, const AbortSignal& abort, int nTimeoutMs)
{
    pollfd all[3];
    for (int i = 0; i < nCount; ++i)
        all[i] = fds[i];
    all[nCount] = {abort.WaitFd(), POLLIN, 0};
    const Deadline deadline(nTimeoutMs);
    for (;;) {
        if (abort.IsRaised())
            return SocketResult::Aborted;
        for (int i = 0; i <= nCount; ++i)
            all[i].revents = 0;
        const int nReady = poll(all, static_cast<nfds_t>(nCount + 1), deadline.RemainingMs());
        if (nReady < 0) {
            if (errno == EINTR)
                continue;
            return SocketResult::Error;
        }
        if (abort.IsRaised() || all[nCount].revents != 0)
            return SocketResult::Aborted;
        if (nReady == 0)
            return SocketResult::Timeout;
        for (int i = 0; i < nCount; ++i)
            fds[i].revents = all[i].revents;
        return SocketResult::Ok;
    }
}

} // namespace

Deadline::Deadline(int nTimeoutMs)
    : m_nEndMs(NowMs() + (nTimeoutMs > 0 ? nTimeoutMs : 0))
{
}

int Deadline::RemainingMs() const
{
    const std::int64_t nLeft = m_nEndMs - NowMs();
    return nLeft > 0 ? static_cast<int>(nLeft) : 0;
}

AbortSignal::AbortSignal()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_fdRead = fds[0];
        m_fdWrite = fds[1];
    }
}

AbortSignal::~AbortSignal()
{
    if (m_fdRead >= 0)
        ::close(m_fdRead);
    if (m_fdWrite >= 0)
        ::close(m_fdWrite);
}

void AbortSignal::Raise()
{
    if (m_bRaised.exchange(true))
        return;
    // The byte is never read, so the pipe stays readable and every later poll wakes too.
    const char c = 1;
    if (m_fdWrite >= 0) [[maybe_unused]]
        const ssize_t n = ::write(m_fdWrite, &c, 1);
}

QByteArray SocketAddress::HostText() const
{
    char buffer[INET6_ADDRSTRLEN] = {};
    if (Family() == AF_INET) {
        const auto* p = reinterpret_cast<const sockaddr_in*>(&m_storage);
        inet_ntop(AF_INET, &p->sin_addr, buffer, sizeof buffer);
    } else if (Family() == AF_INET6) {
        const auto* p = reinterpret_cast<const sockaddr_in6*>(&m_storage);
        inet_ntop(AF_INET6, &p->sin6_addr, buffer, sizeof buffer);
    }
    return QByteArray(buffer);
}

std::uint16_t SocketAddress::Port() const
{
    if (Family() == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&m_storage)->sin_port);
    if (Family() == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&m_storage)->sin6_port);
    return 0;
}

bool SocketAddress::SameHost(const SocketAddress& other) const
{
    if (Family() != other.Family())
        return false;
    if (Family() == AF_INET)
        return std::memcmp(&reinterpret_cast<const sockaddr_in*>(&m_storage)->sin_addr,
                   &reinterpret_cast<const sockaddr_in*>(&other.m_storage)->sin_addr, sizeof(in_addr))
            == 0;
    if (Family() == AF_INET6)
        return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(&m_storage)->sin6_addr,
                   &reinterpret_cast<const sockaddr_in6*>(&other.m_storage)->sin6_addr, sizeof(in6_addr))
            == 0;
    return false;
}

Socket::Socket(const AbortSignal& abort)
    : m_abort(abort)
{
}

Socket::~Socket()
{
    Close();
}

void Socket::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void Socket::ShutdownWrite()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_WR);
}

bool AbortSignal::Pause(int nMs) const
{
    return PollWithAbort(nullptr, 0, *this, nMs) == SocketResult::Timeout;
}

SocketResult Socket::Wait(short nEvents, int nTimeoutMs) const
{
    pollfd fd {m_fd, nEvents, 0};
    return PollWithAbort(&fd, 1, m_abort, nTimeoutMs);
}

SocketResult Socket::Failed()
{
    m_nErrno = errno;
    return SocketResult::Error;
}

SocketResult Socket::Connect(const SocketAddress& address, int nTimeoutMs)
{
    Close();
    if (m_abort.IsRaised())
        return SocketResult::Aborted;
    m_fd = ::socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        return Failed();
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address.m_storage), address.m_nLength) != 0) {
        if (errno != EINPROGRESS)
            return Failed();
        const SocketResult result = Wait(POLLOUT, nTimeoutMs);
        if (result != SocketResult::Ok)
            return result;
        int nError = 0;
        socklen_t nLength = sizeof nError;
        if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &nError, &nLength) != 0)
            return Failed();
        if (nError != 0) {
            errno = nError;
            return Failed();
        }
    }
    const int nOne = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
    return SocketResult::Ok;
}

bool Socket::Listen(const SocketAddress& local, std::uint16_t nPort)
{
    Close();
    m_fd = ::socket(local.Family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        return false;
    // The connection accepted on this socket inherits the option, and so does
    // its TIME_WAIT entry: only then can a later listener bind over that entry.
    const int nOne = 1;
    SocketAddress bindAddress = local;
    if (bindAddress.Family() == AF_INET)
        reinterpret_cast<sockaddr_in*>(&bindAddress.m_storage)->sin_port = htons(nPort);
    else if (bindAddress.Family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&bindAddress.m_storage)->sin6_port = htons(nPort);
    if (setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof nOne) != 0
        || ::bind(m_fd, reinterpret_cast<const sockaddr*>(&bindAddress.m_storage), bindAddress.m_nLength) != 0
        || ::listen(m_fd, 1) != 0) {
        const int nError = errno;
        Close();
        errno = nError;
        return false;
    }
    return true;
}

SocketResult Socket::Accept(Socket& accepted, SocketAddress& peer, int nTimeoutMs)
{
    const SocketResult result = Wait(POLLIN, nTimeoutMs);
    if (result != SocketResult::Ok)
        return result;
    peer = {};
    peer.m_nLength = sizeof peer.m_storage;
    const int fd
        = ::accept4(m_fd, reinterpret_cast<sockaddr*>(&peer.m_storage), &peer.m_nLength, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return Failed();
    accepted.Close();
    accepted.m_fd = fd;
    return SocketResult::Ok;
}

SocketResult Socket::Receive(char* pBuffer, std::size_t nSize, std::size_t& nRead, int nTimeoutMs)
{
    nRead = 0;
    if (m_fd < 0)
        return SocketResult::Error;
    const Deadline deadline(nTimeoutMs);
    for (;;) {
        if (m_abort.IsRaised())
            return SocketResult::Aborted;
        const ssize_t n = ::recv(m_fd, pBuffer, nSize, 0);
        if (n > 0) {
            nRead = static_cast<std::size_t>(n);
            return SocketResult::Ok;
        }
        if (n == 0)
            return SocketResult::Closed;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Failed();
        const SocketResult result = Wait(POLLIN, deadline.RemainingMs());
        if (result != SocketResult::Ok)
            return result;
    }
}

SocketResult Socket::SendAll(
    const char* pData, std::size_t nSize, int nTimeoutMs, const Socket* pWatch, std::size_t* pnSent)
{
    std::size_t nSent = 0;
    const auto Done = [&](SocketResult result) {
        if (pnSent)
            *pnSent = nSent;
        return result;
    };
    if (m_fd < 0)
        return Done(SocketResult::Error);
    while (nSent < nSize) {
        if (m_abort.IsRaised())
            return Done(SocketResult::Aborted);
        const ssize_t n = ::send(m_fd, pData + nSent, nSize - nSent, MSG_NOSIGNAL);
        if (n > 0) {
            nSent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return Done(Failed());
        if (!pWatch) {
            const SocketResult result = Wait(POLLOUT, nTimeoutMs);
            if (result != SocketResult::Ok)
                return Done(result);
            continue;
        }
        int nReady = 0;
        const SocketResult result = WaitReady(*this, POLLOUT, *pWatch, nReady, nTimeoutMs);
        if (result != SocketResult::Ok)
            return Done(result);
        if (nReady == 1)
            return Done(SocketResult::Interrupted);
    }
    return Done(SocketResult::Ok);
}

SocketResult Socket::WaitReadable(const Socket& first, const Socket& second, int& nReady, int nTimeoutMs)
{
    return WaitReady(first, POLLIN, second, nReady, nTimeoutMs);
}

SocketResult Socket::WaitReady(
    const Socket& first, short nFirstEvents, const Socket& second, int& nReady, int nTimeoutMs)
{
    pollfd fds[2] = {{first.m_fd, nFirstEvents, 0}, {second.m_fd, POLLIN, 0}};
    const SocketResult result = PollWithAbort(fds, 2, first.m_abort, nTimeoutMs);
    if (result != SocketResult::Ok)
        return result;
    nReady = fds[0].revents != 0 ? 0 : 1;
    return SocketResult::Ok;
}

bool Socket::CanReusePort() const
{
    tcp_info info {};
    socklen_t nLength = sizeof info;
    if (m_fd < 0 || getsockopt(m_fd, IPPROTO_TCP, TCP_INFO, &info, &nLength) != 0)
        return false;
    return info.tcpi_state == TCP_CLOSE && (info.tcpi_options & TCPI_OPT_TIMESTAMPS) != 0;
}

SocketAddress Socket::LocalAddress() const
{
    SocketAddress address;
    address.m_nLength = sizeof address.m_storage;
    if (m_fd < 0 || getsockname(m_fd, reinterpret_cast<sockaddr*>(&address.m_storage), &address.m_nLength) != 0)
        return {};
    return address;
}

SocketAddress Socket::PeerAddress() const
{
    SocketAddress address;
    address.m_nLength = sizeof address.m_storage;
    if (m_fd < 0 || getpeername(m_fd, reinterpret_cast<sockaddr*>(&address.m_storage), &address.m_nLength) != 0)
        return {};
    return address;
}
