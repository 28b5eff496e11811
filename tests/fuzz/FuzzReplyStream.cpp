// The engine's uploads and downloads against a server whose replies the input
// perturbs: replies sent twice, left out, swapped, given another code, made
// multi-line, stray replies put in between, 421 at any point, data connections
// cut short or never opened. Whatever the server does, after each run:
// - every file reported as sent is on the server whole, byte for byte;
// - every file reported as received is on disk whole under its name;
// - no file reported as not received is on disk under its name;
// - no call of the engine outlives its time-outs.
// The first byte of the input chooses how the files go: through the engine's
// own calls (a file that failed on a connection that went out of step is tried
// once more on a fresh connection, one command at a time), or through the
// upload and download walks, which do that themselves; then an upload or a
// download that reported no failure has every file there whole, and no part
// file is left in the download folder.
//
// The server runs in this process, one thread per connection, on a port of
// 127.0.0.1 the system picks; the rest of the input is read one byte per reply
// (a byte under 0x90, or none left, sends the reply as it is).

#include "FuzzCheck.h"
#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"
#include "transfer/Download.h"
#include "transfer/TransferReport.h"
#include "transfer/Upload.h"
#include "transfer/UploadPlan.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

/// Every wait of the engine in a run.
constexpr int kWaitMs = 200;
/// No call of the engine may take longer: the longest chain of waits one call
/// can meet (connect, greeting, login, FEAT, a data connection, its data, the
/// final reply) with room for a loaded machine.
constexpr int kCallBoundMs = 12 * kWaitMs + 2000;
/// The server gives up on a silent client or data connection after this.
constexpr int kServerWaitMs = 3000;
constexpr int kMaxConnections = 48;

using Clock = std::chrono::steady_clock;

/// The input, one byte per decision, shared by the server's threads.
class Choices {
public:
    Choices(const std::uint8_t* pData, std::size_t nSize)
        : m_pData(pData)
        , m_nSize(nSize)
    {
    }
    std::uint8_t Next()
    {
        std::lock_guard lock(m_mutex);
        return m_nPos < m_nSize ? m_pData[m_nPos++] : 0;
    }

private:
    std::mutex m_mutex;
    const std::uint8_t* m_pData;
    std::size_t m_nSize;
    std::size_t m_nPos = 0;
};

int Connect(const sockaddr_in& address)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // The engine's listener is already listening: a blocking connect on the
    // loopback answers at once, or is refused.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const QByteArray& data)
{
    for (qsizetype nDone = 0; nDone < data.size();) {
        const ssize_t n = ::send(fd, data.constData() + nDone, std::size_t(data.size() - nDone), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        nDone += n;
    }
    return true;
}

/// Reads until the peer closes, for at most kServerWaitMs of silence; at most
/// @p nLimit bytes.
QByteArray ReadAll(int fd, qsizetype nLimit)
{
    QByteArray data;
    char buffer[65536];
    while (data.size() < nLimit) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, kServerWaitMs) <= 0)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        data.append(buffer, n);
    }
    return data;
}

/// The server: files to fetch, files stored, one thread per connection.
class Server {
public:
    Server(Choices& choices, std::map<QByteArray, QByteArray> files)
        : m_choices(choices)
        , m_files(std::move(files))
    {
    }
    ~Server() { Stop(); }

    bool Start()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t nLength = sizeof address;
        if (::pipe2(m_wake, O_CLOEXEC) != 0 || m_listener < 0
            || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(m_listener, 8) != 0
            || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
            return false;
        m_nPort = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { Accept(); });
        return true;
    }

    void Stop()
    {
        m_bStop = true;
        if (m_wake[1] >= 0)
            (void)::write(m_wake[1], "x", 1);
        if (m_acceptor.joinable())
            m_acceptor.join();
        for (std::thread& session : m_sessions)
            session.join();
        m_sessions.clear();
        for (int& fd : {std::ref(m_listener), std::ref(m_wake[0]), std::ref(m_wake[1])}) {
            if (fd >= 0)
                ::close(std::exchange(fd, -1));
        }
    }

    unsigned short Port() const { return m_nPort; }

    /// What a STOR of @p name stored last, if any.
    std::optional<QByteArray> Stored(const QByteArray& name)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_stored.find(name);
        return it == m_stored.end() ? std::nullopt : std::optional<QByteArray>(it->second);
    }

private:
    void Accept()
    {
        while (!m_bStop && int(m_sessions.size()) < kMaxConnections) {
            pollfd p[2] {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (::poll(p, 2, kServerWaitMs) <= 0 || p[1].revents != 0)
                continue;
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            // Replies go out at once, as a real server's do: held back for the
            // client's delayed acknowledgement, each would wait 40 ms.
            const int nOne = 1;
            if (fd >= 0)
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
            if (fd >= 0)
                m_sessions.emplace_back([this, fd] {
                    Session(fd);
                    ::close(fd);
                });
        }
    }

    /// One control connection, served as a plain server would, every reply
    /// perturbed as the input says.
    void Session(int fd)
    {
        std::optional<QByteArray> held; // a reply to be sent after the next one
        bool bOpen = true;
        const auto Answer = [&](QByteArray reply) {
            const std::uint8_t nChoice = m_choices.Next();
            const int nFault = nChoice < 0x90 ? -1 : nChoice % 10;
            QByteArray out;
            switch (nFault) {
            case -1: out = reply; break;
            case 0: out = reply + reply; break;
            case 1: break; // never sent
            case 2: out = "226 Transfer complete.\r\n" + reply; break;
            case 3: out = "200 Command okay.\r\n" + reply; break;
            case 4: out = "213 5\r\n" + reply; break;
            case 5: out = "150 Opening data connection.\r\n" + reply; break;
            case 6: {
                static const char* const codes[] = {"200", "226", "250", "257", "213", "150", "331", "230"};
                reply.replace(0, 3, codes[m_choices.Next() % std::size(codes)]);
                out = reply;
                break;
            }
            case 7: out = reply.left(3) + "-First line\r\n inner line\r\n" + reply; break;
            case 8: {
                // This reply goes out after the next one.
                const QByteArray earlier = held ? *held : QByteArray();
                held = reply;
                out = earlier;
                break;
            }
            case 9:
                SendAll(fd, "421 Closing.\r\n");
                bOpen = false;
                return;
            }
            if (held && nFault != 8)
                out += *std::exchange(held, std::nullopt);
            if (!out.isEmpty() && !SendAll(fd, out))
                bOpen = false;
        };

        Answer("220 Ready.\r\n");
        QByteArray input;
        sockaddr_in dataAddress {};
        bool bDataAddress = false;
        while (bOpen && !m_bStop) {
            const qsizetype nEnd = input.indexOf('\n');
            if (nEnd < 0) {
                pollfd p {fd, POLLIN, 0};
                if (::poll(&p, 1, kServerWaitMs) <= 0)
                    return;
                char buffer[4096];
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0 || input.size() > 65536)
                    return;
                input.append(buffer, n);
                continue;
            }
            const QByteArray line = input.left(nEnd).trimmed();
            input.remove(0, nEnd + 1);
            const qsizetype nSpace = line.indexOf(' ');
            const QByteArray verb = (nSpace < 0 ? line : line.left(nSpace)).toUpper();
            const QByteArray argument = nSpace < 0 ? QByteArray() : line.mid(nSpace + 1);

            if (verb == "USER")
                Answer("331 Password required.\r\n");
            else if (verb == "PASS")
                Answer("230 Logged in.\r\n");
            else if (verb == "FEAT")
                Answer("211-Features:\r\n SIZE\r\n211 End\r\n");
            else if (verb == "TYPE" || verb == "OPTS" || verb == "NOOP")
                Answer("200 Command okay.\r\n");
            else if (verb == "PWD")
                Answer("257 \"/\" is the current directory.\r\n");
            else if (verb == "CWD")
                Answer("250 Directory changed.\r\n");
            else if (verb == "SIZE") {
                const std::optional<QByteArray> content = Content(argument);
                Answer(content ? "213 " + QByteArray::number(content->size()) + "\r\n"
                               : QByteArray("550 No such file.\r\n"));
            } else if (verb == "PORT") {
                const QList<QByteArray> parts = argument.split(',');
                if (parts.size() == 6) {
                    dataAddress.sin_family = AF_INET;
                    dataAddress.sin_addr.s_addr = htonl((parts[0].toUInt() << 24) | (parts[1].toUInt() << 16)
                        | (parts[2].toUInt() << 8) | parts[3].toUInt());
                    dataAddress.sin_port = htons(std::uint16_t(parts[4].toUInt() * 256 + parts[5].toUInt()));
                    bDataAddress = true;
                    Answer("200 PORT command successful.\r\n");
                } else {
                    Answer("501 Syntax error.\r\n");
                }
            } else if (verb == "STOR" || verb == "RETR") {
                Transfer(verb, argument, bDataAddress ? &dataAddress : nullptr, Answer);
                bDataAddress = false;
            } else if (verb == "QUIT") {
                Answer("221 Goodbye.\r\n");
                return;
            } else {
                Answer("500 Unknown command.\r\n");
            }
        }
    }

    std::optional<QByteArray> Content(const QByteArray& name)
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_files.find(name); it != m_files.end())
            return it->second;
        if (const auto it = m_stored.find(name); it != m_stored.end())
            return it->second;
        return std::nullopt;
    }

    /// A data transfer. The data connection's own faults are those of real
    /// servers, told honestly: cut short (426) or never opened (425).
    template <class Emit>
    void Transfer(const QByteArray& verb, const QByteArray& name, const sockaddr_in* pAddress, Emit& Answer)
    {
        const bool bStore = verb == "STOR";
        const std::optional<QByteArray> content = bStore ? std::optional<QByteArray>(QByteArray()) : Content(name);
        if (!pAddress || !content) {
            Answer(pAddress ? "550 No such file.\r\n" : "425 Use PORT first.\r\n");
            return;
        }
        const std::uint8_t nFault = m_choices.Next();
        Answer(bStore ? QByteArray("150 Ok to send data.\r\n")
                      : "150 Opening BINARY mode data connection for " + name + " ("
                    + QByteArray::number(content->size()) + " bytes).\r\n");
        if (nFault >= 0xF0) {
            Answer("425 Failed to establish connection.\r\n");
            return;
        }
        const int data = Connect(*pAddress);
        if (data < 0) {
            Answer("425 Failed to establish connection.\r\n");
            return;
        }
        const bool bCut = nFault >= 0xE0;
        if (bStore) {
            const QByteArray received = ReadAll(data, bCut ? 1000 : (qsizetype(1) << 26));
            {
                std::lock_guard lock(m_mutex);
                m_stored[name] = received; // what arrived, whole or not, as a real server keeps it
            }
            ::close(data);
            Answer(bCut ? QByteArray("426 Connection closed; transfer aborted.\r\n")
                        : QByteArray("226 Transfer complete.\r\n"));
        } else {
            const bool bSent = SendAll(data, bCut ? content->left(content->size() / 2) : *content);
            ::close(data);
            Answer(bCut || !bSent ? QByteArray("426 Connection closed; transfer aborted.\r\n")
                                  : QByteArray("226 Transfer complete.\r\n"));
        }
    }

    Choices& m_choices;
    std::mutex m_mutex;
    std::map<QByteArray, QByteArray> m_files;
    std::map<QByteArray, QByteArray> m_stored;
    int m_listener = -1;
    int m_wake[2] = {-1, -1}; // written to when the server stops
    unsigned short m_nPort = 0;
    std::atomic<bool> m_bStop {false};
    std::thread m_acceptor;
    std::vector<std::thread> m_sessions;
};

QByteArray Pattern(int nSize, char cStart)
{
    QByteArray data(nSize, '\0');
    for (int i = 0; i < nSize; ++i)
        data[i] = char(cStart + i * 7 + i / 251);
    return data;
}

/// Runs @p call and checks that it returned within the bound.
template <class Call> auto Timed(Call call)
{
    const Clock::time_point start = Clock::now();
    auto result = call();
    const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (nMs > kCallBoundMs)
        std::fprintf(stderr, "a call took %lld ms\n", static_cast<long long>(nMs));
    FUZZ_CHECK(nMs <= kCallBoundMs);
    return result;
}

struct Fixture {
    QTemporaryDir local;
    std::map<QByteArray, QByteArray> uploads; // name: content, also in the local folder
    std::map<QByteArray, QByteArray> downloads; // name: content on the server

    Fixture()
    {
        uploads = {{"up0", {}}, {"up1", Pattern(1000, 'a')}, {"up2", Pattern(20000, 'b')}};
        downloads = {{"down0", Pattern(3, 'c')}, {"down1", Pattern(20000, 'd')}, {"down2", {}}};
        for (const auto& [name, content] : uploads) {
            QFile file(local.filePath(QString::fromLatin1(name)));
            FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        }
    }
    QByteArray Path(const QByteArray& name) const
    {
        return QFile::encodeName(local.filePath(QString::fromLatin1(name)));
    }
    QByteArray Folder() const { return QFile::encodeName(local.path()); }
};

/// What a walk reports: only whether anything failed.
class Failures : public TransferReport {
public:
    void ShowTransferName(const QString&) override { }
    void StepProgress() override { }
    void ShowFailure(const QString&, const QString&) override { ++m_nFailures; }
    bool IsCancelled() const override { return false; }
    int m_nFailures = 0;
};

/// Opens a connection, or null when the login failed.
std::shared_ptr<FtpConnection> Open(InternetSession& session, unsigned short nPort)
{
    return Timed([&]() -> std::shared_ptr<FtpConnection> {
        try {
            return session.GetFtpConnection("127.0.0.1", "user", "secret", nPort);
        } catch (const InternetException&) {
            return {};
        }
    });
}

/// Begins each file of @p names on @p connection and takes each verdict after
/// the next file has begun, as the walks do. @p names keeps the files that may
/// be tried again (failed on a connection that went out of step).
void TransferFiles(FtpConnection& connection, bool bUpload, std::vector<QByteArray>& names, const Fixture& fixture,
    Server& server, bool bLastTry)
{
    std::vector<QByteArray> again;
    std::optional<std::pair<FtpTicket, QByteArray>> previous;
    const auto judge = [&](const std::pair<FtpTicket, QByteArray>& file) {
        const bool bOk = Timed([&] { return connection.FinishFile(file.first); });
        const QByteArray& name = file.second;
        if (bUpload) {
            if (bOk) {
                const std::optional<QByteArray> stored = server.Stored(name);
                FUZZ_CHECK(stored && *stored == fixture.uploads.at(name));
            }
        } else {
            QFile local(QString::fromLocal8Bit(fixture.Path(name)));
            FUZZ_CHECK(local.exists() == bOk);
            if (bOk) {
                FUZZ_CHECK(local.open(QIODevice::ReadOnly));
                FUZZ_CHECK(local.readAll() == fixture.downloads.at(name));
            }
        }
        if (!bOk && !bLastTry && connection.WentOutOfStep())
            again.push_back(name);
    };
    for (const QByteArray& name : names) {
        if (bUpload)
            Timed([&] {
                connection.SettleTransfers();
                return 0;
            });
        const FtpTicket nTicket = Timed([&] {
            return bUpload ? connection.BeginPutFile(fixture.Path(name), name)
                           : connection.BeginGetFile(name, fixture.Path(name), true);
        });
        if (previous)
            judge(*previous);
        previous = std::make_pair(nTicket, name);
    }
    if (previous)
        judge(*previous);
    names = std::move(again);
}

/// The files through the upload and the download walk, which open fresh
/// connections themselves.
void TransferByWalks(InternetSession& session, const Fixture& fixture, Server& server)
{
    std::shared_ptr<FtpConnection> pConnection;
    const auto reconnect = [&](QString&) -> FtpConnection* {
        std::shared_ptr<FtpConnection> pFresh = Open(session, server.Port());
        if (!pFresh)
            return nullptr;
        if (pConnection)
            pConnection->Close();
        pConnection = std::move(pFresh);
        return pConnection.get();
    };
    const Clock::time_point start = Clock::now();

    QList<QByteArray> paths;
    for (const auto& [name, content] : fixture.uploads)
        paths.append(fixture.Path(name));
    Failures upload;
    if ((pConnection = Open(session, server.Port()))) {
        Upload(*pConnection, upload, "/", reconnect).SendPlan(UploadPlan::Make(paths, upload));
        if (upload.m_nFailures == 0) {
            for (const auto& [name, content] : fixture.uploads) {
                const std::optional<QByteArray> stored = server.Stored(name);
                FUZZ_CHECK(stored && *stored == content);
            }
        }
        pConnection->Close();
    }

    QList<QByteArray> names;
    for (const auto& [name, content] : fixture.downloads)
        names.append(name);
    Failures download;
    const bool bDownloaded = (pConnection = Open(session, server.Port())) != nullptr;
    if (bDownloaded) {
        Download walk(*pConnection, download, fixture.Folder(), reconnect);
        walk.DownloadNames(names);
        FUZZ_CHECK(walk.AllFetched() == (download.m_nFailures == 0));
        pConnection->Close();
    }
    // What is there under a name is whole; no part file is left behind.
    const QStringList entries = QDir(fixture.local.path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString& strEntry : entries) {
        const QByteArray name = QFile::encodeName(strEntry);
        if (fixture.uploads.count(name))
            continue;
        FUZZ_CHECK(fixture.downloads.count(name));
        QFile local(fixture.local.filePath(strEntry));
        FUZZ_CHECK(local.open(QIODevice::ReadOnly) && local.readAll() == fixture.downloads.at(name));
    }
    if (bDownloaded && download.m_nFailures == 0)
        FUZZ_CHECK(entries.size() == qsizetype(fixture.uploads.size() + fixture.downloads.size()));
    // Bounded by the fresh connections a walk may open and the waits of each.
    const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    FUZZ_CHECK(nMs <= 2 * (TransferConnection::MaxFreshConnections + 2) * kCallBoundMs);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    static Fixture* pFixture = new Fixture; // files written once, kept for the process
    const Fixture& fixture = *pFixture;
    for (const auto& [name, content] : fixture.downloads)
        QFile::remove(QString::fromLocal8Bit(fixture.Path(name)));

    const bool bWalks = nSize > 0 && (pData[0] & 1) != 0;
    Choices choices(nSize > 0 ? pData + 1 : pData, nSize > 0 ? nSize - 1 : 0);
    Server server(choices, fixture.downloads);
    FUZZ_CHECK(server.Start());
    InternetSession session;
    session.SetTimeouts({kWaitMs * 2, kWaitMs, kWaitMs, kWaitMs});
    if (bWalks) {
        TransferByWalks(session, fixture, server);
        session.Close();
        server.Stop();
        return 0;
    }

    for (const bool bUpload : {true, false}) {
        std::vector<QByteArray> names;
        for (const auto& [name, content] : bUpload ? fixture.uploads : fixture.downloads)
            names.push_back(name);
        for (int nTry = 0; nTry < 2 && !names.empty(); ++nTry) {
            const std::shared_ptr<FtpConnection> pConnection = Open(session, server.Port());
            if (!pConnection)
                break;
            TransferFiles(*pConnection, bUpload, names, fixture, server, nTry == 1);
            Timed([&] {
                pConnection->Close();
                return 0;
            });
        }
    }
    session.Close();
    server.Stop();
    return 0;
}
