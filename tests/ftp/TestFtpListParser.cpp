#include "ftp/FtpListParser.h"

#include <QTest>

class TestFtpListParser : public QObject {
    Q_OBJECT

private slots:
    void ListLines_data();
    void ListLines();
    void MlsdLines_data();
    void MlsdLines();
    void ListingReaderSkipsWhatDoesNotParse();
    void ListingReaderTakesManyEntriesInAnyChunks();
    void ListingReaderBoundsMemory();
};

void TestFtpListParser::ListLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("directory");

    // Unix "ls -l" as servers send it.
    QTest::newRow("unix dir, time") << QByteArray("drwxr-xr-x   2 owner    group        4096 Jan  5 10:00 pub") << true
                                    << QByteArray("pub") << true;
    QTest::newRow("unix file, year, spaces in name")
        << QByteArray("-rw-r--r--   1 owner    group     7045120 Sep 02  2019 music file.mp3") << true
        << QByteArray("music file.mp3") << false;
    QTest::newRow("unix pyftpdlib style") << QByteArray("-rw-r--r--   1 root     root            6 Dec 07 07:46 a.txt")
                                          << true << QByteArray("a.txt") << false;
    QTest::newRow("unix without group") << QByteArray("-rw-r--r--   1 owner     1234 Jan 05  2024 nogroup.txt") << true
                                        << QByteArray("nogroup.txt") << false;
    QTest::newRow("unix numeric date") << QByteArray("-rw-r--r-- 1 user group 1234 2024-01-05 10:00 iso.txt") << true
                                       << QByteArray("iso.txt") << false;
    QTest::newRow("unix link to folder") << QByteArray("lrwxrwxrwx   1 root root   7 Jan  5 10:00 bin -> usr/bin")
                                         << true << QByteArray("bin") << true;
    QTest::newRow("unix name of several spaces")
        << QByteArray("-rw-r--r-- 1 u g 5 Jan  5 10:00 two  spaces ") << true << QByteArray("two  spaces ") << false;
    QTest::newRow("unix name looking like a date")
        << QByteArray("-rw-r--r-- 1 u g 5 Jan  5 10:00 Jan 5 2020") << true << QByteArray("Jan 5 2020") << false;
    QTest::newRow("unix group named like a month")
        << QByteArray("-rw-r--r-- 1 100 dec 5 Mar  1  2020 x") << true << QByteArray("x") << false;
    QTest::newRow("unix ACL mark") << QByteArray("drwxr-xr-x+  3 user group 4096 Jan  5 10:00 acl dir") << true
                                   << QByteArray("acl dir") << true;
    QTest::newRow("unix device") << QByteArray("crw-rw-rw-   1 root  root  1,   3 Jan  5 10:00 null") << true
                                 << QByteArray("null") << false;
    QTest::newRow("unix non-UTF-8 name") << QByteArray("-rw-r--r-- 1 u g 5 Jan  5 10:00 caf\xe9.txt") << true
                                         << QByteArray("caf\xe9.txt") << false;
    QTest::newRow("unix dots") << QByteArray("drwxr-xr-x 2 u g 4096 Jan  5 10:00 ..") << true << QByteArray("..")
                               << true;
    QTest::newRow("unix without name") << QByteArray("-rw-r--r-- 1 u g 5 Jan  5 10:00") << false << QByteArray()
                                       << false;

    // DOS / IIS.
    QTest::newRow("dos dir") << QByteArray("01-05-24  10:00AM       <DIR>          pub") << true << QByteArray("pub")
                             << true;
    QTest::newRow("dos file, 4-digit year, PM") << QByteArray("01-05-2024  03:15PM            1234 report 2024.txt")
                                                << true << QByteArray("report 2024.txt") << false;
    QTest::newRow("dos separate AM") << QByteArray("12-31-99  11:59 AM  0 zero") << true << QByteArray("zero") << false;
    QTest::newRow("dos 24h") << QByteArray("01-05-24  22:10  5  h24") << true << QByteArray("h24") << false;
    QTest::newRow("dos size with commas")
        << QByteArray("01-05-24  10:00AM  1,234,567 big.iso") << true << QByteArray("big.iso") << false;
    QTest::newRow("dos without name") << QByteArray("01-05-24  10:00AM  <DIR>") << false << QByteArray() << false;

    // EPLF.
    QTest::newRow("eplf dir") << QByteArray("+i8388621.29609,m824255902,/,\tdev") << true << QByteArray("dev") << true;
    QTest::newRow("eplf file") << QByteArray("+i8388621.44468,m839956783,r,s10376,\tRFC EPLF") << true
                               << QByteArray("RFC EPLF") << false;
    QTest::newRow("eplf without tab") << QByteArray("+i8388621.29609,m824255902,/,") << false << QByteArray() << false;

    // Lines of no format are skipped, not errors.
    QTest::newRow("total") << QByteArray("total 12") << false << QByteArray() << false;
    QTest::newRow("blank") << QByteArray("   ") << false << QByteArray() << false;
    QTest::newRow("prose") << QByteArray("Listing of /pub follows") << false << QByteArray() << false;
}

void TestFtpListParser::ListLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, parsed);
    QFETCH(QByteArray, name);
    QFETCH(bool, directory);

    FtpEntry entry;
    QCOMPARE(FtpListParser::ParseListLine(line, entry), parsed);
    if (parsed) {
        QCOMPARE(entry.m_strName, name);
        QCOMPARE(entry.m_bDirectory, directory);
    }
}

void TestFtpListParser::MlsdLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("directory");

    QTest::newRow("file") << QByteArray("modify=20261207074651;perm=radfwMT;size=6;type=file;unique=fe00g; a.txt")
                          << true << QByteArray("a.txt") << false;
    QTest::newRow("dir with spaces") << QByteArray("type=dir;modify=20240105100000; sub dir") << true
                                     << QByteArray("sub dir") << true;
    QTest::newRow("cdir named by path") << QByteArray("type=cdir;perm=el; /home/user") << true << QByteArray(".")
                                        << true;
    QTest::newRow("pdir") << QByteArray("type=pdir;perm=el; ..") << true << QByteArray("..") << true;
    QTest::newRow("link, upper case") << QByteArray("Type=OS.unix=slink:/target;size=3; link") << true
                                      << QByteArray("link") << true;
    QTest::newRow("semicolon and leading space in name")
        << QByteArray("size=1;type=file;  a; b") << true << QByteArray(" a; b") << false;
    QTest::newRow("no type fact") << QByteArray("size=1; plain") << true << QByteArray("plain") << false;
    QTest::newRow("no name") << QByteArray("type=file; ") << false << QByteArray() << false;
    QTest::newRow("no space") << QByteArray("type=file;size=1;") << false << QByteArray() << false;
}

void TestFtpListParser::MlsdLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, parsed);
    QFETCH(QByteArray, name);
    QFETCH(bool, directory);

    FtpEntry entry;
    QCOMPARE(FtpListParser::ParseMlsdLine(line, entry), parsed);
    if (parsed) {
        QCOMPARE(entry.m_strName, name);
        QCOMPARE(entry.m_bDirectory, directory);
    }
}

void TestFtpListParser::ListingReaderSkipsWhatDoesNotParse()
{
    const QByteArray strData = QByteArray("total 3\r\n") + "-rw-r--r-- 1 u g 5 Jan  5 10:00 first\r\n"
        + "-rw-r--r-- 1 u g 5 Jan  5 10:00 " + QByteArray(20000, 'x') + "\r\n" // over-long: skipped
        + "\r\n" + QByteArray("-rw-r--r-- 1 u g 5 Jan  5 10:00 nul\0here\r\n", 42) // NUL: skipped
        + "drwxr-xr-x 1 u g 5 Jan  5 10:00 last"; // no line end
    FtpListingReader reader(false);
    QVERIFY(reader.Feed(strData.constData(), static_cast<std::size_t>(strData.size())));
    QVERIFY(reader.Finish());
    const std::vector<FtpEntry>& entries = reader.Entries();
    QCOMPARE(entries.size(), std::size_t(2));
    QCOMPARE(entries[0].m_strName, QByteArray("first"));
    QCOMPARE(entries[1].m_strName, QByteArray("last"));
    QVERIFY(entries[1].m_bDirectory);
}

void TestFtpListParser::ListingReaderTakesManyEntriesInAnyChunks()
{
    QByteArray strData;
    for (int i = 0; i < 10000; ++i)
        strData += "type=file;size=1; entry " + QByteArray::number(i) + "\r\n";
    FtpListingReader reader(true);
    // Chunks that cut lines and even CR LF pairs at varying places.
    for (qsizetype nPos = 0, nChunk = 1; nPos < strData.size(); nPos += nChunk, nChunk = nChunk % 997 + 13) {
        const qsizetype nSize = std::min(nChunk, strData.size() - nPos);
        QVERIFY(reader.Feed(strData.constData() + nPos, static_cast<std::size_t>(nSize)));
    }
    QVERIFY(reader.Finish());
    QCOMPARE(reader.Entries().size(), std::size_t(10000));
    QCOMPARE(reader.Entries()[0].m_strName, QByteArray("entry 0"));
    QCOMPARE(reader.Entries()[9999].m_strName, QByteArray("entry 9999"));
}

void TestFtpListParser::ListingReaderBoundsMemory()
{
    // A hostile server sending names just under the line limit: the reader gives
    // up once the names held pass the cap instead of growing towards gigabytes.
    const QByteArray strLine = "type=file; " + QByteArray(FtpListingReader::MaxLineBytes - 16, 'n') + "\r\n";
    const std::size_t nLinesToCap = FtpListingReader::MaxNameBytes / (FtpListingReader::MaxLineBytes - 16) + 1;
    FtpListingReader reader(true);
    std::size_t nFed = 0;
    while (nFed < nLinesToCap + 100 && reader.Feed(strLine.constData(), static_cast<std::size_t>(strLine.size())))
        ++nFed;
    QCOMPARE(nFed + 1, nLinesToCap);
    QVERIFY(!reader.Finish());
    std::size_t nBytes = 0;
    for (const FtpEntry& entry : reader.Entries())
        nBytes += static_cast<std::size_t>(entry.m_strName.size());
    QVERIFY(nBytes <= FtpListingReader::MaxNameBytes);
}

QTEST_GUILESS_MAIN(TestFtpListParser)
#include "TestFtpListParser.moc"
