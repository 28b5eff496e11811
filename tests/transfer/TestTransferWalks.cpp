// The upload and download walks without a window, against the test FTP server:
// the remote calls in their order, trees byte for byte, items that cannot be
// sent, folders the server will not enter or leave, names a download must not
// use, and downloads interrupted or raced by another program.

#include "ftp/InternetSession.h"
#include "remote/SiteConnection.h"
#include "support/FtpTestServer.h"
#include "support/LocalFiles.h"
#include "support/TransferRecorder.h"
#include "transfer/Download.h"
#include "transfer/Upload.h"
#include "transfer/UploadPlan.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

using namespace LocalFiles;

namespace {

const QString kTransferFailed = QStringLiteral("Could not transfer file");
const QString kFileExists = QStringLiteral("Could not transfer file to this location - File Exists!");

/// A test server and a connection to it, standing in the site's directory.
struct Site {
    FtpTestServer m_server;
    InternetSession m_session;
    SiteConnection m_link;

    bool Open(const QStringList& serverArgs = {}, const QByteArray& strDirectory = {},
        const FtpTimeouts& timeouts = ShortFtpTimeouts(5000, 5000))
    {
        m_session.SetTimeouts(timeouts);
        return m_server.Start(serverArgs) && Connect(strDirectory);
    }
    bool Connect(const QByteArray& strDirectory = {})
    {
        const SiteProfile site {
            m_server.Address().toUtf8(), m_server.User().toUtf8(), m_server.Password().toUtf8(), strDirectory};
        return m_link.Open(m_session, site) == SiteConnection::Outcome::Connected;
    }
    FtpConnection& Connection() { return m_link.Connection(); }
};

/// The entries of a local folder in the order the file system returns them,
/// which is the order the test server lists them in.
QList<QByteArray> DirectoryOrder(const QString& strPath)
{
    QList<QByteArray> names;
    DIR* pDir = opendir(QFile::encodeName(strPath).constData());
    while (const dirent* pEntry = pDir ? readdir(pDir) : nullptr) {
        const QByteArray strName(pEntry->d_name);
        if (strName != "." && strName != "..")
            names.append(strName);
    }
    if (pDir)
        closedir(pDir);
    return names;
}

/// A tree as LocalFiles::Tree() gives it.
using FileTree = QMap<QString, QByteArray>;

/// Reads @p paths into a plan and sends it, as the window's upload worker does;
/// the number of steps the plan counted.
int UploadPlanned(
    FtpConnection& connection, TransferRecorder& report, const QByteArray& strSiteDirectory, const QStringList& paths)
{
    QList<QByteArray> bytes;
    for (const QString& strPath : paths)
        bytes.append(QFile::encodeName(strPath));
    const UploadPlan plan = UploadPlan::Make(bytes, report);
    Upload(connection, report, strSiteDirectory).SendPlan(plan);
    return plan.Steps();
}

/// The commands the server logged that change or create directories, store
/// files or set the transfer type, in order.
QStringList DirectoryAndStoreCommands(const QString& strLog)
{
    QStringList commands;
    QFile log(strLog);
    if (!log.open(QIODevice::ReadOnly))
        return commands;
    for (const QByteArray& strLine : log.readAll().split('\n')) {
        const QString strCommand = QString::fromUtf8(strLine);
        for (const char* pszVerb : {"MKD ", "CWD ", "PWD", "STOR ", "TYPE "}) {
            if (strCommand.startsWith(QLatin1String(pszVerb)))
                commands.append(strCommand);
        }
    }
    return commands;
}

} // namespace

class TestTransferWalks : public QObject {
    Q_OBJECT

private slots:
    void UploadMakesItsRemoteCallsInOrder();
    void WayBackIsTheFolderNameNeverDotDot_data();
    void WayBackIsTheFolderNameNeverDotDot();
    void FolderTreeArrivesByteForByte();
    void TwoFoldersLandSideBySideUnderARelativeDirectory();
    void UnsendablePathsAreReportedNeverMadeFolders_data();
    void UnsendablePathsAreReportedNeverMadeFolders();
    void FolderTheServerWillNotEnterGetsNoneOfItsFiles();
    void TheSelectedNameDecidesNotALongerOne();
    void NamesStayInTheFolderByteForByte_data();
    void NamesStayInTheFolderByteForByte();
    void LinksAreFetchedAsWhatTheyLeadTo();
    void BrokenTransferLeavesNoPartialFile();
    void KilledDownloadLeavesOnlyItsPartFile();
    void NameTakenDuringTheFetchIsNeverReplaced();
    void FullDiskIsNamedAndLeavesNothing();
    void UnreadableDirectoryIsAFailure();
    void LostConnectionIsReportedOnce_data();
    void LostConnectionIsReportedOnce();
    void OutOfStepServerCostsTimeNeverAFile_data();
    void OutOfStepServerCostsTimeNeverAFile();
};

void TestTransferWalks::UploadMakesItsRemoteCallsInOrder()
{
    // Folder A holds x, folder B (holding y) and z: into A, send x, into B,
    // send y, back to B's own name, back to A's name, send z, back to A's name.
    // The type is set once for the connection, not once per file.
    QTemporaryDir local;
    QVERIFY(WriteFiles(Path(local, "A"), {{"1x", "x"}, {"2B/y", "y"}, {"3z", "z"}}));
    const QString strLog = Path(local, "commands.log");
    Site site;
    QVERIFY(site.Open({QStringLiteral("--log-commands"), strLog}, "/"));
    QFile::remove(strLog); // only the upload's own commands

    TransferRecorder report;
    QCOMPARE(UploadPlanned(site.Connection(), report, "/", {Path(local, "A")}), 3);
    QCOMPARE(DirectoryAndStoreCommands(strLog),
        (QStringList {QStringLiteral("MKD A"), QStringLiteral("CWD A"), QStringLiteral("PWD"), QStringLiteral("TYPE I"),
            QStringLiteral("STOR 1x"), QStringLiteral("MKD 2B"), QStringLiteral("CWD 2B"), QStringLiteral("PWD"),
            QStringLiteral("STOR y"), QStringLiteral("CWD /A/2B"), QStringLiteral("CWD /A"), QStringLiteral("STOR 3z"),
            QStringLiteral("CWD /A")}));
    QCOMPARE(report.m_nSteps, 3);
    QVERIFY(report.m_failures.isEmpty());
}

void TestTransferWalks::WayBackIsTheFolderNameNeverDotDot_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QByteArray>("siteDirectory");
    QTest::addColumn<QStringList>("drop");
    QTest::addColumn<bool>("zzSent"); // site/zz.html, after the link, reached www/site
    QTest::addColumn<int>("failures");

    // Every row: the server changes directory as chdir does, so ".." out of
    // the link www/site/images leads to shared, the parent of its target.
    const QString strPhysical = QStringLiteral("--physical-cwd");
    const auto Refuse = [](const char* pszVerb, const char* pszName) {
        return QStringList {QStringLiteral("--refuse"), QString::fromLatin1(pszVerb), QString::fromLatin1(pszName)};
    };
    QTest::newRow("out of a link") << QStringList {strPhysical} << QByteArray("/www")
                                   << QStringList {QStringLiteral("site")} << true << 0;
    // Without a name from the server, the link's path is its parent's and its leaf.
    QTest::newRow("no PWD inside the link") << (QStringList {strPhysical} + Refuse("PWD", "images"))
                                            << QByteArray("/www") << QStringList {QStringLiteral("site")} << true << 0;
    // No name for the folder and none for its parent (the site's directory is
    // relative): no way back, so what follows the link is not sent.
    QTest::newRow("no way back known") << (QStringList {strPhysical} + Refuse("PWD", "site")) << QByteArray("www")
                                       << QStringList {QStringLiteral("site")} << false << 1;
    QTest::newRow("way back refused") << (QStringList {strPhysical} + Refuse("CWD", "/www/site")) << QByteArray("/www")
                                      << QStringList {QStringLiteral("site")} << false << 1;
    // A drop of two: the way back to the site's directory after the folder
    // is refused, so the file after it is not sent into the folder.
    QTest::newRow("way back to the drop's directory refused")
        << (QStringList {strPhysical} + Refuse("CWD", "/www")) << QByteArray("www")
        << QStringList {QStringLiteral("site"), QStringLiteral("loose.txt")} << true << 1;
}

void TestTransferWalks::WayBackIsTheFolderNameNeverDotDot()
{
    QFETCH(QStringList, switches);
    QFETCH(QByteArray, siteDirectory);
    QFETCH(QStringList, drop);
    QFETCH(bool, zzSent);
    QFETCH(int, failures);

    // On the server, www/site/images is a link to shared/images, and shared
    // has a zz.html of its own.
    Site site;
    QVERIFY(site.m_server.Start(switches));
    QVERIFY(WriteFiles(site.m_server.RootPath(), {{"shared/images/old.png", "old"}, {"shared/zz.html", "theirs"}}));
    QVERIFY(QDir().mkpath(Path(site.m_server, "www/site")));
    QVERIFY(QFile::link(Path(site.m_server, "shared/images"), Path(site.m_server, "www/site/images")));
    QVERIFY(site.Connect(siteDirectory));
    QTemporaryDir local;
    QVERIFY(WriteFiles(local.path(),
        {{"site/images/a.png", "a"}, {"site/images/sub/b.png", "b"}, {"site/images/z.png", "z"},
            {"site/zz.html", "ours"}, {"loose.txt", "loose"}}));
    QStringList paths;
    for (const QString& strName : drop)
        paths << local.filePath(strName);

    TransferRecorder report;
    const int nSteps = UploadPlanned(site.Connection(), report, siteDirectory, paths);
    QMap<QString, QByteArray> expected = Files({{"shared", "<dir>"}, {"shared/images", "<dir>"},
        {"shared/images/old.png", "old"}, {"shared/images/a.png", "a"}, {"shared/images/sub", "<dir>"},
        {"shared/images/sub/b.png", "b"}, {"shared/images/z.png", "z"}, {"shared/zz.html", "theirs"}, {"www", "<dir>"},
        {"www/site", "<dir>"}, {"www/site/images", "<link>"}});
    if (zzSent)
        expected.insert(QStringLiteral("www/site/zz.html"), "ours");
    QCOMPARE(Tree(site.m_server.RootPath()), expected);
    QCOMPARE(report.m_failures, QStringList(failures, kTransferFailed));
    QCOMPARE(report.m_nSteps, nSteps);
}

void TestTransferWalks::FolderTreeArrivesByteForByte()
{
    QTemporaryDir local;
    // Folder A with x, sub-folder B holding y, then z: the upload creates A,
    // enters it, sends x, creates and enters B, sends y, comes back and sends z.
    // Deeper levels under B, where the way back out must hold for several folders.
    const QString strA = Path(local, "A");
    QVERIFY(WriteFiles(strA,
        {{"1x.bin", Content(70000, 2)}, {"2B/y.bin", Content(3, 3)}, {"3z.bin", Content(0, 4)},
            {"2B/deep/er/w.txt", "w\r\n"}, {"2B/deep/v.txt", "v"}, {"2B/zz.txt", "after the deep folder"},
            {"4 with space/caf\u00e9.txt", "accent"}}));
    Site site;
    QVERIFY(site.Open());

    TransferRecorder report;
    QCOMPARE(UploadPlanned(site.Connection(), report, "/", {strA}), 7);
    QCOMPARE(Tree(Path(site.m_server, "A")), Tree(strA));
    QCOMPARE(Tree(site.m_server.RootPath()).size(), Tree(strA).size() + 1); // nothing beside A
    QVERIFY(report.m_failures.isEmpty());
    // Each file's full path shows while it is sent (and until the next takes
    // its place, as its verdict may still be awaited); the name empties as the
    // walk leaves each folder.
    QStringList expected;
    for (const char* pszName : {"1x.bin", "2B/deep/er/w.txt", "", "2B/deep/v.txt", "", "2B/y.bin", "2B/zz.txt", "",
             "3z.bin", "4 with space/caf\u00e9.txt", ""})
        expected << (*pszName ? strA + u'/' + QString::fromUtf8(pszName) : QString());
    QCOMPARE(report.m_names, expected);
    QCOMPARE(report.m_nSteps, 7);
}

void TestTransferWalks::TwoFoldersLandSideBySideUnderARelativeDirectory()
{
    QTemporaryDir local;
    QVERIFY(WriteFiles(local.path(), {{"first/sub/a.txt", "a"}, {"loose.txt", "loose"}, {"second/b.txt", "b"}}));
    Site site;
    QVERIFY(site.m_server.Start());
    QVERIFY(QDir(site.m_server.RootPath()).mkdir(QStringLiteral("pub")));
    // "pub" is relative: only the name the server gave for it leads back from
    // inside the first folder.
    QVERIFY(site.Connect("pub"));

    TransferRecorder report;
    UploadPlanned(
        site.Connection(), report, "pub", {Path(local, "first"), Path(local, "loose.txt"), Path(local, "second")});
    QCOMPARE(Tree(site.m_server.RootPath()),
        Files({{"pub", "<dir>"}, {"pub/first", "<dir>"}, {"pub/first/sub", "<dir>"}, {"pub/first/sub/a.txt", "a"},
            {"pub/loose.txt", "loose"}, {"pub/second", "<dir>"}, {"pub/second/b.txt", "b"}}));
}

void TestTransferWalks::UnsendablePathsAreReportedNeverMadeFolders_data()
{
    QTest::addColumn<QList<QByteArray>>("tree"); // made in a local folder, see LocalFiles::Create()
    QTest::addColumn<QList<QByteArray>>("drop");
    // "SHOWN>GONE": GONE is removed as SHOWN is shown, mid-walk; "SHOWN>GONE->TARGET":
    // GONE is then made a link to TARGET.
    QTest::addColumn<QByteArray>("changeAt");
    QTest::addColumn<FileTree>("sent"); // the server's tree after the upload
    QTest::addColumn<int>("steps");
    QTest::addColumn<QStringList>("causes"); // a part of the cause of each failure, in order

    // A path that no longer exists, then a folder with a pipe and a link back
    // up (a loop, not followed, so the walk ends), then a file.
    QTest::newRow("missing, a pipe, a loop")
        << ByteList({"A/1.txt=1", "A/2pipe|", "A/3.txt=3", "A/4loop->../A", "A/5.txt=5", "after.txt=after"})
        << ByteList({"gone", "A", "after.txt"}) << QByteArray()
        << Files({{"A", "<dir>"}, {"A/1.txt", "1"}, {"A/3.txt", "3"}, {"A/5.txt", "5"}, {"after.txt", "after"}}) << 7
        << QStringList {QStringLiteral("/gone\n"), QStringLiteral("/A/2pipe\n"), QStringLiteral("a loop")};
    // Every entry the system holds is seen and sent with exactly its bytes.
    QTest::newRow("names that are not UTF-8")
        << ByteList({"A/bad\xff.txt=b", "A/dir\xfe/inner.txt=i", "A/ok.txt=ok"}) << ByteList({"A"}) << QByteArray()
        << Files({{"A", "<dir>"}, {"A/bad\\xff.txt", "b"}, {"A/dir\\xfe", "<dir>"}, {"A/dir\\xfe/inner.txt", "i"},
               {"A/ok.txt", "ok"}})
        << 3 << QStringList();
    // Inside the dropped folder a link is sent as what it leads to, under its
    // own name; a link that leads outside is reported and not sent.
    QTest::newRow("links inside and outside")
        << ByteList({"outside.txt=secret", "A/f.txt=f", "A/in.txt->f.txt", "A/out.txt->../outside.txt", "A/sub/x=x",
               "A/subl->sub"})
        << ByteList({"A"}) << QByteArray()
        << Files({{"A", "<dir>"}, {"A/f.txt", "f"}, {"A/in.txt", "f"}, {"A/sub", "<dir>"}, {"A/sub/x", "x"},
               {"A/subl", "<dir>"}, {"A/subl/x", "x"}})
        << 5 << QStringList {QStringLiteral("outside the dropped folder")};
    // Removed after the walk read it: reported as a whole, its files counted,
    // and never made an empty remote folder.
    QTest::newRow("a folder removed mid-walk")
        << ByteList({"A/1.txt=1", "A/b/x=x", "A/b/y=y", "A/b/z=z", "A/c.txt=c"}) << ByteList({"A"})
        << QByteArray("A/1.txt>A/b") << Files({{"A", "<dir>"}, {"A/1.txt", "1"}, {"A/c.txt", "c"}}) << 5
        << QStringList {QStringLiteral("/A/b\n")};
    // Replaced after the walk read it, by a link that leads outside (another
    // user's doing, in a folder others may write): only what the plan read is
    // ever sent, so nothing from outside the dropped folder goes.
    QTest::newRow("a file made a link to outside mid-walk")
        << ByteList({"outside.txt=secret", "A/1.txt=1", "A/2.txt=2", "A/3.txt=3"}) << ByteList({"A"})
        << QByteArray("A/1.txt>A/2.txt->../outside.txt") << Files({{"A", "<dir>"}, {"A/1.txt", "1"}, {"A/3.txt", "3"}})
        << 3 << QStringList {QStringLiteral("replaced since the upload began")};
    QTest::newRow("a folder made a link to outside mid-walk")
        << ByteList({"out/x=secret", "A/1.txt=1", "A/b/x=x", "A/c.txt=c"}) << ByteList({"A"})
        << QByteArray("A/1.txt>A/b->../out") << Files({{"A", "<dir>"}, {"A/1.txt", "1"}, {"A/c.txt", "c"}}) << 3
        << QStringList {QStringLiteral("replaced since the upload began")};
}

void TestTransferWalks::UnsendablePathsAreReportedNeverMadeFolders()
{
    QFETCH(QList<QByteArray>, tree);
    QFETCH(QList<QByteArray>, drop);
    QFETCH(QByteArray, changeAt);
    QFETCH(FileTree, sent);
    QFETCH(int, steps);
    QFETCH(QStringList, causes);
    TempDir local;
    const QByteArray strLocal = QFile::encodeName(local.path());
    for (const QByteArray& strItem : tree)
        QVERIFY2(Create(strLocal, strItem), strItem.constData());
    Site site;
    QVERIFY(site.Open());

    TransferRecorder report;
    if (!changeAt.isEmpty()) {
        const qsizetype nShown = changeAt.indexOf('>');
        const QString strShown = QFile::decodeName(strLocal + '/' + changeAt.left(nShown));
        const QByteArray strChange = changeAt.mid(nShown + 1);
        const qsizetype nArrow = strChange.indexOf("->");
        const std::string strGone = (strLocal + '/' + (nArrow > 0 ? strChange.left(nArrow) : strChange)).toStdString();
        report.m_onShow = [strShown, strGone, strLocal, strChange, nArrow](const QString& strName) {
            if (strName != strShown)
                return;
            std::filesystem::remove_all(strGone);
            if (nArrow > 0)
                QVERIFY(Create(strLocal, strChange));
        };
    }
    QList<QByteArray> paths;
    for (const QByteArray& strName : drop)
        paths.append(strLocal + '/' + strName);
    const UploadPlan plan = UploadPlan::Make(paths, report);
    QCOMPARE(plan.Steps(), steps);
    Upload(site.Connection(), report, "/").SendPlan(plan);
    QVERIFY2(report.m_failures.size() == causes.size(), qPrintable(report.m_causes.join(u'|')));
    QCOMPARE(report.m_failures, QStringList(causes.size(), kTransferFailed));
    for (qsizetype i = 0; i < causes.size(); ++i)
        QVERIFY2(report.m_causes[i].contains(causes[i]), qPrintable(report.m_causes[i]));
    QCOMPARE(report.m_nSteps, steps);

    // Every other file went where it belongs; nothing became a remote folder.
    QCOMPARE(Tree(site.m_server.RootPath()), sent);
}

void TestTransferWalks::FolderTheServerWillNotEnterGetsNoneOfItsFiles()
{
    QTemporaryDir local;
    QVERIFY(WriteFiles(
        local.path(), {{"A/1.txt", "1"}, {"A/B/y1.txt", "y1"}, {"A/B/inner/y2.txt", "y2"}, {"A/C/3.txt", "3"}}));
    Site site;
    QVERIFY(site.Open({QStringLiteral("--refuse"), QStringLiteral("MKD"), QStringLiteral("B"),
        QStringLiteral("--refuse"), QStringLiteral("CWD"), QStringLiteral("B")}));

    TransferRecorder report;
    QCOMPARE(UploadPlanned(site.Connection(), report, "/", {Path(local, "A")}), 4);
    // Once, for the folder; neither y1 nor y2 is anywhere on the server.
    QCOMPARE(report.m_failures, QStringList {kTransferFailed});
    QCOMPARE(Tree(site.m_server.RootPath()),
        Files({{"A", "<dir>"}, {"A/1.txt", "1"}, {"A/C", "<dir>"}, {"A/C/3.txt", "3"}}));
    // The folder's two files still count, so the bar reaches its end.
    QCOMPARE(report.m_nSteps, 4);
}

void TestTransferWalks::TheSelectedNameDecidesNotALongerOne()
{
    Site site;
    QVERIFY(site.m_server.Start());
    // Find a folder where the server lists each longer name before the shorter
    // one it begins with.
    QByteArray strSite;
    for (int nTry = 0; nTry < 40 && strSite.isEmpty(); ++nTry) {
        const QString strDir = site.m_server.RootPath() + QStringLiteral("/try%1").arg(nTry);
        QVERIFY(QDir().mkpath(strDir + QStringLiteral("/data.d")));
        QVERIFY(WriteFiles(strDir, {{"report.txt.bak", "old report"}, {"report.txt", "report"}, {"data", "data"}}));
        const QList<QByteArray> order = DirectoryOrder(strDir);
        if (order.indexOf("data.d") < order.indexOf("data")
            && order.indexOf("report.txt.bak") < order.indexOf("report.txt"))
            strSite = QStringLiteral("/try%1").arg(nTry).toUtf8();
    }
    QVERIFY(!strSite.isEmpty());
    QVERIFY(site.Connect(strSite));

    QTemporaryDir local;
    TransferRecorder report;
    Download download(site.Connection(), report, QFile::encodeName(local.path()));
    download.DownloadNames({"data", "report.txt"});
    QVERIFY(download.AllFetched());
    QCOMPARE(Tree(local.path()), Files({{"data", "data"}, {"report.txt", "report"}}));

    // Names the server no longer lists: one gone altogether, one that only a
    // longer folder name begins with. Neither is passed over in silence.
    TransferRecorder gone;
    Download again(site.Connection(), gone, QFile::encodeName(local.path()));
    again.DownloadNames({"gone.txt", "dat"});
    QCOMPARE(gone.m_failures, QStringList(2, kFileExists));
    QCOMPARE(gone.m_nSteps, 2);
    QVERIFY(!again.AllFetched());
    QCOMPARE(Tree(local.path()), Files({{"data", "data"}, {"report.txt", "report"}}));
}

void TestTransferWalks::NamesStayInTheFolderByteForByte_data()
{
    QTest::addColumn<QList<QByteArray>>("remote"); // the server's files, see LocalFiles::Create()
    QTest::addColumn<QList<QByteArray>>("names"); // selected in /sub
    QTest::addColumn<FileTree>("fetched"); // the download folder afterwards
    QTest::addColumn<int>("failures");

    // Names as a hostile server could list them.
    QTest::newRow("names that leave the folder")
        << ByteList({"escape.txt=outside", "sub/back\\slash.txt=backslash", "sub/ok.txt=ok"})
        << ByteList({"back\\slash.txt", "ok.txt", "../escape.txt", ""}) << Files({{"ok.txt", "ok"}}) << 3;
    // A name that a path class reads as a resource path (Qt's ":name") is a
    // name like any other here, written inside the folder: never in the
    // folder the program was started from.
    QTest::newRow("a name beginning with ':'")
        << ByteList({"sub/:x.txt=colon"}) << ByteList({":x.txt"}) << Files({{":x.txt", "colon"}}) << 0;
    // Created with exactly their bytes, so two such names never become one.
    QTest::newRow("names that are not UTF-8")
        << ByteList({"sub/n\xff.txt=ff", "sub/n\xfe.txt=fe"}) << ByteList({"n\xff.txt", "n\xfe.txt"})
        << Files({{"n\\xff.txt", "ff"}, {"n\\xfe.txt", "fe"}}) << 0;
    // The part file of one selected name must not take another's name, in
    // either order.
    QTest::newRow("a part name that is selected too")
        << ByteList({"sub/x=x", "sub/.x.tarnlow-part=part"}) << ByteList({"x", ".x.tarnlow-part"})
        << Files({{"x", "x"}, {".x.tarnlow-part", "part"}}) << 0;
    QTest::newRow("a part name that is selected first")
        << ByteList({"sub/x=x", "sub/.x.tarnlow-part=part"}) << ByteList({".x.tarnlow-part", "x"})
        << Files({{"x", "x"}, {".x.tarnlow-part", "part"}}) << 0;
}

void TestTransferWalks::NamesStayInTheFolderByteForByte()
{
    QFETCH(QList<QByteArray>, remote);
    QFETCH(QList<QByteArray>, names);
    QFETCH(FileTree, fetched);
    QFETCH(int, failures);
    Site site;
    QVERIFY(site.m_server.Start());
    for (const QByteArray& strItem : remote)
        QVERIFY2(Create(QFile::encodeName(site.m_server.RootPath()), strItem), strItem.constData());
    QVERIFY(site.Connect("/sub"));
    TempDir local;
    const QString strFolder = Path(local, "dl");
    QVERIFY(QDir().mkpath(strFolder));
    // Started elsewhere: nothing may land in the current folder either.
    TempDir elsewhere;
    const QString strOldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));

    TransferRecorder report;
    Download download(site.Connection(), report, QFile::encodeName(strFolder));
    download.DownloadNames(names);
    QVERIFY(QDir::setCurrent(strOldCurrent));
    QCOMPARE(report.m_failures, QStringList(failures, kFileExists));
    QCOMPARE(report.m_nSteps, names.size());
    QCOMPARE(download.AllFetched(), failures == 0); // no completion after a failure
    QCOMPARE(Tree(strFolder), fetched);
    QCOMPARE(Tree(local.path()).size(), fetched.size() + 1); // nothing beside the folder
    QVERIFY(Tree(elsewhere.path()).isEmpty());
}

void TestTransferWalks::LinksAreFetchedAsWhatTheyLeadTo()
{
    Site site;
    QVERIFY(site.m_server.Start({QStringLiteral("--no-mlsd")})); // links listed as links
    QVERIFY(WriteFiles(site.m_server.RootPath(), {{"real.txt", "real"}, {"sub/inner.txt", "inner"}}));
    for (const auto& [pszTarget, pszLink] :
        {std::pair {"real.txt", "to_file"}, std::pair {"sub", "to_dir"}, std::pair {"nowhere", "to_nothing"}})
        QVERIFY(QFile::link(QString::fromLatin1(pszTarget), Path(site.m_server, pszLink)));
    QVERIFY(site.Connect("/"));
    QTemporaryDir local;

    // A link to a file is fetched, one to a folder passed over like a folder,
    // one that leads nowhere reported, never skipped in silence.
    TransferRecorder report;
    Download download(site.Connection(), report, QFile::encodeName(local.path()));
    download.DownloadNames({"to_file", "to_dir", "to_nothing", "real.txt"});
    QCOMPARE(Tree(local.path()), Files({{"to_file", "real"}, {"real.txt", "real"}}));
    QCOMPARE(report.m_failures, QStringList {kFileExists});
    QCOMPARE(report.m_nSteps, 4);
    QVERIFY(!download.ConnectionLost());
}

void TestTransferWalks::BrokenTransferLeavesNoPartialFile()
{
    Site site;
    QVERIFY(site.Open({QStringLiteral("--drop-data-during-transfer"), QStringLiteral("big.bin")}));
    QVERIFY(WriteFiles(site.m_server.RootPath(), {{"big.bin", Content(400 * 1024, 8)}, {"small.txt", "small"}}));
    QTemporaryDir local;

    TransferRecorder report;
    Download download(site.Connection(), report, QFile::encodeName(local.path()));
    download.DownloadNames({"big.bin", "small.txt"});
    // The rest goes on; the broken file is gone.
    QCOMPARE(Tree(local.path()), Files({{"small.txt", "small"}}));
    QCOMPARE(report.m_nSteps, 2);
    QCOMPARE(report.m_failures, QStringList {kFileExists});
    QVERIFY(!download.AllFetched());
}

void TestTransferWalks::KilledDownloadLeavesOnlyItsPartFile()
{
    // The server holds the file back, and the process downloading it is
    // killed meanwhile, as by SIGKILL or a crash.
    Site site;
    QVERIFY(site.m_server.Start({QStringLiteral("--stall-transfer"), QStringLiteral("big.bin")}));
    const QByteArray content = Content(300 * 1024, 5);
    QVERIFY(WriteFile(Path(site.m_server, "big.bin"), content));
    QTemporaryDir local;
    QProcess child;
    child.start(QStringLiteral(TARNLOW_DOWNLOAD_HELPER),
        {site.m_server.Address(), site.m_server.User(), site.m_server.Password(), QStringLiteral("/"), local.path(),
            QStringLiteral("big.bin")});
    QVERIFY(child.waitForStarted(5000));
    const QDir folder(local.path());
    const QDeadlineTimer deadline(10000);
    while (folder.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        && !deadline.hasExpired() && child.state() == QProcess::Running)
        QThread::msleep(10);
    child.kill();
    QVERIFY(child.waitForFinished(5000));

    // Nothing under the real name; the part file says what it is.
    const QString strPart = Path(local, ".big.bin.tarnlow-part");
    QCOMPARE(Tree(local.path()), Files({{".big.bin.tarnlow-part", ""}}));
    QFile part(strPart);
    QVERIFY(part.open(QIODevice::Append) && part.write("left by the killed run") > 0);
    part.close();

    // A later download of the same name arrives whole, and leaves the part
    // file of the killed run alone.
    QVERIFY(site.m_server.Start());
    QVERIFY(site.Connect("/"));
    TransferRecorder report;
    Download download(site.Connection(), report, QFile::encodeName(local.path()));
    download.DownloadNames({"big.bin"});
    QVERIFY(report.m_failures.isEmpty());
    QVERIFY(download.AllFetched());
    QCOMPARE(Tree(local.path()), Files({{"big.bin", content}, {".big.bin.tarnlow-part", "left by the killed run"}}));
}

void TestTransferWalks::FullDiskIsNamedAndLeavesNothing()
{
    // No file may grow past 100 KiB, as on a disk that fills: the small file
    // arrives, the large one is reported with the system's reason under its
    // own name, and nothing of it is left, not even its part file.
    Site site;
    QVERIFY(site.m_server.Start());
    QVERIFY(WriteFile(Path(site.m_server, "big.bin"), Content(300 * 1024, 6)));
    QVERIFY(WriteFile(Path(site.m_server, "small.txt"), "small"));
    QTemporaryDir local;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TARNLOW_HELPER_FILE_LIMIT"), QString::number(100 * 1024));
    child.setProcessEnvironment(environment);
    child.start(QStringLiteral(TARNLOW_DOWNLOAD_HELPER),
        {site.m_server.Address(), site.m_server.User(), site.m_server.Password(), QStringLiteral("/"), local.path(),
            QStringLiteral("small.txt"), QStringLiteral("big.bin")});
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitCode(), 1);
    QCOMPARE(QString::fromLocal8Bit(child.readAllStandardOutput()),
        kFileExists
            + QStringLiteral("\t%1: %2\n").arg(Path(local, "big.bin"), QString::fromLocal8Bit(strerror(EFBIG))));
    QCOMPARE(Tree(local.path()), Files({{"small.txt", "small"}}));
}

void TestTransferWalks::NameTakenDuringTheFetchIsNeverReplaced()
{
    // The server answers RETR late; meanwhile another program writes the name.
    Site site;
    QVERIFY(site.Open({QStringLiteral("--delay-retr"), QStringLiteral("1.5")}));
    QVERIFY(WriteFile(Path(site.m_server, "a.txt"), "from the server"));
    QTemporaryDir local;
    TransferRecorder report;
    Download download(site.Connection(), report, QFile::encodeName(local.path()));
    std::thread walk([&] { download.DownloadNames({"a.txt"}); });
    const QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(Path(local, ".a.txt.tarnlow-part")) && !deadline.hasExpired())
        QThread::msleep(5);
    QFile other(Path(local, "a.txt"));
    const bool bWritten = other.open(QIODevice::WriteOnly | QIODevice::NewOnly) && other.write("written meanwhile") > 0;
    other.close();
    walk.join();
    QVERIFY(bWritten);

    // The other program's file stays; the download fails and its part file goes.
    QCOMPARE(Tree(local.path()), Files({{"a.txt", "written meanwhile"}}));
    QCOMPARE(report.m_failures, QStringList {kFileExists});
    QVERIFY(!download.AllFetched());
}

void TestTransferWalks::UnreadableDirectoryIsAFailure()
{
    // The server answers listings later than the connection waits for them.
    Site site;
    QVERIFY(site.Open({QStringLiteral("--delay-list"), QStringLiteral("1.5")}, {}, ShortFtpTimeouts(300, 300)));
    QVERIFY(WriteFile(Path(site.m_server, "a.txt"), "a"));
    QTemporaryDir local;

    // Not knowing whether the name is there, the file is a failure, not a
    // complete transfer.
    TransferRecorder report;
    Download download(site.Connection(), report, QFile::encodeName(local.path()));
    download.DownloadNames({"a.txt"});
    QCOMPARE(report.m_failures, QStringList {kFileExists});
    QVERIFY(!download.AllFetched());
    QVERIFY(QDir(local.path()).isEmpty());
}

void TestTransferWalks::LostConnectionIsReportedOnce_data()
{
    QTest::addColumn<bool>("upload");
    QTest::addColumn<QStringList>("fault");
    const auto Row = [](const char* pszTag, bool bUpload, const char* pszSwitch, const char* pszVerb) {
        QStringList fault {QString::fromLatin1(pszSwitch)};
        if (pszVerb)
            fault << QString::fromLatin1(pszVerb);
        QTest::newRow(pszTag) << bUpload << (fault << QStringLiteral("f3.bin"));
    };
    Row("upload, server closes mid-file", true, "--drop-control-during-transfer", nullptr);
    Row("upload, server answers 421", true, "--close-with-421", "STOR");
    Row("download, server closes mid-file", false, "--drop-control-during-transfer", nullptr);
    Row("download, server answers 421", false, "--close-with-421", "RETR");
    // A refusal that looks like any other, but the server closes right after it.
    Row("upload, server refuses and closes", true, "--refuse-and-close", "STOR");
    Row("download, server refuses and closes", false, "--refuse-and-close", "RETR");
}

void TestTransferWalks::LostConnectionIsReportedOnce()
{
    QFETCH(bool, upload);
    QFETCH(QStringList, fault);
    // Eight files; the connection goes at the third, and the rest is not tried.
    Site site;
    QVERIFY(site.Open(fault));
    QTemporaryDir local;
    QStringList paths;
    QList<QByteArray> names;
    for (int i = 1; i <= 8; ++i) {
        const QByteArray strName = "f" + QByteArray::number(i) + ".bin";
        const QString strRoot = upload ? local.path() : site.m_server.RootPath();
        QVERIFY(WriteFile(strRoot + u'/' + QString::fromLatin1(strName), Content(200 * 1024, i)));
        paths << local.filePath(QString::fromLatin1(strName));
        names << strName;
    }
    const QString strTarget = upload ? site.m_server.RootPath() : Path(local, "dl");
    QVERIFY(QDir().mkpath(strTarget));

    TransferRecorder report;
    bool bLost = false;
    if (upload) {
        QList<QByteArray> bytes;
        for (const QString& strPath : paths)
            bytes.append(QFile::encodeName(strPath));
        Upload walk(site.Connection(), report, "/");
        walk.SendPlan(UploadPlan::Make(bytes, report));
        bLost = walk.ConnectionLost();
    } else {
        Download loop(site.Connection(), report, QFile::encodeName(strTarget));
        loop.DownloadNames(names);
        bLost = loop.ConnectionLost() && !loop.AllFetched();
    }
    QVERIFY(bLost);
    QCOMPARE(report.m_failures, QStringList {upload ? kTransferFailed : kFileExists});
    QCOMPARE(report.m_nSteps, 2);
    // The two before it arrived whole; nothing of the rest was tried.
    QDir target(strTarget);
    QStringList arrived = target.entryList(QDir::Files);
    arrived.removeAll(QStringLiteral("f3.bin")); // a partial upload may stay on the server
    QCOMPARE(arrived, (QStringList {QStringLiteral("f1.bin"), QStringLiteral("f2.bin")}));
    QVERIFY(upload || !target.exists(QStringLiteral("f3.bin")));
}

void TestTransferWalks::OutOfStepServerCostsTimeNeverAFile_data()
{
    QTest::addColumn<bool>("upload");
    QTest::addColumn<QStringList>("server"); // switches of faulty.py
    QTest::addColumn<QByteArray>("failed"); // the one file reported as not sent or received; empty: none
    QTest::addColumn<QString>("cause"); // what its message says
    const auto Row = [](const char* pszTag, bool bUpload, const QStringList& server, const QByteArray& failed,
                         const char* pszCause) {
        QTest::newRow(pszTag) << bUpload << server << failed << QString::fromLatin1(pszCause);
    };
    // Files a, b and c. A server that answers twice shifts every later reply
    // by one: each file whose verdict was not in when that showed goes again
    // on a fresh connection, one command at a time; b fails by its own reply.
    const QStringList stray {QStringLiteral("--stray-after")};
    const QStringList cutB {QStringLiteral("--cut"), QStringLiteral("b")};
    Row("download, a stray 226 after each file, b cut short", false,
        stray + QStringList {QStringLiteral("RETR")} + cutB, "b", "451 Requested action aborted");
    Row("upload, a stray 226 after each file, b refused", true, stray + QStringList {QStringLiteral("STOR")} + cutB,
        "b", "552 Quota exceeded");
    // A server that connects on PORT and answers it once connected answers a
    // transfer command sent right behind PORT first: the file goes again.
    Row("download, the transfer command answered before PORT", false, {QStringLiteral("--pipelined-port")}, {}, "");
    Row("upload, the transfer command answered before PORT", true, {QStringLiteral("--pipelined-port")}, {}, "");
}

void TestTransferWalks::OutOfStepServerCostsTimeNeverAFile()
{
    QFETCH(bool, upload);
    QFETCH(QStringList, server);
    QFETCH(QByteArray, failed);
    QFETCH(QString, cause);

    FtpTestServer ftp;
    QVERIFY(ftp.StartFaulty(server));
    QTemporaryDir local;
    const QList<QByteArray> names {"a", "b", "c"};
    QMap<QByteArray, QByteArray> contents;
    for (int i = 0; i < names.size(); ++i) {
        contents[names[i]] = Content(i == 2 ? 1000 : 300 * 1024, i + 1);
        const QString strRoot = upload ? local.path() : ftp.RootPath();
        QVERIFY(WriteFile(strRoot + u'/' + QString::fromLatin1(names[i]), contents[names[i]]));
    }
    const QString strTarget = upload ? ftp.RootPath() : Path(local, "dl");
    QVERIFY(QDir().mkpath(strTarget));

    InternetSession session;
    session.SetTimeouts(ShortFtpTimeouts(3000, 3000));
    const SiteProfile site {ftp.Address().toUtf8(), ftp.User().toUtf8(), ftp.Password().toUtf8(), "/"};
    SiteConnection link;
    QCOMPARE(link.Open(session, site), SiteConnection::Outcome::Connected);
    TransferRecorder report;
    if (upload) {
        QList<QByteArray> paths;
        for (const QByteArray& strName : names)
            paths.append(QFile::encodeName(local.filePath(QString::fromLatin1(strName))));
        Upload walk(link.Connection(), report, "/", link.Reopener(session, site));
        walk.SendPlan(UploadPlan::Make(paths, report));
        QVERIFY(!walk.ConnectionLost());
    } else {
        Download walk(link.Connection(), report, QFile::encodeName(strTarget), link.Reopener(session, site));
        walk.DownloadNames(names);
        QVERIFY(!walk.ConnectionLost());
        QCOMPARE(walk.AllFetched(), failed.isEmpty());
    }

    // Slower, one command at a time from then on, but every file that could
    // arrive did, byte for byte, and only the one that failed by its own reply
    // is reported, with that reply.
    QVERIFY(session.NeedsLockStep(site.m_strAddress));
    QCOMPARE(report.m_nSteps, 3);
    QCOMPARE(report.m_failures.size(), failed.isEmpty() ? 0 : 1);
    if (!failed.isEmpty())
        QVERIFY2(report.m_causes.first().contains(cause), qPrintable(report.m_causes.first()));
    const QDir target(strTarget);
    for (const QByteArray& strName : names) {
        const QString strPath = target.filePath(QString::fromLatin1(strName));
        if (strName != failed)
            QCOMPARE(ReadFile(strPath), contents[strName]);
        else if (!upload)
            QVERIFY(!QFile::exists(strPath));
    }
    // No part file is left behind.
    if (!upload)
        QCOMPARE(target.entryList(QDir::Files | QDir::Hidden).size(), 3 - failed.size());
}

QTEST_GUILESS_MAIN(TestTransferWalks)
#include "TestTransferWalks.moc"
