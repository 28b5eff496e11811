#include "support/FtpTestServer.h"

#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"
#include "support/TestNet.h"

#include <QDeadlineTimer>
#include <QFile>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <sys/prctl.h>
#include <system_error>
#include <unistd.h>

int FtpTestServer::NextHost()
{
    // Hosts 2..254 in turn; wrapping around only after 253 servers in one process.
    static std::atomic<int> nNext {0};
    return 2 + nNext++ % 253;
}

QString FtpTestServer::UnusedAddress()
{
    return TestNet::Address(NextHost());
}

FtpTestServer::FtpTestServer()
    : m_strAddress(TestNet::Address(NextHost()))
{
}

FtpTestServer::~FtpTestServer()
{
    Stop();
    // Tests create names that are not UTF-8, which QDir cannot remove: go by bytes.
    if (m_root.isValid()) {
        std::error_code error;
        std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(m_root.path()).toStdString()), error);
        m_root.setAutoRemove(error.value() != 0);
    }
}

bool FtpTestServer::Start(const QStringList& extraArgs)
{
    return ServeFolder(QStringLiteral("ftpd.py"), extraArgs);
}

bool FtpTestServer::ServeFolder(const QString& strScript, const QStringList& extraArgs)
{
    if (!m_root.isValid())
        return false;
    return Launch(strScript,
        QStringList {QStringLiteral("--root"), m_root.path(), QStringLiteral("--user"), User(),
            QStringLiteral("--password"), Password()}
            + extraArgs);
}

bool FtpTestServer::StartScripted(const QByteArray& strJsonScript)
{
    if (!m_root.isValid())
        return false;
    const QString strScriptPath = m_root.filePath(QStringLiteral(".script.json"));
    QFile file(strScriptPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(strJsonScript) != strJsonScript.size())
        return false;
    file.close();
    return Launch(QStringLiteral("scripted.py"), {QStringLiteral("--script"), strScriptPath});
}

bool FtpTestServer::StartFaulty(const QStringList& faultArgs)
{
    return ServeFolder(QStringLiteral("faulty.py"), faultArgs);
}

bool FtpTestServer::Launch(const QString& strScript, const QStringList& args)
{
    Stop();
    // The server ends with the test process however that ends, by a crash or
    // SIGKILL too: left running, it would hold ctest's output open until the
    // test's time-out. The kernel sends the signal when the thread that started
    // the server ends, so servers start only on the main thread, which lasts as
    // long as the process.
    if (::gettid() != ::getpid()) {
        qWarning("FtpTestServer: start servers on the test's main thread");
        return false;
    }
    m_process.setChildProcessModifier([nTestProcess = ::getpid()] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != nTestProcess)
            ::_exit(1); // the test process ended before the line above
    });
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(TARNLOW_PYTHON3),
        QStringList {QStringLiteral(TARNLOW_TESTS_DIR "/ftpserver/") + strScript, QStringLiteral("--host"),
            m_strAddress, QStringLiteral("--port"), QStringLiteral("21")}
            + args);
    if (!m_process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(10000);
    QByteArray strOutput;
    while (!deadline.hasExpired()) {
        if (m_process.canReadLine() || m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            strOutput += m_process.readAll();
            if (strOutput.contains("READY\n"))
                return true;
        } else if (m_process.state() != QProcess::Running) {
            break;
        }
    }
    Stop();
    return false;
}

void FtpTestServer::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

FtpTimeouts ShortFtpTimeouts(int nMs, int nReplyMs)
{
    FtpTimeouts timeouts;
    timeouts.nConnectMs = timeouts.nAcceptMs = timeouts.nDataMs = nMs;
    timeouts.nReplyMs = nReplyMs;
    return timeouts;
}

unsigned FtpLoginError(InternetSession& session, const QByteArray& strHost, const QByteArray& strUser,
    const QByteArray& strPassword, QString* pstrCause)
{
    try {
        session.GetFtpConnection(strHost, strUser, strPassword)->Close();
        return 0;
    } catch (const InternetException& e) {
        if (pstrCause)
            *pstrCause = e.m_strDetail;
        return e.m_dwError;
    }
}
