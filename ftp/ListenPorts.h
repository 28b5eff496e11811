#pragma once

#include "ftp/Socket.h"

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

/// The ports the data listeners of active mode take.
///
/// Every upload leaves a TIME_WAIT entry on the port of its data connection for
/// a minute, because this side closes first (the end of the file is the end of
/// the stream). Left to the kernel (a bind to port 0), a listener is never given
/// a port that holds such an entry: the search for a free port grows longer as
/// they pile up, and once they fill the range no program on the machine can
/// open a connection until they expire. Two things keep them few and harmless:
///
/// - A port whose connection ended cleanly is given back (Release) and taken
///   again once it has rested a moment: the server's next connection between the
///   same two ports then replaces the TIME_WAIT entry instead of adding one.
///   Only connections that carried TCP timestamps are given back: a new
///   connection that shows a later timestamp is always let in over a TIME_WAIT
///   entry, and the rest makes sure the peer's clock has moved on.
/// - Otherwise ports are taken one after another round the range, with
///   SO_REUSEADDR, which no TIME_WAIT entry holds up; a port comes up again only
///   after every other port has had its turn, so the server is never asked to
///   connect again soon to a port whose connection it closed itself (a download).
class ListenPorts {
public:
    /// The ports from @p nFirst to @p nLast, less those set in @p reserved
    /// (indexed by port), starting with the @p nStart-th of them; a port given
    /// back is taken again after @p nRestMs.
    ListenPorts(std::uint16_t nFirst, std::uint16_t nLast, std::size_t nStart, const std::vector<bool>& reserved = {},
        int nRestMs = 1000);

    /// The kernel's range for ports it picks itself (ip_local_port_range, less
    /// ip_local_reserved_ports), entered at a random place. One for the process.
    static ListenPorts& System();

    /**
     * Opens @p listener on the host address of @p local for one connection:
     * on a port given back here, else on the next free port round the range;
     * after a few ports in use, or when the range is empty, on a port the
     * kernel picks. Thread-safe.
     */
    SocketResult Listen(Socket& listener, const SocketAddress& local);

    /// The next port round the range; 0 when the range is empty. Thread-safe.
    std::uint16_t Next();
    std::size_t Size() const { return m_ports.size(); }

    /// Gives back the port of @p local, whose connection ended on both sides
    /// after the peer confirmed it. Thread-safe.
    void Release(const SocketAddress& local);
    /// The port given back longest ago on the host address of @p local, once
    /// it has rested; false when there is none. Thread-safe.
    bool TakeReleased(const SocketAddress& local, std::uint16_t& nPort);

    /// Parses "32768 60999" (a range) into @p nFirst and @p nLast. False when it is not one.
    static bool ParseRange(const QByteArray& strText, std::uint16_t& nFirst, std::uint16_t& nLast);
    /// Parses "8080,9000-9100" (reserved ports) into a table indexed by port;
    /// malformed parts are ignored.
    static std::vector<bool> ParseReserved(const QByteArray& strText);

private:
    struct Released {
        SocketAddress m_host;
        std::uint16_t m_nPort = 0;
        std::int64_t m_nReadyMs = 0; // when it has rested
    };

    std::vector<std::uint16_t> m_ports;
    std::atomic<std::size_t> m_nNext;
    const int m_nRestMs;
    std::mutex m_mutex;
    std::deque<Released> m_released; // oldest first
};
