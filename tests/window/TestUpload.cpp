// Uploads through the real window against the test FTP server: drops of files
// and folders, what the user sees of refused items and failed logins, the one
// connection slot, and quitting while an upload runs. The walk itself is
// tested without a window (TestTransferWalks).

#include "RemoteListHelpers.h"
#include "TransferHelpers.h"

#include <QTabBar>

using namespace TransferHelpers;

namespace {

const QString kTransferFailed = QStringLiteral("Could not transfer file");

/// Calls a function whenever the watched object receives an event of one type.
class EventHook : public QObject {
public:
    EventHook(QObject* pWatched, QEvent::Type type, std::function<void()> fn)
        : m_type(type)
        , m_fn(std::move(fn))
    {
        pWatched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        if (pEvent->type() == m_type)
            m_fn();
        return false;
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_fn;
};

} // namespace

class TestUpload : public WindowTest {
    Q_OBJECT

private slots:
    void OneFileLandsInTheSiteDirectory_data();
    void OneFileLandsInTheSiteDirectory();
    void ExistingAndEmptyRemoteFolders();
    void RefusedFileIsReportedAndTheRestGoesOn_data();
    void RefusedFileIsReportedAndTheRestGoesOn();
    void LostConnectionEndsTheUploadWithOneMessage();
    void WrongPasswordUploadsNothing();
    void DropIsHandledAfterTheDropEvent();
    void CommandLinePathsUploadAtStartUp();
    void DropsWaitForTheSlotOrAreRefused();
    void SiteStaysWhileTheUploadConnects();
    void SiteChosenAsTheUploadEndsIsListed_data();
    void SiteChosenAsTheUploadEndsIsListed();
    void QuittingMidTransferEndsPromptly();
};

void TestUpload::OneFileLandsInTheSiteDirectory_data()
{
    QTest::addColumn<bool>("faulty"); // faulty.py, else ftpd.py
    QTest::addColumn<QStringList>("switches");
    // A server that allows one connection per address: the upload's own
    // connection is closed before the listing after it connects.
    QTest::newRow("one connection per address")
        << false << QStringList {QStringLiteral("--max-cons-per-ip"), QStringLiteral("1")};
    // A server that answers a LIST sent right behind PORT before PORT itself:
    // the listing after the upload finds it out of step, and lists again over
    // a fresh connection, one command at a time, without a message.
    QTest::newRow("a listing answered before its PORT") << true << QStringList {QStringLiteral("--pipelined-port")};
}

void TestUpload::OneFileLandsInTheSiteDirectory()
{
    QFETCH(bool, faulty);
    QFETCH(QStringList, switches);
    FtpTestServer server;
    QVERIFY(faulty ? server.StartFaulty(switches) : server.Start(switches));
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
    QVERIFY(RemoteListHelpers::Row(*View(dlg).m_remoteList, "photo 1.jpg") >= 0);
    QCOMPARE(dlg.Session().OpenConnections(), 0);
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
    // The walk ended inside A; the listing after it, over the upload's own
    // connection, shows the site's directory again, with A in it.
    QVERIFY(RemoteListHelpers::Row(*View(dlg).m_remoteList, "A") >= 0);
    QCOMPARE(RemoteListHelpers::Row(*View(dlg).m_remoteList, "new.txt"), -1);

    // An empty folder: nothing to count, an empty remote folder, and still the
    // completion dialog, with the percentage never moved from 0%.
    FieldRecorder percent(View(dlg).m_editPercent);
    ExpectCompletion(m_fixture, dlg, false);
    QVERIFY(Drop(dlg, {Path(local, "empty")}));
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(dlg.TotalFiles(), 0);
    QVERIFY(QFileInfo(Path(server, "empty")).isDir());
    QVERIFY(QDir(Path(server, "empty")).isEmpty());
    QVERIFY(percent.m_texts.isEmpty());
    QCOMPARE(m_fixture.m_host.PromptCount(), 2);

    // A folder whose name and entries are not UTF-8, dropped as a file manager
    // sends it (its bytes percent-encoded): every entry arrives by its bytes.
    TempDir odd;
    QVERIFY(WriteFiles(odd.path(), {{"dir\xfe/n\xff.txt", "ff"}, {"dir\xfe/sub\xfd/inner.txt", "inner"}}));
    QVERIFY(UploadAndWait(m_fixture, dlg, QList<QByteArray> {RawPath(odd, "dir\xfe")}));
    QMap<QString, QByteArray> arrived = Tree(server.RootPath());
    QCOMPARE(arrived.value(QStringLiteral("dir\\xfe")), QByteArray("<dir>"));
    QCOMPARE(arrived.value(QStringLiteral("dir\\xfe/n\\xff.txt")), QByteArray("ff"));
    QCOMPARE(arrived.value(QStringLiteral("dir\\xfe/sub\\xfd/inner.txt")), QByteArray("inner"));
    QCOMPARE(dlg.TotalFiles(), 2);
    QCOMPARE(m_fixture.m_host.PromptCount(), 3);
}

void TestUpload::RefusedFileIsReportedAndTheRestGoesOn_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("remoteB"); // A/b.txt on the server before and after

    QTest::newRow("refused") << QStringLiteral("--refuse-stor") << QByteArray();
    // Written over a longer file that the server does not cut to the new
    // size: the transfer looks whole, and only SIZE shows the difference.
    QTest::newRow("stored over a longer file")
        << QStringLiteral("--store-no-truncate") << QByteArray("a longer file that was there before");
}

void TestUpload::RefusedFileIsReportedAndTheRestGoesOn()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, remoteB);
    FtpTestServer server;
    QVERIFY(server.Start({fault, QStringLiteral("b.txt")}));
    if (!remoteB.isEmpty())
        QVERIFY(WriteFile(Path(server, "A/b.txt"), remoteB));
    QTemporaryDir local;
    for (const char* pszName : {"A/a.txt", "A/b.txt", "A/c.txt"})
        QVERIFY(WriteFile(Path(local, pszName), pszName));
    if (!remoteB.isEmpty())
        remoteB.replace(0, 7, "A/b.txt");

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    m_fixture.m_host.ExpectMessage(kTransferFailed);
    QVERIFY(UploadAndWait(m_fixture, dlg, {Path(local, "A")}));

    const QList<ScriptedDialogHost::Prompt> prompts = m_fixture.m_host.Prompts();
    QCOMPARE(prompts.size(), 2);
    QCOMPARE(prompts[0].m_strCaption, QStringLiteral("FTP Error"));
    QCOMPARE(prompts[0].m_icon, MsgIcon::Hand);
    QMap<QString, QByteArray> expected = Files({{"a.txt", "A/a.txt"}, {"c.txt", "A/c.txt"}});
    if (!remoteB.isEmpty())
        expected.insert(QStringLiteral("b.txt"), remoteB);
    QCOMPARE(Tree(Path(server, "A")), expected);
}

void TestUpload::LostConnectionEndsTheUploadWithOneMessage()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--drop-control-during-transfer"), QStringLiteral("f3.bin")}));
    QTemporaryDir local;
    for (int i = 1; i <= 20; ++i)
        QVERIFY(WriteFile(local.filePath(QStringLiteral("A/f%1.bin").arg(i)), Content(100 * 1024, i)));

    // One message for the lost connection, not one per file left; no
    // completion dialog; the window usable again.
    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    m_fixture.m_host.ExpectMessage(kTransferFailed);
    QVERIFY(Drop(dlg, {Path(local, "A")}));
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    m_fixture.VerifyLastPrompt(QStringLiteral("FTP Error"), MsgIcon::Hand);
    QVERIFY(IdleAndCleared(dlg));
    QVERIFY(View(dlg).m_remoteList->isEnabled());
    QVERIFY(View(dlg).m_btnRefresh->isEnabled());
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

void TestUpload::DropIsHandledAfterTheDropEvent()
{
    // The file manager that sent the drop is not kept waiting for a message:
    // it comes once the drop event has returned. Nothing of the drop is read
    // on the window's thread at all: the upload's worker counts what it sends,
    // and with the site incomplete none starts.
    QTemporaryDir local;
    QVERIFY(WriteFile(Path(local, "a.txt"), "a"));
    TarnlowDlg& dlg = m_fixture.Open();
    m_fixture.m_host.ExpectMessage(QStringLiteral("You must supply the FTP Internet address"));
    QVERIFY(Drop(dlg, {Path(local, "a.txt")}, false));
    QCOMPARE(m_fixture.m_host.PromptCount(), 0);
    QTRY_COMPARE(m_fixture.m_host.PromptCount(), 1);
    QCOMPARE(dlg.TotalFiles(), 0);
}

void TestUpload::CommandLinePathsUploadAtStartUp()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    TempDir local;
    QVERIFY(WriteFiles(local.path(), {{"x.txt", "x"}, {"D/y.txt", "y"}, {"D/:c.txt", "c"}, {"n\xff.txt", "ff"}}));
    m_fixture.WriteSite(server);
    m_fixture.m_host.ExpectDialog(1);
    // Started inside D, "." is the folder D, which lands as D. ":c.txt" is a
    // relative path like any other (no resource path), and an argument that
    // is not UTF-8 names its file by its bytes.
    const QString strOldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(Path(local, "D")));
    TarnlowDlg& dlg = m_fixture.Open({RawPath(local, "x.txt"), ".", ":c.txt", RawPath(local, "n\xff.txt")});
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(dlg.TotalFiles(), 5);
    QVERIFY(QDir::setCurrent(strOldCurrent));
    QCOMPARE(Tree(server.RootPath()),
        Files({{"x.txt", "x"}, {"D", "<dir>"}, {"D/y.txt", "y"}, {"D/:c.txt", "c"}, {":c.txt", "c"},
            {"n\\xff.txt", "ff"}}));
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
    // drop is refused and nothing else starts. The stalled file then times out,
    // which loses the connection: one message and no completion dialog.
    m_fixture.m_host.ExpectMessage(kTransferFailed);
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

    // Drops while a listing holds the connection wait for it, then run in order.
    m_fixture.m_host.Clear();
    ExpectCompletion(m_fixture, dlg);
    ExpectCompletion(m_fixture, dlg);
    dlg.StartListing();
    QVERIFY(dlg.IsSlotBusy());
    QVERIFY(Drop(dlg, {Path(local, "held.txt")}));
    QVERIFY(Drop(dlg, {Path(local, "late.txt")}));
    QVERIFY(dlg.IsIdle()); // not started yet
    QVERIFY(WaitDone(m_fixture));
    QCOMPARE(ReadFile(Path(server, "held.txt")), QByteArray("held"));
    QCOMPARE(ReadFile(Path(server, "late.txt")), QByteArray("late"));
    QCOMPARE(m_fixture.m_host.PromptCount(), 2);
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
    TarnlowDlg& dlg = m_fixture.Open({RawPath(local, "a.txt")});
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

void TestUpload::SiteChosenAsTheUploadEndsIsListed_data()
{
    // When the click on the second site comes: as the strip is cleared, the
    // upload's last step; or queued the moment the tab control is usable again.
    QTest::addColumn<bool>("whenTabsEnabled");
    QTest::newRow("strip cleared") << false;
    QTest::newRow("tabs enabled") << true;
}

void TestUpload::SiteChosenAsTheUploadEndsIsListed()
{
    QFETCH(bool, whenTabsEnabled);
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
    const auto click = [&] { QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->tabRect(1).center()); };
    connect(View(dlg).m_editPercent, &QLineEdit::textChanged, this, [&](const QString& strText) {
        if (whenTabsEnabled || bClicked || strText != QStringLiteral("0%") || !dlg.IsSlotBusy())
            return;
        bClicked = true;
        click();
    });
    // The tab control comes back in the same step as the upload's site fields.
    bool bTabsBack = false;
    bool bLockedWithTabsBack = false;
    const EventHook tabsEnabled(View(dlg).m_tab, QEvent::EnabledChange, [&] {
        if (bTabsBack || !View(dlg).m_tab->isEnabled() || !dlg.IsSlotBusy())
            return;
        bTabsBack = true;
        bLockedWithTabsBack = dlg.Pane(0).m_editAddress->isReadOnly();
        if (whenTabsEnabled) {
            bClicked = true;
            QMetaObject::invokeMethod(pBar, click, Qt::QueuedConnection);
        }
    });
    m_fixture.m_host.ExpectDialog(1);
    QVERIFY(Drop(dlg, {Path(local, "new.txt")}));
    QVERIFY(WaitDone(m_fixture));
    QVERIFY(bClicked);
    QCOMPARE(dlg.ActivePane(), &dlg.Pane(1));
    // Every site can be edited again, the one the upload went to included.
    for (int i = 0; i < 5; ++i) {
        for (const QLineEdit* pEdit : dlg.Pane(i).findChildren<QLineEdit*>())
            QVERIFY2(
                !pEdit->isReadOnly(), qPrintable(QStringLiteral("site %1: %2").arg(i + 1).arg(pEdit->objectName())));
    }
    QVERIFY(bTabsBack);
    QVERIFY(!bLockedWithTabsBack);
    QTRY_VERIFY_WITH_TIMEOUT(
        RemoteListHelpers::Row(*View(dlg).m_remoteList, "other.txt") >= 0 && !dlg.IsSlotBusy(), 10000);
    QVERIFY(RemoteListHelpers::Row(*View(dlg).m_remoteList, "new.txt") < 0);
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
