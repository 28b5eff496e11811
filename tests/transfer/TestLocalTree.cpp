// What a dropped path is on disk, the order of a folder's entries, and the
// count that the progress bar is sized by.

#include "transfer/LocalTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using LocalTree::Kind;

namespace {

bool MakeFile(const QString& strPath, const QByteArray& content = "x")
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

/// The names of @p entries in order, joined by '|'.
QString Names(const QList<LocalTree::Entry>& entries)
{
    QStringList names;
    for (const LocalTree::Entry& entry : entries)
        names.append(entry.m_strName);
    return names.join(QLatin1Char('|'));
}

} // namespace

class TestLocalTree : public QObject {
    Q_OBJECT

private slots:
    void ClassifiesByWhatIsOnDisk();
    void EntriesInNameOrderWithoutDots();
    void LinksToFoldersInsideAWalkAreNotFollowed();
    void CountsEveryItemTheUploadSteps();
};

void TestLocalTree::ClassifiesByWhatIsOnDisk()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strFile = dir.filePath(QStringLiteral("report.txt"));
    const QString strFolder = dir.filePath(QStringLiteral("photos"));
    const QString strFifo = dir.filePath(QStringLiteral("pipe"));
    const QString strDangling = dir.filePath(QStringLiteral("dangling"));
    const QString strFolderLink = dir.filePath(QStringLiteral("photos-link"));
    QVERIFY(MakeFile(strFile));
    QVERIFY(QDir().mkdir(strFolder));
    QCOMPARE(::mkfifo(QFile::encodeName(strFifo).constData(), 0600), 0);
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), strDangling));
    QVERIFY(QFile::link(strFolder, strFolderLink));
    QVERIFY(QDir().mkdir(strFolder + QStringLiteral("/sub")));
    // Relative paths name what they stand for from the current folder.
    const QString strOldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(strFolder));
    const QString strTopName = QFileInfo(dir.path()).fileName();

    struct Case {
        QString m_strPath;
        Kind m_kind;
        QString m_strName;
    };
    const Case cases[] = {
        {strFile, Kind::File, QStringLiteral("report.txt")},
        {strFolder, Kind::Folder, QStringLiteral("photos")},
        // A trailing separator still names the folder, with its own leaf name.
        {strFolder + QLatin1Char('/'), Kind::Folder, QStringLiteral("photos")},
        // The user dropped the link itself: it is walked.
        {strFolderLink, Kind::Folder, QStringLiteral("photos-link")},
        // Never opened: reading a pipe would wait for a writer forever.
        {strFifo, Kind::Other, QStringLiteral("pipe")},
        {strDangling, Kind::Other, QStringLiteral("dangling")},
        {dir.filePath(QStringLiteral("missing.txt")), Kind::Other, QStringLiteral("missing.txt")},
        // The root has no leaf name for a remote folder.
        {QStringLiteral("/"), Kind::Other, QString()},
        {QString(), Kind::Other, QString()},
        {QStringLiteral("."), Kind::Folder, QStringLiteral("photos")},
        {QStringLiteral("sub/.."), Kind::Folder, QStringLiteral("photos")},
        {QStringLiteral("./sub/"), Kind::Folder, QStringLiteral("sub")},
        {QStringLiteral(".."), Kind::Folder, strTopName},
    };
    for (const Case& c : cases) {
        const LocalTree::Entry entry = LocalTree::Classify(c.m_strPath);
        QVERIFY2(entry.m_kind == c.m_kind, qPrintable(c.m_strPath));
        QCOMPARE(entry.m_strName, c.m_strName);
    }
    QCOMPARE(LocalTree::Classify(QStringLiteral("sub/..")).m_strPath, strFolder);
    QVERIFY(QDir::setCurrent(strOldCurrent));
    QCOMPARE(LocalTree::Classify(strFolder + QLatin1Char('/')).m_strPath, strFolder);
}

void TestLocalTree::EntriesInNameOrderWithoutDots()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* pszName : {"b.txt", ".hidden", "a.txt", "C.txt"})
        QVERIFY(MakeFile(dir.filePath(QString::fromLatin1(pszName))));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));

    const QList<LocalTree::Entry> entries = LocalTree::Entries(dir.path());
    QCOMPARE(Names(entries), QStringLiteral(".hidden|C.txt|a.txt|b.txt|sub"));
    QCOMPARE(entries.last().m_kind, Kind::Folder);
    QCOMPARE(entries.last().m_strPath, dir.filePath(QStringLiteral("sub")));
    QCOMPARE(entries.first().m_kind, Kind::File);
    QVERIFY(LocalTree::Entries(dir.filePath(QStringLiteral("missing"))).isEmpty());
}

void TestLocalTree::LinksToFoldersInsideAWalkAreNotFollowed()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strTop = dir.filePath(QStringLiteral("top"));
    const auto In = [&](const char* pszPath) { return strTop + QLatin1Char('/') + QLatin1String(pszPath); };
    QVERIFY(QDir().mkpath(In("inner")));
    QVERIFY(MakeFile(In("inner/f.txt")));
    QVERIFY(MakeFile(In("g.txt")));
    // A loop back to the top, and a link to a file that is sent like the file.
    QVERIFY(QFile::link(strTop, In("inner/loop")));
    QVERIFY(QFile::link(In("g.txt"), In("link-to-g")));

    const QList<LocalTree::Entry> inner = LocalTree::Entries(In("inner"));
    QCOMPARE(Names(inner), QStringLiteral("f.txt|loop"));
    QCOMPARE(inner[1].m_kind, Kind::Other);
    const QList<LocalTree::Entry> top = LocalTree::Entries(strTop);
    QCOMPARE(Names(top), QStringLiteral("g.txt|inner|link-to-g"));
    QCOMPARE(top[2].m_kind, Kind::File);

    // The walk ends: f.txt, the loop (reported), g.txt and the file link.
    QCOMPARE(LocalTree::CountItems(LocalTree::Classify(strTop)), 4);
}

void TestLocalTree::CountsEveryItemTheUploadSteps()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strA = dir.filePath(QStringLiteral("A"));
    const auto In = [&](const char* pszPath) { return strA + QLatin1Char('/') + QLatin1String(pszPath); };
    const auto Count = [](const QString& strPath) { return LocalTree::CountItems(LocalTree::Classify(strPath)); };
    QVERIFY(QDir().mkpath(In("B/C")));
    QVERIFY(QDir().mkpath(In("empty")));
    for (const char* pszFile : {"x", "B/y", "B/C/z1", "B/C/z2"})
        QVERIFY(MakeFile(In(pszFile)));
    QCOMPARE(::mkfifo(QFile::encodeName(In("B/pipe")).constData(), 0600), 0);

    QCOMPARE(Count(strA), 5);
    QCOMPARE(Count(In("empty")), 0);
    QCOMPARE(Count(In("x")), 1);
    // A path that does not exist is still one item: it is reported and stepped.
    QCOMPARE(Count(In("gone")), 1);
}

QTEST_GUILESS_MAIN(TestLocalTree)
#include "TestLocalTree.moc"
