#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"
#include "support/FtpTestServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <future>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FtpTimeouts ShortTimeouts()
{
    FtpTimeouts timeouts;
    timeouts.nConnectMs = 3000;
    timeouts.nReplyMs = 3000;
    timeouts.nAcceptMs = 3000;
    timeouts.nDataMs = 3000;
    return timeouts;
}

/// The error code GetFtpConnection throws, 0 when it succeeds.
unsigned LoginError(
    InternetSession& session, const QByteArray& strHost, const QByteArray& strUser, const QByteArray& strPassword)
{
    try {
        session.GetFtpConnection(strHost, strUser, strPassword)->Close();
        return 0;
    } catch (const InternetException& e) {
        return e.m_dwError;
    }
}

std::shared_ptr<FtpConnection> Connect(InternetSession& session, const FtpTestServer& server)
{
    return session.GetFtpConnection(
        server.Address().toLatin1(), server.User().toLatin1(), server.Password().toLatin1());
}

/// Paths on the server's disk are bytes: a name such as "caf\xe9" has no QString form.
QByteArray RawPath(const FtpTestServer& server, const QByteArray& strName)
{
    return QFile::encodeName(server.RootPath()) + '/' + strName;
}

bool WriteRaw(const QByteArray& strPath, const QByteArray& data)
{
    const int fd = ::open(strPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool bOk = ::write(fd, data.constData(), static_cast<std::size_t>(data.size())) == data.size();
    return ::close(fd) == 0 && bOk;
}

bool ReadRaw(const QByteArray& strPath, QByteArray& data)
{
    data.clear();
    const int fd = ::open(strPath.constData(), O_RDONLY);
    if (fd < 0)
        return false;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, n);
    ::close(fd);
    return n == 0;
}

bool Exists(const QByteArray& strPath)
{
    struct stat st;
    return ::lstat(strPath.constData(), &st) == 0;
}

QByteArray EveryByteValue(qsizetype nSize)
{
    QByteArray data(nSize, Qt::Uninitialized);
    for (qsizetype i = 0; i < nSize; ++i)
        data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return data;
}

QByteArray ReadLocal(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool WriteLocal(const QString& strPath, const QByteArray& data)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

/// Every entry FtpFileFind reports, in order, using the loop the window uses.
QList<QByteArray> FindAll(FtpConnection& connection, const QByteArray& strPattern, bool& bFound)
{
    QList<QByteArray> names;
    FtpFileFind find(connection);
    bFound = find.FindFile(strPattern);
    bool bMore = bFound;
    for (int nGuard = 0; bMore && nGuard < 100000; ++nGuard) {
        bMore = find.FindNextFile();
        names << find.GetFileName() + (find.IsDirectory() ? "/" : "");
    }
    return names;
}

} // namespace

class TestFtpSession : public QObject {
    Q_OBJECT

private slots:
    void LoginFailures_data();
    void LoginFailures();
    void DirectoryOperations();
    void RoundTrip_data();
    void RoundTrip();
    void DownloadNeverOverwrites();
    void FailedTransfersLeaveNothingBehind_data();
    void FailedTransfersLeaveNothingBehind();
    void UnreadableLocalFileSendsNothing();
    void Listing_data();
    void Listing();
    void FindFileContract();
    void LargeListing();
    void AbortFromAnotherThread();
    void StalledTransferTimesOut();
};

void TestFtpSession::LoginFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<unsigned>("error");

    QTest::newRow("wrong password") << QStringLiteral("wrong password") << unsigned(FTP_ERROR_INCORRECT_PASSWORD);
    QTest::newRow("every login refused") << QStringLiteral("--refuse-password")
                                         << unsigned(FTP_ERROR_INCORRECT_PASSWORD);
    QTest::newRow("nothing listening") << QStringLiteral("nothing listening") << unsigned(FTP_ERROR_CANNOT_CONNECT);
    QTest::newRow("silent server") << QStringLiteral("--silent") << unsigned(FTP_ERROR_TIMEOUT);
    // A name with an empty label is refused by the resolver itself: glibc cannot
    // encode it into a DNS query, so it fails after reading /etc/hosts without
    // opening any UDP or TCP socket (checked with strace). Nothing leaves the machine.
    QTest::newRow("unresolvable name") << QStringLiteral("no..such..host") << unsigned(FTP_ERROR_NAME_NOT_RESOLVED);
    QTest::newRow("CR LF in password") << QStringLiteral("CRLF") << unsigned(FTP_ERROR_INVALID_ARGUMENT);
    QTest::newRow("NUL in user") << QStringLiteral("NUL") << unsigned(FTP_ERROR_INVALID_ARGUMENT);
}

void TestFtpSession::LoginFailures()
{
    QFETCH(QString, kind);
    QFETCH(unsigned, error);

    InternetSession session;
    FtpTimeouts timeouts = ShortTimeouts();
    timeouts.nReplyMs = 500;
    session.SetTimeouts(timeouts);
    FtpTestServer server;
    QByteArray strHost = server.Address().toLatin1();
    QByteArray strUser = server.User().toLatin1();
    QByteArray strPassword = server.Password().toLatin1();
    if (kind.startsWith(QLatin1String("--")))
        QVERIFY(server.Start({kind}));
    else if (kind != QLatin1String("nothing listening"))
        QVERIFY(server.Start());
    if (kind == QLatin1String("wrong password"))
        strPassword = "wrong";
    else if (kind == QLatin1String("no..such..host"))
        strHost = kind.toLatin1();
    else if (kind == QLatin1String("CRLF"))
        strPassword += "\r\nDELE x";
    else if (kind == QLatin1String("NUL"))
        strUser = QByteArray("tes\0ter", 7);

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(LoginError(session, strHost, strUser, strPassword), error);
    QVERIFY(timer.elapsed() < 2500); // bounded by the short time-outs, not the defaults

    // The right credentials work against the same normal server.
    if (kind == QLatin1String("wrong password"))
        QCOMPARE(LoginError(session, strHost, strUser, server.Password().toLatin1()), 0u);
}

void TestFtpSession::DirectoryOperations()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--refuse"), QStringLiteral("CWD"), QStringLiteral("locked")}));
    QVERIFY(QDir(server.RootPath()).mkpath(QStringLiteral("locked")));
    QVERIFY(WriteRaw(RawPath(server, "gone.txt"), "x"));
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = Connect(session, server);

    QByteArray strDirectory;
    QVERIFY(connection->GetCurrentDirectory(strDirectory));
    QCOMPARE(strDirectory, QByteArray("/"));

    QVERIFY(connection->CreateDirectory("new \"dir\""));
    QVERIFY(Exists(RawPath(server, "new \"dir\"")));
    QVERIFY(!connection->CreateDirectory("new \"dir\"")); // exists already
    QVERIFY(connection->SetCurrentDirectory("new \"dir\""));
    QVERIFY(connection->GetCurrentDirectory(strDirectory));
    QCOMPARE(strDirectory, QByteArray("/new \"dir\""));
    QVERIFY(connection->SetCurrentDirectory("/"));

    QVERIFY(!connection->SetCurrentDirectory("missing"));
    QVERIFY(!connection->SetCurrentDirectory("locked"));
    QVERIFY(connection->GetCurrentDirectory(strDirectory));
    QCOMPARE(strDirectory, QByteArray("/"));

    // Arguments that would smuggle a second command are refused before sending,
    // and the connection stays in step.
    QVERIFY(!connection->CreateDirectory("a\r\nDELE gone.txt"));
    QVERIFY(!connection->Remove(QByteArray("gone.txt\0x", 10)));
    QVERIFY(!connection->SetCurrentDirectory("new \"dir\"\n"));
    QVERIFY(Exists(RawPath(server, "gone.txt")));
    QVERIFY(!Exists(RawPath(server, "a")));
    QVERIFY(connection->GetCurrentDirectory(strDirectory));

    QVERIFY(connection->Remove("gone.txt"));
    QVERIFY(!Exists(RawPath(server, "gone.txt")));
    QVERIFY(!connection->Remove("gone.txt"));
    QVERIFY(connection->RemoveDirectory("new \"dir\""));
    QVERIFY(!Exists(RawPath(server, "new \"dir\"")));
    QVERIFY(!connection->RemoveDirectory("new \"dir\""));
    connection->Close();
    QVERIFY(!connection->GetCurrentDirectory(strDirectory)); // closed connections fail
}

void TestFtpSession::RoundTrip_data()
{
    QTest::addColumn<QByteArray>("remoteName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("serverArgs");
    QTest::addColumn<QByteArray>("hostPrefix"); // put before the server's IPv4 address

    QTest::newRow("empty") << QByteArray("empty.bin") << QByteArray() << QString() << QByteArray();
    QTest::newRow("3 MB of every byte value")
        << QByteArray("every byte.bin") << EveryByteValue(3 * 1024 * 1024 + 17) << QString() << QByteArray();
    QTest::newRow("non-UTF-8 name") << QByteArray("caf\xe9 \xff.txt") << QByteArray("caf\xe9\r\n\n\r") << QString()
                                    << QByteArray();
    QTest::newRow("server without SIZE") << QByteArray("plain.bin") << EveryByteValue(200000)
                                         << QStringLiteral("--no-size") << QByteArray();
    // An IPv6 socket to an IPv4 server: the data address must go out as PORT, since
    // the server cannot answer an IPv6 EPRT on an IPv4 connection.
    QTest::newRow("IPv4-mapped IPv6 address")
        << QByteArray("mapped.bin") << EveryByteValue(1000) << QString() << QByteArray("::ffff:");
}

void TestFtpSession::RoundTrip()
{
    QFETCH(QByteArray, remoteName);
    QFETCH(QByteArray, content);
    QFETCH(QString, serverArgs);
    QFETCH(QByteArray, hostPrefix);

    FtpTestServer server;
    QVERIFY(server.Start(serverArgs.isEmpty() ? QStringList() : QStringList {serverArgs}));
    QTemporaryDir local;
    const QString strUpload = local.filePath(QStringLiteral("upload"));
    const QString strDownload = local.filePath(QStringLiteral("download"));
    QVERIFY(WriteLocal(strUpload, content));
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = session.GetFtpConnection(
        hostPrefix + server.Address().toLatin1(), server.User().toLatin1(), server.Password().toLatin1());

    QVERIFY(connection->PutFile(strUpload, remoteName));
    QByteArray onServer;
    QVERIFY(ReadRaw(RawPath(server, remoteName), onServer));
    QVERIFY(onServer == content);

    QVERIFY(connection->GetFile(remoteName, strDownload, true));
    QVERIFY(ReadLocal(strDownload) == content);

    // The entry is listed under the very same bytes.
    std::vector<FtpEntry> entries;
    QVERIFY(connection->ReadDirectory(entries));
    QCOMPARE(entries.size(), std::size_t(1));
    QCOMPARE(entries[0].m_strName, remoteName);
}

void TestFtpSession::DownloadNeverOverwrites()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteRaw(RawPath(server, "remote.txt"), "new content"));
    QTemporaryDir local;
    const QString strExisting = local.filePath(QStringLiteral("existing.txt"));
    QVERIFY(WriteLocal(strExisting, "keep me"));
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = Connect(session, server);

    QVERIFY(!connection->GetFile("remote.txt", strExisting, true));
    QCOMPARE(ReadLocal(strExisting), QByteArray("keep me"));
    // A failed download into a name that exists must not remove the file either.
    QVERIFY(!connection->GetFile("missing.txt", strExisting, true));
    QCOMPARE(ReadLocal(strExisting), QByteArray("keep me"));

    // Without fail-if-exists the file is replaced.
    QVERIFY(connection->GetFile("remote.txt", strExisting, false));
    QCOMPARE(ReadLocal(strExisting), QByteArray("new content"));
}

void TestFtpSession::FailedTransfersLeaveNothingBehind_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("upload");

    QTest::newRow("RETR refused") << QStringLiteral("--refuse-retr") << false;
    QTest::newRow("STOR refused") << QStringLiteral("--refuse-stor") << true;
    QTest::newRow("control dropped in download") << QStringLiteral("--drop-control-during-transfer") << false;
    QTest::newRow("data dropped in download") << QStringLiteral("--drop-data-during-transfer") << false;
    QTest::newRow("control dropped in upload") << QStringLiteral("--drop-control-during-transfer") << true;
    QTest::newRow("data dropped in upload") << QStringLiteral("--drop-data-during-transfer") << true;
}

void TestFtpSession::FailedTransfersLeaveNothingBehind()
{
    QFETCH(QString, fault);
    QFETCH(bool, upload);

    FtpTestServer server;
    QVERIFY(server.Start({fault, QStringLiteral("big.bin")}));
    const QByteArray content = EveryByteValue(4 * 1024 * 1024);
    QTemporaryDir local;
    const QString strLocal = local.filePath(QStringLiteral("big.bin"));
    if (upload)
        QVERIFY(WriteLocal(strLocal, content));
    else
        QVERIFY(WriteRaw(RawPath(server, "big.bin"), content));
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = Connect(session, server);

    if (upload) {
        QVERIFY(!connection->PutFile(strLocal, "big.bin"));
        QByteArray onServer;
        if (ReadRaw(RawPath(server, "big.bin"), onServer))
            QVERIFY(onServer.size() < content.size());
    } else {
        QVERIFY(!connection->GetFile("big.bin", strLocal, true));
        QVERIFY(!QFile::exists(strLocal));
    }
    // A refusal leaves the connection in step; other files still transfer.
    if (fault.startsWith(QLatin1String("--refuse"))) {
        QVERIFY(WriteLocal(local.filePath(QStringLiteral("other")), "other"));
        QVERIFY(connection->PutFile(local.filePath(QStringLiteral("other")), "other.bin"));
        QVERIFY(connection->GetFile("other.bin", local.filePath(QStringLiteral("other copy")), true));
        QCOMPARE(ReadLocal(local.filePath(QStringLiteral("other copy"))), QByteArray("other"));
    }
}

void TestFtpSession::UnreadableLocalFileSendsNothing()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = Connect(session, server);

    QVERIFY(!connection->PutFile(local.filePath(QStringLiteral("missing")), "missing"));
    QVERIFY(!connection->PutFile(local.path(), "a folder"));
    QVERIFY(!Exists(RawPath(server, "missing")));
    QVERIFY(!Exists(RawPath(server, "a folder")));
}

void TestFtpSession::Listing_data()
{
    QTest::addColumn<QStringList>("serverArgs");
    QTest::addColumn<bool>("dots");

    QTest::newRow("MLSD") << QStringList() << false;
    QTest::newRow("LIST unix") << QStringList {QStringLiteral("--no-mlsd")} << false;
    QTest::newRow("LIST unix with dots") << QStringList {QStringLiteral("--no-mlsd"), QStringLiteral("--list-dots")}
                                         << true;
    QTest::newRow("LIST dos") << QStringList {QStringLiteral("--no-mlsd"), QStringLiteral("--dos-list")} << false;
}

void TestFtpSession::Listing()
{
    QFETCH(QStringList, serverArgs);
    QFETCH(bool, dots);

    FtpTestServer server;
    QVERIFY(server.Start(serverArgs));
    QVERIFY(WriteRaw(RawPath(server, "file one.txt"), "1"));
    QVERIFY(WriteRaw(RawPath(server, "caf\xe9"), "2"));
    QVERIFY(::mkdir(RawPath(server, "dir two").constData(), 0755) == 0);
    // A link to a folder must be enterable, so it is listed as a folder.
    QVERIFY(::symlink("dir two", RawPath(server, "link").constData()) == 0);
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = Connect(session, server);

    bool bFound = false;
    QList<QByteArray> names = FindAll(*connection, {}, bFound);
    QVERIFY(bFound);
    std::sort(names.begin(), names.end());
    QList<QByteArray> expected {"caf\xe9", "dir two/", "file one.txt", "link/"};
    if (dots)
        expected = QList<QByteArray> {"../", "./"} + expected;
    QCOMPARE(names, expected);

    // Into the folder and back: an empty folder finds nothing.
    QVERIFY(connection->SetCurrentDirectory("dir two"));
    names = FindAll(*connection, {}, bFound);
    if (dots) {
        QCOMPARE(names, (QList<QByteArray> {"./", "../"}));
    } else {
        QVERIFY(!bFound);
        QVERIFY(names.isEmpty());
    }
}

void TestFtpSession::FindFileContract()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    for (const char* pName : {"report-1", "report-2", "report 3", "other"})
        QVERIFY(WriteRaw(RawPath(server, pName), pName));
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = Connect(session, server);

    // The pattern is matched on our side; the last entry is seen exactly once.
    bool bFound = false;
    QList<QByteArray> names = FindAll(*connection, "report*", bFound);
    QVERIFY(bFound);
    std::sort(names.begin(), names.end());
    QCOMPARE(names, (QList<QByteArray> {"report 3", "report-1", "report-2"}));
    QCOMPARE(FindAll(*connection, "other", bFound), QList<QByteArray> {"other"});
    QVERIFY(FindAll(*connection, "nothing*", bFound).isEmpty());
    QVERIFY(!bFound);

    // Before FindNextFile no entry is current; past the end the last stays current.
    FtpFileFind find(*connection);
    QVERIFY(find.FindFile("other"));
    QVERIFY(find.GetFileName().isEmpty());
    QVERIFY(!find.FindNextFile());
    QCOMPARE(find.GetFileName(), QByteArray("other"));
    QVERIFY(!find.IsDots());
    QVERIFY(!find.FindNextFile());
    QCOMPARE(find.GetFileName(), QByteArray("other"));
}

void TestFtpSession::LargeListing()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    for (int i = 0; i < 10000; ++i)
        QVERIFY(WriteRaw(RawPath(server, "entry " + QByteArray::number(i)), {}));
    InternetSession session;
    session.SetTimeouts(ShortTimeouts());
    auto connection = Connect(session, server);

    std::vector<FtpEntry> entries;
    QVERIFY(connection->ReadDirectory(entries));
    QCOMPARE(entries.size(), std::size_t(10000));
    std::set<QByteArray> names;
    for (const FtpEntry& entry : entries)
        names.insert(entry.m_strName);
    QCOMPARE(names.size(), std::size_t(10000));
    QVERIFY(names.count("entry 9999") == 1);
}

void TestFtpSession::AbortFromAnotherThread()
{
    // Long time-outs: only the abort can end these calls quickly.
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--stall-transfer"), QStringLiteral("stalled.bin")}));
    QVERIFY(WriteRaw(RawPath(server, "stalled.bin"), EveryByteValue(100000)));
    FtpTestServer silent;
    QVERIFY(silent.Start({QStringLiteral("--silent")}));
    QTemporaryDir local;
    const QString strLocal = local.filePath(QStringLiteral("stalled.bin"));
    InternetSession session; // default time-outs: tens of seconds
    auto connection = Connect(session, server);

    std::promise<void> started;
    auto download = std::async(std::launch::async, [&] {
        started.set_value();
        return connection->GetFile("stalled.bin", strLocal, true);
    });
    auto login
        = std::async(std::launch::async, [&] { return LoginError(session, silent.Address().toLatin1(), "u", "p"); });
    started.get_future().wait();
    QTest::qWait(300); // let both calls reach their waits

    QElapsedTimer timer;
    timer.start();
    session.Close();
    QVERIFY(download.wait_for(std::chrono::seconds(3)) == std::future_status::ready);
    QVERIFY(login.wait_for(std::chrono::seconds(3)) == std::future_status::ready);
    QVERIFY(timer.elapsed() < 3000);
    QVERIFY(!download.get());
    QCOMPARE(login.get(), unsigned(FTP_ERROR_ABORTED));
    QVERIFY(!QFile::exists(strLocal));

    // Later calls fail at once, and the session opens no new connection.
    QByteArray strDirectory;
    QVERIFY(!connection->GetCurrentDirectory(strDirectory));
    QCOMPARE(LoginError(session, server.Address().toLatin1(), server.User().toLatin1(), server.Password().toLatin1()),
        unsigned(FTP_ERROR_ABORTED));
}

void TestFtpSession::StalledTransferTimesOut()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--stall-transfer"), QStringLiteral("stalled.bin")}));
    QVERIFY(WriteRaw(RawPath(server, "stalled.bin"), EveryByteValue(100000)));
    QTemporaryDir local;
    InternetSession session;
    FtpTimeouts timeouts = ShortTimeouts();
    timeouts.nDataMs = 300;
    timeouts.nReplyMs = 300;
    session.SetTimeouts(timeouts);
    auto connection = Connect(session, server);

    QElapsedTimer timer;
    timer.start();
    QVERIFY(!connection->GetFile("stalled.bin", local.filePath(QStringLiteral("s")), true));
    QVERIFY(!QFile::exists(local.filePath(QStringLiteral("s"))));
    QVERIFY(!connection->PutFile(local.filePath(QStringLiteral("s")), "x")); // nothing to send
    QVERIFY(timer.elapsed() < 2500);
}

QTEST_GUILESS_MAIN(TestFtpSession)
#include "TestFtpSession.moc"
