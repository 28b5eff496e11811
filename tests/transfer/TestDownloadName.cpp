// Which remote names may become files in the download folder, and where.

#include "transfer/DownloadName.h"

#include <QTest>

class TestDownloadName : public QObject {
    Q_OBJECT

private slots:
    void Safety_data();
    void Safety();
    void LocalPathJoinsTheFolderAndTheName();
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
    QCOMPARE(DownloadName::LocalPath(QStringLiteral("/home/u/dl"), "a.txt"), QStringLiteral("/home/u/dl/a.txt"));
    // A trailing separator is the folder itself.
    QCOMPARE(DownloadName::LocalPath(QStringLiteral("/home/u/dl/"), "a.txt"), QStringLiteral("/home/u/dl/a.txt"));
    QCOMPARE(DownloadName::LocalPath(QStringLiteral("/"), "a.txt"), QStringLiteral("/a.txt"));
}

QTEST_GUILESS_MAIN(TestDownloadName)
#include "TestDownloadName.moc"
