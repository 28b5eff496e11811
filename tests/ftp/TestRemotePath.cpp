#include "ftp/RemotePath.h"

#include <QTest>

class TestRemotePath : public QObject {
    Q_OBJECT

private slots:
    void Navigate_data();
    void Navigate();
};

void TestRemotePath::Navigate_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("after");

    const auto Row = [](const char* pszTag, const QByteArray& before, const QByteArray& entry,
                         const QByteArray& after) { QTest::newRow(pszTag) << before << entry << after; };

    // Down into a folder.
    Row("down", "/pub", "incoming", "/pub/incoming");
    Row("down, trailing slash", "/pub/", "incoming", "/pub/incoming");
    Row("down from root", "/", "pub", "/pub");
    Row("down, relative", "pub", "x", "pub/x");
    Row("down from nothing", {}, "pub", "/pub");
    Row("down, name is three dots", "/a", "...", "/a/...");
    Row("down, name bytes kept", "/a", "caf\xe9 x", "/a/caf\xe9 x");

    // Up.
    Row("up", "/pub/incoming", "..", "/pub");
    Row("up, trailing slash", "/pub/incoming/", "..", "/pub");
    Row("up to root", "/pub", "..", "/");
    Row("up at root stays", "/", "..", "/");
    Row("up, relative", "pub/incoming", "..", "pub");
    Row("up, relative first level", "pub", "..", "/");
    Row("up from nothing", {}, "..", "/");
    Row("up, only one slash dropped", "/a/b//", "..", "/a/b");
    Row("up, double root", "//", "..", "/");
    Row("up, deep", "/a/b/c/d", "..", "/a/b/c");
}

void TestRemotePath::Navigate()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, after);
    QCOMPARE(RemotePath::Navigate(before, entry), after);
}

QTEST_APPLESS_MAIN(TestRemotePath)
#include "TestRemotePath.moc"
