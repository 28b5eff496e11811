// Downloads through the real window against the test FTP server: the folder
// chooser and the folder check, files that exist already, folders in the
// selection, the folder the list shows, and the one connection slot during a
// download. The download loop
// itself is tested without a window (TestTransferWalks).

#include "RemoteListHelpers.h"
#include "TransferHelpers.h"

using namespace RemoteListHelpers;
using namespace TransferHelpers;

namespace {

const QString kFileExists = QStringLiteral("Could not transfer file to this location - File Exists!");
const QString kInvalidFolder = QStringLiteral("Invalid directory for download, please reselect");

void ClickDownload(TarnlowDlg& dlg)
{
    QTest::mouseClick(View(dlg).m_btnDownload, Qt::LeftButton);
}

/// Selects @p names, clicks Download and waits until the download has ended.
bool DownloadAndWait(WindowFixture& fx, TarnlowDlg& dlg, const QList<QByteArray>& names)
{
    if (!Select(*View(dlg).m_remoteList, names))
        return false;
    ClickDownload(dlg);
    return WaitDone(fx);
}

} // namespace

class TestDownload : public WindowTest {
    Q_OBJECT

private slots:
    void DownloadFolderIsChosenAndChecked();
    void TwoFilesThenAgainNeverOverwrites();
    void FoldersInTheSelectionAreSkipped();
    void FilesComeFromTheFolderTheListShows();
    void DoubleClickDuringADownloadDoesNotList();
};

void TestDownload::DownloadFolderIsChosenAndChecked()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFile(Path(server, "a.txt"), "a"));
    QTemporaryDir local;
    const QString strFolder = Path(local, "chosen");
    QVERIFY(QDir().mkpath(strFolder));
    QVERIFY(WriteFile(Path(local, "plain.txt"), "not a folder"));
    TarnlowDlg& dlg = m_fixture.OpenOn(server);

    m_fixture.m_host.ExpectBrowse(strFolder);
    QTest::mouseClick(View(dlg).m_btnBrowse, Qt::LeftButton);
    QCOMPARE(m_fixture.m_host.LastPrompt().m_strKind, QStringLiteral("browse"));
    QCOMPARE(m_fixture.m_host.LastPrompt().m_strCaption, QStringLiteral("Choose A Directory For FTP Download"));
    QCOMPARE(View(dlg).m_editDownloadPath->text(), strFolder);
    QCOMPARE(dlg.DownloadPath(), strFolder);
    // Cancelling the chooser keeps the folder.
    m_fixture.m_host.ExpectBrowse(QString());
    QTest::mouseClick(View(dlg).m_btnBrowse, Qt::LeftButton);
    QCOMPARE(View(dlg).m_editDownloadPath->text(), strFolder);

    // Nothing selected: nothing happens, not even a message.
    View(dlg).m_remoteList->clearSelection();
    ClickDownload(dlg);
    QCOMPARE(m_fixture.m_host.PromptCount(), 2);
    QVERIFY(!dlg.IsSlotBusy());

    // Empty, missing, or a file: the folder is refused before anything connects.
    QVERIFY(Select(*View(dlg).m_remoteList, {"a.txt"}));
    // Below the design's text, the path and what is wrong with it.
    const std::pair<QString, QString> typed[] = {{QString(), QStringLiteral("No download folder is given.")},
        {Path(local, "missing"), Path(local, "missing") + QStringLiteral(" does not exist.")},
        {Path(local, "plain.txt"), Path(local, "plain.txt") + QStringLiteral(" is not a folder.")}};
    for (const auto& [strTyped, strCause] : typed) {
        m_fixture.m_host.ExpectMessage(kInvalidFolder);
        View(dlg).m_editDownloadPath->setText(strTyped);
        ClickDownload(dlg);
        m_fixture.VerifyLastPrompt(QStringLiteral("ERROR"), MsgIcon::Exclamation);
        QCOMPARE(m_fixture.m_host.LastPrompt().m_strInformative, strCause);
        QVERIFY(!dlg.IsSlotBusy());
    }
    QCOMPARE(m_fixture.m_host.PendingCount(), 0);
    QVERIFY(!QFileInfo::exists(Path(local, "a.txt")));
}

void TestDownload::TwoFilesThenAgainNeverOverwrites()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    const QByteArray bin = Content(200 * 1024 + 3, 7);
    QVERIFY(
        WriteFiles(server.RootPath(), {{"files/a.bin", bin}, {"files/b.txt", "b\r\n"}, {"files/unselected.txt", "u"}}));
    QTemporaryDir local;
    TarnlowDlg& dlg = m_fixture.OpenOn(server, "/files");

    // Typed with a trailing separator: the folder itself.
    View(dlg).m_editDownloadPath->setText(local.path() + QLatin1Char('/'));
    QVERIFY(Select(*View(dlg).m_remoteList, {"a.bin", "b.txt"}));
    FieldRecorder percent(View(dlg).m_editPercent);
    ExpectCompletion(m_fixture, dlg);
    ClickDownload(dlg);
    QCOMPARE(dlg.TotalFiles(), 2);
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(Tree(local.path()), Files({{"a.bin", bin}, {"b.txt", "b\r\n"}}));
    // The percentage rises (within a.bin too, with its bytes) to 100%, then is cleared.
    QVERIFY2(ShownInOrder(percent.m_texts, RisingPercents()), qPrintable(percent.m_texts.join(QLatin1Char(' '))));
    QVERIFY(IdleAndCleared(dlg));
    // The download disabled its button; the focus is back on it.
    QTRY_VERIFY(View(dlg).m_btnDownload->hasFocus());

    // Again: both exist now. Each is reported, neither is touched, and no
    // completion dialog follows.
    QVERIFY(WriteFile(Path(local, "b.txt"), "mine"));
    m_fixture.m_host.Clear();
    m_fixture.m_host.ExpectMessage(kFileExists);
    m_fixture.m_host.ExpectMessage(kFileExists);
    QVERIFY(DownloadAndWait(m_fixture, dlg, {"a.bin", "b.txt"}));
    QCOMPARE(m_fixture.m_host.PromptCount(), 2);
    m_fixture.VerifyLastPrompt(QStringLiteral("FTP Error"), MsgIcon::Hand);
    QCOMPARE(Tree(local.path()), Files({{"a.bin", bin}, {"b.txt", "mine"}}));
    QVERIFY(IdleAndCleared(dlg));
    QCOMPARE(dlg.Session().OpenConnections(), 0);
}

void TestDownload::FoldersInTheSelectionAreSkipped()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFile(Path(server, "sub/inside.txt"), "i"));
    QTemporaryDir local;
    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    View(dlg).m_editDownloadPath->setText(local.path());

    // A folder and "..": nothing is fetched, the bar still runs to its end, and
    // the transfer is complete.
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(DownloadAndWait(m_fixture, dlg, {"..", "sub"}));
    QVERIFY(QDir(local.path()).isEmpty());
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
}

void TestDownload::FilesComeFromTheFolderTheListShows()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFiles(server.RootPath(),
        {{"pub/a.txt", "pub a"}, {"pub/b.txt", "pub b"}, {"pub/:c.txt", "pub c"}, {"pub/n\xff.txt", "pub ff"},
            {"pub/sub/in-pub.txt", "p"}, {"backup/a.txt", "backup a"}, {"backup/sub/in-backup.txt", "b"}}));
    TempDir local;
    TarnlowDlg& dlg = m_fixture.OpenOn(server, "/pub");
    View(dlg).m_editDownloadPath->setText(local.path());

    // Another folder typed into Directory, without Refresh: the selected names
    // are still those the list shows, and come from there. Each arrives in the
    // download folder by its own bytes: ":c.txt" is no resource path that
    // would land in the folder the program was started from, and a name that
    // is not UTF-8 keeps its bytes.
    dlg.ActivePane()->m_editDirectory->setText(QStringLiteral("/backup"));
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(DownloadAndWait(m_fixture, dlg, {"a.txt", "b.txt", ":c.txt", "n\xff.txt"}));
    QCOMPARE(Tree(local.path()),
        Files({{"a.txt", "pub a"}, {"b.txt", "pub b"}, {":c.txt", "pub c"}, {"n\\xff.txt", "pub ff"}}));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);

    // A folder of the list opens below the folder the list shows, though the
    // download has taken in the typed one since.
    QCOMPARE(dlg.ActivePane()->m_strDirectory, QByteArray("/backup"));
    QVERIFY(DoubleClick(*View(dlg).m_remoteList, "sub"));
    QVERIFY(m_fixture.WaitIdle());
    QCOMPARE(dlg.ActivePane()->m_editDirectory->text(), QStringLiteral("/pub/sub"));
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "in-pub.txt"}));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
}

void TestDownload::DoubleClickDuringADownloadDoesNotList()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--stall-transfer"), QStringLiteral("slow.bin")}));
    QVERIFY(WriteFile(Path(server, "slow.bin"), Content(1000, 9)));
    QVERIFY(QDir(server.RootPath()).mkdir(QStringLiteral("sub")));
    QTemporaryDir local;
    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    m_fixture.SetWaits(2500);
    View(dlg).m_editDownloadPath->setText(local.path());
    const int nItems = Count(*View(dlg).m_remoteList);

    QVERIFY(Select(*View(dlg).m_remoteList, {"slow.bin"}));
    m_fixture.m_host.ExpectMessage(kFileExists);
    ClickDownload(dlg);
    QTRY_COMPARE_WITH_TIMEOUT(View(dlg).m_editTransferName->text(), QStringLiteral("slow.bin"), 5000);
    const QByteArray strDirectory = dlg.ActivePane()->m_strDirectory;
    // The list stays usable during a download, but a double-click on a folder
    // neither moves nor lists while the download holds the connection.
    QVERIFY(!dlg.IsIdle());
    QVERIFY(View(dlg).m_remoteList->isEnabled());
    QVERIFY(View(dlg).m_editDownloadPath->isReadOnly());
    QVERIFY(!View(dlg).m_btnDownload->isEnabled());
    QVERIFY(Select(*View(dlg).m_remoteList, {"sub"}));
    QVERIFY(DoubleClick(*View(dlg).m_remoteList, "sub"));
    QCOMPARE(dlg.Gate().RunningWorkers(), 1);
    QCOMPARE(dlg.ActivePane()->m_strDirectory, strDirectory);
    QCOMPARE(Count(*View(dlg).m_remoteList), nItems);

    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    QVERIFY(QDir(local.path()).isEmpty());
    QCOMPARE(dlg.ActivePane()->m_strDirectory, strDirectory);
}

TARNLOW_WINDOW_TEST_MAIN(TestDownload)
#include "TestDownload.moc"
