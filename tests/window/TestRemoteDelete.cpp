// Deleting selected remote items through the real window against the test
// FTP server.

#include "RemoteListHelpers.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace RemoteListHelpers;

namespace {

const QString kConfirm = QStringLiteral("Delete the file(s)?");

/// Selects @p names and clicks Delete, answering Yes to the question;
/// @p strError is the message expected after it, if any.
bool DeleteSelected(WindowFixture& fx, TarnlowDlg& dlg, const QList<QByteArray>& names, const QString& strError = {})
{
    if (!Select(*View(dlg).m_remoteList, names))
        return false;
    fx.m_host.ExpectMessage(kConfirm, MsgAnswer::Yes);
    if (!strError.isEmpty())
        fx.m_host.ExpectMessage(strError);
    View(dlg).m_btnDelete->click();
    return true;
}

/// The raw names the list takes out, in the order it takes them out.
class RemovalRecorder : public QObject {
public:
    explicit RemovalRecorder(QListView& list)
    {
        connect(list.model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, &list](const QModelIndex&, int nFirst, int nLast) {
                for (int i = nFirst; i <= nLast; ++i)
                    m_names.append(Index(list, i).data(Qt::UserRole + 1).toByteArray());
                m_nSignals++;
            });
    }
    QList<QByteArray> m_names;
    int m_nSignals = 0;
};

} // namespace

class TestRemoteDelete : public QObject {
    Q_OBJECT

private slots:
    void NothingSelectedOrNoDeletesNothing();
    void DeletesTopToBottomWithoutListingAgain();
    void RefusalsEndThePass_data();
    void RefusalsEndThePass();
    void DotDotIsRefusedAsAFolder();
    void LinksAreDeletedThemselves();
    void DeletesInTheFolderTheListShows();
    void ConnectionFailures();
};

void TestRemoteDelete::NothingSelectedOrNoDeletesNothing()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeFile(server, QStringLiteral("keep.txt")));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/");
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "keep.txt"}));

    // No to the question.
    QVERIFY(Select(*View(dlg).m_remoteList, {"keep.txt"}));
    fx.m_host.ExpectMessage(kConfirm, MsgAnswer::No);
    View(dlg).m_btnDelete->click();
    QCOMPARE(fx.m_host.PromptCount(), 1);
    fx.VerifyLastPrompt(QStringLiteral("Delete Confirm"), MsgIcon::Question, MsgButtons::YesNo);
    QVERIFY(Exists(server, QStringLiteral("keep.txt")));
    QCOMPARE(Items(*View(dlg).m_remoteList)[1].m_bSelected, true);
    QVERIFY(!dlg.IsSlotBusy());

    // Nothing selected: no question and no connection, which with the server
    // gone would have emptied the list.
    server.Stop();
    View(dlg).m_remoteList->clearSelection();
    View(dlg).m_btnDelete->click();
    QCOMPARE(fx.m_host.PromptCount(), 1);
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "keep.txt"}));
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteDelete::DeletesTopToBottomWithoutListingAgain()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeEntries(server, {"a.txt", "b_empty/", "c.txt", "d_keep.txt"}));
    QVERIFY(MakeRawFile(server, "e\xe9.bin")); // not UTF-8: deleted by its own bytes
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/");
    QListView& list = *View(dlg).m_remoteList;
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "a.txt", "b_empty", "c.txt", "d_keep.txt", "e\xe9.bin"}));
    QVERIFY(MakeFile(server, QStringLiteral("appeared.txt"))); // would show if the list were read again

    // Selected bottom-up: the deletes still go top to bottom.
    RemovalRecorder removals(list);
    QVERIFY(DeleteSelected(fx, dlg, {"e\xe9.bin", "c.txt", "b_empty", "a.txt"}));

    QCOMPARE(removals.m_names, (QList<QByteArray> {"a.txt", "b_empty", "c.txt", "e\xe9.bin"}));
    QCOMPARE(removals.m_nSignals, 4); // one item at a time
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "d_keep.txt"}));
    QCOMPARE(SortedNames(server), (QList<QByteArray> {"appeared.txt", "d_keep.txt"}));
    QCOMPARE(dlg.Session().OpenConnections(), 0);
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
    QVERIFY(MakeEntries(server, {"a.txt", "b_full/inside.txt", "b_file", "c.txt"}));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/");
    QListView& list = *View(dlg).m_remoteList;
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "a.txt", "b_file", "b_full", "c.txt"}));

    QVERIFY(DeleteSelected(fx, dlg, {"a.txt", refused, "c.txt"}, message));

    fx.VerifyLastPrompt(QStringLiteral("Error"), MsgIcon::Exclamation, MsgButtons::Ok, message);
    // Deleted before the refusal: gone. The refused item and those after it stay, selected.
    QCOMPARE(SortedNames(server), (QList<QByteArray> {"b_file", "b_full", "c.txt"}));
    const QList<Item> items = Items(list);
    QCOMPARE(items.size(), 4);
    for (const Item& item : items)
        QCOMPARE(item.m_bSelected, item.m_strRaw == refused || item.m_strRaw == "c.txt");
    QCOMPARE(dlg.Session().OpenConnections(), 0);
    QVERIFY(!dlg.IsSlotBusy());
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteDelete::DotDotIsRefusedAsAFolder()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeFile(server, QStringLiteral("sub/f.txt")));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/sub");
    const QString strRefused = QStringLiteral("The directory contains files");
    QVERIFY(DeleteSelected(fx, dlg, {"..", "f.txt"}, strRefused));

    fx.VerifyLastPrompt(QStringLiteral("Error"), MsgIcon::Exclamation, MsgButtons::Ok, strRefused);
    QVERIFY(Exists(server, QStringLiteral("sub/f.txt")));
    QCOMPARE(Items(*View(dlg).m_remoteList),
        (QList<Item> {Item {QStringLiteral(".."), "..", 1, true}, Item {QStringLiteral("f.txt"), "f.txt", 0, true}}));
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteDelete::LinksAreDeletedThemselves()
{
    // A link goes, whatever it leads to; what it leads to stays.
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeEntries(server, {"real.txt", "sub/inner.txt"}));
    QVERIFY(QFile::link(QStringLiteral("real.txt"), QDir(server.RootPath()).filePath(QStringLiteral("to_file"))));
    QVERIFY(QFile::link(QStringLiteral("sub"), QDir(server.RootPath()).filePath(QStringLiteral("to_dir"))));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/");
    QVERIFY(DeleteSelected(fx, dlg, {"to_dir", "to_file"}));
    QCOMPARE(SortedNames(server), (QList<QByteArray> {"real.txt", "sub"}));
    QVERIFY(Exists(server, QStringLiteral("sub/inner.txt")));
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "real.txt", "sub"}));
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteDelete::DeletesInTheFolderTheListShows()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeEntries(server, {"pub/a.txt", "pub/b.txt", "backup/a.txt"}));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/pub");
    QTemporaryDir local;
    QVERIFY(QFile(QDir(local.path()).filePath(QStringLiteral("b.txt"))).open(QIODevice::WriteOnly));
    View(dlg).m_editDownloadPath->setText(local.path());

    // Another folder typed into Directory, without Refresh, and taken in by a
    // download that fails (b.txt is here already), so the list still shows pub.
    dlg.ActivePane()->m_editDirectory->setText(QStringLiteral("/backup"));
    QVERIFY(Select(*View(dlg).m_remoteList, {"b.txt"}));
    fx.m_host.ExpectMessage(QStringLiteral("Could not transfer file to this location - File Exists!"));
    QTest::mouseClick(View(dlg).m_btnDownload, Qt::LeftButton);
    QVERIFY(fx.WaitIdle());
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "a.txt", "b.txt"}));

    // The a.txt deleted is the one the list shows, not the one in backup.
    QVERIFY(DeleteSelected(fx, dlg, {"a.txt"}));
    QVERIFY(!Exists(server, QStringLiteral("pub/a.txt")));
    QVERIFY(Exists(server, QStringLiteral("backup/a.txt")));
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "b.txt"}));
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteDelete::ConnectionFailures()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeFile(server, QStringLiteral("sub/f.txt")));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/sub");
    QListView& list = *View(dlg).m_remoteList;

    // The site's directory is gone: nothing is said, nothing deleted, the list kept.
    QVERIFY(QDir(server.RootPath()).rename(QStringLiteral("sub"), QStringLiteral("moved")));
    QVERIFY(DeleteSelected(fx, dlg, {"f.txt"}));
    QCOMPARE(fx.m_host.PromptCount(), 1);
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "f.txt"}));
    QVERIFY(Exists(server, QStringLiteral("moved/f.txt")));
    QCOMPARE(dlg.Session().OpenConnections(), 0);

    // No server: nothing is said and the list is emptied.
    server.Stop();
    QVERIFY(DeleteSelected(fx, dlg, {"f.txt"}));
    QCOMPARE(fx.m_host.PromptCount(), 2);
    QCOMPARE(Count(list), 0);
    QVERIFY(!dlg.IsSlotBusy());
    fx.VerifyNoUnexpectedPrompts();
}

TARNLOW_WINDOW_TEST_MAIN(TestRemoteDelete)
#include "TestRemoteDelete.moc"
