#include "ftp/FtpListParser.h"

#include <QTest>

namespace {

void AddColumns()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name"); // empty: the line is skipped
    QTest::addColumn<bool>("directory");
    QTest::addColumn<bool>("link");
}

void Row(const char* pszTag, const QByteArray& line, const QByteArray& name = {}, bool bDirectory = false,
    bool bLink = false)
{
    QTest::newRow(pszTag) << line << name << bDirectory << bLink;
}

void CheckLine(bool (*parse)(const QByteArray&, FtpEntry&))
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, name);
    QFETCH(bool, directory);
    QFETCH(bool, link);

    FtpEntry entry;
    QCOMPARE(parse(line, entry), !name.isEmpty());
    if (!name.isEmpty()) {
        QCOMPARE(entry.m_strName, name);
        QCOMPARE(entry.m_bDirectory, directory);
        QCOMPARE(entry.m_bLink, link);
    }
}

} // namespace

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
    AddColumns();
    // Unix "ls -l" as servers send it.
    Row("unix dir, time", "drwxr-xr-x   2 owner    group        4096 Jan  5 10:00 pub", "pub", true);
    Row("unix file, year, spaces in name", "-rw-r--r--   1 owner    group     7045120 Sep 02  2019 music file.mp3",
        "music file.mp3");
    Row("unix pyftpdlib style", "-rw-r--r--   1 root     root            6 Dec 07 07:46 a.txt", "a.txt");
    Row("unix without group", "-rw-r--r--   1 owner     1234 Jan 05  2024 nogroup.txt", "nogroup.txt");
    Row("unix numeric date", "-rw-r--r-- 1 user group 1234 2024-01-05 10:00 iso.txt", "iso.txt");
    Row("unix link", "lrwxrwxrwx   1 root root   7 Jan  5 10:00 bin -> usr/bin", "bin", false, true);
    Row("unix name of several spaces", "-rw-r--r-- 1 u g 5 Jan  5 10:00 two  spaces ", "two  spaces ");
    Row("unix name starting with spaces", "-rw-r--r-- 1 u g 5 Jan  5  2020   lead", "  lead");
    Row("unix name looking like a date", "-rw-r--r-- 1 u g 5 Jan  5 10:00 Jan 5 2020", "Jan 5 2020");
    Row("unix group named like a month", "-rw-r--r-- 1 100 dec 5 Mar  1  2020 x", "x");
    Row("unix ACL mark", "drwxr-xr-x+  3 user group 4096 Jan  5 10:00 acl dir", "acl dir", true);
    Row("unix device", "crw-rw-rw-   1 root  root  1,   3 Jan  5 10:00 null", "null");
    Row("unix non-UTF-8 name", "-rw-r--r-- 1 u g 5 Jan  5 10:00 caf\xe9.txt", "caf\xe9.txt");
    Row("unix dots", "drwxr-xr-x 2 u g 4096 Jan  5 10:00 ..", "..", true);
    Row("unix without name", "-rw-r--r-- 1 u g 5 Jan  5 10:00");

    // DOS / IIS.
    Row("dos dir", "01-05-24  10:00AM       <DIR>          pub", "pub", true);
    Row("dos file, 4-digit year, PM", "01-05-2024  03:15PM            1234 report 2024.txt", "report 2024.txt");
    Row("dos separate AM", "12-31-99  11:59 AM  0 zero", "zero");
    Row("dos 24h", "01-05-24  22:10  5  h24", "h24");
    Row("dos size with commas", "01-05-24  10:00AM  1,234,567 big.iso", "big.iso");
    Row("dos without name", "01-05-24  10:00AM  <DIR>");

    // EPLF.
    Row("eplf dir", "+i8388621.29609,m824255902,/,\tdev", "dev", true);
    Row("eplf file", "+i8388621.44468,m839956783,r,s10376,\tRFC EPLF", "RFC EPLF");
    Row("eplf without tab", "+i8388621.29609,m824255902,/,");

    // Lines of no format are skipped, not errors.
    Row("total", "total 12");
    Row("blank", "   ");
    Row("prose", "Listing of /pub follows");
}

void TestFtpListParser::ListLines()
{
    CheckLine(FtpListParser::ParseListLine);
}

void TestFtpListParser::MlsdLines_data()
{
    AddColumns();
    Row("file", "modify=20261207074651;perm=radfwMT;size=6;type=file;unique=fe00g; a.txt", "a.txt");
    Row("dir with spaces", "type=dir;modify=20240105100000; sub dir", "sub dir", true);
    Row("cdir named by path", "type=cdir;perm=el; /home/user", ".", true);
    Row("pdir", "type=pdir;perm=el; ..", "..", true);
    Row("link, upper case", "Type=OS.unix=slink:/target;size=3; link", "link", false, true);
    Row("link, symlink", "type=OS.unix=symlink;size=3; other", "other", false, true);
    Row("semicolon and leading space in name", "size=1;type=file;  a; b", " a; b");
    Row("no type fact", "size=1; plain", "plain");
    Row("no name", "type=file; ");
    Row("no space", "type=file;size=1;");
}

void TestFtpListParser::MlsdLines()
{
    CheckLine(FtpListParser::ParseMlsdLine);
}

void TestFtpListParser::ListingReaderSkipsWhatDoesNotParse()
{
    const QByteArray strData = QByteArray("total 3\r\n") + "-rw-r--r-- 1 u g 5 Jan  5 10:00 first\r\n"
        + "-rw-r--r-- 1 u g 5 Jan  5 10:00 " + QByteArray(20000, 'x') + "\r\n" // over-long: skipped
        + "\r\n" + QByteArray("-rw-r--r-- 1 u g 5 Jan  5 10:00 nul\0here\r\n", 42) // NUL: skipped
        + "-rw-r--r-- 1 u g 5 Jan  5 10:00 cr\rhere\r\n" // CR inside the name: skipped
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
