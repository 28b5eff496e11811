#pragma once

#include <QByteArray>

#include <memory>
#include <mutex>
#include <set>
#include <vector>

class FtpConnection;

/// Upper bounds of every blocking wait of the engine, in milliseconds.
struct FtpTimeouts {
    int nConnectMs = 20000; // TCP connect of the control connection
    int nReplyMs = 30000; // each reply on the control connection
    int nAcceptMs = 20000; // the server's data connection in active mode
    int nDataMs = 30000; // each read or write on the data connection
};

/// Opens FTP connections and can abort all of them at once. Thread-safe.
class InternetSession {
public:
    InternetSession();
    ~InternetSession();
    InternetSession(const InternetSession&) = delete;
    InternetSession& operator=(const InternetSession&) = delete;

    /**
     * Connects to @p server on @p port (0 means 21), reads the greeting and logs in.
     * Blocking; call it on a worker thread. Transfers on the connection use active
     * mode (only active mode is built; @p passive must be false).
     *
     * Commands are sent ahead of earlier replies, unless a connection to this
     * server showed that it mishandles that: from then on, for the session's
     * life, its connections send one command at a time. A login that failed that
     * way is tried again at once, one command at a time.
     * @throws InternetException with FTP_ERROR_NAME_NOT_RESOLVED, FTP_ERROR_INCORRECT_PASSWORD,
     *         or another code for every other failure; its detail says why, for the user.
     */
    std::shared_ptr<FtpConnection> GetFtpConnection(const QByteArray& server, const QByteArray& username,
        const QByteArray& password, unsigned short port = 0, bool passive = false);

    /// Aborts every connection this session opened that is still open; may be
    /// called from any thread. Later GetFtpConnection calls fail at once.
    void Close();

    /// The connections this session opened that are still alive (not yet
    /// released by their owners).
    int OpenConnections() const;

    void SetTimeouts(const FtpTimeouts& timeouts);
    FtpTimeouts Timeouts() const;

    /// True once @p server is known to need one command at a time.
    bool NeedsLockStep(const QByteArray& server) const;

private:
    /// The servers that mishandled commands sent ahead, shared with the
    /// connections that may find out later.
    struct LockStepServers {
        std::mutex m_mutex;
        std::set<QByteArray> m_servers;
    };

    mutable std::mutex m_mutex;
    FtpTimeouts m_timeouts;
    bool m_bClosed = false;
    std::vector<std::weak_ptr<FtpConnection>> m_connections;
    std::shared_ptr<LockStepServers> m_pLockStep = std::make_shared<LockStepServers>();
};
