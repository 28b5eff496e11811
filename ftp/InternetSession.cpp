#include "ftp/InternetSession.h"

#include "ftp/FtpClientConnection.h"
#include "ftp/FtpCommandWriter.h"
#include "ftp/InternetException.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <netdb.h>

namespace {

/// Resolves @p strHost. Throws FTP_ERROR_NAME_NOT_RESOLVED when it does not resolve.
std::vector<SocketAddress> Resolve(QByteArray strHost, unsigned short nPort)
{
    if (strHost.startsWith('[') && strHost.endsWith(']'))
        strHost = strHost.mid(1, strHost.size() - 2);
    if (strHost.isEmpty())
        throw InternetException(
            FTP_ERROR_NAME_NOT_RESOLVED, QCoreApplication::translate("InternetSession", "The address is empty."));
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* pResult = nullptr;
    const int nError = getaddrinfo(strHost.constData(), QByteArray::number(nPort).constData(), &hints, &pResult);
    if (nError != 0)
        throw InternetException(FTP_ERROR_NAME_NOT_RESOLVED, QString::fromLocal8Bit(gai_strerror(nError)));
    std::vector<SocketAddress> addresses;
    for (const addrinfo* p = pResult; p; p = p->ai_next) {
        if (p->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        SocketAddress address;
        std::memcpy(&address.m_storage, p->ai_addr, p->ai_addrlen);
        address.m_nLength = p->ai_addrlen;
        addresses.push_back(address);
    }
    freeaddrinfo(pResult);
    if (addresses.empty())
        throw InternetException(
            FTP_ERROR_NAME_NOT_RESOLVED, QCoreApplication::translate("InternetSession", "The name has no address."));
    return addresses;
}

} // namespace

InternetSession::InternetSession() = default;

InternetSession::~InternetSession() = default;

std::shared_ptr<FtpConnection> InternetSession::GetFtpConnection(
    const QByteArray& server, const QByteArray& username, const QByteArray& password, unsigned short port, bool passive)
{
    FtpTimeouts timeouts;
    {
        std::lock_guard lock(m_mutex);
        if (m_bClosed)
            throw InternetException(
                FTP_ERROR_ABORTED, QCoreApplication::translate("InternetSession", "The operation was stopped."));
        timeouts = m_timeouts;
    }
    if (!FtpCommandWriter::IsSafe(server) || !FtpCommandWriter::IsSafe(username) || !FtpCommandWriter::IsSafe(password))
        throw InternetException(FTP_ERROR_INVALID_ARGUMENT,
            QCoreApplication::translate(
                "InternetSession", "The address, username or password holds a line break or a NUL character."));
    if (passive)
        throw InternetException(FTP_ERROR_INVALID_ARGUMENT,
            QCoreApplication::translate("InternetSession", "Only active mode is available."));

    const std::vector<SocketAddress> addresses = Resolve(server, port == 0 ? 21 : port);

    auto pipelining
        = NeedsLockStep(server) ? FtpClientConnection::Pipelining::Off : FtpClientConnection::Pipelining::On;
    for (;;) {
        auto connection = std::make_shared<FtpClientConnection>(timeouts, pipelining);
        // A connection that finds out later tells every later one of the session.
        connection->SetPipeliningFailedHandler([pLockStep = m_pLockStep, server] {
            std::lock_guard lock(pLockStep->m_mutex);
            pLockStep->m_servers.insert(server);
        });
        {
            // Registered before connecting, so that Close() can abort the login too.
            std::lock_guard lock(m_mutex);
            if (m_bClosed)
                throw InternetException(
                    FTP_ERROR_ABORTED, QCoreApplication::translate("InternetSession", "The operation was stopped."));
            std::erase_if(m_connections, [](const std::weak_ptr<FtpConnection>& p) { return p.expired(); });
            m_connections.push_back(connection);
        }
        try {
            connection->Open(addresses, username, password);
            return connection;
        } catch (const InternetException& e) {
            // A server that closed on the commands sent ahead, or answered them
            // out of step, is asked again one command at a time.
            if (pipelining == FtpClientConnection::Pipelining::Off || !connection->PipeliningFailed()
                || e.m_dwError == FTP_ERROR_INCORRECT_PASSWORD || e.m_dwError == FTP_ERROR_ABORTED)
                throw;
            pipelining = FtpClientConnection::Pipelining::Off;
        }
    }
}

bool InternetSession::NeedsLockStep(const QByteArray& server) const
{
    std::lock_guard lock(m_pLockStep->m_mutex);
    return m_pLockStep->m_servers.contains(server);
}

void InternetSession::Close()
{
    std::vector<std::shared_ptr<FtpConnection>> live;
    {
        std::lock_guard lock(m_mutex);
        m_bClosed = true;
        for (const std::weak_ptr<FtpConnection>& p : m_connections) {
            if (auto connection = p.lock())
                live.push_back(std::move(connection));
        }
        m_connections.clear();
    }
    for (const auto& connection : live)
        connection->Abort();
}

int InternetSession::OpenConnections() const
{
    std::lock_guard lock(m_mutex);
    return int(std::count_if(m_connections.begin(), m_connections.end(),
        [](const std::weak_ptr<FtpConnection>& p) { return !p.expired(); }));
}

void InternetSession::SetTimeouts(const FtpTimeouts& timeouts)
{
    std::lock_guard lock(m_mutex);
    m_timeouts = timeouts;
}

FtpTimeouts InternetSession::Timeouts() const
{
    std::lock_guard lock(m_mutex);
    return m_timeouts;
}
