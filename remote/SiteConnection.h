#pragma once

#include "sites/SiteProfile.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class FtpConnection;
class InternetSession;

/// A connection to one site, opened as every remote operation opens it: log
/// in, then enter the site's directory. The connection closes when the object
/// goes, or earlier with Close().
class SiteConnection {
public:
    enum class Outcome {
        Connected, ///< logged in and standing in the site's directory
        LoginRefused, ///< the server refused the username or password
        NameNotResolved, ///< the address does not resolve
        CannotConnect, ///< refused, unreachable, silent, or any other failure to open
        DirectoryRefused, ///< logged in, but the server would not enter the site's directory
    };

    SiteConnection() = default;
    ~SiteConnection();
    SiteConnection(const SiteConnection&) = delete;
    SiteConnection& operator=(const SiteConnection&) = delete;

    /**
     * Connects to @p site through @p session (port 21, active mode), logs in
     * and enters the site's directory exactly as stored. With an empty
     * directory the connection stays where the server put it, and that
     * directory is the one HomeDirectory() then returns.
     * Blocking, every wait bounded by the session's time-outs.
     */
    Outcome Open(InternetSession& session, const SiteProfile& site);
    /// Open() of a fresh connection in place of this one, which is closed only
    /// once the fresh one stands in the site's directory; when it cannot be
    /// opened, this one stays as it is and FailureCause() says why.
    Outcome Reopen(InternetSession& session, const SiteProfile& site);
    /// Reopen() as a transfer walk asks for it: the fresh connection, or null
    /// with the cause. The function holds references to this object and to
    /// @p session, and a copy of @p site.
    std::function<FtpConnection*(QString& strCause)> Reopener(InternetSession& session, const SiteProfile& site);

    /// Closes the connection (QUIT, briefly awaited); nothing when none is open.
    void Close();

    bool IsConnected() const { return m_pConnection != nullptr; }
    /// The open connection; only while IsConnected().
    FtpConnection& Connection() const { return *m_pConnection; }
    /// The login directory recorded by the last Open() of a site without a
    /// directory; empty otherwise.
    const QByteArray& HomeDirectory() const { return m_strHomeDir; }
    /// The site's directory as the server named it when Open() entered it (the
    /// login directory for a site without one); empty when the server gave no
    /// name. The connection can come back here from anywhere.
    const QByteArray& SiteDirectory() const { return m_strSiteDir; }

    /// Why the last Open() failed, for the user: the server's reply, the
    /// system's error or the wait that ran out. Empty after a success.
    const QString& FailureCause() const { return m_strCause; }

    /// The message for a failed Open(); empty for Connected.
    static QString FailureText(Outcome outcome);

private:
    Outcome Fail(Outcome outcome);

    std::shared_ptr<FtpConnection> m_pConnection;
    QByteArray m_strHomeDir;
    QByteArray m_strSiteDir;
    QString m_strCause;
};
