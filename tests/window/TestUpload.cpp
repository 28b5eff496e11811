// Uploads through the real window against the test FTP server: drops of files
// and folder trees, items that cannot be sent, folders the server will not
// enter, the one connection slot, and quitting while an upload runs.

#include "TransferHelpers.h"

#include <QTabBar>

#include <sys/stat.h>

using namespace TransferHelpers;

namespace {

const QString kTransferFailed = QStringLiteral("Could not transfer file");

} // namespace

class TestUpload : public WindowTest {
    Q_OBJECT

private slots:
    void OneFileLandsInTheSiteDirectory();
    void FolderTreeArrivesByteForByte();
    void TwoFoldersLandSideBySideUnderARelativeDirectory();
    void ExistingAndEmptyRemoteFolders();
    void RefusedFileIsReportedAndTheRestGoesOn();
    void UnsendablePathsAreReportedNeverMadeFolders();
    void FolderTheServerWillNotEnterGetsNoneOfItsFiles();
    void WrongPasswordUploadsNothing();
    void CommandLinePathsUploadAtStartUp();
    void DropsWaitForTheSlotOrAreRefused();
    void SiteStaysWhileTheUploadConnects();
    void SiteChosenAsTheUploadEndsIsListed();
    void QuittingMidTransferEndsPromptly();
};

void TestUpload::OneFileLandsInTheSiteDirectory()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(QDir(server.RootPath()).mkdir(QStringLiteral("incoming")));
    QTemporaryDir local;
    const QByteArray content = Content(150 * 1024 + 17, 1);
    QVERIFY(WriteFile(Path(local, "photo 1.jpg"), content));

    TarnlowDlg& dlg = m_fixture.OpenOn(server, "/incoming");
    QVERIFY(UploadAndWait(m_fixture, dlg, {Path(local, "photo 1.jpg")}));

    QCOMPARE(ReadFile(Path(server, "incoming/photo 1.jpg")), content);
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    QVERIFY(IdleAndCleared(dlg));
    // The listing after the upload shows the new file, over a connection of its own.
    QVERIFY(!View(dlg).m_remoteList->findItems(QStringLiteral("photo 1.jpg"), Qt::MatchExactly).isEmpty());
    QCOMPARE(dlg.Session().OpenConnections(), 0);
}

void TestUpload::FolderTreeArrivesByteForByte()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    // Folder A with x, sub-folder B holding y, then z: the upload creates A,
    // enters it, sends x, creates and enters B, sends y, comes back and sends z.
    // Deeper levels under B, where the way back out must hold for several folders.
    const QString strA = Path(local, "A");
    QVERIFY(WriteFiles(strA,
        {{"1x.bin", Content(70000, 2)}, {"2B/y.bin", Content(3, 3)}, {"3z.bin", Content(0, 4)},
            {"2B/deep/er/w.txt", "w\r\n"}, {"2B/deep/v.txt", "v"}, {"2B/zz.txt", "after the deep folder"},
            {"4 with space/caf\u00e9.txt", "accent"}}));

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    FieldRecorder names(View(dlg).m_editTransferName);
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {strA}));
    QCOMPARE(dlg.TotalFiles(), 7);
    QVERIFY(WaitDone(m_fixture));

    QCOMPARE(Tree(Path(server, "A")), Tree(strA));
    QCOMPARE(Tree(server.RootPath()).size(), Tree(strA).size() + 1); // nothing beside A
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    // Each file's full path shows while it is sent, and the field empties after each.
    QStringList expected;
    for (const char* pszName : {"1x.bin", "2B/deep/er/w.txt", "2B/deep/v.txt", "2B/y.bin", "2B/zz.txt", "3z.bin",
             "4 with space/caf\u00e9.txt"})
        expected << strA + u'/' + QString::fromUtf8(pszName) << QString();
    QCOMPARE(names.m_texts, expected);
}

void TestUpload::TwoFoldersLandSideBySideUnderARelativeDirectory()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(QDir(server.RootPath()).mkdir(QStringLiteral("pub")));
    QTemporaryDir local;
    QVERIFY(WriteFiles(local.path(), {{"first/sub/a.txt", "a"}, {"loose.txt", "loose"}, {"second/b.txt", "b"}}));

    // "pub" is relative: only the name the server gave for it leads back from
    // inside the first folder.
    TarnlowDlg& dlg = m_fixture.OpenOn(server, "pub");
    QVERIFY(UploadAndWait(m_fixture, dlg, {Path(local, "first"), Path(local, "loose.txt"), Path(local, "second")}));

    QCOMPARE(Tree(server.RootPath()),
        Files({{"pub", "<dir>"}, {"pub/first", "<dir>"}, {"pub/first/sub", "<dir>"}, {"pub/first/sub/a.txt", "a"},
            {"pub/loose.txt", "loose"}, {"pub/second", "<dir>"}, {"pub/second/b.txt", "b"}}));
}

void TestUpload::ExistingAndEmptyRemoteFolders()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFile(Path(server, "A/old.txt"), "old"));
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "A/new.txt"), "new"));
    QVERIFY(QDir().mkpath(Path(local, "empty")));

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    // An existing remote folder is filled without a word.
    QVERIFY(UploadAndWait(m_fixture, dlg, {Path(local, "A")}));
    QCOMPARE(Tree(Path(server, "A")), Files({{"old.txt", "old"}, {"new.txt", "new"}}));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);

    // An empty folder: nothing to count, an empty remote folder, and still the
    // completion dialog, with the percentage never moved from 0%.
    FieldRecorder percent(View(dlg).m_editPercent);
    ExpectCompletion(m_fixture, dlg, false);
    QVERIFY(Drop(dlg, {Path(local, "empty")}));
    QCOMPARE(dlg.TotalFiles(), 0);
    QVERIFY(WaitDone(m_fixture));
    QVERIFY(QFileInfo(Path(server, "empty")).isDir());
    QVERIFY(QDir(Path(server, "empty")).isEmpty());
    QVERIFY(percent.m_texts.isEmpty());
    QCOMPARE(m_fixture.m_host.PromptCount(), 2);
}

void TestUpload::RefusedFileIsReportedAndTheRestGoesOn()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--refuse-stor"), QStringLiteral("b.txt")}));
    QTemporaryDir local;
    for (const char* pszName : {"A/a.txt", "A/b.txt", "A/c.txt"})
        QVERIFY(WriteFile(Path(local, pszName), pszName));

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    m_fixture.m_host.ExpectMessage(kTransferFailed);
    QVERIFY(UploadAndWait(m_fixture, dlg, {Path(local, "A")}));

    const QList<ScriptedDialogHost::Prompt> prompts = m_fixture.m_host.Prompts();
    QCOMPARE(prompts.size(), 2);
    QCOMPARE(prompts[0].m_strCaption, QStringLiteral("FTP Error"));
    QCOMPARE(prompts[0].m_icon, MsgIcon::Hand);
    QCOMPARE(Tree(Path(server, "A")), Files({{"a.txt", "A/a.txt"}, {"c.txt", "A/c.txt"}}));
}

void TestUpload::UnsendablePathsAreReportedNeverMadeFolders()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    QVERIFY(WriteFiles(local.path(), {{"A/1.txt", "1"}, {"A/3.txt", "3"}, {"A/5.txt", "5"}, {"after.txt", "after"}}));
    QCOMPARE(::mkfifo(QFile::encodeName(Path(local, "A/2pipe")).constData(), 0600), 0);
    // A link back up inside the dropped folder: not followed, so the walk ends.
    QVERIFY(QFile::link(Path(local, "A"), Path(local, "A/4loop")));

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    for (int i = 0; i < 3; ++i)
        m_fixture.m_host.ExpectMessage(kTransferFailed);
    ExpectCompletion(m_fixture, dlg);
    // A path that no longer exists, then a folder with a pipe and a loop, then a file.
    QVERIFY(Drop(dlg, {Path(local, "gone"), Path(local, "A"), Path(local, "after.txt")}));
    QCOMPARE(dlg.TotalFiles(), 7);
    QVERIFY(WaitDone(m_fixture));

    // Every other file went where it belongs; nothing became a remote folder.
    QCOMPARE(Tree(server.RootPath()),
        Files({{"A", "<dir>"}, {"A/1.txt", "1"}, {"A/3.txt", "3"}, {"A/5.txt", "5"}, {"after.txt", "after"}}));
}

void TestUpload::FolderTheServerWillNotEnterGetsNoneOfItsFiles()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--refuse"), QStringLiteral("MKD"), QStringLiteral("B"),
        QStringLiteral("--refuse"), QStringLiteral("CWD"), QStringLiteral("B")}));
    QTemporaryDir local;
    QVERIFY(WriteFiles(
        local.path(), {{"A/1.txt", "1"}, {"A/B/y1.txt", "y1"}, {"A/B/inner/y2.txt", "y2"}, {"A/C/3.txt", "3"}}));

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    FieldRecorder percent(View(dlg).m_editPercent);
    m_fixture.m_host.ExpectMessage(kTransferFailed); // once, for the folder
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "A")}));
    QCOMPARE(dlg.TotalFiles(), 4);
    QVERIFY(WaitDone(m_fixture));

    // Neither y1 nor y2 is anywhere on the server.
    QCOMPARE(Tree(server.RootPath()), Files({{"A", "<dir>"}, {"A/1.txt", "1"}, {"A/C", "<dir>"}, {"A/C/3.txt", "3"}}));
    // The folder's two files still count, so the bar reaches its end.
    QCOMPARE(percent.m_texts, Percents({25, 50, 75, 100, 0}));
}

void TestUpload::WrongPasswordUploadsNothing()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "a.txt"), "a"));
    m_fixture.WriteSite(server, {}, "wrong");
    m_fixture.m_host.ExpectMessage(QStringLiteral("Can't display the remote directory"));
    TarnlowDlg& dlg = m_fixture.Open();
    QVERIFY(WaitDone(m_fixture));

    m_fixture.m_host.ExpectMessage(QStringLiteral("Can't connect to FTP server - check the FTP username/password"));
    QVERIFY(Drop(dlg, {Path(local, "a.txt")}));
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(m_fixture.m_host.PromptCount(), 2); // no completion dialog
    QVERIFY(IdleAndCleared(dlg));
    QVERIFY(View(dlg).m_btnRefresh->isEnabled());
    QVERIFY(!dlg.ActivePane()->m_editAddress->isReadOnly());
    QVERIFY(!QFileInfo::exists(Path(server, "a.txt")));
}

void TestUpload::CommandLinePathsUploadAtStartUp()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    QVERIFY(WriteFiles(local.path(), {{"x.txt", "x"}, {"D/y.txt", "y"}}));
    m_fixture.WriteSite(server);
    m_fixture.m_host.ExpectDialog(1);
    // Started inside D, "." is the folder D, which lands as D.
    const QString strOldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(Path(local, "D")));
    TarnlowDlg& dlg = m_fixture.Open({Path(local, "x.txt"), QStringLiteral(".")});
    QCOMPARE(dlg.TotalFiles(), 2);
    QVERIFY(WaitDone(m_fixture));
    QVERIFY(QDir::setCurrent(strOldCurrent));
    QCOMPARE(Tree(server.RootPath()), Files({{"x.txt", "x"}, {"D", "<dir>"}, {"D/y.txt", "y"}}));
    QVERIFY(View(dlg).m_remoteList->isEnabled());
}

void TestUpload::DropsWaitForTheSlotOrAreRefused()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--stall-transfer"), QStringLiteral("z-stalled.bin")}));
    QTemporaryDir local;
    QVERIFY(WriteFiles(local.path(),
        {{"A/a.txt", "a"}, {"A/z-stalled.bin", Content(1000, 5)}, {"late.txt", "late"}, {"held.txt", "held"}}));

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    m_fixture.SetWaits(2500);

    // While the upload's worker holds the connection, the window is busy: a
    // drop is refused and nothing else starts.
    m_fixture.m_host.ExpectMessage(kTransferFailed);
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "A")}));
    QTRY_COMPARE_WITH_TIMEOUT(View(dlg).m_editTransferName->text(), Path(local, "A/z-stalled.bin"), 5000);
    QVERIFY(!dlg.IsIdle());
    QVERIFY(View(dlg).m_animate->IsPlaying());
    QVERIFY(!View(dlg).m_tab->isEnabled());
    QVERIFY(!View(dlg).m_remoteList->isEnabled());
    QVERIFY(dlg.ActivePane()->m_editAddress->isReadOnly());
    QVERIFY(!Drop(dlg, {Path(local, "late.txt")}));
    QCOMPARE(dlg.Gate().RunningWorkers(), 1);
    QVERIFY(WaitDone(m_fixture));
    QVERIFY(!View(dlg).m_animate->IsPlaying());
    QCOMPARE(View(dlg).m_animate->CurrentFrame(), 0);
    QVERIFY(QFileInfo::exists(Path(server, "A/a.txt")));
    QVERIFY(!QFileInfo::exists(Path(server, "late.txt")));

    // A drop while a listing holds the connection waits for it, then runs.
    m_fixture.m_host.Clear();
    ExpectCompletion(m_fixture, dlg);
    dlg.StartListing();
    QVERIFY(dlg.IsSlotBusy());
    QVERIFY(Drop(dlg, {Path(local, "held.txt")}));
    QVERIFY(dlg.IsIdle()); // not started yet
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(ReadFile(Path(server, "held.txt")), QByteArray("held"));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
}

void TestUpload::SiteStaysWhileTheUploadConnects()
{
    // A server that never greets keeps the upload's worker connecting, with the
    // window not yet busy.
    FtpTestServer silent;
    QVERIFY(silent.Start({QStringLiteral("--silent")}));
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "a.txt"), "a"));
    std::array<SiteProfile, 5> profiles;
    profiles[0] = SiteProfile {silent.Address().toUtf8(), "one", "pw1", {}};
    profiles[1] = SiteProfile {silent.Address().toUtf8(), "two", "pw2", {}};
    m_fixture.WriteProfiles(profiles);
    TarnlowDlg& dlg = m_fixture.Open({Path(local, "a.txt")});
    QVERIFY(dlg.IsSlotBusy());
    QVERIFY(dlg.IsIdle());

    // A click on the second site's tab must not swap the site the worker uses.
    QTabBar* pBar = View(dlg).m_tab->tabBar();
    QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->tabRect(1).center());
    QCOMPARE(View(dlg).m_tab->currentIndex(), 0);
    QCOMPARE(dlg.ActivePane(), &dlg.Pane(0));
    m_fixture.Close();
    QCOMPARE(m_fixture.m_host.PromptCount(), 0);
}

void TestUpload::SiteChosenAsTheUploadEndsIsListed()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFiles(server.RootPath(), {{"one/old.txt", "old"}, {"two/other.txt", "other"}}));
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "new.txt"), "new"));
    std::array<SiteProfile, 5> profiles;
    profiles[0] = SiteProfile {server.Address().toUtf8(), server.User().toUtf8(), server.Password().toUtf8(), "/one"};
    profiles[1] = SiteProfile {server.Address().toUtf8(), server.User().toUtf8(), server.Password().toUtf8(), "/two"};
    m_fixture.WriteProfiles(profiles);
    TarnlowDlg& dlg = m_fixture.Open();
    QVERIFY(m_fixture.WaitIdle());

    // The upload's end gives the controls back before its worker has closed its
    // connection; a click on the second site then must not leave the first
    // site's entries in the list, where a delete would act on the second site.
    QTabBar* pBar = View(dlg).m_tab->tabBar();
    bool bClicked = false;
    connect(View(dlg).m_editPercent, &QLineEdit::textChanged, this, [&](const QString& strText) {
        if (bClicked || strText != QStringLiteral("0%") || !dlg.IsSlotBusy())
            return;
        bClicked = true;
        QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->tabRect(1).center());
    });
    m_fixture.m_host.ExpectDialog(1);
    QVERIFY(Drop(dlg, {Path(local, "new.txt")}));
    QVERIFY(WaitDone(m_fixture));
    QVERIFY(bClicked);
    QCOMPARE(dlg.ActivePane(), &dlg.Pane(1));
    QTRY_VERIFY_WITH_TIMEOUT(!View(dlg).m_remoteList->findItems(QStringLiteral("other.txt"), Qt::MatchExactly).isEmpty()
            && !dlg.IsSlotBusy(),
        10000);
    QVERIFY(View(dlg).m_remoteList->findItems(QStringLiteral("new.txt"), Qt::MatchExactly).isEmpty());
    QVERIFY(View(dlg).m_remoteList->isEnabled());
}

void TestUpload::QuittingMidTransferEndsPromptly()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--stall-transfer"), QStringLiteral("stalled.bin")}));
    QTemporaryDir local;
    QVERIFY(WriteFiles(local.path(), {{"A/stalled.bin", Content(1000, 6)}, {"A/t.txt", "t"}}));

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    m_fixture.SetWaits(60000); // far longer than the window waits for its workers when it closes
    QVERIFY(Drop(dlg, {Path(local, "A")}));
    QTRY_COMPARE_WITH_TIMEOUT(View(dlg).m_editTransferName->text(), Path(local, "A/stalled.bin"), 5000);

    // Escape: the window goes at once; the worker gives up without waiting for
    // the server and touches nothing of the window afterwards.
    QVERIFY(QFile::remove(m_fixture.SettingsFilePath()));
    dlg.reject();
    QCOMPARE(dlg.Gate().RunningWorkers(), 0);
    // The profiles are still saved.
    QVERIFY(m_fixture.SettingsFileBytes().contains(server.Address().toUtf8()));
    m_fixture.Close();
    QVERIFY(!QFileInfo::exists(Path(server, "A/t.txt")));
    QCOMPARE(m_fixture.m_host.PromptCount(), 0);
}

TARNLOW_WINDOW_TEST_MAIN(TestUpload)
#include "TestUpload.moc"
