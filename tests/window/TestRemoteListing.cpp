// The remote list of the real window against the test FTP server: what a
// listing shows, failed listings, walking the remote tree, and the one
// connection slot while a listing runs.

#include "RemoteListHelpers.h"
#include "TransferHelpers.h"

#include <QAccessible>
#include <QApplication>
#include <QGuiApplication>

using namespace RemoteListHelpers;

namespace {

const QString kListFailed = QStringLiteral("Can't display the remote directory");

bool ControlsEnabled(TarnlowDlg& dlg)
{
    return View(dlg).m_tab->isEnabled() && View(dlg).m_btnRefresh->isEnabled() && View(dlg).m_btnHome->isEnabled();
}

/// A failed listing: the list empty and disabled, the controls usable.
bool ListFailed(TarnlowDlg& dlg)
{
    return Count(*View(dlg).m_remoteList) == 0 && !View(dlg).m_remoteList->isEnabled() && ControlsEnabled(dlg);
}

QString DirectoryField(TarnlowDlg& dlg)
{
    return dlg.ActivePane()->m_editDirectory->text();
}

QIcon FolderIcon()
{
    return QIcon(QStringLiteral(":/tarnlow/folder.png"));
}

QIcon DocumentIcon()
{
    return QIcon(QStringLiteral(":/tarnlow/document.png"));
}

/// What an icon shows in the list, to compare icons by their picture.
QImage IconImage(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage();
}

} // namespace

class TestRemoteListing : public QObject {
    Q_OBJECT

private slots:
    void ListsEntriesInServerOrderAtStartUp();
    void DotsFromTheServer_data();
    void DotsFromTheServer();
    void ManyEntriesArriveWholeAndInOrder();
    void FailedListingsAndRecovery();
    void WalksTheTreeAndGoesHome();
    void DoubleClickOnAFileDoesNothing();
    void DoubleClickTakesFirstSelectedInListOrder();
    void LinksOpenOnlyWhenTheyLeadToAFolder();
    void RefreshListsTheTypedDirectory();
    void TabChangeListsTheNewSite();
    void NothingElseConnectsWhileAListingRuns();
};

void TestRemoteListing::ListsEntriesInServerOrderAtStartUp()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(MakeEntries(server, {"zeta/", "alpha/", "dossier-\xc3\xa9/", "b.txt", "Y.bin"}));
    QVERIFY(MakeRawFile(server, QByteArray("caf\xe9.txt"))); // not valid UTF-8
    const QList<QByteArray> serverOrder = DirectoryOrder(server.RootPath());
    QCOMPARE(serverOrder.size(), 6);

    WindowFixture fx;
    fx.WriteSite(server);
    TarnlowDlg& dlg = fx.Open();
    QVERIFY(dlg.IsSlotBusy()); // started by the start-up sequence itself
    QVERIFY(fx.WaitIdle());

    const QList<Item> items = Items(*View(dlg).m_remoteList);
    QCOMPARE(items.size(), 7);
    QCOMPARE(items[0], (Item {QStringLiteral(".."), "..", 1, false}));
    const QList<QByteArray> listed = Names(*View(dlg).m_remoteList).mid(1);
    QCOMPARE(listed, serverOrder);
    for (int i = 1; i < Count(*View(dlg).m_remoteList); ++i) {
        const QModelIndex index = Index(*View(dlg).m_remoteList, i);
        const QByteArray strRaw = index.data(Qt::UserRole + 1).toByteArray();
        const bool bFolder = strRaw == "zeta" || strRaw == "alpha" || strRaw == "dossier-\xc3\xa9";
        QCOMPARE(index.data(Qt::UserRole).toInt(), bFolder ? 1 : 0);
        QCOMPARE(IconImage(index.data(Qt::DecorationRole).value<QIcon>()),
            IconImage(bFolder ? FolderIcon() : DocumentIcon()));
    }
    QCOMPARE(
        IconImage(Index(*View(dlg).m_remoteList, 0).data(Qt::DecorationRole).value<QIcon>()), IconImage(FolderIcon()));
    // Names show as text; the bytes that are not UTF-8 still show, one character each.
    QCOMPARE(items[Row(*View(dlg).m_remoteList, "dossier-\xc3\xa9")].m_strText, QStringLiteral("dossier-\u00e9"));
    QCOMPARE(items[Row(*View(dlg).m_remoteList, "caf\xe9.txt")].m_strText, QStringLiteral("caf\u00e9.txt"));
    // A screen reader says each entry's shown name, and what it is.
    QAccessibleTableInterface* pCells = QAccessible::queryAccessibleInterface(View(dlg).m_remoteList)->tableInterface();
    QVERIFY(pCells);
    QCOMPARE(pCells->rowCount(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(pCells->cellAt(i, 0)->text(QAccessible::Name), items[i].m_strText);
        QCOMPARE(pCells->cellAt(i, 0)->text(QAccessible::Description),
            items[i].m_nFolder == 1 ? QStringLiteral("Folder") : QStringLiteral("File"));
    }
    // Typing the start of a shown name goes to it, whatever its bytes.
    QListView& list = *View(dlg).m_remoteList;
    const int nInterval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(60000); // every key of a word counts, however slow the machine
    for (const auto& [strTyped, strRaw] : {std::pair {QStringLiteral("CAF\u00c9"), QByteArray("caf\xe9.txt")},
             std::pair {QStringLiteral("Dos"), QByteArray("dossier-\xc3\xa9")},
             std::pair {QStringLiteral("y"), QByteArray("Y.bin")}}) {
        // A new search, from where the one before ended.
        const QModelIndex current = list.currentIndex();
        list.keyboardSearch({});
        list.setCurrentIndex(current);
        QTest::keyClicks(&list, strTyped);
        QCOMPARE(list.currentIndex().row(), Row(list, strRaw));
        QCOMPARE(Items(list)[Row(list, strRaw)].m_bSelected, true);
    }
    QApplication::setKeyboardInputInterval(nInterval);

    QVERIFY(View(dlg).m_remoteList->isEnabled());
    QVERIFY(ControlsEnabled(dlg));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    // The login directory is remembered and used, but the field stays empty.
    QCOMPARE(dlg.HomeDirectory(), QByteArray("/"));
    QCOMPARE(dlg.ActivePane()->m_strDirectory, QByteArray("/"));
    QCOMPARE(DirectoryField(dlg), QString());
    QCOMPARE(fx.m_host.PromptCount(), 0);
}

void TestRemoteListing::DotsFromTheServer_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<bool>("empty");
    QTest::newRow("LIST with . and ..") << QStringList {QStringLiteral("--no-mlsd"), QStringLiteral("--list-dots")}
                                        << false;
    QTest::newRow("LIST without dots") << QStringList {QStringLiteral("--no-mlsd")} << false;
    QTest::newRow("DOS LIST with . and ..") << QStringList {QStringLiteral("--no-mlsd"), QStringLiteral("--list-dots"),
        QStringLiteral("--dos-list")} << false;
    QTest::newRow("MLSD") << QStringList() << false;
    QTest::newRow("MLSD of an empty folder") << QStringList() << true;
}

void TestRemoteListing::DotsFromTheServer()
{
    QFETCH(QStringList, switches);
    QFETCH(bool, empty);
    FtpTestServer server;
    QVERIFY(server.Start(switches));
    QVERIFY(empty ? MakeEntries(server, {"sub/"}) : MakeEntries(server, {"sub/inner/", "sub/a.txt"}));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/sub");

    // "." never shows, ".." exactly once, at the top, as a folder.
    QList<Item> items = Items(*View(dlg).m_remoteList);
    QCOMPARE(items.value(0), (Item {QStringLiteral(".."), "..", 1, false}));
    std::sort(items.begin() + 1, items.end(), [](const Item& a, const Item& b) { return a.m_strRaw < b.m_strRaw; });
    const QList<Item> entries {
        {QStringLiteral("a.txt"), "a.txt", 0, false}, {QStringLiteral("inner"), "inner", 1, false}};
    QCOMPARE(items.mid(1), empty ? QList<Item>() : entries);
    QVERIFY(View(dlg).m_remoteList->isEnabled());
    QVERIFY(ControlsEnabled(dlg));
    QCOMPARE(fx.m_host.PromptCount(), 0);
}

void TestRemoteListing::ManyEntriesArriveWholeAndInOrder()
{
    // More entries than several fill batches, with a partial batch at the end,
    // and one name much longer than the rest.
    FtpTestServer server;
    QVERIFY(server.Start());
    for (int i = 0; i < 1203; ++i)
        QVERIFY(MakeFile(server, QStringLiteral("f%1").arg(i)));
    const QString strLong = QStringLiteral("a name much longer than any other in this folder.txt");
    QVERIFY(MakeFile(server, strLong));
    const QList<QByteArray> serverOrder = DirectoryOrder(server.RootPath());

    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server);
    QListView& list = *View(dlg).m_remoteList;
    QCOMPARE(Names(list), QList<QByteArray> {".."} + serverOrder);
    QVERIFY(list.updatesEnabled());
    // Laid out once full, every item has its own size: the long name is not cut
    // to the width of "..".
    const QModelIndex longName = Index(list, int(serverOrder.indexOf(strLong.toUtf8())) + 1);
    QTRY_VERIFY(list.visualRect(longName).width() > 3 * list.visualRect(Index(list, 0)).width());
}

void TestRemoteListing::FailedListingsAndRecovery()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(MakeFile(server, QStringLiteral("here.txt")));
    WindowFixture fx;
    fx.WriteSite(server, {}, "wrong password");
    fx.m_host.ExpectMessage(kListFailed);
    TarnlowDlg& dlg = fx.Open();
    QVERIFY(fx.WaitIdle());

    QCOMPARE(fx.m_host.PromptCount(), 1);
    fx.VerifyLastPrompt(QStringLiteral("Error"), MsgIcon::Exclamation);
    QVERIFY(ListFailed(dlg));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

    // The right password typed in, then Refresh: the list comes back.
    dlg.ActivePane()->m_editPassword->setText(server.Password());
    View(dlg).m_btnRefresh->click();
    QVERIFY(fx.WaitIdle());
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "here.txt"}));
    QVERIFY(View(dlg).m_remoteList->isEnabled());

    // A directory the server refuses fails the same way; the typed path stays.
    dlg.ActivePane()->m_editDirectory->setText(QStringLiteral("/missing"));
    fx.m_host.ExpectMessage(kListFailed);
    View(dlg).m_btnRefresh->click();
    QVERIFY(fx.WaitIdle());
    QCOMPARE(fx.m_host.PromptCount(), 2);
    QVERIFY(ListFailed(dlg));
    QCOMPARE(DirectoryField(dlg), QStringLiteral("/missing"));

    // Home recovers.
    View(dlg).m_btnHome->click();
    QVERIFY(fx.WaitIdle());
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "here.txt"}));
    QVERIFY(View(dlg).m_remoteList->isEnabled());
    QCOMPARE(DirectoryField(dlg), QString());

    // No server at all.
    server.Stop();
    fx.m_host.ExpectMessage(kListFailed);
    View(dlg).m_btnRefresh->click();
    QVERIFY(fx.WaitIdle());
    QCOMPARE(fx.m_host.PromptCount(), 3);
    QVERIFY(ListFailed(dlg));
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteListing::WalksTheTreeAndGoesHome()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(MakeEntries(server, {"pub/incoming/deep/", "pub/readme.txt", "top.txt"}));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "pub"); // relative to the login directory
    QListView& list = *View(dlg).m_remoteList;
    QCOMPARE(Count(list), 3);

    // After each step the keyboard focus is back on the control used, though
    // the listing disabled it meanwhile.
    struct Step {
        QByteArray m_strEntry; // double-clicked; empty for a button
        const char* m_pszButton; // pressed from the keyboard when no entry is double-clicked
        QString m_strField; // the Directory field afterwards
        QByteArray m_strShows; // an entry the new listing holds
    };
    const Step steps[] = {
        {"incoming", nullptr, QStringLiteral("pub/incoming"), "deep"},
        {"..", nullptr, QStringLiteral("pub"), "readme.txt"},
        {"..", nullptr, QStringLiteral("/"), "top.txt"}, // not back to the login directory
        {"..", nullptr, QStringLiteral("/"), "top.txt"}, // "/" stays "/"
        {"pub", nullptr, QStringLiteral("/pub"), "readme.txt"},
        // Home empties the field and lists the login directory; the next
        // folder entered gets the full path.
        {{}, "m_btnHome", QString(), "top.txt"},
        {{}, "m_btnRefresh", QString(), "top.txt"},
        {"pub", nullptr, QStringLiteral("/pub"), "readme.txt"},
        {{}, "m_btnRefresh", QStringLiteral("/pub"), "readme.txt"},
        {"incoming", nullptr, QStringLiteral("/pub/incoming"), "deep"},
    };
    for (const Step& step : steps) {
        QWidget* pUsed = &list;
        if (step.m_strEntry.isEmpty()) {
            pUsed = fx.Control<QPushButton>(step.m_pszButton);
            pUsed->setFocus();
            QTRY_VERIFY(pUsed->hasFocus());
            QTest::keyClick(pUsed, Qt::Key_Space);
            if (pUsed == View(dlg).m_btnHome)
                QCOMPARE(DirectoryField(dlg), QString());
        } else {
            QVERIFY2(DoubleClick(list, step.m_strEntry), step.m_strEntry.constData());
        }
        QVERIFY(fx.WaitIdle());
        QCOMPARE(DirectoryField(dlg), step.m_strField);
        QVERIFY2(Row(list, step.m_strShows) >= 0, step.m_strShows.constData());
        QTRY_VERIFY2(pUsed->hasFocus(), qPrintable(pUsed->objectName()));
    }
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "deep"}));

    // A control the user moves to while the listing runs keeps the focus.
    View(dlg).m_btnRefresh->setFocus();
    QTRY_VERIFY(View(dlg).m_btnRefresh->hasFocus());
    QTest::keyClick(View(dlg).m_btnRefresh, Qt::Key_Space);
    QVERIFY(dlg.IsSlotBusy());
    View(dlg).m_editDownloadPath->setFocus();
    QVERIFY(fx.WaitIdle());
    QVERIFY(View(dlg).m_btnRefresh->isEnabled());
    QTRY_VERIFY(View(dlg).m_editDownloadPath->hasFocus());

    // A folder the server will not enter: the path is kept, the list fails.
    QVERIFY(QDir(server.RootPath()).rmdir(QStringLiteral("pub/incoming/deep")));
    fx.m_host.ExpectMessage(kListFailed);
    QVERIFY(DoubleClick(list, "deep"));
    QVERIFY(fx.WaitIdle());
    QCOMPARE(DirectoryField(dlg), QStringLiteral("/pub/incoming/deep"));
    QVERIFY(ListFailed(dlg));
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteListing::DoubleClickOnAFileDoesNothing()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(MakeFile(server, QStringLiteral("pub/readme.txt")));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/pub");
    const QList<QByteArray> before = Names(*View(dlg).m_remoteList);

    QVERIFY(DoubleClick(*View(dlg).m_remoteList, "readme.txt"));
    QVERIFY(!dlg.IsSlotBusy());
    QCOMPARE(dlg.Gate().RunningWorkers(), 0);
    QCOMPARE(DirectoryField(dlg), QStringLiteral("/pub"));
    QCOMPARE(dlg.ActivePane()->m_strDirectory, QByteArray("/pub"));
    QCOMPARE(Names(*View(dlg).m_remoteList), before);
    QVERIFY(View(dlg).m_remoteList->isEnabled());
    QCOMPARE(fx.m_host.PromptCount(), 0);
}

void TestRemoteListing::LinksOpenOnlyWhenTheyLeadToAFolder()
{
    // Real servers list links as "l" lines ("name -> target").
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")}));
    QVERIFY(MakeEntries(server, {"real.txt", "sub/inner.txt"}));
    for (const auto& [pszTarget, pszLink] :
        {std::pair {"real.txt", "to_file"}, std::pair {"sub", "to_dir"}, std::pair {"nowhere", "to_nothing"}})
        QVERIFY(QFile::link(QString::fromLatin1(pszTarget), QDir(server.RootPath()).filePath(QLatin1String(pszLink))));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/");
    QListView& list = *View(dlg).m_remoteList;
    // Each link shows under its own name, never "-> target".
    const QList<QByteArray> before = Names(list);
    QCOMPARE(before, (QList<QByteArray> {"..", "real.txt", "sub", "to_dir", "to_file", "to_nothing"}));
    // A link is neither folder nor file until the server is asked: its own
    // kind, the document's icon, and a screen reader says it is a link.
    QAccessibleTableInterface* pCells = QAccessible::queryAccessibleInterface(&list)->tableInterface();
    for (int i = 0; i < before.size(); ++i) {
        const bool bLink = before[i].startsWith("to_");
        const bool bFolder = before[i] == ".." || before[i] == "sub";
        QCOMPARE(Items(list)[i].m_nFolder, bLink ? 2 : bFolder ? 1 : 0);
        QCOMPARE(IconImage(Index(list, i).data(Qt::DecorationRole).value<QIcon>()),
            IconImage(bFolder ? FolderIcon() : DocumentIcon()));
        QCOMPARE(pCells->cellAt(i, 0)->text(QAccessible::Description),
            bLink         ? QStringLiteral("Link")
                : bFolder ? QStringLiteral("Folder")
                          : QStringLiteral("File"));
    }

    // A link to a file, or to nothing, behaves as a file: nothing happens.
    for (const QByteArray& strLink : {QByteArray("to_file"), QByteArray("to_nothing")}) {
        QVERIFY(DoubleClick(list, strLink));
        QVERIFY(fx.WaitIdle());
        QCOMPARE(Names(list), before);
        QCOMPARE(DirectoryField(dlg), QStringLiteral("/"));
        QVERIFY(list.isEnabled() && ControlsEnabled(dlg));
    }
    // A link to a folder opens like the folder.
    QVERIFY(DoubleClick(list, "to_dir"));
    QVERIFY(fx.WaitIdle());
    QCOMPARE(DirectoryField(dlg), QStringLiteral("/to_dir"));
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "inner.txt"}));
    QCOMPARE(fx.m_host.PromptCount(), 0);
}

void TestRemoteListing::DoubleClickTakesFirstSelectedInListOrder()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--no-mlsd")})); // LIST sorts by name
    QVERIFY(MakeEntries(server, {"b_dir/", "c_dir/inside_c/", "a_file"}));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/");
    QListView& list = *View(dlg).m_remoteList;
    QCOMPARE(Names(list), (QList<QByteArray> {"..", "a_file", "b_dir", "c_dir"}));

    // A file ahead of the folder in list order wins, whatever was picked last.
    QVERIFY(Select(list, {"c_dir", "a_file"}));
    dlg.OnDblclkRemoteList();
    QVERIFY(!dlg.IsSlotBusy());
    QCOMPARE(DirectoryField(dlg), QStringLiteral("/"));

    // Of two folders, the upper one is entered even when selected second.
    QVERIFY(Select(list, {"c_dir", "b_dir"}));
    dlg.OnDblclkRemoteList();
    QVERIFY(fx.WaitIdle());
    QCOMPARE(DirectoryField(dlg), QStringLiteral("/b_dir"));
    QCOMPARE(Names(list), QList<QByteArray> {".."});

    // Nothing selected: nothing happens.
    list.clearSelection();
    dlg.OnDblclkRemoteList();
    QVERIFY(!dlg.IsSlotBusy());
    QCOMPARE(DirectoryField(dlg), QStringLiteral("/b_dir"));
}

void TestRemoteListing::RefreshListsTheTypedDirectory()
{
    FtpTestServer server;
    QVERIFY(server.Start());
    QVERIFY(MakeEntries(server, {"one/", "two/t.txt"}));
    WindowFixture fx;
    TarnlowDlg& dlg = fx.OpenOn(server, "/one");
    QCOMPARE(Names(*View(dlg).m_remoteList), QList<QByteArray> {".."});

    // A file that appears on the server shows after Refresh: nothing is cached.
    QVERIFY(MakeFile(server, QStringLiteral("one/new.txt")));
    View(dlg).m_btnRefresh->click();
    QVERIFY(fx.WaitIdle());
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "new.txt"}));

    // A directory typed into the pane is used by the next Refresh.
    dlg.ActivePane()->m_editDirectory->setText(QStringLiteral("/two"));
    View(dlg).m_btnRefresh->click();
    QVERIFY(fx.WaitIdle());
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "t.txt"}));

    // Refresh and Home on an incomplete site only report it.
    dlg.ActivePane()->m_editPassword->clear();
    fx.m_host.ExpectMessage(QStringLiteral("You must supply the FTP password"));
    View(dlg).m_btnRefresh->click();
    fx.m_host.ExpectMessage(QStringLiteral("You must supply the FTP password"));
    View(dlg).m_btnHome->click();
    QVERIFY(!dlg.IsSlotBusy());
    QCOMPARE(DirectoryField(dlg), QStringLiteral("/two"));
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "t.txt"}));
    fx.VerifyNoUnexpectedPrompts();
}

void TestRemoteListing::TabChangeListsTheNewSite()
{
    FtpTestServer serverA;
    FtpTestServer serverB;
    QVERIFY(serverA.Start());
    QVERIFY(serverB.Start());
    QVERIFY(MakeFile(serverA, QStringLiteral("on-a.txt")));
    QVERIFY(MakeFile(serverB, QStringLiteral("on-b.txt")));
    std::array<SiteProfile, 5> profiles;
    profiles[0] = SiteProfile {serverA.Address().toUtf8(), serverA.User().toUtf8(), serverA.Password().toUtf8(), {}};
    profiles[1] = SiteProfile {serverB.Address().toUtf8(), serverB.User().toUtf8(), serverB.Password().toUtf8(), {}};
    profiles[2] = SiteProfile {serverB.Address().toUtf8(), serverB.User().toUtf8(), {}, {}}; // no password
    WindowFixture fx;
    fx.WriteProfiles(profiles);
    TarnlowDlg& dlg = fx.Open();
    QVERIFY(fx.WaitIdle());
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "on-a.txt"}));

    View(dlg).m_tab->setCurrentIndex(1);
    QVERIFY(fx.WaitIdle());
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "on-b.txt"}));

    // An incomplete site empties and disables the list without a word.
    View(dlg).m_tab->setCurrentIndex(2);
    QVERIFY(!dlg.IsSlotBusy());
    QVERIFY(ListFailed(dlg));

    View(dlg).m_tab->setCurrentIndex(0);
    QVERIFY(fx.WaitIdle());
    QCOMPARE(Names(*View(dlg).m_remoteList), (QList<QByteArray> {"..", "on-a.txt"}));
    QVERIFY(View(dlg).m_remoteList->isEnabled());
    QCOMPARE(fx.m_host.PromptCount(), 0);
}

void TestRemoteListing::NothingElseConnectsWhileAListingRuns()
{
    FtpTestServer server;
    QVERIFY(server.Start({QStringLiteral("--delay-list"), QStringLiteral("1.5")}));
    QVERIFY(MakeEntries(server, {"pub/"}));
    QTemporaryDir local;
    const QString strLocalFile = local.filePath(QStringLiteral("dropped.txt"));
    QVERIFY(TransferHelpers::WriteFile(strLocalFile, "dropped during a listing"));

    WindowFixture fx;
    fx.WriteSite(server, "/pub");
    TarnlowDlg& dlg = fx.Open();
    QVERIFY(dlg.IsSlotBusy());
    QCOMPARE(dlg.Gate().RunningWorkers(), 1);

    // Every way of starting another connection is refused or held meanwhile.
    dlg.OnRefresh();
    dlg.OnHome();
    dlg.StartListing();
    QCOMPARE(DirectoryField(dlg), QStringLiteral("/pub"));

    QVERIFY(TransferHelpers::Drop(dlg, {strLocalFile}));
    QVERIFY(dlg.IsIdle()); // held, not started
    QCOMPARE(dlg.Gate().RunningWorkers(), 1);
    QVERIFY(!View(dlg).m_remoteList->isEnabled()); // still the listing
    QVERIFY(!Exists(server, QStringLiteral("pub/dropped.txt")));

    // When the listing ends, the held drop is uploaded.
    fx.m_host.ExpectDialog(1);
    QTRY_VERIFY_WITH_TIMEOUT(Exists(server, QStringLiteral("pub/dropped.txt")), 15000);
    QVERIFY(fx.WaitIdle());
    QVERIFY(Row(*View(dlg).m_remoteList, "dropped.txt") >= 0);
    fx.VerifyNoUnexpectedPrompts();
}

TARNLOW_WINDOW_TEST_MAIN(TestRemoteListing)
#include "TestRemoteListing.moc"
