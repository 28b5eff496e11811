#pragma once

#include "ftp/FtpConnection.h"

#include <QByteArray>
#include <QString>

#include <functional>

/// The connection a transfer walk works on, and a fresh one in its place when
/// the server goes out of step with the commands.
///
/// A server that answers out of step, or drops commands sent ahead of their
/// replies, ends its connection (FtpConnection::WentOutOfStep). The walk then
/// goes on over a fresh connection, which the session opens one command at a
/// time, and tries the files whose verdicts were not in once more: a server
/// that cannot take commands ahead costs time, never a file.
class TransferConnection {
public:
    /// Opens a fresh connection to the transfer's site, standing in the site's
    /// directory, and closes the previous one; null when it cannot, the
    /// previous one then left in place. @p strCause gets why it could not.
    using Reconnect = std::function<FtpConnection*(QString& strCause)>;

    /// At most this many fresh connections for one transfer: a server that goes
    /// out of step on every one is given up.
    static constexpr int MaxFreshConnections = 8;

    /// Without @p reconnect, no fresh connection is ever opened. @p pMeter,
    /// when given, is told how far each file has come, on whichever connection.
    explicit TransferConnection(FtpConnection& connection, Reconnect reconnect = {}, TransferMeter* pMeter = nullptr);
    ~TransferConnection();
    TransferConnection(const TransferConnection&) = delete;
    TransferConnection& operator=(const TransferConnection&) = delete;

    /// What a failed file leaves of the connection.
    enum class State {
        Usable, ///< the failure was the file's own; the walk goes on here
        OutOfStep, ///< the server went out of step: StartAfresh() may go on
        Gone, ///< lost; LastFailureCause() says why
    };

    /// Asked only after a failure: a server may refuse a command as it dies
    /// (vsftpd answers "500 OOPS"), and only one more exchange shows whether
    /// the connection is still there, or out of step.
    State AfterFailure() const;

    FtpConnection& operator*() const { return *m_pConnection; }
    FtpConnection* operator->() const { return m_pConnection; }

    /// When the connection went out of step: a fresh one in its place, moved
    /// into @p strHere (empty: where a fresh connection stands, the site's
    /// directory). False when there is none to be had: the connection did not
    /// go out of step, no fresh one may or can be opened, or it cannot get
    /// there. Nothing more may be sent then; Failure() says why.
    bool StartAfresh(const QByteArray& strHere);

    /// Why the last StartAfresh() failed, for the user.
    const QString& Failure() const { return m_strFailure; }

private:
    FtpConnection* m_pConnection;
    Reconnect m_reconnect;
    TransferMeter* m_pMeter;
    int m_nFresh = 0; // fresh connections opened so far
    QString m_strFailure;
};
