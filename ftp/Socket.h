#pragma once

#include <QByteArray>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <poll.h>
#include <sys/socket.h>

/// A wake-up shared by every socket of one connection. Once raised it stays
/// raised: every pending and later wait of those sockets returns Aborted.
/// Raise() is safe from any thread (it writes one byte to a pipe that every
/// poll() of the connection watches).
class AbortSignal {
public:
    AbortSignal();
    ~AbortSignal();
    AbortSignal(const AbortSignal&) = delete;
    AbortSignal& operator=(const AbortSignal&) = delete;

    void Raise();
    bool IsRaised() const { return m_bRaised.load(); }
    /// Waits @p nMs unless raised meanwhile. False when raised.
    bool Pause(int nMs) const;
    int WaitFd() const { return m_fdRead; }

private:
    int m_fdRead = -1;
    int m_fdWrite = -1;
    std::atomic<bool> m_bRaised {false};
};

/// A point in time a wait must not pass, measured on the monotonic clock.
class Deadline {
public:
    explicit Deadline(int nTimeoutMs);
    /// Milliseconds left, 0 once passed (never negative).
    int RemainingMs() const;

private:
    std::int64_t m_nEndMs;
};

/// Outcome of one socket operation.
enum class SocketResult {
    Ok,
    Closed, // the peer closed the connection in order (end of stream)
    Timeout, // the deadline passed
    Aborted, // the AbortSignal was raised
    Interrupted, // a socket being watched meanwhile became readable first
    Error, // any other failure (refused, reset, unreachable ...)
};

/// A socket address of either family.
struct SocketAddress {
    sockaddr_storage m_storage {};
    socklen_t m_nLength = 0;

    int Family() const { return m_storage.ss_family; }
    /// Numeric host part ("127.0.0.1", "::1").
    QByteArray HostText() const;
    std::uint16_t Port() const;
    /// True when both hold the same host address (ports are ignored).
    bool SameHost(const SocketAddress& other) const;
};

/// A non-blocking TCP socket whose every wait is a poll() with a deadline that
/// also wakes on the connection's AbortSignal. Owns its descriptor.
class Socket {
public:
    explicit Socket(const AbortSignal& abort);
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

    /// Connects to @p address within @p nTimeoutMs.
    SocketResult Connect(const SocketAddress& address, int nTimeoutMs);
    /// Listens on the host address of @p local at @p nPort (0: the kernel picks)
    /// for one connection, with SO_REUSEADDR, so that a port holding only
    /// TIME_WAIT entries counts as free. False with errno set when it could not.
    bool Listen(const SocketAddress& local, std::uint16_t nPort);
    /// True when a read (or, on a listener, an accept) would not wait now.
    bool IsReadableNow() const { return IsReadableWithin(0); }
    /// True when a read (or an accept) becomes possible within @p nTimeoutMs.
    bool IsReadableWithin(int nTimeoutMs) const { return IsOpen() && Wait(POLLIN, nTimeoutMs) == SocketResult::Ok; }
    /// Waits for one incoming connection and hands it to @p accepted.
    SocketResult Accept(Socket& accepted, SocketAddress& peer, int nTimeoutMs);

    /// Reads at most @p nSize bytes; @p nRead is set to what arrived (0 with Closed).
    SocketResult Receive(char* pBuffer, std::size_t nSize, std::size_t& nRead, int nTimeoutMs);
    /// Sends all @p nSize bytes; @p nTimeoutMs bounds each wait for buffer space.
    /// With @p pWatch, a wait for buffer space also ends when that socket becomes
    /// readable: Interrupted, with @p pnSent (if given) the bytes sent so far.
    SocketResult SendAll(const char* pData, std::size_t nSize, int nTimeoutMs, const Socket* pWatch = nullptr,
        std::size_t* pnSent = nullptr);

    /// Which of two sockets becomes readable first. Returns Ok and sets
    /// @p nReady to 0 or 1; Timeout or Aborted otherwise.
    static SocketResult WaitReadable(const Socket& first, const Socket& second, int& nReady, int nTimeoutMs);
    /// Which comes first: @p first ready for @p nFirstEvents (POLLIN or POLLOUT;
    /// nReady 0, preferred when both are), or @p second readable (nReady 1).
    static SocketResult WaitReady(
        const Socket& first, short nFirstEvents, const Socket& second, int& nReady, int nTimeoutMs);

    /// True once the connection has ended on both sides (this side holds at
    /// most a TIME_WAIT entry for it) and it carried TCP timestamps: its port
    /// may then be given back to a ListenPorts.
    bool CanReusePort() const;

    SocketAddress LocalAddress() const;
    SocketAddress PeerAddress() const;

    /// The system's error number behind the last Error result (0 when there was none).
    int LastErrno() const { return m_nErrno; }

    /// Sends FIN after the data written so far.
    void ShutdownWrite();
    void Close();

private:
    /// Waits for @p nEvents on the socket. Ok, Timeout or Aborted.
    SocketResult Wait(short nEvents, int nTimeoutMs) const;

    /// Error, with the current errno kept for LastErrno().
    SocketResult Failed();

    const AbortSignal& m_abort;
    int m_fd = -1;
    int m_nErrno = 0;
};
