#include "ftp/FtpClientConnection.h"
#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"
#include "ftp/TransferMeter.h"
#include "support/FtpTestServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <future>
#include <netdb.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FtpTimeouts ShortTimeouts()
{
    return ShortFtpTimeouts(3000, 3000);
}

/// Reads a file by the bytes of its path: a name such as "caf\xe9" has no QString
/// form. "<unreadable>" when it cannot be read.
QByteArray Read(const QByteArray& strPath)
{
    const int fd = ::open(strPath.constData(), O_RDONLY);
    if (fd < 0)
        return "<unreadable>";
    QByteArray data;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, n);
    ::close(fd);
    return n == 0 ? data : QByteArray("<unreadable>");
}

bool Write(const QByteArray& strPath, const QByteArray& data)
{
    const int fd = ::open(strPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool bOk = ::write(fd, data.constData(), static_cast<std::size_t>(data.size())) == data.size();
    return ::close(fd) == 0 && bOk;
}

QByteArray Read(const QString& strPath)
{
    return Read(QFile::encodeName(strPath));
}

bool Write(const QString& strPath, const QByteArray& data)
{
    return Write(QFile::encodeName(strPath), data);
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

/// The IPv4 address @p strHost, port 21.
SocketAddress Ipv4Port21(const QByteArray& strHost)
{
    SocketAddress address;
    auto* pIn = reinterpret_cast<sockaddr_in*>(&address.m_storage);
    pIn->sin_family = AF_INET;
    pIn->sin_port = htons(21);
    ::inet_pton(AF_INET, strHost.constData(), &pIn->sin_addr);
    address.m_nLength = sizeof(sockaddr_in);
    return address;
}

/// A test server, a session logged in to it and a local folder.
struct Client {
    FtpTestServer server;
    QTemporaryDir local;
    InternetSession session;
    std::shared_ptr<FtpConnection> connection;

    /// Starts the server with @p serverArgs and logs in at @p strHostPrefix + its address.
    bool Start(const QStringList& serverArgs = {}, const FtpTimeouts& timeouts = ShortTimeouts(),
        const QByteArray& strHostPrefix = {})
    {
        if (!local.isValid() || !server.Start(serverArgs))
            return false;
        session.SetTimeouts(timeouts);
        connection = session.GetFtpConnection(
            strHostPrefix + server.Address().toLatin1(), server.User().toLatin1(), server.Password().toLatin1());
        return true;
    }

    FtpConnection* operator->() const { return connection.get(); }
    /// The path on the server's disk of @p strName in the folder it serves.
    QByteArray Remote(const QByteArray& strName) const { return QFile::encodeName(server.RootPath()) + '/' + strName; }
    QString Local(const char* pszName) const { return local.filePath(QString::fromLatin1(pszName)); }
};

/// What the engine tells of the files in work: how many began, and the last
/// count of bytes and size given for the latest, which never went back.
struct MeterRecorder : TransferMeter {
    void FileBegun() override
    {
        ++m_nBegun;
        m_nBytes = 0;
        m_nSize = -2; // nothing told yet
    }
    void FileMoved(std::int64_t nBytes, std::int64_t nSize) override
    {
        m_bRising = m_bRising && nBytes > m_nBytes;
        m_nBytes = nBytes;
        m_nSize = nSize;
    }

    int m_nBegun = 0;
    std::int64_t m_nBytes = 0;
    std::int64_t m_nSize = -2;
    bool m_bRising = true;
};

/// The port of the last PORT command in the server's command log; 0 when there is none.
int LastDataPort(const QString& strLog)
{
    int nPort = 0;
    for (const QByteArray& strLine : Read(strLog).split('\n')) {
        const QList<QByteArray> fields = strLine.mid(5).split(',');
        if (strLine.startsWith("PORT ") && fields.size() == 6)
            nPort = fields[4].toInt() * 256 + fields[5].toInt();
    }
    return nPort;
}

/// Every entry of the current directory, in order: a folder's name ends in
/// '/', a link's in '@'. @p bFound says whether there was any.
QList<QByteArray> FindAll(FtpConnection& connection, bool& bFound)
{
    QList<QByteArray> names;
    std::vector<FtpEntry> entries;
    connection.ReadDirectory(entries);
    for (const FtpEntry& entry : entries)
        names << entry.m_strName + (entry.m_bDirectory ? "/" : entry.m_bLink ? "@" : "");
    bFound = !names.isEmpty();
    return names;
}

} // namespace

class TestFtpSession : public QObject {
    Q_OBJECT

private slots:
    void LoginFailures_data();
    void LoginFailures();
    void EachAddressGetsItsOwnAttempt();
    void BusyServerIsTriedAgain();
    void DirectoryOperations();
    void RoundTrip_data();
    void RoundTrip();
    void UploadGivesItsPortBack();
    void DownloadNeverOverwrites();
    void FailedTransfersLeaveNothingBehind_data();
    void FailedTransfersLeaveNothingBehind();
    void UnreadableLocalFileSendsNothing();
    void Listing_data();
    void Listing();
    void LargeListing();
    void AbortFromAnotherThread();
    void StalledTransferTimesOut();
};

void TestFtpSession::LoginFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<unsigned>("error");
    QTest::addColumn<QString>("cause"); // what the user is told why, in part

    QTest::newRow("wrong password") << QStringLiteral("wrong password") << unsigned(FTP_ERROR_INCORRECT_PASSWORD)
                                    << QStringLiteral("530 Authentication failed.");
    QTest::newRow("every login refused") << QStringLiteral("--refuse-password")
                                         << unsigned(FTP_ERROR_INCORRECT_PASSWORD)
                                         << QStringLiteral("530 Login refused.");
    QTest::newRow("nothing listening") << QStringLiteral("nothing listening") << unsigned(FTP_ERROR_CANNOT_CONNECT)
                                       << QStringLiteral("Connection refused");
    QTest::newRow("silent server") << QStringLiteral("--silent") << unsigned(FTP_ERROR_TIMEOUT)
                                   << QStringLiteral("The server did not greet within 1 s.");
    // A name with an empty label is refused by the resolver itself: glibc cannot
    // encode it into a DNS query, so it fails after reading /etc/hosts without
    // opening any UDP or TCP socket (checked with strace). Nothing leaves the machine.
    QTest::newRow("unresolvable name") << QStringLiteral("no..such..host") << unsigned(FTP_ERROR_NAME_NOT_RESOLVED)
                                       << QString::fromLocal8Bit(gai_strerror(EAI_NONAME));
    QTest::newRow("CR LF in password") << QStringLiteral("CRLF") << unsigned(FTP_ERROR_INVALID_ARGUMENT)
                                       << QStringLiteral("line break");
    QTest::newRow("NUL in user") << QStringLiteral("NUL") << unsigned(FTP_ERROR_INVALID_ARGUMENT)
                                 << QStringLiteral("NUL");
}

void TestFtpSession::LoginFailures()
{
    QFETCH(QString, kind);
    QFETCH(unsigned, error);
    QFETCH(QString, cause);

    InternetSession session;
    session.SetTimeouts(ShortFtpTimeouts(3000, 500));
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
    QString strCause;
    QCOMPARE(FtpLoginError(session, strHost, strUser, strPassword, &strCause), error);
    QVERIFY2(strCause.contains(cause), qPrintable(strCause));
    QVERIFY(timer.elapsed() < 2500); // bounded by the short time-outs, not the defaults

    // The right credentials work against the same normal server.
    if (kind == QLatin1String("wrong password"))
        QCOMPARE(FtpLoginError(session, strHost, strUser, server.Password().toLatin1()), 0u);
}

void TestFtpSession::EachAddressGetsItsOwnAttempt()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    // A listener whose queue is full drops every further connection request, so
    // connecting to it times out, as to an address that cannot be reached.
    const QByteArray strUnreachable = FtpTestServer::UnusedAddress().toLatin1();
    const SocketAddress unreachable = Ipv4Port21(strUnreachable);
    const int fdListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int fdQueued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto* pAddress = reinterpret_cast<const sockaddr*>(&unreachable.m_storage);
    QCOMPARE(::bind(fdListen, pAddress, unreachable.m_nLength), 0);
    QCOMPARE(::listen(fdListen, 0), 0);
    QCOMPARE(::connect(fdQueued, pAddress, unreachable.m_nLength), 0);

    FtpTimeouts timeouts = ShortTimeouts();
    timeouts.nConnectMs = 500;
    FtpClientConnection connection(timeouts);
    QElapsedTimer timer;
    timer.start();
    unsigned nError = 0;
    try {
        connection.Open({unreachable, Ipv4Port21(server.Address().toLatin1())}, server.User().toLatin1(),
            server.Password().toLatin1());
    } catch (const InternetException& e) {
        nError = e.m_dwError;
    }
    const qint64 nElapsed = timer.elapsed();
    ::close(fdQueued);
    ::close(fdListen);
    // The first address had its whole attempt, and the second still its own.
    QCOMPARE(nError, 0u);
    QVERIFY(connection.IsUsable());
    QVERIFY2(nElapsed >= 450 && nElapsed < 2500, qPrintable(QString::number(nElapsed)));
}

void TestFtpSession::BusyServerIsTriedAgain()
{
    // One connection per address: while the first is open, the server greets a
    // second with 421. Once the first has gone, the second gets in.
    Client ftp;
    QVERIFY(ftp.Start({QStringLiteral("--max-cons-per-ip"), QStringLiteral("1")}));
    auto closing = std::async(std::launch::async, [&] {
        QThread::msleep(300);
        ftp->Close();
    });
    QCOMPARE(FtpLoginError(ftp.session, ftp.server.Address().toLatin1(), ftp.server.User().toLatin1(),
                 ftp.server.Password().toLatin1()),
        0u);
    closing.wait();
}

void TestFtpSession::DirectoryOperations()
{
    Client ftp;
    QVERIFY(ftp.Start({QStringLiteral("--refuse"), QStringLiteral("CWD"), QStringLiteral("locked")}));
    QVERIFY(QDir(ftp.server.RootPath()).mkpath(QStringLiteral("locked")));
    QVERIFY(Write(ftp.Remote("gone.txt"), "x"));

    QByteArray strDirectory;
    QVERIFY(ftp->GetCurrentDirectory(strDirectory));
    QCOMPARE(strDirectory, QByteArray("/"));

    QVERIFY(ftp->CreateDirectory("new \"dir\""));
    QVERIFY(Exists(ftp.Remote("new \"dir\"")));
    QVERIFY(!ftp->CreateDirectory("new \"dir\"")); // exists already
    QVERIFY(ftp->SetCurrentDirectory("new \"dir\""));
    QVERIFY(ftp->GetCurrentDirectory(strDirectory));
    QCOMPARE(strDirectory, QByteArray("/new \"dir\""));
    QVERIFY(ftp->SetCurrentDirectory("/"));

    QVERIFY(!ftp->SetCurrentDirectory("missing"));
    QVERIFY(!ftp->SetCurrentDirectory("locked"));
    QVERIFY(ftp->GetCurrentDirectory(strDirectory));
    QCOMPARE(strDirectory, QByteArray("/"));

    // Arguments that would smuggle a second command are refused before sending,
    // and the connection stays in step.
    QVERIFY(!ftp->CreateDirectory("a\r\nDELE gone.txt"));
    QVERIFY(!ftp->Remove(QByteArray("gone.txt\0x", 10)));
    QVERIFY(!ftp->SetCurrentDirectory("new \"dir\"\n"));
    QVERIFY(Exists(ftp.Remote("gone.txt")));
    QVERIFY(!Exists(ftp.Remote("a")));
    QVERIFY(ftp->GetCurrentDirectory(strDirectory));

    QVERIFY(ftp->Remove("gone.txt"));
    QVERIFY(!Exists(ftp.Remote("gone.txt")));
    QVERIFY(!ftp->Remove("gone.txt"));
    QVERIFY(ftp->RemoveDirectory("new \"dir\""));
    QVERIFY(!Exists(ftp.Remote("new \"dir\"")));
    QVERIFY(!ftp->RemoveDirectory("new \"dir\""));
    ftp->Close();
    QVERIFY(!ftp->GetCurrentDirectory(strDirectory)); // closed connections fail
}

void TestFtpSession::RoundTrip_data()
{
    QTest::addColumn<QByteArray>("remoteName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("serverArgs");
    QTest::addColumn<QByteArray>("hostPrefix"); // put before the server's IPv4 address

    QTest::newRow("empty") << QByteArray("empty.bin") << QByteArray() << QStringList() << QByteArray();
    QTest::newRow("3 MB of every byte value")
        << QByteArray("every byte.bin") << EveryByteValue(3 * 1024 * 1024 + 17) << QStringList() << QByteArray();
    QTest::newRow("non-UTF-8 name") << QByteArray("caf\xe9 \xff.txt") << QByteArray("caf\xe9\r\n\n\r") << QStringList()
                                    << QByteArray();
    QTest::newRow("server without SIZE") << QByteArray("plain.bin") << EveryByteValue(200000)
                                         << QStringList {QStringLiteral("--no-size")} << QByteArray();
    // An IPv6 socket to an IPv4 server: the data address must go out as PORT, since
    // the server cannot answer an IPv6 EPRT on an IPv4 connection.
    QTest::newRow("IPv4-mapped IPv6 address")
        << QByteArray("mapped.bin") << EveryByteValue(1000) << QStringList() << QByteArray("::ffff:");
    // Logged in to again, one command at a time, after the login sent ahead was cut off.
    QTest::newRow("server that closes on commands sent ahead")
        << QByteArray("lockstep.bin") << EveryByteValue(70000) << QStringList {QStringLiteral("--close-on-pipelining")}
        << QByteArray();
}

void TestFtpSession::RoundTrip()
{
    QFETCH(QByteArray, remoteName);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, serverArgs);
    QFETCH(QByteArray, hostPrefix);

    Client ftp;
    QVERIFY(ftp.Start(serverArgs, ShortTimeouts(), hostPrefix));
    QVERIFY(Write(ftp.Local("upload"), content));
    // Each file's progress is told as its bytes move, up to its size (a
    // download's as the server gives it; nothing is told of an empty file).
    MeterRecorder meter;
    ftp->SetTransferMeter(&meter);
    const std::int64_t nMoved = content.size();
    const std::int64_t nTold = content.isEmpty() ? -2 : content.size();

    QVERIFY(ftp->PutFile(QFile::encodeName(ftp.Local("upload")), remoteName));
    QVERIFY(Read(ftp.Remote(remoteName)) == content);
    QCOMPARE(meter.m_nBegun, 1);
    QCOMPARE(meter.m_nBytes, nMoved);
    QCOMPARE(meter.m_nSize, nTold);
    QVERIFY(ftp->GetFile(remoteName, QFile::encodeName(ftp.Local("download")), true));
    QVERIFY(Read(ftp.Local("download")) == content);
    QCOMPARE(meter.m_nBegun, 2);
    QCOMPARE(meter.m_nBytes, nMoved);
    QCOMPARE(meter.m_nSize, serverArgs.contains(QStringLiteral("--no-size")) ? -1 : nTold);
    QVERIFY(meter.m_bRising);
    ftp->SetTransferMeter(nullptr);

    // The entry is listed under the very same bytes.
    std::vector<FtpEntry> entries;
    QVERIFY(ftp->ReadDirectory(entries));
    QCOMPARE(entries.size(), std::size_t(1));
    QCOMPARE(entries[0].m_strName, remoteName);
}

void TestFtpSession::UploadGivesItsPortBack()
{
    // An upload's data connection leaves a TIME_WAIT entry on its port here.
    // Once the port has rested, a later transfer listens on it again instead of
    // adding one such entry per file.
    Client ftp;
    QVERIFY(ftp.Start({QStringLiteral("--log-commands"), ftp.Local("commands.log")}));
    QVERIFY(Write(ftp.Local("upload"), "content"));
    QVERIFY(ftp->PutFile(QFile::encodeName(ftp.Local("upload")), "up.txt"));
    const int nUploadPort = LastDataPort(ftp.Local("commands.log"));
    QVERIFY(nUploadPort != 0);
    std::vector<FtpEntry> entries;
    QVERIFY(ftp->ReadDirectory(entries));
    QVERIFY(LastDataPort(ftp.Local("commands.log")) != nUploadPort);
    // A bounded wait for the rest: each try is a listing, which takes the port once it is back.
    bool bReused = false;
    for (QDeadlineTimer deadline(10000); !bReused && !deadline.hasExpired();) {
        QVERIFY(ftp->ReadDirectory(entries));
        bReused = LastDataPort(ftp.Local("commands.log")) == nUploadPort;
        if (!bReused)
            QTest::qWait(50);
    }
    QVERIFY(bReused);
    QCOMPARE(entries.size(), std::size_t(1));
}

void TestFtpSession::DownloadNeverOverwrites()
{
    Client ftp;
    QVERIFY(ftp.Start());
    QVERIFY(Write(ftp.Remote("remote.txt"), "new content"));
    const QString strExisting = ftp.Local("existing.txt");
    QVERIFY(Write(strExisting, "keep me"));

    QVERIFY(!ftp->GetFile("remote.txt", QFile::encodeName(strExisting), true));
    QCOMPARE(Read(strExisting), QByteArray("keep me"));
    // A failed download into a name that exists must not remove the file either.
    QVERIFY(!ftp->GetFile("missing.txt", QFile::encodeName(strExisting), true));
    QCOMPARE(Read(strExisting), QByteArray("keep me"));

    // Without fail-if-exists the file is replaced.
    QVERIFY(ftp->GetFile("remote.txt", QFile::encodeName(strExisting), false));
    QCOMPARE(Read(strExisting), QByteArray("new content"));
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
    // The transfer itself looks complete; only SIZE tells that a byte is missing.
    QTest::newRow("upload stored short") << QStringLiteral("--store-short") << true;
}

void TestFtpSession::FailedTransfersLeaveNothingBehind()
{
    QFETCH(QString, fault);
    QFETCH(bool, upload);

    Client ftp;
    QVERIFY(ftp.Start({fault, QStringLiteral("big.bin")}));
    const QByteArray content = EveryByteValue(4 * 1024 * 1024);
    const QString strLocal = ftp.Local("big.bin");
    QElapsedTimer timer;
    if (upload) {
        QVERIFY(Write(strLocal, content));
        timer.start();
        QVERIFY(!ftp->PutFile(QFile::encodeName(strLocal), "big.bin"));
        QVERIFY(Read(ftp.Remote("big.bin")).size() < content.size()); // absent or cut short
    } else {
        QVERIFY(Write(ftp.Remote("big.bin"), content));
        timer.start();
        QVERIFY(!ftp->GetFile("big.bin", QFile::encodeName(strLocal), true));
        QVERIFY(!QFile::exists(strLocal));
    }
    // A refusal leaves the connection in step; other files still transfer.
    if (fault.startsWith(QLatin1String("--refuse"))) {
        // It ends when the server says so, even with the data connection open
        // already (this server opens it on PORT), not when the data times out.
        QVERIFY2(timer.elapsed() < ShortTimeouts().nDataMs / 2, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(Write(ftp.Local("other"), "other"));
        QVERIFY(ftp->PutFile(QFile::encodeName(ftp.Local("other")), "other.bin"));
        QVERIFY(ftp->GetFile("other.bin", QFile::encodeName(ftp.Local("other copy")), true));
        QCOMPARE(Read(ftp.Local("other copy")), QByteArray("other"));
    }
}

void TestFtpSession::UnreadableLocalFileSendsNothing()
{
    Client ftp;
    QVERIFY(ftp.Start());

    QVERIFY(!ftp->PutFile(QFile::encodeName(ftp.Local("missing")), "missing"));
    QVERIFY(!ftp->PutFile(QFile::encodeName(ftp.local.path()), "a folder"));
    QVERIFY(!Exists(ftp.Remote("missing")));
    QVERIFY(!Exists(ftp.Remote("a folder")));
}

void TestFtpSession::Listing_data()
{
    QTest::addColumn<QStringList>("serverArgs");
    QTest::addColumn<bool>("dots");
    QTest::addColumn<QByteArray>("link"); // how the link to a folder is listed

    // MLSD and the DOS format follow the link; a Unix line shows it as a link.
    QTest::newRow("MLSD") << QStringList() << false << QByteArray("link/");
    QTest::newRow("LIST unix") << QStringList {QStringLiteral("--no-mlsd")} << false << QByteArray("link@");
    QTest::newRow("LIST unix with dots") << QStringList {QStringLiteral("--no-mlsd"), QStringLiteral("--list-dots")}
                                         << true << QByteArray("link@");
    QTest::newRow("LIST dos") << QStringList {QStringLiteral("--no-mlsd"), QStringLiteral("--dos-list")} << false
                              << QByteArray("link/");
}

void TestFtpSession::Listing()
{
    QFETCH(QStringList, serverArgs);
    QFETCH(bool, dots);
    QFETCH(QByteArray, link);

    Client ftp;
    QVERIFY(ftp.Start(serverArgs));
    QVERIFY(Write(ftp.Remote("file one.txt"), "1"));
    QVERIFY(Write(ftp.Remote("caf\xe9"), "2"));
    QVERIFY(::mkdir(ftp.Remote("dir two").constData(), 0755) == 0);
    // A link to a folder: what it leads to is found out when it is used.
    QVERIFY(::symlink("dir two", ftp.Remote("link").constData()) == 0);

    bool bFound = false;
    QList<QByteArray> names = FindAll(*ftp.connection, bFound);
    QVERIFY(bFound);
    std::sort(names.begin(), names.end());
    QList<QByteArray> expected {"caf\xe9", "dir two/", "file one.txt", link};
    if (dots)
        expected = QList<QByteArray> {"../", "./"} + expected;
    QCOMPARE(names, expected);

    // Into the folder and back: an empty folder finds nothing.
    QVERIFY(ftp->SetCurrentDirectory("dir two"));
    names = FindAll(*ftp.connection, bFound);
    if (dots) {
        QCOMPARE(names, (QList<QByteArray> {"./", "../"}));
    } else {
        QVERIFY(!bFound);
        QVERIFY(names.isEmpty());
    }
}

void TestFtpSession::LargeListing()
{
    Client ftp;
    QVERIFY(ftp.Start({QStringLiteral("--no-mlsd")}));
    for (int i = 0; i < 10000; ++i)
        QVERIFY(Write(ftp.Remote("entry " + QByteArray::number(i)), {}));

    std::vector<FtpEntry> entries;
    QVERIFY(ftp->ReadDirectory(entries));
    QCOMPARE(entries.size(), std::size_t(10000));
    std::set<QByteArray> names;
    for (const FtpEntry& entry : entries)
        names.insert(entry.m_strName);
    QCOMPARE(names.size(), std::size_t(10000));
    QVERIFY(names.count("entry 9999") == 1);
}

void TestFtpSession::AbortFromAnotherThread()
{
    // Default time-outs of tens of seconds: only the abort can end these calls quickly.
    Client ftp;
    QVERIFY(ftp.Start({QStringLiteral("--stall-transfer"), QStringLiteral("stalled.bin")}, FtpTimeouts()));
    QVERIFY(Write(ftp.Remote("stalled.bin"), EveryByteValue(100000)));
    FtpTestServer silent;
    QVERIFY(silent.Start({QStringLiteral("--silent")}));
    const QString strLocal = ftp.Local("stalled.bin");

    std::promise<void> started;
    auto download = std::async(std::launch::async, [&] {
        started.set_value();
        return ftp->GetFile("stalled.bin", QFile::encodeName(strLocal), true);
    });
    auto login = std::async(
        std::launch::async, [&] { return FtpLoginError(ftp.session, silent.Address().toLatin1(), "u", "p"); });
    started.get_future().wait();
    QTest::qWait(300); // let both calls reach their waits

    QElapsedTimer timer;
    timer.start();
    ftp.session.Close();
    QVERIFY(download.wait_for(std::chrono::seconds(3)) == std::future_status::ready);
    QVERIFY(login.wait_for(std::chrono::seconds(3)) == std::future_status::ready);
    QVERIFY(timer.elapsed() < 3000);
    QVERIFY(!download.get());
    QCOMPARE(login.get(), unsigned(FTP_ERROR_ABORTED));
    QVERIFY(!QFile::exists(strLocal));

    // Later calls fail at once, and the session opens no new connection.
    QByteArray strDirectory;
    QVERIFY(!ftp->GetCurrentDirectory(strDirectory));
    QCOMPARE(FtpLoginError(ftp.session, ftp.server.Address().toLatin1(), ftp.server.User().toLatin1(),
                 ftp.server.Password().toLatin1()),
        unsigned(FTP_ERROR_ABORTED));
}

void TestFtpSession::StalledTransferTimesOut()
{
    FtpTimeouts timeouts = ShortTimeouts();
    timeouts.nDataMs = timeouts.nReplyMs = 300;
    Client ftp;
    QVERIFY(ftp.Start({QStringLiteral("--stall-transfer"), QStringLiteral("stalled.bin")}, timeouts));
    QVERIFY(Write(ftp.Remote("stalled.bin"), EveryByteValue(100000)));

    QElapsedTimer timer;
    timer.start();
    QVERIFY(!ftp->GetFile("stalled.bin", QFile::encodeName(ftp.Local("s")), true));
    QVERIFY(!QFile::exists(ftp.Local("s")));
    QVERIFY(!ftp->PutFile(QFile::encodeName(ftp.Local("s")), "x")); // nothing to send
    QVERIFY(timer.elapsed() < 2500);
}

QTEST_GUILESS_MAIN(TestFtpSession)
#include "TestFtpSession.moc"
