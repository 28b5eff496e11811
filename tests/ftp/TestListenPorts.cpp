// The ports of the data listeners: the kernel's settings as it writes them,
// the way round the range, a port in use passed over, and a port given back
// taken again over its TIME_WAIT entry by a new connection between the same two
// ports. Real sockets on a loopback address of the test's own.

#include "ftp/ListenPorts.h"
#include "ftp/Socket.h"
#include "support/TestNet.h"

#include <QFile>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

SocketAddress Ipv4(const QString& strHost, std::uint16_t nPort)
{
    SocketAddress address;
    auto* pIn = reinterpret_cast<sockaddr_in*>(&address.m_storage);
    pIn->sin_family = AF_INET;
    pIn->sin_port = htons(nPort);
    ::inet_pton(AF_INET, strHost.toLatin1().constData(), &pIn->sin_addr);
    address.m_nLength = sizeof(sockaddr_in);
    return address;
}

/// A plain blocking socket of the test, every wait of it bounded: no
/// SO_REUSEADDR unless asked, closed with the object.
struct RawSocket {
    int m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    RawSocket()
    {
        const timeval wait {5, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    }
    ~RawSocket() { Close(); }
    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    bool Bind(const SocketAddress& address, bool bReuse = false)
    {
        const int nOne = 1;
        return (!bReuse || setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof nOne) == 0)
            && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address.m_storage), address.m_nLength) == 0;
    }
    bool Connect(const SocketAddress& address)
    {
        return ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address.m_storage), address.m_nLength) == 0;
    }
};

/// The first of @p nCount consecutive ports above 20000 that are all free on @p strHost; 0 if none.
std::uint16_t FreePorts(const QString& strHost, int nCount)
{
    for (std::uint16_t nBase = 20000; nBase < 30000; nBase += std::uint16_t(nCount)) {
        bool bFree = true;
        for (int i = 0; i < nCount && bFree; ++i)
            bFree = RawSocket().Bind(Ipv4(strHost, std::uint16_t(nBase + i)));
        if (bFree)
            return nBase;
    }
    return 0;
}

} // namespace

class TestListenPorts : public QObject {
    Q_OBJECT

private slots:
    void KernelSettings_data();
    void KernelSettings();
    void GoesRoundTheRangeSkippingReservedPorts();
    void PortInUseIsPassedOver_data();
    void PortInUseIsPassedOver();
    void PortGivenBackServesTheSamePeerAgain();
};

void TestListenPorts::KernelSettings_data()
{
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QByteArray>("reservedText");
    QTest::addColumn<QList<int>>("reserved");

    // The kernel separates the two ends of the range with a tab and ends with a newline.
    QTest::newRow("as the kernel writes it") << QByteArray("32768\t60999\n") << true << 32768 << 60999
                                             << QByteArray("8080,9000-9002\n") << QList<int> {8080, 9000, 9001, 9002};
    QTest::newRow("nothing reserved") << QByteArray("1024 65535") << true << 1024 << 65535 << QByteArray("\n")
                                      << QList<int> {};
    QTest::newRow("backwards range") << QByteArray("61000 32768") << false << 0 << 0
                                     << QByteArray("5-3,x,70000,-,0,65535") << QList<int> {65535};
    QTest::newRow("one number") << QByteArray("32768") << false << 0 << 0 << QByteArray() << QList<int> {};
    QTest::newRow("port 0") << QByteArray("0 100") << false << 0 << 0 << QByteArray() << QList<int> {};
}

void TestListenPorts::KernelSettings()
{
    QFETCH(QByteArray, range);
    QFETCH(bool, valid);
    QFETCH(QByteArray, reservedText);
    QFETCH(QList<int>, reserved);

    std::uint16_t nFirst = 0;
    std::uint16_t nLast = 0;
    QCOMPARE(ListenPorts::ParseRange(range, nFirst, nLast), valid);
    if (valid) {
        QTEST(int(nFirst), "first");
        QTEST(int(nLast), "last");
    }
    const std::vector<bool> table = ListenPorts::ParseReserved(reservedText);
    QList<int> set;
    for (std::size_t nPort = 0; nPort < table.size(); ++nPort) {
        if (table[nPort])
            set.append(int(nPort));
    }
    QCOMPARE(set, reserved);
}

void TestListenPorts::GoesRoundTheRangeSkippingReservedPorts()
{
    std::vector<bool> reserved(65536, false);
    reserved[1002] = true;
    ListenPorts ports(1000, 1004, 3, reserved);
    QCOMPARE(int(ports.Size()), 4);
    QList<int> order;
    for (int i = 0; i < 6; ++i)
        order.append(ports.Next());
    QCOMPARE(order, (QList<int> {1004, 1000, 1001, 1003, 1004, 1000}));
    QCOMPARE(ListenPorts(1000, 999, 0).Next(), std::uint16_t(0));
}

void TestListenPorts::PortInUseIsPassedOver_data()
{
    QTest::addColumn<int>("taken"); // how many of the range's first ports another listener holds
    QTest::addColumn<int>("expected"); // index of the port listened on, -1: one outside the range

    QTest::newRow("first free") << 0 << 0;
    QTest::newRow("first taken") << 1 << 1;
    QTest::newRow("all taken") << 3 << -1;
}

void TestListenPorts::PortInUseIsPassedOver()
{
    QFETCH(int, taken);
    QFETCH(int, expected);
    const QString strHost = TestNet::Address(1);
    const std::uint16_t nBase = FreePorts(strHost, 3);
    QVERIFY(nBase != 0);
    std::vector<std::unique_ptr<RawSocket>> others;
    for (int i = 0; i < taken; ++i) {
        others.push_back(std::make_unique<RawSocket>());
        QVERIFY(others.back()->Bind(Ipv4(strHost, std::uint16_t(nBase + i))));
        QCOMPARE(::listen(others.back()->m_fd, 1), 0);
    }

    ListenPorts ports(nBase, std::uint16_t(nBase + 2), 0);
    AbortSignal abort;
    Socket listener(abort);
    QCOMPARE(ports.Listen(listener, Ipv4(strHost, 21)), SocketResult::Ok);
    const int nPort = listener.LocalAddress().Port();
    if (expected >= 0)
        QCOMPARE(nPort, nBase + expected);
    else
        QVERIFY2(nPort != 0 && (nPort < nBase || nPort > nBase + 2), qPrintable(QString::number(nPort)));

    // Whichever port it is, the listener takes a connection there.
    RawSocket peer;
    QVERIFY(peer.Connect(Ipv4(strHost, std::uint16_t(nPort))));
    Socket accepted(abort);
    SocketAddress from;
    QCOMPARE(listener.Accept(accepted, from, 5000), SocketResult::Ok);
}

void TestListenPorts::PortGivenBackServesTheSamePeerAgain()
{
    QFile timestamps(QStringLiteral("/proc/sys/net/ipv4/tcp_timestamps"));
    if (timestamps.open(QIODevice::ReadOnly) && timestamps.readAll().trimmed() == "0")
        QSKIP("TCP timestamps are off on this machine: no port is given back");
    const QString strHost = TestNet::Address(2);
    const std::uint16_t nBase = FreePorts(strHost, 3);
    QVERIFY(nBase != 0);
    // Listeners go round nBase + 1 only; the peer always connects from nBase + 2,
    // as a server connects from its port 20.
    ListenPorts ports(std::uint16_t(nBase + 1), std::uint16_t(nBase + 1), 0, {}, 50);
    const SocketAddress peerAddress = Ipv4(strHost, std::uint16_t(nBase + 2));
    AbortSignal abort;

    // A listener from @p listenPorts, which must be on nBase, and the peer's
    // connection to it from nBase + 2, accepted into @p data.
    const SocketAddress first = Ipv4(strHost, nBase);
    const auto connectPeer = [&](ListenPorts& listenPorts, RawSocket& peer, Socket& data, SocketAddress& from) {
        Socket listener(abort);
        return listenPorts.Listen(listener, Ipv4(strHost, 21)) == SocketResult::Ok
            && listener.LocalAddress().Port() == nBase && peer.Bind(peerAddress, true) && peer.Connect(first)
            && listener.Accept(data, from, 5000) == SocketResult::Ok;
    };

    // First connection on nBase, which this side closes first, as after an upload.
    {
        ListenPorts firstPort(nBase, nBase, 0);
        RawSocket peer;
        Socket data(abort);
        SocketAddress from;
        QVERIFY(connectPeer(firstPort, peer, data, from));
        QCOMPARE(data.SendAll("file", 4, 5000), SocketResult::Ok);
        data.ShutdownWrite();
        char buffer[16];
        QCOMPARE(::recv(peer.m_fd, buffer, sizeof buffer, MSG_WAITALL), ssize_t(4));
        QCOMPARE(::recv(peer.m_fd, buffer, sizeof buffer, 0), ssize_t(0));
        // Until the peer has closed too, the port still carries the connection.
        QVERIFY(!data.CanReusePort());
        peer.Close();
        QTRY_VERIFY_WITH_TIMEOUT(data.CanReusePort(), 5000);
        ports.Release(first);
    }

    // Not yet rested: the next port round the range.
    {
        Socket listener(abort);
        QCOMPARE(ports.Listen(listener, Ipv4(strHost, 21)), SocketResult::Ok);
        QCOMPARE(listener.LocalAddress().Port(), nBase + 1);
    }
    // Rested: nBase again, and the peer's connection between the very same two
    // ports gets in over the TIME_WAIT entry of the first.
    QTest::qWait(100);
    RawSocket peer;
    Socket data(abort);
    SocketAddress from;
    QVERIFY(connectPeer(ports, peer, data, from));
    QCOMPARE(from.Port(), nBase + 2);
    QCOMPARE(::send(peer.m_fd, "again", 5, 0), ssize_t(5));
    char buffer[16];
    std::size_t nRead = 0;
    QCOMPARE(data.Receive(buffer, sizeof buffer, nRead, 5000), SocketResult::Ok);
    QCOMPARE(QByteArray(buffer, qsizetype(nRead)), QByteArray("again"));
    // Taken once, it is not given out again.
    std::uint16_t nPort = 0;
    QVERIFY(!ports.TakeReleased(first, nPort));
}

QTEST_GUILESS_MAIN(TestListenPorts)
#include "TestListenPorts.moc"
