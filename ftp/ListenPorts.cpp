#include "ftp/ListenPorts.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <random>

namespace {

// Linux's own default range, for a system that does not tell its range.
constexpr std::uint16_t DefaultFirstPort = 32768;
constexpr std::uint16_t DefaultLastPort = 60999;
/// Ports kept for taking again; more than a second's worth of uploads.
constexpr std::size_t MaxReleased = 8192;
/// Ports of the range tried before the kernel is left to pick one.
constexpr std::size_t MaxListenPortAttempts = 16;

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QByteArray ReadSetting(const char* pszPath)
{
    QFile file(QString::fromLatin1(pszPath));
    return file.open(QIODevice::ReadOnly) ? file.read(64 * 1024) : QByteArray();
}

bool ToPort(const QByteArray& strText, std::uint16_t& nPort)
{
    bool bOk = false;
    const uint nValue = strText.trimmed().toUInt(&bOk);
    if (!bOk || nValue == 0 || nValue > 65535)
        return false;
    nPort = static_cast<std::uint16_t>(nValue);
    return true;
}

} // namespace

ListenPorts::ListenPorts(
    std::uint16_t nFirst, std::uint16_t nLast, std::size_t nStart, const std::vector<bool>& reserved, int nRestMs)
    : m_nNext(0)
    , m_nRestMs(nRestMs)
{
    for (std::uint32_t nPort = nFirst; nPort != 0 && nPort <= nLast; ++nPort) {
        if (nPort >= reserved.size() || !reserved[nPort])
            m_ports.push_back(static_cast<std::uint16_t>(nPort));
    }
    if (!m_ports.empty())
        m_nNext = nStart % m_ports.size();
}

ListenPorts& ListenPorts::System()
{
    static ListenPorts ports = [] {
        std::uint16_t nFirst = DefaultFirstPort;
        std::uint16_t nLast = DefaultLastPort;
        if (!ParseRange(ReadSetting("/proc/sys/net/ipv4/ip_local_port_range"), nFirst, nLast)) {
            nFirst = DefaultFirstPort;
            nLast = DefaultLastPort;
        }
        // A random place, so that two programs going round the same range do not
        // keep asking for the same ports.
        std::random_device random;
        return ListenPorts(
            nFirst, nLast, random(), ParseReserved(ReadSetting("/proc/sys/net/ipv4/ip_local_reserved_ports")));
    }();
    return ports;
}

SocketResult ListenPorts::Listen(Socket& listener, const SocketAddress& local)
{
    // A port given back is taken again over its TIME_WAIT entry. A port in use
    // by anything else refuses the bind (or, when another socket bound it with
    // SO_REUSEADDR too, the listen), and the next port round the range is
    // tried; any other failure will not go away with another port.
    std::uint16_t nPort = 0;
    if (TakeReleased(local, nPort) && listener.Listen(local, nPort))
        return SocketResult::Ok;
    const std::size_t nAttempts = std::min<std::size_t>(MaxListenPortAttempts, Size());
    for (std::size_t i = 0; i < nAttempts; ++i) {
        if (listener.Listen(local, Next()))
            return SocketResult::Ok;
        if (errno != EADDRINUSE)
            break;
    }
    return listener.Listen(local, 0) ? SocketResult::Ok : SocketResult::Error;
}

std::uint16_t ListenPorts::Next()
{
    if (m_ports.empty())
        return 0;
    return m_ports[m_nNext.fetch_add(1) % m_ports.size()];
}

void ListenPorts::Release(const SocketAddress& local)
{
    if (local.Port() == 0)
        return;
    std::lock_guard lock(m_mutex);
    if (m_released.size() >= MaxReleased)
        m_released.pop_front();
    m_released.push_back({local, local.Port(), NowMs() + m_nRestMs});
}

bool ListenPorts::TakeReleased(const SocketAddress& local, std::uint16_t& nPort)
{
    const std::int64_t nNowMs = NowMs();
    std::lock_guard lock(m_mutex);
    // In the order given back, so the first one not yet rested ends the search.
    for (auto it = m_released.begin(); it != m_released.end() && it->m_nReadyMs <= nNowMs; ++it) {
        if (it->m_host.SameHost(local)) {
            nPort = it->m_nPort;
            m_released.erase(it);
            return true;
        }
    }
    return false;
}

bool ListenPorts::ParseRange(const QByteArray& strText, std::uint16_t& nFirst, std::uint16_t& nLast)
{
    const QList<QByteArray> parts = strText.simplified().split(' ');
    return parts.size() == 2 && ToPort(parts[0], nFirst) && ToPort(parts[1], nLast) && nFirst <= nLast;
}

std::vector<bool> ListenPorts::ParseReserved(const QByteArray& strText)
{
    std::vector<bool> reserved(65536, false);
    for (const QByteArray& strPart : strText.trimmed().split(',')) {
        const qsizetype nDash = strPart.indexOf('-');
        std::uint16_t nFirst = 0;
        std::uint16_t nLast = 0;
        if (!ToPort(nDash < 0 ? strPart : strPart.left(nDash), nFirst)
            || !ToPort(nDash < 0 ? strPart : strPart.mid(nDash + 1), nLast))
            continue;
        for (std::uint32_t nPort = nFirst; nPort <= nLast; ++nPort)
            reserved[nPort] = true;
    }
    return reserved;
}
