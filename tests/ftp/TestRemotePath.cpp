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

    // Down into a folder.
    QTest::newRow("down") << QByteArray("/pub") << QByteArray("incoming") << QByteArray("/pub/incoming");
    QTest::newRow("down, trailing slash")
        << QByteArray("/pub/") << QByteArray("incoming") << QByteArray("/pub/incoming");
    QTest::newRow("down from root") << QByteArray("/") << QByteArray("pub") << QByteArray("/pub");
    QTest::newRow("down, relative") << QByteArray("pub") << QByteArray("x") << QByteArray("pub/x");
    QTest::newRow("down from nothing") << QByteArray() << QByteArray("pub") << QByteArray("/pub");
    QTest::newRow("down, name is three dots") << QByteArray("/a") << QByteArray("...") << QByteArray("/a/...");
    QTest::newRow("down, name bytes kept") << QByteArray("/a") << QByteArray("caf\xe9 x") << QByteArray("/a/caf\xe9 x");

    // Up.
    QTest::newRow("up") << QByteArray("/pub/incoming") << QByteArray("..") << QByteArray("/pub");
    QTest::newRow("up, trailing slash") << QByteArray("/pub/incoming/") << QByteArray("..") << QByteArray("/pub");
    QTest::newRow("up to root") << QByteArray("/pub") << QByteArray("..") << QByteArray("/");
    QTest::newRow("up at root stays") << QByteArray("/") << QByteArray("..") << QByteArray("/");
    QTest::newRow("up, relative") << QByteArray("pub/incoming") << QByteArray("..") << QByteArray("pub");
    QTest::newRow("up, relative first level") << QByteArray("pub") << QByteArray("..") << QByteArray("/");
    QTest::newRow("up from nothing") << QByteArray() << QByteArray("..") << QByteArray("/");
    QTest::newRow("up, only one slash dropped") << QByteArray("/a/b//") << QByteArray("..") << QByteArray("/a/b");
    QTest::newRow("up, double root") << QByteArray("//") << QByteArray("..") << QByteArray("/");
    QTest::newRow("up, deep") << QByteArray("/a/b/c/d") << QByteArray("..") << QByteArray("/a/b/c");
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
