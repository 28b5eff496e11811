// Which remote names may become files in the download folder, and where; the
// part file a download is received into, and how it takes the file's name.

#include "support/LocalFiles.h"
#include "transfer/DownloadName.h"
#include "transfer/LocalPath.h"
#include "transfer/PartFile.h"

#include <QTest>

#include <unistd.h>

using namespace LocalFiles;

class TestDownloadName : public QObject {
    Q_OBJECT

private slots:
    void Safety_data();
    void Safety();
    void LocalPathJoinsTheFolderAndTheName();
    void PartNames_data();
    void PartNames();
    void PartFileNeverTakesATakenName();
    void PlacingNeverReplaces_data();
    void PlacingNeverReplaces();
};

void TestDownloadName::Safety_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("canLookUp");
    QTest::addColumn<bool>("safe");

    QTest::newRow("plain") << QByteArray("report.txt") << true << true;
    QTest::newRow("hidden") << QByteArray(".profile") << true << true;
    QTest::newRow("three dots") << QByteArray("...") << true << true;
    QTest::newRow("latin-1 byte") << QByteArray("caf\xe9") << true << true;
    QTest::newRow("dot") << QByteArray(".") << true << false;
    QTest::newRow("dot dot") << QByteArray("..") << true << false;
    QTest::newRow("empty") << QByteArray() << false << false;
    QTest::newRow("parent path") << QByteArray("../escape.txt") << false << false;
    QTest::newRow("absolute") << QByteArray("/etc/passwd") << false << false;
    QTest::newRow("sub path") << QByteArray("a/b") << false << false;
    QTest::newRow("backslash") << QByteArray("..\\escape.txt") << false << false;
    QTest::newRow("nul") << QByteArray("a\0b", 3) << false << false;
}

void TestDownloadName::Safety()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, canLookUp);
    QFETCH(bool, safe);
    QCOMPARE(DownloadName::CanLookUp(name), canLookUp);
    QCOMPARE(DownloadName::IsSafe(name), safe);
}

void TestDownloadName::LocalPathJoinsTheFolderAndTheName()
{
    QCOMPARE(LocalPath::Join("/home/u/dl", "a.txt"), QByteArray("/home/u/dl/a.txt"));
    // A trailing separator is the folder itself.
    QCOMPARE(LocalPath::Join("/home/u/dl/", "a.txt"), QByteArray("/home/u/dl/a.txt"));
    QCOMPARE(LocalPath::Join("/", "a.txt"), QByteArray("/a.txt"));
    QCOMPARE(LocalPath::Join("", "a.txt"), QByteArray("a.txt"));
    // Byte for byte: a name that looks like a resource path or is not UTF-8
    // stays a name inside the folder.
    QCOMPARE(LocalPath::Join("/home/u/dl", ":x.txt"), QByteArray("/home/u/dl/:x.txt"));
    QCOMPARE(LocalPath::Join("/home/u/d\xefl", "n\xff.txt"), QByteArray("/home/u/d\xefl/n\xff.txt"));
}

void TestDownloadName::PartNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("attempt");
    QTest::addColumn<QByteArray>("part");

    QTest::newRow("plain") << QByteArray("report.txt") << 1 << QByteArray(".report.txt.tarnlow-part");
    QTest::newRow("second") << QByteArray("report.txt") << 2 << QByteArray(".report.txt.2.tarnlow-part");
    QTest::newRow("hundredth") << QByteArray("a") << 100 << QByteArray(".a.100.tarnlow-part");
    QTest::newRow("hidden") << QByteArray(".profile") << 1 << QByteArray("..profile.tarnlow-part");
    // 241 bytes of name and 14 of part name are 255: it fits as it is.
    QTest::newRow("longest whole") << QByteArray(241, 'n') << 1 << '.' + QByteArray(241, 'n') + ".tarnlow-part";
    QTest::newRow("longest name shortened")
        << QByteArray(255, 'n') << 1 << '.' + QByteArray(241, 'n') + ".tarnlow-part";
    QTest::newRow("shortened more for a number")
        << QByteArray(255, 'n') << 12 << '.' + QByteArray(238, 'n') + ".12.tarnlow-part";
    // The cut would split the two bytes of an "é": the whole character goes.
    QTest::newRow("never inside a character") << QByteArray(240, 'n') + QByteArray("\xc3\xa9").repeated(5) << 1
                                              << '.' + QByteArray(240, 'n') + ".tarnlow-part";
    QTest::newRow("after a whole character") << QByteArray(239, 'n') + QByteArray("\xc3\xa9").repeated(5) << 1
                                             << '.' + QByteArray(239, 'n') + "\xc3\xa9.tarnlow-part";
}

void TestDownloadName::PartNames()
{
    QFETCH(QByteArray, name);
    QFETCH(int, attempt);
    QFETCH(QByteArray, part);
    QCOMPARE(PartFile::PartName(name, attempt, 255), part);
    QVERIFY(part.size() <= 255);
}

void TestDownloadName::PartFileNeverTakesATakenName()
{
    // Left by killed runs: a part file, and a link that leads nowhere.
    QTemporaryDir folder;
    const QByteArray strFolder = QFile::encodeName(folder.path());
    QVERIFY(WriteFile(Path(folder, ".a.txt.tarnlow-part"), "left"));
    QVERIFY(QFile::link(Path(folder, "nowhere"), Path(folder, ".a.txt.2.tarnlow-part")));
    QCOMPARE(PartFile::FreePath(strFolder, "a.txt"), RawPath(folder, ".a.txt.3.tarnlow-part"));
    QVERIFY(PartFile::Exists(RawPath(folder, ".a.txt.2.tarnlow-part")));
    QVERIFY(!PartFile::Exists(RawPath(folder, ".a.txt.3.tarnlow-part")));
    // Nor a name the same download is about to write.
    QCOMPARE(PartFile::FreePath(strFolder, "a.txt", {".a.txt.3.tarnlow-part", "a.txt"}),
        RawPath(folder, ".a.txt.4.tarnlow-part"));

    // Every part name taken: none is given.
    for (int nAttempt = 3; nAttempt <= PartFile::kMaxAttempts; ++nAttempt)
        QVERIFY(WriteFile(Path(folder, PartFile::PartName("a.txt", nAttempt, 255).constData()), ""));
    QCOMPARE(PartFile::FreePath(strFolder, "a.txt"), QByteArray());
    QCOMPARE(ReadFile(Path(folder, ".a.txt.tarnlow-part")), QByteArray("left"));
}

void TestDownloadName::PlacingNeverReplaces_data()
{
    QTest::addColumn<PartFile::Method>("method");
    QTest::addColumn<QString>("taken"); // what stands under the name already: "", "file" or "link"

    // "placeholder": a file system with neither a no-replace rename nor hard
    // links (SMB/CIFS, some FUSE file systems), where only the last way works.
    for (const auto& [pszMethod, method] :
        {std::pair {"rename", PartFile::Method::RenameNoReplace}, std::pair {"link", PartFile::Method::LinkThenUnlink},
            std::pair {"placeholder", PartFile::Method::CreateThenRename}}) {
        for (const char* pszTaken : {"", "file", "link"})
            QTest::addRow("%s, %s", pszMethod, *pszTaken ? pszTaken : "free")
                << method << QString::fromLatin1(pszTaken);
    }
}

void TestDownloadName::PlacingNeverReplaces()
{
    QFETCH(PartFile::Method, method);
    QFETCH(QString, taken);
    QTemporaryDir folder;
    const QByteArray strPart = RawPath(folder, ".a.txt.tarnlow-part");
    const QByteArray strFinal = RawPath(folder, "a.txt");
    QVERIFY(WriteFile(strPart, "arrived"));
    if (taken == QLatin1String("file"))
        QVERIFY(WriteFile(strFinal, "mine"));
    else if (taken == QLatin1String("link"))
        QCOMPARE(::symlink(RawPath(folder, "nowhere").constData(), strFinal.constData()), 0);

    // Placed under a free name; never over one that is taken, even by a link
    // that leads nowhere, and then EEXIST says why. Either way the part name
    // is gone.
    int nErrno = 0;
    QCOMPARE(PartFile::Place(strPart, strFinal, method, &nErrno), taken.isEmpty());
    QCOMPARE(nErrno, taken.isEmpty() ? 0 : EEXIST);
    QMap<QString, QByteArray> expected;
    expected.insert(QStringLiteral("a.txt"),
        taken.isEmpty()                      ? "arrived"
            : taken == QLatin1String("file") ? "mine"
                                             : "<link>");
    QCOMPARE(Tree(folder.path()), expected);
    QVERIFY(!PartFile::Exists(RawPath(folder, "nowhere")));
}

QTEST_GUILESS_MAIN(TestDownloadName)
#include "TestDownloadName.moc"
