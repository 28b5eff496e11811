// Downloads through the real window against the test FTP server: the folder
// chooser and the folder check, files that exist already, folders and longer
// names in the selection, names that could reach outside the download folder,
// broken transfers, and the one connection slot during a download.

#include "RemoteListHelpers.h"
#include "TransferHelpers.h"

using namespace TransferHelpers;

namespace {

const QString kFileExists = QStringLiteral("Could not transfer file to this location - File Exists!");
const QString kInvalidFolder = QStringLiteral("Invalid directory for download, please reselect");

void ClickDownload(TarnlowDlg& dlg)
{
    QTest::mouseClick(dlg.m_btnDownload, Qt::LeftButton);
}

} // namespace

class TestDownload : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture.ClearStoredState();
        m_fixture.m_host.Clear();
    }
    void cleanup()
    {
        m_fixture.Close();
        m_fixture.VerifyNoPromptFailures();
    }

    void DownloadFolderIsChosenAndChecked();
    void TwoFilesThenAgainNeverOverwrites();
    void FoldersInTheSelectionAreSkipped();
    void TheSelectedNameDecidesNotALongerOne();
    void NamesThatLeaveTheFolderAreRefused();
    void BrokenTransferLeavesNoPartialFile();
    void UnreadableDirectoryIsAFailure();
    void DoubleClickDuringADownloadDoesNotList();

private:
    WindowFixture m_fixture;
};

void TestDownload::DownloadFolderIsChosenAndChecked()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/a.txt"), "a"));
    QTemporaryDir local;
    const QString strFolder = local.filePath(QStringLiteral("chosen"));
    QVERIFY(QDir().mkpath(strFolder));
    QVERIFY(WriteFile(local.filePath(QStringLiteral("plain.txt")), "not a folder"));
    TarnlowDlg& dlg = OpenOn(m_fixture, server);

    m_fixture.m_host.ExpectBrowse(strFolder);
    QTest::mouseClick(dlg.m_btnBrowse, Qt::LeftButton);
    QCOMPARE(m_fixture.m_host.LastPrompt().m_strKind, QStringLiteral("browse"));
    QCOMPARE(m_fixture.m_host.LastPrompt().m_strCaption, QStringLiteral("Choose A Directory For FTP Download"));
    QCOMPARE(dlg.m_editDownloadPath->text(), strFolder);
    QCOMPARE(dlg.m_strDownloadPath, strFolder);
    // Cancelling the chooser keeps the folder.
    m_fixture.m_host.ExpectBrowse(QString());
    QTest::mouseClick(dlg.m_btnBrowse, Qt::LeftButton);
    QCOMPARE(dlg.m_editDownloadPath->text(), strFolder);

    // Nothing selected: nothing happens, not even a message.
    dlg.m_remoteList->clearSelection();
    ClickDownload(dlg);
    QCOMPARE(m_fixture.m_host.PromptCount(), 2);
    QVERIFY(!dlg.IsSlotBusy());

    // Empty, missing, or a file: the folder is refused before anything connects.
    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"a.txt"}));
    for (const QString& strTyped :
        {QString(), local.filePath(QStringLiteral("missing")), local.filePath(QStringLiteral("plain.txt"))}) {
        m_fixture.m_host.ExpectMessage(kInvalidFolder);
        dlg.m_editDownloadPath->setText(strTyped);
        ClickDownload(dlg);
        QCOMPARE(m_fixture.m_host.LastPrompt().m_strCaption, QStringLiteral("ERROR"));
        QCOMPARE(m_fixture.m_host.LastPrompt().m_icon, MsgIcon::Exclamation);
        QVERIFY(!dlg.IsSlotBusy());
    }
    QCOMPARE(m_fixture.m_host.PendingCount(), 0);
    QVERIFY(!QFileInfo::exists(local.filePath(QStringLiteral("a.txt"))));
}

void TestDownload::TwoFilesThenAgainNeverOverwrites()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    const QByteArray bin = Content(200 * 1024 + 3, 7);
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/files/a.bin"), bin));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/files/b.txt"), "b\r\n"));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/files/unselected.txt"), "u"));
    QTemporaryDir local;
    TarnlowDlg& dlg = OpenOn(m_fixture, server, "/files");

    // Typed with a trailing separator: the folder itself.
    dlg.m_editDownloadPath->setText(local.path() + QLatin1Char('/'));
    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"a.bin", "b.txt"}));
    FieldRecorder percent(dlg.m_editPercent);
    ExpectCompletion(m_fixture, dlg);
    ClickDownload(dlg);
    QCOMPARE(dlg.m_nTotalFiles, 2);
    QVERIFY(WaitDone(m_fixture));
    const QMap<QString, QByteArray> expected {{QStringLiteral("a.bin"), bin}, {QStringLiteral("b.txt"), "b\r\n"}};
    QCOMPARE(Tree(local.path()), expected);
    QCOMPARE(percent.m_texts, (QStringList {QStringLiteral("50%"), QStringLiteral("100%"), QStringLiteral("0%")}));
    QVERIFY(IdleAndCleared(dlg));

    // Again: both exist now. Each is reported, neither is touched, and no
    // completion dialog follows.
    QVERIFY(WriteFile(local.filePath(QStringLiteral("b.txt")), "mine"));
    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"a.bin", "b.txt"}));
    m_fixture.m_host.Clear();
    m_fixture.m_host.ExpectMessage(kFileExists);
    m_fixture.m_host.ExpectMessage(kFileExists);
    ClickDownload(dlg);
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(m_fixture.m_host.PromptCount(), 2);
    QCOMPARE(m_fixture.m_host.LastPrompt().m_strCaption, QStringLiteral("FTP Error"));
    QCOMPARE(m_fixture.m_host.LastPrompt().m_icon, MsgIcon::Hand);
    QCOMPARE(ReadFile(local.filePath(QStringLiteral("a.bin"))), bin);
    QCOMPARE(ReadFile(local.filePath(QStringLiteral("b.txt"))), QByteArray("mine"));
    QVERIFY(IdleAndCleared(dlg));
    QVERIFY(!dlg.m_bConnected);
}

void TestDownload::FoldersInTheSelectionAreSkipped()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/sub/inside.txt"), "i"));
    QTemporaryDir local;
    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    dlg.m_editDownloadPath->setText(local.path());

    // A folder and "..": nothing is fetched, the bar still runs to its end, and
    // the transfer is complete.
    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"..", "sub"}));
    ExpectCompletion(m_fixture, dlg);
    ClickDownload(dlg);
    QVERIFY(WaitDone(m_fixture));
    QVERIFY(QDir(local.path()).isEmpty());
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
}

void TestDownload::TheSelectedNameDecidesNotALongerOne()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    // Find a folder where the server lists each longer name before the shorter
    // one it begins with.
    QByteArray strSite;
    for (int nTry = 0; nTry < 40 && strSite.isEmpty(); ++nTry) {
        const QString strDir = server.RootPath() + QStringLiteral("/try%1").arg(nTry);
        QVERIFY(QDir().mkpath(strDir + QStringLiteral("/data.d")));
        QVERIFY(WriteFile(strDir + QStringLiteral("/report.txt.bak"), "old report"));
        QVERIFY(WriteFile(strDir + QStringLiteral("/report.txt"), "report"));
        QVERIFY(WriteFile(strDir + QStringLiteral("/data"), "data"));
        const QList<QByteArray> order = RemoteListHelpers::DirectoryOrder(strDir);
        if (order.indexOf("data.d") < order.indexOf("data")
            && order.indexOf("report.txt.bak") < order.indexOf("report.txt"))
            strSite = QStringLiteral("/try%1").arg(nTry).toUtf8();
    }
    QVERIFY(!strSite.isEmpty());

    QTemporaryDir local;
    TarnlowDlg& dlg = OpenOn(m_fixture, server, strSite);
    dlg.m_editDownloadPath->setText(local.path());
    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"data", "report.txt"}));
    ExpectCompletion(m_fixture, dlg);
    ClickDownload(dlg);
    QVERIFY(WaitDone(m_fixture));
    const QMap<QString, QByteArray> expected {
        {QStringLiteral("data"), "data"}, {QStringLiteral("report.txt"), "report"}};
    QCOMPARE(Tree(local.path()), expected);
}

void TestDownload::NamesThatLeaveTheFolderAreRefused()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/escape.txt"), "outside"));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/sub/back\\slash.txt"), "backslash"));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/sub/ok.txt"), "ok"));
    QTemporaryDir local;
    const QString strFolder = local.filePath(QStringLiteral("dl"));
    QVERIFY(QDir().mkpath(strFolder));
    TarnlowDlg& dlg = OpenOn(m_fixture, server, "/sub");
    dlg.m_editDownloadPath->setText(strFolder);

    // Names as a hostile server could list them.
    for (const QByteArray& strName : {QByteArray("../escape.txt"), QByteArray()}) {
        auto* pItem = new QListWidgetItem(QString::fromLatin1(strName), dlg.m_remoteList);
        pItem->setData(Qt::UserRole, 0);
        pItem->setData(Qt::UserRole + 1, strName);
    }
    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"back\\slash.txt", "ok.txt", "../escape.txt", ""}));
    for (int i = 0; i < 3; ++i)
        m_fixture.m_host.ExpectMessage(kFileExists);
    ClickDownload(dlg);
    QCOMPARE(dlg.m_nTotalFiles, 4);
    QVERIFY(WaitDone(m_fixture));

    QCOMPARE(m_fixture.m_host.PromptCount(), 3); // no completion dialog
    const QMap<QString, QByteArray> expected {{QStringLiteral("dl"), "<dir>"}, {QStringLiteral("dl/ok.txt"), "ok"}};
    QCOMPARE(Tree(local.path()), expected);
}

void TestDownload::BrokenTransferLeavesNoPartialFile()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--drop-data-during-transfer"), QStringLiteral("big.bin")}));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/big.bin"), Content(400 * 1024, 8)));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/small.txt"), "small"));
    QTemporaryDir local;
    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    dlg.m_editDownloadPath->setText(local.path());

    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"big.bin", "small.txt"}));
    FieldRecorder percent(dlg.m_editPercent);
    m_fixture.m_host.ExpectMessage(kFileExists);
    ClickDownload(dlg);
    QVERIFY(WaitDone(m_fixture));
    // The rest goes on; the broken file is gone; the strip is cleared at once.
    const QMap<QString, QByteArray> expected {{QStringLiteral("small.txt"), "small"}};
    QCOMPARE(Tree(local.path()), expected);
    QCOMPARE(percent.m_texts, (QStringList {QStringLiteral("50%"), QStringLiteral("100%"), QStringLiteral("0%")}));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    QVERIFY(IdleAndCleared(dlg));
}

void TestDownload::UnreadableDirectoryIsAFailure()
{
    // The server answers listings late; once the window has listed, its waits are
    // cut so that every later listing fails.
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--delay-list"), QStringLiteral("1.5")}));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/a.txt"), "a"));
    QTemporaryDir local;
    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    FtpTimeouts timeouts = dlg.Session().Timeouts();
    timeouts.nReplyMs = timeouts.nAcceptMs = timeouts.nDataMs = 300;
    dlg.Session().SetTimeouts(timeouts);
    dlg.m_editDownloadPath->setText(local.path());

    // Not knowing whether the name is there, the file is a failure, not a
    // complete transfer.
    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"a.txt"}));
    m_fixture.m_host.ExpectMessage(kFileExists);
    ClickDownload(dlg);
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    QVERIFY(QDir(local.path()).isEmpty());
    QVERIFY(IdleAndCleared(dlg));
}

void TestDownload::DoubleClickDuringADownloadDoesNotList()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--stall-transfer"), QStringLiteral("slow.bin")}));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/slow.bin"), Content(1000, 9)));
    QVERIFY(QDir(server.RootPath()).mkdir(QStringLiteral("sub")));
    QTemporaryDir local;
    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    FtpTimeouts timeouts = dlg.Session().Timeouts();
    timeouts.nReplyMs = timeouts.nDataMs = 2500;
    dlg.Session().SetTimeouts(timeouts);
    dlg.m_editDownloadPath->setText(local.path());
    const QByteArray strDirectory = dlg.ActivePane()->m_strDirectory;
    const int nItems = dlg.m_remoteList->count();

    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"slow.bin"}));
    m_fixture.m_host.ExpectMessage(kFileExists);
    ClickDownload(dlg);
    QTRY_COMPARE_WITH_TIMEOUT(dlg.m_editTransferName->text(), QStringLiteral("slow.bin"), 5000);
    // The list stays usable during a download, but a double-click on a folder
    // neither moves nor lists while the download holds the connection.
    QVERIFY(!dlg.m_bIdle);
    QVERIFY(dlg.m_remoteList->isEnabled());
    QVERIFY(dlg.m_editDownloadPath->isReadOnly());
    QVERIFY(!dlg.m_btnDownload->isEnabled());
    QVERIFY(RemoteListHelpers::Select(*dlg.m_remoteList, {"sub"}));
    QVERIFY(RemoteListHelpers::DoubleClick(*dlg.m_remoteList, "sub"));
    QCOMPARE(dlg.Gate().RunningWorkers(), 1);
    QCOMPARE(dlg.ActivePane()->m_strDirectory, strDirectory);
    QCOMPARE(dlg.m_remoteList->count(), nItems);

    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    QVERIFY(QDir(local.path()).isEmpty());
    QCOMPARE(dlg.ActivePane()->m_strDirectory, strDirectory);
}

TARNLOW_WINDOW_TEST_MAIN(TestDownload)
#include "TestDownload.moc"
