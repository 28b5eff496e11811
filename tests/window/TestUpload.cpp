// Uploads through the real window against the test FTP server: drops of files
// and folder trees, items that cannot be sent, folders the server will not
// enter, the one connection slot, and quitting while an upload runs.

#include "TransferHelpers.h"

#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <sys/stat.h>

using namespace TransferHelpers;

namespace {

const QString kTransferFailed = QStringLiteral("Could not transfer file");

QString Path(const QTemporaryDir& dir, const char* pszRelative)
{
    return dir.filePath(QString::fromUtf8(pszRelative));
}

/// Every file under the server's root whose name is @p strName.
QStringList FindOnServer(const FtpTestServer& server, const QString& strName)
{
    QStringList found;
    QDirIterator it(server.RootPath(), {strName}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(it.next());
    return found;
}

} // namespace

class TestUpload : public QObject {
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

private:
    WindowFixture m_fixture;
};

void TestUpload::OneFileLandsInTheSiteDirectory()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(QDir(server.RootPath()).mkdir(QStringLiteral("incoming")));
    QTemporaryDir local;
    const QByteArray content = Content(150 * 1024 + 17, 1);
    QVERIFY(WriteFile(Path(local, "photo 1.jpg"), content));

    TarnlowDlg& dlg = OpenOn(m_fixture, server, "/incoming");
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "photo 1.jpg")}));
    QVERIFY(WaitDone(m_fixture));

    QCOMPARE(ReadFile(server.RootPath() + QStringLiteral("/incoming/photo 1.jpg")), content);
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    QVERIFY(IdleAndCleared(dlg));
    // The listing after the upload shows the new file, over a connection of its own.
    QVERIFY(!dlg.m_remoteList->findItems(QStringLiteral("photo 1.jpg"), Qt::MatchExactly).isEmpty());
    QVERIFY(!dlg.m_pConnection);
    QVERIFY(!dlg.m_bConnected);
}

void TestUpload::FolderTreeArrivesByteForByte()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    // Folder A with x, sub-folder B holding y, then z: the upload creates A,
    // enters it, sends x, creates and enters B, sends y, comes back and sends z.
    const QString strA = Path(local, "A");
    QVERIFY(WriteFile(strA + QStringLiteral("/1x.bin"), Content(70000, 2)));
    QVERIFY(WriteFile(strA + QStringLiteral("/2B/y.bin"), Content(3, 3)));
    QVERIFY(WriteFile(strA + QStringLiteral("/3z.bin"), Content(0, 4)));
    // Deeper levels, where the way back out must hold for several folders.
    QVERIFY(WriteFile(strA + QStringLiteral("/2B/deep/er/w.txt"), "w\r\n"));
    QVERIFY(WriteFile(strA + QStringLiteral("/2B/deep/v.txt"), "v"));
    QVERIFY(WriteFile(strA + QStringLiteral("/2B/zz.txt"), "after the deep folder"));
    QVERIFY(WriteFile(strA + QStringLiteral("/4 with space/caf\u00e9.txt"), "accent"));

    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    FieldRecorder names(dlg.m_editTransferName);
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {strA}));
    QCOMPARE(dlg.m_nTotalFiles, 7);
    QVERIFY(WaitDone(m_fixture));

    QCOMPARE(Tree(server.RootPath() + QStringLiteral("/A")), Tree(strA));
    QCOMPARE(Tree(server.RootPath()).size(), Tree(strA).size() + 1); // nothing beside A
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    // Each file's full path shows while it is sent, and the field empties after each.
    const QStringList expected {strA + QStringLiteral("/1x.bin"), QString(), strA + QStringLiteral("/2B/deep/er/w.txt"),
        QString(), strA + QStringLiteral("/2B/deep/v.txt"), QString(), strA + QStringLiteral("/2B/y.bin"), QString(),
        strA + QStringLiteral("/2B/zz.txt"), QString(), strA + QStringLiteral("/3z.bin"), QString(),
        strA + QStringLiteral("/4 with space/caf\u00e9.txt"), QString()};
    QCOMPARE(names.m_texts, expected);
}

void TestUpload::TwoFoldersLandSideBySideUnderARelativeDirectory()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(QDir(server.RootPath()).mkdir(QStringLiteral("pub")));
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "first/sub/a.txt"), "a"));
    QVERIFY(WriteFile(Path(local, "loose.txt"), "loose"));
    QVERIFY(WriteFile(Path(local, "second/b.txt"), "b"));

    // "pub" is relative: only the name the server gave for it leads back from
    // inside the first folder.
    TarnlowDlg& dlg = OpenOn(m_fixture, server, "pub");
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "first"), Path(local, "loose.txt"), Path(local, "second")}));
    QVERIFY(WaitDone(m_fixture));

    const QMap<QString, QByteArray> expected {{QStringLiteral("pub"), "<dir>"}, {QStringLiteral("pub/first"), "<dir>"},
        {QStringLiteral("pub/first/sub"), "<dir>"}, {QStringLiteral("pub/first/sub/a.txt"), "a"},
        {QStringLiteral("pub/loose.txt"), "loose"}, {QStringLiteral("pub/second"), "<dir>"},
        {QStringLiteral("pub/second/b.txt"), "b"}};
    QCOMPARE(Tree(server.RootPath()), expected);
}

void TestUpload::ExistingAndEmptyRemoteFolders()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/A/old.txt"), "old"));
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "A/new.txt"), "new"));
    QVERIFY(QDir().mkpath(Path(local, "empty")));

    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    // An existing remote folder is filled without a word.
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "A")}));
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(ReadFile(server.RootPath() + QStringLiteral("/A/old.txt")), QByteArray("old"));
    QCOMPARE(ReadFile(server.RootPath() + QStringLiteral("/A/new.txt")), QByteArray("new"));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);

    // An empty folder: nothing to count, an empty remote folder, and still the
    // completion dialog, with the percentage never moved from 0%.
    FieldRecorder percent(dlg.m_editPercent);
    ExpectCompletion(m_fixture, dlg, false);
    QVERIFY(Drop(dlg, {Path(local, "empty")}));
    QCOMPARE(dlg.m_nTotalFiles, 0);
    QVERIFY(WaitDone(m_fixture));
    QVERIFY(QFileInfo(server.RootPath() + QStringLiteral("/empty")).isDir());
    QVERIFY(QDir(server.RootPath() + QStringLiteral("/empty")).isEmpty());
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

    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    m_fixture.m_host.ExpectMessage(kTransferFailed);
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "A")}));
    QVERIFY(WaitDone(m_fixture));

    const QList<ScriptedDialogHost::Prompt> prompts = m_fixture.m_host.Prompts();
    QCOMPARE(prompts.size(), 2);
    QCOMPARE(prompts[0].m_strCaption, QStringLiteral("FTP Error"));
    QCOMPARE(prompts[0].m_icon, MsgIcon::Hand);
    QCOMPARE(ReadFile(server.RootPath() + QStringLiteral("/A/a.txt")), QByteArray("A/a.txt"));
    QCOMPARE(ReadFile(server.RootPath() + QStringLiteral("/A/c.txt")), QByteArray("A/c.txt"));
    QVERIFY(!QFileInfo::exists(server.RootPath() + QStringLiteral("/A/b.txt")));
}

void TestUpload::UnsendablePathsAreReportedNeverMadeFolders()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "A/1.txt"), "1"));
    QCOMPARE(::mkfifo(QFile::encodeName(Path(local, "A/2pipe")).constData(), 0600), 0);
    QVERIFY(WriteFile(Path(local, "A/3.txt"), "3"));
    // A link back up inside the dropped folder: not followed, so the walk ends.
    QVERIFY(QFile::link(Path(local, "A"), Path(local, "A/4loop")));
    QVERIFY(WriteFile(Path(local, "A/5.txt"), "5"));
    QVERIFY(WriteFile(Path(local, "after.txt"), "after"));

    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    for (int i = 0; i < 3; ++i)
        m_fixture.m_host.ExpectMessage(kTransferFailed);
    ExpectCompletion(m_fixture, dlg);
    // A path that no longer exists, then a folder with a pipe and a loop, then a file.
    QVERIFY(Drop(dlg, {Path(local, "gone"), Path(local, "A"), Path(local, "after.txt")}));
    QCOMPARE(dlg.m_nTotalFiles, 7);
    QVERIFY(WaitDone(m_fixture));

    // Every other file went where it belongs; nothing became a remote folder.
    const QMap<QString, QByteArray> expected {{QStringLiteral("A"), "<dir>"}, {QStringLiteral("A/1.txt"), "1"},
        {QStringLiteral("A/3.txt"), "3"}, {QStringLiteral("A/5.txt"), "5"}, {QStringLiteral("after.txt"), "after"}};
    QCOMPARE(Tree(server.RootPath()), expected);
}

void TestUpload::FolderTheServerWillNotEnterGetsNoneOfItsFiles()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--refuse"), QStringLiteral("MKD"), QStringLiteral("B"),
        QStringLiteral("--refuse"), QStringLiteral("CWD"), QStringLiteral("B")}));
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "A/1.txt"), "1"));
    QVERIFY(WriteFile(Path(local, "A/B/y1.txt"), "y1"));
    QVERIFY(WriteFile(Path(local, "A/B/inner/y2.txt"), "y2"));
    QVERIFY(WriteFile(Path(local, "A/C/3.txt"), "3"));

    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    FieldRecorder percent(dlg.m_editPercent);
    m_fixture.m_host.ExpectMessage(kTransferFailed); // once, for the folder
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "A")}));
    QCOMPARE(dlg.m_nTotalFiles, 4);
    QVERIFY(WaitDone(m_fixture));

    QVERIFY(FindOnServer(server, QStringLiteral("y1.txt")).isEmpty());
    QVERIFY(FindOnServer(server, QStringLiteral("y2.txt")).isEmpty());
    const QMap<QString, QByteArray> expected {{QStringLiteral("A"), "<dir>"}, {QStringLiteral("A/1.txt"), "1"},
        {QStringLiteral("A/C"), "<dir>"}, {QStringLiteral("A/C/3.txt"), "3"}};
    QCOMPARE(Tree(server.RootPath()), expected);
    // The folder's two files still count, so the bar reaches its end.
    QCOMPARE(percent.m_texts,
        (QStringList {QStringLiteral("25%"), QStringLiteral("50%"), QStringLiteral("75%"), QStringLiteral("100%"),
            QStringLiteral("0%")}));
}

void TestUpload::WrongPasswordUploadsNothing()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "a.txt"), "a"));
    WriteSite(m_fixture, server, {}, "wrong");
    m_fixture.m_host.ExpectMessage(QStringLiteral("Can't display the remote directory"));
    TarnlowDlg& dlg = m_fixture.Open();
    QVERIFY(WaitDone(m_fixture));

    m_fixture.m_host.ExpectMessage(QStringLiteral("Can't connect to FTP server - check the FTP username/password"));
    QVERIFY(Drop(dlg, {Path(local, "a.txt")}));
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(m_fixture.m_host.PromptCount(), 2); // no completion dialog
    QVERIFY(IdleAndCleared(dlg));
    QVERIFY(dlg.m_btnRefresh->isEnabled());
    QVERIFY(!dlg.ActivePane()->m_editAddress->isReadOnly());
    QVERIFY(!QFileInfo::exists(server.RootPath() + QStringLiteral("/a.txt")));
}

void TestUpload::CommandLinePathsUploadAtStartUp()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "x.txt"), "x"));
    QVERIFY(WriteFile(Path(local, "D/y.txt"), "y"));
    WriteSite(m_fixture, server);
    m_fixture.m_host.ExpectDialog(1);
    TarnlowDlg& dlg = m_fixture.Open({Path(local, "x.txt"), Path(local, "D")});
    QCOMPARE(dlg.m_nTotalFiles, 2);
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(ReadFile(server.RootPath() + QStringLiteral("/x.txt")), QByteArray("x"));
    QCOMPARE(ReadFile(server.RootPath() + QStringLiteral("/D/y.txt")), QByteArray("y"));
    QVERIFY(dlg.m_remoteList->isEnabled());
}

void TestUpload::DropsWaitForTheSlotOrAreRefused()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--stall-transfer"), QStringLiteral("z-stalled.bin")}));
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "A/a.txt"), "a"));
    QVERIFY(WriteFile(Path(local, "A/z-stalled.bin"), Content(1000, 5)));
    QVERIFY(WriteFile(Path(local, "late.txt"), "late"));
    QVERIFY(WriteFile(Path(local, "held.txt"), "held"));

    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    FtpTimeouts timeouts = dlg.Session().Timeouts();
    timeouts.nReplyMs = timeouts.nDataMs = 2500;
    dlg.Session().SetTimeouts(timeouts);

    // While the upload's worker holds the connection, the window is busy: a
    // drop is refused and nothing else starts.
    m_fixture.m_host.ExpectMessage(kTransferFailed);
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "A")}));
    QTRY_COMPARE_WITH_TIMEOUT(dlg.m_editTransferName->text(), Path(local, "A/z-stalled.bin"), 5000);
    QVERIFY(!dlg.m_bIdle);
    QVERIFY(dlg.m_animate->IsPlaying());
    QVERIFY(!dlg.m_tab->isEnabled());
    QVERIFY(!dlg.m_remoteList->isEnabled());
    QVERIFY(dlg.ActivePane()->m_editAddress->isReadOnly());
    QVERIFY(!Drop(dlg, {Path(local, "late.txt")}));
    QCOMPARE(dlg.Gate().RunningWorkers(), 1);
    QVERIFY(WaitDone(m_fixture));
    QVERIFY(!dlg.m_animate->IsPlaying());
    QCOMPARE(dlg.m_animate->CurrentFrame(), 0);
    QVERIFY(QFileInfo::exists(server.RootPath() + QStringLiteral("/A/a.txt")));
    QVERIFY(!QFileInfo::exists(server.RootPath() + QStringLiteral("/late.txt")));

    // A drop while a listing holds the connection waits for it, then runs.
    m_fixture.m_host.Clear();
    ExpectCompletion(m_fixture, dlg);
    dlg.StartListing();
    QVERIFY(dlg.IsSlotBusy());
    QVERIFY(Drop(dlg, {Path(local, "held.txt")}));
    QVERIFY(dlg.m_bIdle); // not started yet
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(ReadFile(server.RootPath() + QStringLiteral("/held.txt")), QByteArray("held"));
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
    QVERIFY(dlg.m_bIdle);

    // A click on the second site's tab must not swap the site the worker uses.
    QTabBar* pBar = dlg.m_tab->tabBar();
    QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->tabRect(1).center());
    QCOMPARE(dlg.m_tab->currentIndex(), 0);
    QCOMPARE(dlg.ActivePane(), &dlg.Pane(0));
    m_fixture.Close();
    QCOMPARE(m_fixture.m_host.PromptCount(), 0);
}

void TestUpload::SiteChosenAsTheUploadEndsIsListed()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/one/old.txt"), "old"));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/two/other.txt"), "other"));
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
    QTabBar* pBar = dlg.m_tab->tabBar();
    bool bClicked = false;
    connect(dlg.m_editPercent, &QLineEdit::textChanged, this, [&](const QString& strText) {
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
    QTRY_VERIFY_WITH_TIMEOUT(
        !dlg.m_remoteList->findItems(QStringLiteral("other.txt"), Qt::MatchExactly).isEmpty() && !dlg.IsSlotBusy(),
        10000);
    QVERIFY(dlg.m_remoteList->findItems(QStringLiteral("new.txt"), Qt::MatchExactly).isEmpty());
    QVERIFY(dlg.m_remoteList->isEnabled());
}

void TestUpload::QuittingMidTransferEndsPromptly()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--stall-transfer"), QStringLiteral("stalled.bin")}));
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "A/stalled.bin"), Content(1000, 6)));
    QVERIFY(WriteFile(Path(local, "A/t.txt"), "t"));

    TarnlowDlg& dlg = OpenOn(m_fixture, server);
    // Far longer than the window waits for its workers when it closes.
    FtpTimeouts timeouts = dlg.Session().Timeouts();
    timeouts.nReplyMs = timeouts.nDataMs = 60000;
    dlg.Session().SetTimeouts(timeouts);
    QVERIFY(Drop(dlg, {Path(local, "A")}));
    QTRY_COMPARE_WITH_TIMEOUT(dlg.m_editTransferName->text(), Path(local, "A/stalled.bin"), 5000);

    // Escape: the window goes at once; the worker gives up without waiting for
    // the server and touches nothing of the window afterwards.
    QVERIFY(QFile::remove(m_fixture.SettingsFilePath()));
    dlg.reject();
    QCOMPARE(dlg.Gate().RunningWorkers(), 0);
    // The profiles are still saved.
    QVERIFY(m_fixture.SettingsFileBytes().contains(server.Address().toUtf8()));
    m_fixture.Close();
    QVERIFY(!QFileInfo::exists(server.RootPath() + QStringLiteral("/A/t.txt")));
    QCOMPARE(m_fixture.m_host.PromptCount(), 0);
}

TARNLOW_WINDOW_TEST_MAIN(TestUpload)
#include "TestUpload.moc"
