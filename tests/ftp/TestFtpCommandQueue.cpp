#include "ftp/FtpCommandQueue.h"

#include <QTest>

namespace {

/// What happened to one reply: the verb of the command it was filed to ("RETR"
/// for a final reply, "RETR 1xx" for a preliminary one), or "out of step",
/// "no command", "endless".
QString Describe(const FtpCommandQueue::Outcome& outcome, const QList<QByteArray>& verbs)
{
    switch (outcome.m_filed) {
    case FtpCommandQueue::Filed::OutOfStep: return QStringLiteral("out of step");
    case FtpCommandQueue::Filed::NoCommand: return QStringLiteral("no command");
    case FtpCommandQueue::Filed::Endless: return QStringLiteral("endless");
    case FtpCommandQueue::Filed::Preliminary:
        return QString::fromLatin1(verbs.at(qsizetype(outcome.m_nId - 1))) + QStringLiteral(" 1xx");
    case FtpCommandQueue::Filed::Final: break;
    }
    return QString::fromLatin1(verbs.at(qsizetype(outcome.m_nId - 1)));
}

} // namespace

class TestFtpCommandQueue : public QObject {
    Q_OBJECT

private slots:
    void RepliesAreFiledToTheCommandsTheyAnswer_data();
    void RepliesAreFiledToTheCommandsTheyAnswer();
};

void TestFtpCommandQueue::RepliesAreFiledToTheCommandsTheyAnswer_data()
{
    QTest::addColumn<QList<QByteArray>>("verbs"); // sent, in order, before any reply
    QTest::addColumn<QList<int>>("replies"); // the codes that come back, in order
    QTest::addColumn<QStringList>("filed"); // one per reply; filing stops at the first that is out of step
    const auto Row = [](const char* pszTag, const QList<QByteArray>& verbs, const QList<int>& replies,
                         std::initializer_list<const char*> filed) {
        QStringList list;
        for (const char* pszFiled : filed)
            list.append(QString::fromLatin1(pszFiled));
        QTest::newRow(pszTag) << verbs << replies << list;
    };

    Row("a login sent together", {"USER", "PASS", "FEAT"}, {331, 230, 211}, {"USER", "PASS", "FEAT"});
    Row("USER accepted at once, the PASS behind it refused", {"USER", "PASS", "FEAT"}, {230, 503, 211},
        {"USER", "PASS", "FEAT"});
    Row("a download's commands", {"TYPE", "SIZE", "PORT", "RETR"}, {200, 213, 200, 150, 226},
        {"TYPE", "SIZE", "PORT", "RETR 1xx", "RETR"});
    Row("every command of the engine in step",
        {"OPTS", "CWD", "PWD", "MKD", "RMD", "DELE", "EPRT", "LIST", "MLSD", "STOR", "NOOP", "QUIT"},
        {200, 250, 257, 257, 250, 250, 200, 125, 226, 150, 250, 150, 225, 200, 221},
        {"OPTS", "CWD", "PWD", "MKD", "RMD", "DELE", "EPRT", "LIST 1xx", "LIST", "MLSD 1xx", "MLSD", "STOR 1xx", "STOR",
            "NOOP", "QUIT"});
    Row("two preliminary replies", {"STOR"}, {125, 150, 226}, {"STOR 1xx", "STOR 1xx", "STOR"});
    Row("a refusal ends any command", {"CWD", "PWD", "SIZE", "TYPE"}, {550, 257, 550, 504},
        {"CWD", "PWD", "SIZE", "TYPE"});
    Row("a transfer refused before it opens", {"RETR", "PWD"}, {550, 257}, {"RETR", "PWD"});
    Row("a transfer refused after it opened", {"RETR", "PWD"}, {150, 426, 257}, {"RETR 1xx", "RETR", "PWD"});
    Row("421 answers the command open", {"PWD"}, {421}, {"PWD"});

    // A missing 226: the next file's SIZE answer would land on the RETR before it.
    Row("SIZE's 213 where RETR's 226 belongs", {"RETR", "SIZE", "PORT", "RETR"}, {150, 213},
        {"RETR 1xx", "out of step"});
    Row("PORT's 200 where RETR's 226 belongs", {"RETR", "PORT", "RETR"}, {150, 200}, {"RETR 1xx", "out of step"});
    // One stray 226 after a download shifts every reply by one.
    Row("a stray 226 on the next SIZE", {"SIZE", "PORT", "RETR"}, {226, 213, 200}, {"out of step"});
    Row("a transfer completed without opening", {"RETR"}, {226}, {"out of step"});
    Row("a stray 200 where a transfer opens", {"PORT", "STOR"}, {200, 200}, {"PORT", "out of step"});
    // A server that connects on PORT and answers the STOR behind it first.
    Row("STOR's 150 where PORT's 200 belongs", {"PORT", "STOR"}, {150, 200}, {"out of step"});
    Row("a preliminary reply for a command without one", {"CWD"}, {150}, {"out of step"});
    Row("a reply of the wrong kind", {"PWD", "CWD"}, {250, 257}, {"out of step"});
    Row("an intermediate reply where none belongs", {"DELE"}, {350}, {"out of step"});
    Row("a reply when no command is open", {}, {200}, {"no command"});
    Row("a reply after every command was answered", {"NOOP"}, {200, 200}, {"NOOP", "no command"});
    QStringList endless(FtpCommandQueue::MaxPreliminaryReplies, QStringLiteral("STOR 1xx"));
    QTest::newRow("endless preliminary replies")
        << QList<QByteArray> {"STOR"} << QList<int>(FtpCommandQueue::MaxPreliminaryReplies + 1, 150)
        << (endless << QStringLiteral("endless"));

    // FEAT is optional: NOOP after it tells a late answer from none at all.
    Row("FEAT answered late, before NOOP's answer", {"FEAT", "NOOP"}, {211, 200}, {"FEAT", "NOOP"});
    Row("FEAT never answered: NOOP's 200 closes it", {"FEAT", "NOOP", "PWD"}, {200, 257}, {"NOOP", "PWD"});
    Row("FEAT answered with neither", {"FEAT", "NOOP"}, {214, 200}, {"out of step"});
    Row("no NOOP to tell FEAT's 200 from another's", {"FEAT", "PWD"}, {200}, {"out of step"});
}

void TestFtpCommandQueue::RepliesAreFiledToTheCommandsTheyAnswer()
{
    QFETCH(QList<QByteArray>, verbs);
    QFETCH(QList<int>, replies);
    QFETCH(QStringList, filed);

    FtpCommandQueue queue;
    for (const QByteArray& strVerb : verbs)
        queue.Push(strVerb);
    QStringList actual;
    for (const int nCode : replies) {
        FtpReply reply;
        reply.m_nCode = nCode;
        reply.m_strText = QByteArray::number(nCode) + " text";
        const FtpCommandQueue::Outcome outcome = queue.File(reply, 0);
        actual.append(Describe(outcome, verbs));
        if (outcome.m_filed != FtpCommandQueue::Filed::Final && outcome.m_filed != FtpCommandQueue::Filed::Preliminary)
            break;
    }
    QCOMPARE(actual, filed);
    // Every final reply filed is there to take, once, in the command's own entry.
    if (!filed.contains(QStringLiteral("out of step")) && !filed.contains(QStringLiteral("endless"))) {
        for (qsizetype i = 0; i < verbs.size(); ++i) {
            FtpCommandQueue::Command command;
            const bool bAnswered = filed.contains(QString::fromLatin1(verbs[i]));
            QCOMPARE(queue.Take(FtpCommandQueue::CommandId(i + 1), command), bAnswered || verbs[i] == "FEAT");
            QVERIFY(!queue.Take(FtpCommandQueue::CommandId(i + 1), command));
        }
    }
}

QTEST_GUILESS_MAIN(TestFtpCommandQueue)
#include "TestFtpCommandQueue.moc"
