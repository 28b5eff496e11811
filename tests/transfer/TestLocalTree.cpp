// What a dropped path is on disk, the entries of a folder by the bytes of
// their names, and the plan an upload sends: its count, and which links it
// follows.

#include "support/LocalFiles.h"
#include "support/TransferRecorder.h"
#include "transfer/LocalTree.h"
#include "transfer/UploadPlan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using LocalTree::Kind;
using namespace LocalFiles;

namespace {

/// The names of @p entries in order, joined by '|'.
QByteArray Names(const QList<LocalTree::Entry>& entries)
{
    QList<QByteArray> names;
    for (const LocalTree::Entry& entry : entries)
        names.append(entry.m_strName);
    return names.join('|');
}

/// Every item of @p items, depth first, as its path below @p strBase: a
/// folder ends in '/', an item that cannot be sent in '!'; names keyed as
/// Tree() keys them.
void Outline(const std::vector<UploadPlan::Item>& items, const QByteArray& strBase, QStringList& lines)
{
    for (const UploadPlan::Item& item : items) {
        QString strLine = NameKey(item.m_strPath.mid(strBase.size() + 1));
        if (item.m_kind == UploadPlan::Kind::Folder)
            strLine += u'/';
        else if (item.m_kind == UploadPlan::Kind::Unsendable)
            strLine += u'!';
        lines.append(strLine);
        Outline(item.m_entries, strBase, lines);
    }
}

} // namespace

class TestLocalTree : public QObject {
    Q_OBJECT

private slots:
    void ClassifiesByWhatIsOnDisk();
    void EntriesInNameOrderWithoutDots();
    void PlanFollowsOnlyLinksInsideTheDrop_data();
    void PlanFollowsOnlyLinksInsideTheDrop();
    void CountsEveryItemTheUploadSteps();
};

void TestLocalTree::ClassifiesByWhatIsOnDisk()
{
    TempDir dir;
    QVERIFY(dir.isValid());
    const QByteArray strFile = RawPath(dir, "report.txt");
    const QByteArray strFolder = RawPath(dir, "photos");
    const QByteArray strFifo = RawPath(dir, "pipe");
    const QByteArray strDangling = RawPath(dir, "dangling");
    const QByteArray strFolderLink = RawPath(dir, "photos-link");
    const QByteArray strColon = RawPath(dir, "photos/:x.txt");
    QVERIFY(WriteFile(strFile, "x"));
    QVERIFY(WriteFile(strColon, "colon"));
    QVERIFY(MakeFolders(strFolder + "/sub"));
    QCOMPARE(::mkfifo(strFifo.constData(), 0600), 0);
    QCOMPARE(::symlink(RawPath(dir, "nowhere").constData(), strDangling.constData()), 0);
    QCOMPARE(::symlink(strFolder.constData(), strFolderLink.constData()), 0);
    // Relative paths name what they stand for from the current folder.
    const QString strOldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QFile::decodeName(strFolder)));
    const QByteArray strTopName = QFile::encodeName(QFileInfo(dir.path()).fileName());

    struct Case {
        QByteArray m_strPath;
        Kind m_kind;
        QByteArray m_strName;
    };
    const Case cases[] = {
        {strFile, Kind::File, "report.txt"},
        {strFolder, Kind::Folder, "photos"},
        // A trailing separator still names the folder, with its own leaf name.
        {strFolder + '/', Kind::Folder, "photos"},
        // The user dropped the link itself: it is walked.
        {strFolderLink, Kind::Folder, "photos-link"},
        // Never opened: reading a pipe would wait for a writer forever.
        {strFifo, Kind::Other, "pipe"},
        {strDangling, Kind::Other, "dangling"},
        {RawPath(dir, "missing.txt"), Kind::Other, "missing.txt"},
        // The root has no leaf name for a remote folder.
        {"/", Kind::Other, ""},
        {"", Kind::Other, ""},
        {".", Kind::Folder, "photos"},
        {"sub/..", Kind::Folder, "photos"},
        {"./sub/", Kind::Folder, "sub"},
        {"..", Kind::Folder, strTopName},
        // No path rule but the system's: not a resource path, a file here.
        {":x.txt", Kind::File, ":x.txt"},
    };
    for (const Case& c : cases) {
        const LocalTree::Entry entry = LocalTree::Classify(c.m_strPath);
        QVERIFY2(entry.m_kind == c.m_kind, c.m_strPath.constData());
        QCOMPARE(entry.m_strName, c.m_strName);
        QCOMPARE(entry.m_strWhy.isEmpty(), c.m_kind != Kind::Other);
    }
    QCOMPARE(LocalTree::Classify("sub/..").m_strPath, strFolder);
    QVERIFY(QDir::setCurrent(strOldCurrent));
    QCOMPARE(LocalTree::Classify(strFolder + '/').m_strPath, strFolder);
}

void TestLocalTree::EntriesInNameOrderWithoutDots()
{
    TempDir dir;
    QVERIFY(dir.isValid());
    // Every name the system holds, also those that are not UTF-8.
    for (const char* pszName : {"b.txt", ".hidden", "a.txt", "C.txt", "n\xff.txt", "n\xfe.txt"})
        QVERIFY(WriteFile(RawPath(dir, pszName), "x"));
    QVERIFY(MakeFolders(RawPath(dir, "sub")));
    QCOMPARE(::symlink("a.txt", RawPath(dir, "link").constData()), 0);

    QList<LocalTree::Entry> entries;
    QString strWhy;
    QVERIFY(LocalTree::ReadFolder(QFile::encodeName(dir.path()), entries, strWhy));
    QCOMPARE(Names(entries), QByteArray(".hidden|C.txt|a.txt|b.txt|link|n\xfe.txt|n\xff.txt|sub"));
    QCOMPARE(entries.last().m_kind, Kind::Folder);
    QCOMPARE(entries.last().m_strPath, RawPath(dir, "sub"));
    QCOMPARE(entries.first().m_kind, Kind::File);
    QCOMPARE(entries[4].m_kind, Kind::Link);
    QCOMPARE(entries[6].m_strPath, RawPath(dir, "n\xff.txt"));
    QVERIFY(!LocalTree::ReadFolder(RawPath(dir, "missing"), entries, strWhy));
    QVERIFY(!strWhy.isEmpty());
    QVERIFY(entries.isEmpty());
}

void TestLocalTree::PlanFollowsOnlyLinksInsideTheDrop_data()
{
    QTest::addColumn<QList<QByteArray>>("tree"); // made below a temporary folder, see LocalFiles::Create()
    QTest::addColumn<QByteArray>("drop");
    QTest::addColumn<QStringList>("plan"); // the plan's outline, see Outline()
    QTest::addColumn<QStringList>("why"); // a part of each reason an item is not sent, in order
    const auto Lines = [](std::initializer_list<const char*> list) {
        QStringList lines;
        for (const char* psz : list)
            lines.append(QString::fromUtf8(psz));
        return lines;
    };

    QTest::newRow("a link to a file inside") << ByteList({"top/g.txt=g", "top/link->g.txt"}) << QByteArray("top")
                                             << Lines({"top/", "top/g.txt", "top/link"}) << QStringList();
    QTest::newRow("a link to a folder inside")
        << ByteList({"top/d/x=x", "top/link->d"}) << QByteArray("top")
        << Lines({"top/", "top/d/", "top/d/x", "top/link/", "top/link/x"}) << QStringList();
    QTest::newRow("a link to a file outside")
        << ByteList({"outside.txt=secret", "top/in.txt=in", "top/out.txt->../outside.txt"}) << QByteArray("top")
        << Lines({"top/", "top/in.txt", "top/out.txt!"}) << Lines({"outside the dropped folder"});
    QTest::newRow("a link to a folder outside")
        << ByteList({"elsewhere/e=e", "top/away->../elsewhere"}) << QByteArray("top") << Lines({"top/", "top/away!"})
        << Lines({"outside the dropped folder"});
    QTest::newRow("a loop") << ByteList({"top/inner/f.txt=f", "top/inner/loop->.."}) << QByteArray("top")
                            << Lines({"top/", "top/inner/", "top/inner/f.txt", "top/inner/loop!"}) << Lines({"a loop"});
    // Each folder is walked once through a link at most, so that links to
    // links cannot multiply the walk.
    QTest::newRow("two links to one folder") << ByteList({"top/d/x=x", "top/l1->d", "top/l2->d"}) << QByteArray("top")
                                             << Lines({"top/", "top/d/", "top/d/x", "top/l1/", "top/l1/x", "top/l2!"})
                                             << Lines({"sent already through another link"});
    QTest::newRow("a link that leads nowhere") << ByteList({"top/dead->nowhere"}) << QByteArray("top")
                                               << Lines({"top/", "top/dead!"}) << Lines({"leads nowhere"});
    // A dropped link is followed; inside is then inside what it leads to.
    QTest::newRow("a dropped link to a folder")
        << ByteList({"real/f=f", "real/lf->f", "entry->real"}) << QByteArray("entry")
        << Lines({"entry/", "entry/f", "entry/lf"}) << QStringList();
    QTest::newRow("names that are not UTF-8")
        << ByteList({"top/bad\xff.txt=b", "top/dir\xfe/inner.txt=i", "top/ok.txt=ok"}) << QByteArray("top")
        << Lines({"top/", "top/bad\\xff.txt", "top/dir\\xfe/", "top/dir\\xfe/inner.txt", "top/ok.txt"})
        << QStringList();
}

void TestLocalTree::PlanFollowsOnlyLinksInsideTheDrop()
{
    QFETCH(QList<QByteArray>, tree);
    QFETCH(QByteArray, drop);
    QFETCH(QStringList, plan);
    QFETCH(QStringList, why);
    TempDir dir;
    QVERIFY(dir.isValid());
    const QByteArray strBase = QFile::encodeName(dir.path());
    for (const QByteArray& strItem : tree)
        QVERIFY2(Create(strBase, strItem), strItem.constData());

    TransferRecorder report;
    const UploadPlan made = UploadPlan::Make({strBase + '/' + drop}, report);
    QStringList lines;
    Outline(made.Items(), strBase, lines);
    QCOMPARE(lines, plan);
    // Every file and every item that cannot be sent is one step.
    QCOMPARE(made.Steps(),
        int(std::count_if(plan.cbegin(), plan.cend(), [](const QString& s) { return !s.endsWith(u'/'); })));
    QStringList reasons;
    std::function<void(const std::vector<UploadPlan::Item>&)> Collect = [&](const auto& items) {
        for (const UploadPlan::Item& item : items) {
            if (item.m_kind == UploadPlan::Kind::Unsendable)
                reasons.append(item.m_strWhy);
            Collect(item.m_entries);
        }
    };
    Collect(made.Items());
    QCOMPARE(reasons.size(), why.size());
    for (qsizetype i = 0; i < why.size(); ++i)
        QVERIFY2(reasons[i].contains(why[i]), qPrintable(reasons[i]));
}

void TestLocalTree::CountsEveryItemTheUploadSteps()
{
    TempDir dir;
    QVERIFY(dir.isValid());
    const QByteArray strA = RawPath(dir, "A");
    const auto In = [&](const char* pszPath) { return strA + '/' + pszPath; };
    TransferRecorder report;
    const auto Count = [&](const QByteArray& strPath) { return UploadPlan::Make({strPath}, report).Steps(); };
    QVERIFY(MakeFolders(In("B/C")));
    QVERIFY(MakeFolders(In("empty")));
    for (const char* pszFile : {"x", "B/y", "B/C/z1", "B/C/z2"})
        QVERIFY(WriteFile(In(pszFile), "x"));
    QCOMPARE(::mkfifo(In("B/pipe").constData(), 0600), 0);

    QCOMPARE(Count(strA), 5);
    QCOMPARE(Count(In("empty")), 0);
    QCOMPARE(Count(In("x")), 1);
    // A path that does not exist is still one item: it is reported and stepped.
    QCOMPARE(Count(In("gone")), 1);
    QCOMPARE(UploadPlan::Make({strA, In("x"), In("gone")}, report).Steps(), 7);
    // A cancelled plan stops reading.
    report.m_bCancelled = true;
    QCOMPARE(Count(strA), 0);
}

QTEST_GUILESS_MAIN(TestLocalTree)
#include "TestLocalTree.moc"
