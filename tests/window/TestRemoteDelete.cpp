// Deleting selected remote items through the real window against the test
// FTP server.

#include "RemoteListHelpers.h"

#include <QPushButton>

#include <fcntl.h>
#include <unistd.h>

using namespace RemoteListHelpers;

namespace {

const QString kConfirm = QStringLiteral("Delete the file(s)?");

/// Opens the window on site 1 of @p server (LIST sorts by name) and waits for
/// its first listing.
TarnlowDlg& OpenListed(WindowFixture& fx, const FtpTestServer& server, const QByteArray& strDirectory = "/")
{
    WriteSite(fx, server, strDirectory);
    TarnlowDlg& dlg = fx.Open();
    fx.WaitIdle();
    return dlg;
}

/// The raw names the list takes out, in the order it takes them out.
class RemovalRecorder : public QObject {
public:
    explicit RemovalRecorder(QListWidget& list)
    {
        connect(list.model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, &list](const QModelIndex&, int nFirst, int nLast) {
                for (int i = nFirst; i <= nLast; ++i)
                    m_names.append(list.item(i)->data(Qt::UserRole + 1).toByteArray());
                m_nSignals++;
            });
    }
    QList<QByteArray> m_names;
    int m_nSignals = 0;
};

void ExpectErrorPrompt(const ScriptedDialogHost& host, const QString& strText)
{
    const ScriptedDialogHost::Prompt prompt = host.LastPrompt();
    QCOMPARE(prompt.m_strText, strText);
    QCOMPARE(prompt.m_strCaption, QStringLiteral("Error"));
    QCOMPARE(prompt.m_icon, MsgIcon::Exclamation);
    QCOMPARE(prompt.m_buttons, MsgButtons::Ok);
}

} // namespace

class TestRemoteDelete : public QObject {
    Q_OBJECT

private slots:
    void NothingSelectedOrNoDeletesNothing();
    void DeletesTopToBottomWithoutListingAgain();
    void RefusalsEndThePass_data();
    void RefusalsEndThePass();
    void DotDotIsRefusedAsAFolder();
    void ConnectionFailures();
};

void TestRemoteDelete::NothingSelectedOrNoDeletesNothing()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeFile(server, QStringLiteral("keep.txt")));
    WindowFixture fx;
    TarnlowDlg& dlg = OpenListed(fx, server);
    QCOMPARE(Names(*dlg.m_remoteList), (QList<QByteArray> {"..", "keep.txt"}));

    // Nothing selected: no question, no connection.
    dlg.m_remoteList->clearSelection();
    dlg.m_btnDelete->click();
    QCOMPARE(fx.m_host.PromptCount(), 0);
    QVERIFY(!dlg.m_bConnected);

    // No to the question.
    QVERIFY(Select(*dlg.m_remoteList, {"keep.txt"}));
    fx.m_host.ExpectMessage(kConfirm, MsgAnswer::No);
    dlg.m_btnDelete->click();
    QCOMPARE(fx.m_host.PromptCount(), 1);
    const ScriptedDialogHost::Prompt prompt = fx.m_host.LastPrompt();
    QCOMPARE(prompt.m_strCaption, QStringLiteral("Delete Confirm"));
    QCOMPARE(prompt.m_icon, MsgIcon::Question);
    QCOMPARE(prompt.m_buttons, MsgButtons::YesNo);
    QVERIFY(Exists(server, QStringLiteral("keep.txt")));
    QCOMPARE(Items(*dlg.m_remoteList)[1].m_bSelected, true);
    QVERIFY(!dlg.IsSlotBusy());
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteDelete::DeletesTopToBottomWithoutListingAgain()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeFile(server, QStringLiteral("a.txt")));
    QVERIFY(MakeDir(server, QStringLiteral("b_empty")));
    QVERIFY(MakeFile(server, QStringLiteral("c.txt")));
    QVERIFY(MakeFile(server, QStringLiteral("d_keep.txt")));
    {
        // A name that is not UTF-8 is deleted by its own bytes.
        const QByteArray strPath = QFile::encodeName(server.RootPath()) + "/e\xe9.bin";
        const int fd = ::open(strPath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
    }
    WindowFixture fx;
    TarnlowDlg& dlg = OpenListed(fx, server);
    QListWidget& list = *dlg.m_remoteList;
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "a.txt", "b_empty", "c.txt", "d_keep.txt", "e\xe9.bin"}));
    QVERIFY(MakeFile(server, QStringLiteral("appeared.txt"))); // would show if the list were read again

    // Selected bottom-up: the deletes still go top to bottom.
    QVERIFY(Select(list, {"e\xe9.bin", "c.txt", "b_empty", "a.txt"}));
    RemovalRecorder removals(list);
    fx.m_host.ExpectMessage(kConfirm, MsgAnswer::Yes);
    dlg.m_btnDelete->click();

    QCOMPARE(removals.m_names, (QList<QByteArray> {"a.txt", "b_empty", "c.txt", "e\xe9.bin"}));
    QCOMPARE(removals.m_nSignals, 4); // one item at a time
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "d_keep.txt"}));
    QVERIFY(!Exists(server, QStringLiteral("a.txt")));
    QVERIFY(!Exists(server, QStringLiteral("b_empty")));
    QVERIFY(!Exists(server, QStringLiteral("c.txt")));
    QCOMPARE(::access((QFile::encodeName(server.RootPath()) + "/e\xe9.bin").constData(), F_OK), -1);
    QVERIFY(Exists(server, QStringLiteral("d_keep.txt")));
    QVERIFY(!dlg.m_bConnected);
    QVERIFY(!dlg.IsSlotBusy());
    QCOMPARE(dlg.Gate().RunningWorkers(), 0);
    QCOMPARE(fx.m_host.PromptCount(), 1);
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteDelete::RefusalsEndThePass_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QByteArray>("refused");
    QTest::addColumn<QString>("message");
    QTest::newRow("folder with files") << QStringList {QStringLiteral("--no-mlsd")} << QByteArray("b_full")
                                       << QStringLiteral("The directory contains files");
    QTest::newRow("file refused") << QStringList {QStringLiteral("--no-mlsd"), QStringLiteral("--refuse"),
        QStringLiteral("DELE"), QStringLiteral("b_file")}
                                  << QByteArray("b_file") << QStringLiteral("Could not delete file");
}

void TestRemoteDelete::RefusalsEndThePass()
{
    QFETCH(QStringList, switches);
    QFETCH(QByteArray, refused);
    QFETCH(QString, message);
    FtpTestServer server;
    QVERIFY(server.Start(switches));
    QVERIFY(MakeFile(server, QStringLiteral("a.txt")));
    QVERIFY(MakeFile(server, QStringLiteral("b_full/inside.txt")));
    QVERIFY(MakeFile(server, QStringLiteral("b_file")));
    QVERIFY(MakeFile(server, QStringLiteral("c.txt")));
    WindowFixture fx;
    TarnlowDlg& dlg = OpenListed(fx, server);
    QListWidget& list = *dlg.m_remoteList;
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "a.txt", "b_file", "b_full", "c.txt"}));

    QVERIFY(Select(list, {"a.txt", refused, "c.txt"}));
    fx.m_host.ExpectMessage(kConfirm, MsgAnswer::Yes);
    fx.m_host.ExpectMessage(message);
    dlg.m_btnDelete->click();

    ExpectErrorPrompt(fx.m_host, message);
    // Deleted before the refusal: gone. The refused item and those after it stay, selected.
    QVERIFY(!Exists(server, QStringLiteral("a.txt")));
    QVERIFY(Exists(server, QString::fromLatin1(refused)));
    QVERIFY(Exists(server, QStringLiteral("c.txt")));
    const QList<Item> items = Items(list);
    QCOMPARE(items.size(), 4);
    for (const Item& item : items)
        QCOMPARE(item.m_bSelected, item.m_strRaw == refused || item.m_strRaw == "c.txt");
    QVERIFY(!dlg.m_bConnected);
    QVERIFY(!dlg.IsSlotBusy());
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteDelete::DotDotIsRefusedAsAFolder()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeFile(server, QStringLiteral("sub/f.txt")));
    WindowFixture fx;
    TarnlowDlg& dlg = OpenListed(fx, server, "/sub");
    QListWidget& list = *dlg.m_remoteList;
    QVERIFY(Select(list, {"..", "f.txt"}));
    fx.m_host.ExpectMessage(kConfirm, MsgAnswer::Yes);
    fx.m_host.ExpectMessage(QStringLiteral("The directory contains files"));
    dlg.m_btnDelete->click();

    ExpectErrorPrompt(fx.m_host, QStringLiteral("The directory contains files"));
    QVERIFY(Exists(server, QStringLiteral("sub/f.txt")));
    QCOMPARE(Items(list),
        (QList<Item> {Item {QStringLiteral(".."), "..", 1, true}, Item {QStringLiteral("f.txt"), "f.txt", 0, true}}));
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteDelete::ConnectionFailures()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeFile(server, QStringLiteral("sub/f.txt")));
    WindowFixture fx;
    TarnlowDlg& dlg = OpenListed(fx, server, "/sub");
    QListWidget& list = *dlg.m_remoteList;

    // The site's directory is gone: nothing is said, nothing deleted, the list kept.
    QVERIFY(QDir(server.RootPath()).rename(QStringLiteral("sub"), QStringLiteral("moved")));
    QVERIFY(Select(list, {"f.txt"}));
    fx.m_host.ExpectMessage(kConfirm, MsgAnswer::Yes);
    dlg.m_btnDelete->click();
    QCOMPARE(fx.m_host.PromptCount(), 1);
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "f.txt"}));
    QVERIFY(Exists(server, QStringLiteral("moved/f.txt")));
    QVERIFY(!dlg.m_bConnected);

    // No server: nothing is said and the list is emptied.
    server.Stop();
    QVERIFY(Select(list, {"f.txt"}));
    fx.m_host.ExpectMessage(kConfirm, MsgAnswer::Yes);
    dlg.m_btnDelete->click();
    QCOMPARE(fx.m_host.PromptCount(), 2);
    QCOMPARE(list.count(), 0);
    QVERIFY(!dlg.IsSlotBusy());
    fx.VerifyNoUnexpectedPrompts();
}

TARNLOW_WINDOW_TEST_MAIN(TestRemoteDelete)
#include "TestRemoteDelete.moc"
