#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"
#include "support/FtpTestServer.h"
#include "support/ScriptSteps.h"
#include "support/TestNet.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace ScriptSteps;

namespace {

/// A second PWD, answered "/next": it works only while the connection is in step.
QJsonArray Next()
{
    return {Expect("PWD"), Send("257 \"/next\"\r\n")};
}

/// A download's commands up to RETR, with @p strSizeReply answering SIZE.
QJsonArray UpToRetr(const QByteArray& strSizeReply = "550 Unknown\r\n")
{
    return {Expect("TYPE"), Send("200 Binary\r\n"), Expect("SIZE"), Send(strSizeReply), Expect("PORT"),
        Send("200 Port\r\n"), Expect("RETR")};
}

/// Runs @p script on @p server and logs in to it with short time-outs.
std::shared_ptr<FtpConnection> Connect(FtpTestServer& server, InternetSession& session, const QJsonArray& script)
{
    session.SetTimeouts(ShortFtpTimeouts(2000, 1000));
    if (!server.StartScripted(Script(script)))
        return {};
    return session.GetFtpConnection(server.Address().toLatin1(), "user", "pass");
}

} // namespace

class TestFtpHostileServer : public QObject {
    Q_OBJECT

private slots:
    void Logins_data();
    void Logins();
    void Replies_data();
    void Replies();
    void Downloads_data();
    void Downloads();
};

void TestFtpHostileServer::Logins_data()
{
    QTest::addColumn<QJsonArray>("script"); // steps, or one list of steps per connection
    QTest::addColumn<unsigned>("error"); // 0: logged in
    QTest::addColumn<bool>("lockStepAfter"); // the session then sends this server one command at a time
    const auto Row = [](const char* pszTag, const QJsonArray& script, unsigned nError, bool bLockStep = false) {
        QTest::newRow(pszTag) << script << nError << bLockStep;
    };
    const QJsonArray user {Send("220 Ready\r\n"), Expect("USER")};
    const QJsonArray features {Send("211-Features:\r\n SIZE\r\n211 End\r\n")};

    Row("120 then 220", QJsonArray {Send("120 Soon\r\n220 Ready\r\n")} + LoginAfterGreeting(), 0);
    Row("multi-line greeting with digits",
        QJsonArray {Send("220-Welcome\r\n220x\r\n123 line\r\n220 Ready\r\n")} + LoginAfterGreeting(), 0);
    // The PASS sent ahead of USER's answer is refused; that does not matter.
    const QJsonArray userAccepted {Send("230 In\r\n"), Expect("PASS"), Send("503 Already logged in\r\n")};
    Row("USER accepted at once", user + userAccepted + QJsonArray {Expect("FEAT"), Send("500 No\r\n")}, 0);
    // FEAT is optional: without an answer, NOOP brings the login back in step.
    Row("FEAT never answered", user + userAccepted + QJsonArray {Expect("FEAT"), Expect("NOOP"), Send("200 Ok\r\n")},
        0);
    Row("greeting 421", {Send("421 Too many users\r\n")}, FTP_ERROR_CANNOT_CONNECT);
    Row("greeting without code", {Send("Hello there\r\n")}, FTP_ERROR_PROTOCOL);
    Row("greeting with NUL", {Send(QByteArray("220 Re\0ady\r\n", 11))}, FTP_ERROR_PROTOCOL);
    Row("greeting never ends", {Send("220-Welcome\r\n"), Hang()}, FTP_ERROR_TIMEOUT);
    // Closed with the login's commands on their way, the server is also tried
    // one command at a time, and kept to that.
    Row("connection closed", user + QJsonArray {QJsonObject {{QStringLiteral("close"), true}}},
        FTP_ERROR_CANNOT_CONNECT, true);
    Row("USER 530", user + QJsonArray {Send("530 No\r\n")}, FTP_ERROR_INCORRECT_PASSWORD);
    Row("PASS 501", user + QJsonArray {Send("331 Password\r\n"), Expect("PASS"), Send("501 Bad\r\n")},
        FTP_ERROR_INCORRECT_PASSWORD);
    Row("USER 421", user + QJsonArray {Send("421 Bye\r\n")}, FTP_ERROR_CANNOT_CONNECT);

    // USER, PASS and FEAT go out together: this server answers only once all three are in.
    Row("USER, PASS and FEAT sent together",
        user + QJsonArray {ExpectAhead("PASS"), ExpectAhead("FEAT"), Send("331 Password\r\n230 In\r\n")} + features, 0);
    // A server that will not take commands sent ahead is logged in to again at
    // once, one command at a time, and the session keeps to that.
    Row("closes on commands sent ahead",
        QJsonArray {Send("220 Ready\r\n"), ExpectAlone("USER"), Send("331 Password\r\n"), Expect("PASS"),
            Send("230 In\r\n"), Expect("FEAT")}
            + features,
        0, true);
    Row("answers out of step",
        QJsonArray {user + QJsonArray {Expect("PASS"), Expect("FEAT"), Send("331 Password\r\n")} + features
                + QJsonArray {Send("230 In\r\n"), Hang()},
            LoginAlone()},
        0, true);
    // FEAT answered only after the wait for it: what comes before NOOP's own
    // reply is FEAT's, and nothing is sent until NOOP's reply is in.
    const QJsonArray lateFeat = QJsonArray {Send("220 Ready\r\n"), Expect("USER"), Send("331 Password\r\n"),
        Expect("PASS"), Send("230 In\r\n"), Expect("FEAT"), Expect("NOOP")};
    Row("FEAT answered late", lateFeat + features + QJsonArray {Send("200 Ok\r\n")}, 0);
    // An answer that cannot be FEAT's nor NOOP's leaves no way to tell which
    // reply is whose: the connection is given up rather than read out of step
    // (a refused CWD would otherwise read NOOP's 200 as its success).
    Row("FEAT answered late, not as FEAT", lateFeat + QJsonArray {Send("214 Later\r\n"), Send("200 Ok\r\n")},
        FTP_ERROR_PROTOCOL, true);
}

void TestFtpHostileServer::Logins()
{
    QFETCH(QJsonArray, script);
    QFETCH(unsigned, error);
    QFETCH(bool, lockStepAfter);

    FtpTestServer server;
    QVERIFY(server.StartScripted(Script(script)));
    InternetSession session;
    session.SetTimeouts(ShortFtpTimeouts(2000, 1000));
    QCOMPARE(FtpLoginError(session, server.Address().toLatin1(), "user", "pass"), error);
    QCOMPARE(session.NeedsLockStep(server.Address().toLatin1()), lockStepAfter);
    // A server kept to one command at a time gets one at a time on every later
    // connection (these scripts close on a command sent ahead).
    if (lockStepAfter && error == 0)
        QCOMPARE(FtpLoginError(session, server.Address().toLatin1(), "user", "pass"), 0u);
}

void TestFtpHostileServer::Replies_data()
{
    QTest::addColumn<QJsonArray>("reply"); // to PWD
    QTest::addColumn<QByteArray>("directory"); // empty: PWD fails
    QTest::addColumn<bool>("usableAfter"); // the next PWD works
    const auto Row = [](const char* pszTag, const QJsonArray& reply, const QByteArray& directory, bool bUsable) {
        QTest::newRow(pszTag) << reply << directory << bUsable;
    };

    Row("quoted path", {Send("257 \"/a \"\"b\"\"\" is current\r\n")}, "/a \"b\"", true);
    Row("garbled 257", {Send("257 /no/quotes\r\n")}, {}, true);
    Row("refused", {Send("550 No\r\n")}, {}, true);
    Row("line over 8 KiB", {Send("257 \"" + QByteArray(9000, 'x') + "\"\r\n")}, {}, false);
    Row("NUL", {Send(QByteArray("257 \"/a\0b\"\r\n", 12))}, {}, false);
    // About 1.4 MB of one reply: refused once it passes 64 KiB.
    Row("huge multi-line reply", {Send("257-\"/x\"\r\n"), Send("257-more\r\n", 140000), Send("257 end\r\n")}, {},
        false);
    Row("reply never ends", {Send("257-\"/x\"\r\n"), Hang()}, {}, false);
}

void TestFtpHostileServer::Replies()
{
    QFETCH(QJsonArray, reply);
    QFETCH(QByteArray, directory);
    QFETCH(bool, usableAfter);

    FtpTestServer server;
    InternetSession session;
    auto connection = Connect(server, session, Login() + QJsonArray {Expect("PWD")} + reply + Next());
    QVERIFY(connection);

    QElapsedTimer timer;
    timer.start();
    QByteArray strDirectory = "stale";
    QCOMPARE(connection->GetCurrentDirectory(strDirectory), !directory.isEmpty());
    QCOMPARE(strDirectory, directory);
    QVERIFY(timer.elapsed() < 2000);
    // After a hostile reply the connection is out of step and refuses further work.
    QCOMPARE(connection->GetCurrentDirectory(strDirectory), usableAfter);
    if (usableAfter)
        QCOMPARE(strDirectory, QByteArray("/next"));
}

void TestFtpHostileServer::Downloads_data()
{
    QTest::addColumn<QJsonArray>("script");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("usableAfter"); // the next PWD works
    const auto Row = [](const char* pszTag, const QJsonArray& afterRetr, bool bOk, bool bUsable = true) {
        QTest::newRow(pszTag) << UpToRetr() + afterRetr << bOk << bUsable;
    };

    Row("from the server", {Send("150 Open\r\n"), DataFrom({}, "hello"), Send("226 Done\r\n")}, true);
    // A transfer completes only after a preliminary reply of its own: a 226
    // without one is another command's, and the connection is out of step.
    Row("226 before the data connection", {Send("226 Done\r\n"), DataFrom({}, "hello")}, false, false);
    // Many servers connect from an address of their own other than the one the
    // control connection reached: the server's replies and the sizes decide.
    Row("from another address of the server's host",
        {Send("150 Open\r\n"), DataFrom(TestNet::Address(253), "hello"), Send("226 Done\r\n")}, true);
    Row("shorter than announced", {Send("150 Opening (10 bytes)\r\n"), DataFrom({}, "hello"), Send("226 Done\r\n")},
        false);
    Row("shorter than announced, over 2 GiB",
        {Send("150 Opening (3000000000 bytes)\r\n"), DataFrom({}, "hello"), Send("226 Done\r\n")}, false);
    // vsftpd quotes the name before the size: only the size at the end counts.
    Row("a name that holds a size",
        {Send("150 Opening BINARY mode data connection for note (3 bytes).txt (5 bytes).\r\n"), DataFrom({}, "hello"),
            Send("226 Done\r\n")},
        true);
    // TYPE, SIZE and PORT travel together; the first PORT of a connection is
    // answered before the transfer command follows it.
    QTest::newRow("sent together") << QJsonArray {Expect("TYPE"), ExpectAhead("SIZE"), ExpectAhead("PORT"),
        Send("200 Binary\r\n213 5\r\n200 Port\r\n"), Expect("RETR"), Send("150 Open\r\n"), DataFrom({}, "hello"),
        Send("226 Done\r\n")} << true
                                   << true;
    // SIZE decides; an announced size that disagrees with it is no failure.
    QTest::newRow("announced size not SIZE's") << UpToRetr("213 5\r\n")
            + QJsonArray {Send("150 Opening (7 bytes)\r\n"), DataFrom({}, "hello"), Send("226 Done\r\n")}
                                               << true << true;
    QTest::newRow("shorter than SIZE") << UpToRetr("213 10\r\n")
            + QJsonArray {Send("150 Open\r\n"), DataFrom({}, "hello"), Send("226 Done\r\n")}
                                       << false << true;
    Row("refused", {Send("550 No such file\r\n")}, false);
    Row("426 after the data", {Send("150 Open\r\n"), DataFrom({}, "hello"), Send("426 Aborted\r\n")}, false);
    Row("no data connection", {Send("150 Open\r\n"), Send("226 Done\r\n")}, false);
    // The final reply came in the same read as the 150: it must be seen without
    // waiting for the socket, and the connection stays in step.
    Row("150 and 425 in one packet", {Send("150 Opening\r\n425 Cannot open data connection\r\n")}, false);
    // A readable control connection must not keep the wait for the data connection alive.
    Row("endless 150 replies", {Flood("150 Wait\r\n", 10)}, false, false);
}

void TestFtpHostileServer::Downloads()
{
    QFETCH(QJsonArray, script);
    QFETCH(bool, ok);
    QFETCH(bool, usableAfter);

    FtpTestServer server;
    InternetSession session;
    auto connection = Connect(server, session, Login() + script + Next());
    QVERIFY(connection);
    QTemporaryDir local;
    const QString strLocal = local.filePath(QStringLiteral("file"));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(connection->GetFile("file", QFile::encodeName(strLocal), true), ok);
    QVERIFY(timer.elapsed() < 5000); // at most the 2 s wait for a data connection
    QCOMPARE(QFile::exists(strLocal), ok);
    QByteArray strDirectory;
    QCOMPARE(connection->GetCurrentDirectory(strDirectory), usableAfter);
    if (ok) {
        QFile file(strLocal);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("hello"));
    }
}

QTEST_GUILESS_MAIN(TestFtpHostileServer)
#include "TestFtpHostileServer.moc"
