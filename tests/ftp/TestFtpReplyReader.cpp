#include "ftp/FtpCommandWriter.h"
#include "ftp/FtpReplyReader.h"

#include <QTest>

#include <vector>

namespace {

/// Feeds @p strInput in pieces cut at @p nSplit (0: all at once) and collects the replies.
bool FeedAll(const QByteArray& strInput, qsizetype nSplit, std::vector<FtpReply>& replies)
{
    FtpReplyReader reader;
    bool bOk = true;
    if (nSplit <= 0 || nSplit >= strInput.size()) {
        bOk = reader.Feed(strInput.constData(), static_cast<std::size_t>(strInput.size()));
    } else {
        bOk = reader.Feed(strInput.constData(), static_cast<std::size_t>(nSplit))
            && reader.Feed(strInput.constData() + nSplit, static_cast<std::size_t>(strInput.size() - nSplit));
    }
    FtpReply reply;
    while (reader.TakeReply(reply))
        replies.push_back(reply);
    return bOk;
}

} // namespace

class TestFtpReplyReader : public QObject {
    Q_OBJECT

private slots:
    void Replies_data();
    void Replies();
    void MalformedInputFails_data();
    void MalformedInputFails();
    void LargestAllowedReplyPasses();
    void PwdReply_data();
    void PwdReply();
    void CommandWriter_data();
    void CommandWriter();
};

void TestFtpReplyReader::Replies_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QByteArray>("lastText");

    const auto Row = [](const char* pszTag, const QByteArray& input, const QList<int>& codes, const QByteArray& last) {
        QTest::newRow(pszTag) << input << codes << last;
    };

    Row("single", "220 Ready\r\n", {220}, "220 Ready");
    Row("bare LF", "220 Ready\n331 Password\n", {220, 331}, "331 Password");
    Row("code only", "200\r\n", {200}, "200");
    Row("multi-line", "211-Features:\r\n MLST type*;\r\n SIZE\r\n211 End\r\n", {211},
        "211-Features:\n MLST type*;\n SIZE\n211 End");
    // Inner lines starting with digits, even another code or the same code with a
    // dash, do not end the reply; only "211 " does.
    Row("inner digits",
        "211-Start\r\n200 not the end\r\n211-still not\r\n211x no\r\n2112 no\r\n211 End\r\n226 Next\r\n", {211, 226},
        "226 Next");
    Row("empty inner line", "230-Welcome\r\n\r\n230 Done\r\n", {230}, "230-Welcome\n\n230 Done");
    Row("incomplete", "211-Start\r\n211 End", {}, {});
    Row("high bytes", "257 \"/caf\xe9\"\r\n", {257}, "257 \"/caf\xe9\"");
}

void TestFtpReplyReader::Replies()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<int>, codes);
    QFETCH(QByteArray, lastText);

    // Whatever the way the bytes arrive, the replies are the same.
    for (qsizetype nSplit = 0; nSplit < input.size(); ++nSplit) {
        std::vector<FtpReply> replies;
        QVERIFY2(FeedAll(input, nSplit, replies), qPrintable(QStringLiteral("split at %1").arg(nSplit)));
        QCOMPARE(static_cast<qsizetype>(replies.size()), codes.size());
        for (qsizetype i = 0; i < codes.size(); ++i)
            QCOMPARE(replies[static_cast<std::size_t>(i)].m_nCode, codes[i]);
        if (!replies.empty())
            QCOMPARE(replies.back().m_strText, lastText);
    }
}

void TestFtpReplyReader::MalformedInputFails_data()
{
    QTest::addColumn<QByteArray>("input");

    QTest::newRow("NUL") << QByteArray("220 Rea\0dy\r\n", 12);
    QTest::newRow("NUL in inner line") << QByteArray("211-a\r\nb\0\r\n211 c\r\n", 18);
    QTest::newRow("no code") << QByteArray("Hello\r\n");
    QTest::newRow("bad separator") << QByteArray("220xReady\r\n");
    QTest::newRow("line over 8 KiB") << QByteArray("220 ") + QByteArray(8 * 1024, 'a') + "\r\n";
    QTest::newRow("line over 8 KiB without end") << QByteArray("220 ") + QByteArray(100 * 1024, 'a');
    QByteArray strHuge = "250-Start\r\n";
    while (strHuge.size() <= 64 * 1024)
        strHuge += "250-" + QByteArray(1000, 'x') + "\r\n";
    QTest::newRow("reply over 64 KiB") << strHuge + "250 End\r\n";
}

void TestFtpReplyReader::MalformedInputFails()
{
    QFETCH(QByteArray, input);

    FtpReplyReader reader;
    // Byte by byte as well as at once: the failure must not depend on the chunking.
    bool bOk = true;
    for (const char c : input)
        bOk = reader.Feed(&c, 1) && bOk;
    QVERIFY(!bOk);
    QVERIFY(reader.HasFailed());
    FtpReply reply;
    QVERIFY(!reader.TakeReply(reply));

    std::vector<FtpReply> replies;
    QVERIFY(!FeedAll(input, 0, replies));
    // The failed state sticks: later good input is not taken.
    QVERIFY(!reader.Feed("200 OK\r\n", 8));
}

void TestFtpReplyReader::LargestAllowedReplyPasses()
{
    // A line of exactly 8 KiB and a reply just under 64 KiB are fine.
    QByteArray strInput = "250-" + QByteArray(8 * 1024 - 4, 'y') + "\r\n";
    while (strInput.size() < 60 * 1024)
        strInput += "250-" + QByteArray(1000, 'x') + "\r\n";
    strInput += "250 End\r\n";
    std::vector<FtpReply> replies;
    QVERIFY(FeedAll(strInput, 0, replies));
    QCOMPARE(replies.size(), std::size_t(1));
    QCOMPARE(replies[0].m_nCode, 250);
}

void TestFtpReplyReader::PwdReply_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("directory"); // empty: not a valid reply

    QTest::newRow("plain") << QByteArray("257 \"/pub\" is the current directory.") << QByteArray("/pub");
    QTest::newRow("doubled quotes") << QByteArray("257 \"/a \"\"b\"\"\"") << QByteArray("/a \"b\"");
    QTest::newRow("spaces") << QByteArray("257 \"/my files/x\"") << QByteArray("/my files/x");
    QTest::newRow("root") << QByteArray("257 \"/\"") << QByteArray("/");
    QTest::newRow("multi-line") << QByteArray("257-\"/x\" here\n257 end") << QByteArray("/x");
    QTest::newRow("no quotes") << QByteArray("257 /pub is current") << QByteArray();
    QTest::newRow("unterminated") << QByteArray("257 \"/pub") << QByteArray();
    QTest::newRow("unterminated after doubled") << QByteArray("257 \"/pub\"\"") << QByteArray();
    QTest::newRow("NUL in the name") << QByteArray("257 \"/a\0b\"", 10) << QByteArray();
}

void TestFtpReplyReader::PwdReply()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, directory);

    QByteArray strDirectory = "stale";
    QCOMPARE(ParsePwdReply(text, strDirectory), !directory.isEmpty());
    QCOMPARE(strDirectory, directory);
}

void TestFtpReplyReader::CommandWriter_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QByteArray>("line"); // empty: refused

    QTest::newRow("with argument") << QByteArray("CWD") << QByteArray("my dir") << QByteArray("CWD my dir\r\n");
    QTest::newRow("without argument") << QByteArray("PWD") << QByteArray() << QByteArray("PWD\r\n");
    QTest::newRow("high bytes") << QByteArray("DELE") << QByteArray("caf\xe9") << QByteArray("DELE caf\xe9\r\n");
    QTest::newRow("CR") << QByteArray("DELE") << QByteArray("a\rb") << QByteArray();
    QTest::newRow("LF smuggling a command") << QByteArray("DELE") << QByteArray("a\nDELE b") << QByteArray();
    QTest::newRow("NUL") << QByteArray("DELE") << QByteArray("a\0b", 3) << QByteArray();
    QTest::newRow("CRLF at end") << QByteArray("USER") << QByteArray("me\r\n") << QByteArray();
    QTest::newRow("LF in verb") << QByteArray("NOOP\n") << QByteArray() << QByteArray();
    QTest::newRow("empty verb") << QByteArray() << QByteArray("x") << QByteArray();
}

void TestFtpReplyReader::CommandWriter()
{
    QFETCH(QByteArray, verb);
    QFETCH(QByteArray, argument);
    QFETCH(QByteArray, line);

    QByteArray strLine = "stale";
    QCOMPARE(FtpCommandWriter::Compose(verb, argument, strLine), !line.isEmpty());
    QCOMPARE(strLine, line);
}

QTEST_GUILESS_MAIN(TestFtpReplyReader)
#include "TestFtpReplyReader.moc"
