#pragma once

#include "ftp/InternetSession.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// Runs one of the Python test FTP servers (tests/ftpserver) on port 21 of a
/// loopback address of its own, for as long as the object lives.
///
/// Each instance takes the next host number of this process's /24, so a test
/// never waits for the address the previous test used to be released. A server
/// ends when the test process ends, however it ends (SIGKILL included); start
/// it on the main thread, as QTest runs the test functions.
class FtpTestServer {
public:
    FtpTestServer();
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    /// Starts ftpd.py serving RootPath() with @p extraArgs (fault switches such as
    /// "--no-mlsd"). Waits at most 10 s for it to listen. False when it did not.
    bool Start(const QStringList& extraArgs = {});
    /// Starts scripted.py with @p strJsonScript (see that file for the steps).
    bool StartScripted(const QByteArray& strJsonScript);
    /// Starts faulty.py serving RootPath() with @p faultArgs ("--fault VERB STEP
    /// KIND" and the like; see that file).
    bool StartFaulty(const QStringList& faultArgs);
    /// Stops the server: SIGTERM, a bounded wait, then SIGKILL.
    void Stop();

    QString Address() const { return m_strAddress; }
    QString User() const { return QStringLiteral("tester"); }
    QString Password() const { return QStringLiteral("pa55 word"); }
    /// The directory the server serves (empty when it could not be created).
    QString RootPath() const { return m_root.path(); }

    /// A fresh address of this process's /24 with no server on it.
    static QString UnusedAddress();

private:
    /// Starts @p strScript serving RootPath() to User() with Password().
    bool ServeFolder(const QString& strScript, const QStringList& extraArgs);
    bool Launch(const QString& strScript, const QStringList& args);
    static int NextHost();

    QTemporaryDir m_root;
    QProcess m_process;
    QString m_strAddress;
};

/// Time-outs short enough for a test: @p nMs for each wait, @p nReplyMs for a reply.
FtpTimeouts ShortFtpTimeouts(int nMs, int nReplyMs);

/// The code of the InternetException that logging in throws, 0 when the login
/// succeeds; @p pstrCause (when given) gets its cause for the user.
unsigned FtpLoginError(InternetSession& session, const QByteArray& strHost, const QByteArray& strUser,
    const QByteArray& strPassword, QString* pstrCause = nullptr);
