#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"
#include "support/FtpTestServer.h"
#include "support/TestNet.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

QJsonObject Send(const QByteArray& strBytes, int nCount = 1)
{
    QJsonObject step {{QStringLiteral("send"), QString::fromLatin1(strBytes)}};
    if (nCount > 1)
        step.insert(QStringLiteral("count"), nCount);
    return step;
}

QJsonObject Expect(const char* pVerb)
{
    return {{QStringLiteral("expect"), QLatin1String(pVerb)}};
}

/// Sends @p strBytes over and over for @p nSeconds or until the client goes away.
QJsonObject Flood(const QByteArray& strBytes, int nSeconds)
{
    return {{QStringLiteral("flood"), QString::fromLatin1(strBytes)}, {QStringLiteral("seconds"), nSeconds}};
}

QJsonObject Hang()
{
    return {{QStringLiteral("hang"), true}};
}

/// The server connects to our PORT address from @p strFrom ("" for its own
/// address) and sends @p strPayload.
QJsonObject DataFrom(const QString& strFrom, const QByteArray& strPayload)
{
    return {{QStringLiteral("data_from"), strFrom}, {QStringLiteral("payload"), QString::fromLatin1(strPayload)}};
}

/// Greeting and a login that succeeds; FEAT offers SIZE only.
QJsonArray Login()
{
    return {Send("220 Ready\r\n"), Expect("USER"), Send("331 Password\r\n"), Expect("PASS"), Send("230 In\r\n"),
        Expect("FEAT"), Send("211-Features:\r\n SIZE\r\n211 End\r\n")};
}

/// Login() without its greeting.
QJsonArray LoginAfterGreeting()
{
    QJsonArray steps = Login();
    steps.removeFirst();
    return steps;
}

QJsonArray operator+(QJsonArray first, const QJsonArray& second)
{
    for (const QJsonValue& value : second)
        first.append(value);
    return first;
}

FtpTimeouts ShortTimeouts()
{
    FtpTimeouts timeouts;
    timeouts.nConnectMs = 2000;
    timeouts.nReplyMs = 1000;
    timeouts.nAcceptMs = 2000;
    timeouts.nDataMs = 2000;
    return timeouts;
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
    QTest::addColumn<QJsonArray>("script");
    QTest::addColumn<unsigned>("error"); // 0: logged in

    QTest::newRow("120 then 220") << QJsonArray {Send("120 Soon\r\n220 Ready\r\n")} + LoginAfterGreeting() << 0u;
    QTest::newRow("multi-line greeting with digits")
        << QJsonArray {Send("220-Welcome\r\n220x\r\n123 line\r\n220 Ready\r\n")} + LoginAfterGreeting() << 0u;
    QTest::newRow("USER accepted at once") << QJsonArray {Send("220 Ready\r\n"), Expect("USER"), Send("230 In\r\n"),
        Expect("FEAT"), Send("500 No\r\n")} << 0u;
    QTest::newRow("greeting 421") << QJsonArray {Send("421 Too many users\r\n")} << unsigned(FTP_ERROR_CANNOT_CONNECT);
    QTest::newRow("greeting without code") << QJsonArray {Send("Hello there\r\n")} << unsigned(FTP_ERROR_PROTOCOL);
    QTest::newRow("greeting with NUL") << QJsonArray {Send(QByteArray("220 Re\0ady\r\n", 11))}
                                       << unsigned(FTP_ERROR_PROTOCOL);
    QTest::newRow("greeting never ends") << QJsonArray {Send("220-Welcome\r\n"), Hang()} << unsigned(FTP_ERROR_TIMEOUT);
    QTest::newRow("connection closed") << QJsonArray {Send("220 Ready\r\n"), Expect("USER"),
        QJsonObject {{QStringLiteral("close"), true}}}
                                       << unsigned(FTP_ERROR_CANNOT_CONNECT);
    QTest::newRow("USER 530") << QJsonArray {Send("220 Ready\r\n"), Expect("USER"), Send("530 No\r\n")}
                              << unsigned(FTP_ERROR_INCORRECT_PASSWORD);
    QTest::newRow("PASS 501") << QJsonArray {Send("220 Ready\r\n"), Expect("USER"), Send("331 Password\r\n"),
        Expect("PASS"), Send("501 Bad\r\n")}
                              << unsigned(FTP_ERROR_INCORRECT_PASSWORD);
    QTest::newRow("USER 421") << QJsonArray {Send("220 Ready\r\n"), Expect("USER"), Send("421 Bye\r\n")}
                              << unsigned(FTP_ERROR_PROTOCOL);
}

void TestFtpHostileServer::Logins()
{
    QFETCH(QJsonArray, script);
    QFETCH(unsigned, error);

    FtpTestServer server;
    QVERIFY(server.StartScripted(QJsonDocument(script).toJson()));
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    unsigned nError = 0;
    try {
        session.GetFtpConnection(server.Address().toLatin1(), "user", "pass")->Close();
    } catch (const InternetException& e) {
        nError = e.m_dwError;
    }
    QCOMPARE(nError, error);
}

void TestFtpHostileServer::Replies_data()
{
    QTest::addColumn<QJsonArray>("script");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<bool>("usableAfter"); // a second PWD (answered "/next") works

    const QJsonArray next {Expect("PWD"), Send("257 \"/next\"\r\n")};
    QTest::newRow("quoted path") << QJsonArray {Expect("PWD"), Send("257 \"/a \"\"b\"\"\" is current\r\n")} + next
                                 << true << QByteArray("/a \"b\"") << true;
    QTest::newRow("garbled 257") << QJsonArray {Expect("PWD"), Send("257 /no/quotes\r\n")} + next << false
                                 << QByteArray() << true;
    QTest::newRow("refused") << QJsonArray {Expect("PWD"), Send("550 No\r\n")} + next << false << QByteArray() << true;
    QTest::newRow("line over 8 KiB") << QJsonArray {Expect("PWD"), Send("257 \"" + QByteArray(9000, 'x') + "\"\r\n")}
            + next << false << QByteArray()
                                     << false;
    QTest::newRow("NUL") << QJsonArray {Expect("PWD"), Send(QByteArray("257 \"/a\0b\"\r\n", 12))} + next << false
                         << QByteArray() << false;
    // About 1.4 MB of one reply: refused once it passes 64 KiB.
    QTest::newRow("huge multi-line reply")
        << QJsonArray {Expect("PWD"), Send("257-\"/x\"\r\n"), Send("257-more\r\n", 140000), Send("257 end\r\n")} + next
        << false << QByteArray() << false;
    QTest::newRow("reply never ends") << QJsonArray {Expect("PWD"), Send("257-\"/x\"\r\n"), Hang()} << false
                                      << QByteArray() << false;
}

void TestFtpHostileServer::Replies()
{
    QFETCH(QJsonArray, script);
    QFETCH(bool, ok);
    QFETCH(QByteArray, directory);
    QFETCH(bool, usableAfter);

    FtpTestServer server;
    QVERIFY(server.StartScripted(QJsonDocument(Login() + script).toJson()));
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = session.GetFtpConnection(server.Address().toLatin1(), "user", "pass");

    QElapsedTimer timer;
    timer.start();
    QByteArray strDirectory = "stale";
    QCOMPARE(connection->GetCurrentDirectory(strDirectory), ok);
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
    QTest::addColumn<bool>("usableAfter"); // a following PWD (answered "/next") works

    const QJsonArray prelude {Expect("TYPE"), Send("200 Binary\r\n"), Expect("SIZE"), Send("550 Unknown\r\n"),
        Expect("PORT"), Send("200 Port\r\n"), Expect("RETR")};
    QTest::newRow("from the server") << prelude
            + QJsonArray {Send("150 Open\r\n"), DataFrom({}, "hello"), Send("226 Done\r\n")}
                                     << true << true;
    QTest::newRow("226 before the data connection")
        << prelude + QJsonArray {Send("226 Done\r\n"), DataFrom({}, "hello")} << true << true;
    // Even with a 226 afterwards, data from a host other than the server is refused.
    QTest::newRow("from another peer") << prelude
            + QJsonArray {Send("150 Open\r\n"), DataFrom(TestNet::Address(253), "hello"), Send("226 Done\r\n")}
                                       << false << true;
    QTest::newRow("shorter than announced")
        << prelude + QJsonArray {Send("150 Opening (10 bytes)\r\n"), DataFrom({}, "hello"), Send("226 Done\r\n")}
        << false << true;
    QTest::newRow("shorter than SIZE") << QJsonArray {Expect("TYPE"), Send("200 Binary\r\n"), Expect("SIZE"),
        Send("213 10\r\n"), Expect("PORT"), Send("200 Port\r\n"), Expect("RETR"), Send("150 Open\r\n"),
        DataFrom({}, "hello"), Send("226 Done\r\n")}
                                       << false << true;
    QTest::newRow("refused") << prelude + QJsonArray {Send("550 No such file\r\n")} << false << true;
    QTest::newRow("426 after the data") << prelude
            + QJsonArray {Send("150 Open\r\n"), DataFrom({}, "hello"), Send("426 Aborted\r\n")}
                                        << false << true;
    QTest::newRow("no data connection") << prelude + QJsonArray {Send("150 Open\r\n"), Send("226 Done\r\n")} << false
                                        << true;
    // The final reply came in the same read as the 150: it must be seen without
    // waiting for the socket, and the connection stays in step.
    QTest::newRow("150 and 425 in one packet")
        << prelude + QJsonArray {Send("150 Opening\r\n425 Cannot open data connection\r\n")} << false << true;
    // A readable control connection must not keep the wait for the data connection alive.
    QTest::newRow("endless 150 replies") << prelude + QJsonArray {Flood("150 Wait\r\n", 10)} << false << false;
}

void TestFtpHostileServer::Downloads()
{
    QFETCH(QJsonArray, script);
    QFETCH(bool, ok);
    QFETCH(bool, usableAfter);

    FtpTestServer server;
    const QJsonArray next {Expect("PWD"), Send("257 \"/next\"\r\n")};
    QVERIFY(server.StartScripted(QJsonDocument(Login() + script + next).toJson()));
    QTemporaryDir local;
    const QString strLocal = local.filePath(QStringLiteral("file"));
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = session.GetFtpConnection(server.Address().toLatin1(), "user", "pass");

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(connection->GetFile("file", strLocal, true), ok);
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
