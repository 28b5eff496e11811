// A fault at every step of every remote operation, through the real window
// against a server that breaks one command at one step: what the user sees,
// that the time-outs bound the wait, and that nothing is lost. Then a quit at
// every step, by Escape or by a signal to the process: the window goes at once
// and the profiles are saved.

#include "RemoteListHelpers.h"
#include "TransferHelpers.h"
#include "app/QuitSignals.h"
#include "sites/SettingsArchive.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>

#include <csignal>

using namespace RemoteListHelpers;
using namespace TransferHelpers;

namespace {

/// Every entry of a folder, hidden ones (a download's part file) included.
constexpr QDir::Filters kEveryEntry = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

const QString kListFailed = QStringLiteral("Can't display the remote directory");
const QString kSendFailed = QStringLiteral("Could not transfer file");
const QString kFetchFailed = QStringLiteral("Could not transfer file to this location - File Exists!");
const QString kConfirm = QStringLiteral("Delete the file(s)?");

// The waits of the window under test, and the bound a fault must end within:
// far below the default time-outs of 20 to 30 seconds.
constexpr int kWaitMs = 400;
constexpr int kBoundMs = 4000;

/// What the user does to make the window send @p strVerb.
enum class Action { Refresh, DropFolder, DropFile, Download, DeleteFile, DeleteFolder };

Action ActionFor(const QString& strVerb)
{
    if (strVerb == QLatin1String("MKD"))
        return Action::DropFolder;
    if (strVerb == QLatin1String("STOR"))
        return Action::DropFile;
    if (strVerb == QLatin1String("RETR"))
        return Action::Download;
    if (strVerb == QLatin1String("DELE"))
        return Action::DeleteFile;
    if (strVerb == QLatin1String("RMD"))
        return Action::DeleteFolder;
    return Action::Refresh; // PASS, CWD, PWD, MLSD: a listing
}

/// A server that breaks @p strVerb at @p strStep in the way @p strKind says,
/// from its second connection on (the window's first listing works), with the
/// files every action needs.
struct FaultyServer {
    FtpTestServer m_server;
    QTemporaryDir m_local;

    bool Start(const QString& strVerb, const QString& strStep, const QString& strKind)
    {
        if (!m_local.isValid()
            || !WriteFiles(m_server.RootPath(), {{"pub/get.bin", Content(200 * 1024, 1)}, {"pub/del.txt", "delete me"}})
            || !QDir(m_server.RootPath()).mkpath(QStringLiteral("pub/empty"))
            || !WriteFiles(m_local.path(), {{"up.bin", Content(200 * 1024, 2)}, {"A/a.txt", "a"}})
            || !QDir().mkpath(m_local.filePath(QStringLiteral("dl"))))
            return false;
        // Enough entries that a listing cut mid-data is cut in the middle.
        for (int i = 0; i < 400; ++i) {
            if (!WriteFile(QDir(m_server.RootPath()).filePath(QStringLiteral("pub/entry-%1").arg(i)), {}))
                return false;
        }
        return m_server.StartFaulty({QStringLiteral("--fault"), strVerb, strStep, strKind,
            QStringLiteral("--from-connection"), QStringLiteral("2"), QStringLiteral("--mark"), MarkPath()});
    }
    QString MarkPath() const { return m_local.filePath(QStringLiteral("fault-happened")); }
    bool FaultHappened() const { return QFileInfo::exists(MarkPath()); }
    QString Local(const char* pszName) const { return m_local.filePath(QString::fromLatin1(pszName)); }
};

/// The twenty strings of @p profiles, site 1 first, passwords plain.
QList<QByteArray> Fields(const std::array<SiteProfile, 5>& profiles)
{
    QList<QByteArray> fields;
    for (const SiteProfile& profile : profiles)
        fields << profile.m_strAddress << profile.m_strUsername << profile.m_strPassword << profile.m_strDirectory;
    return fields;
}

/// The twenty strings of a settings file's @p data; one that says so when it is not whole.
QList<QByteArray> StoredFields(const QByteArray& data)
{
    std::array<SiteProfile, 5> profiles;
    SettingsArchive archive = SettingsArchive::ForLoading(data);
    for (SiteProfile& profile : profiles)
        profile.Serialize(archive);
    return archive.IsDamaged() ? QList<QByteArray> {"<damaged>"} : Fields(profiles);
}

bool IsDelete(Action action)
{
    return action == Action::DeleteFile || action == Action::DeleteFolder;
}

/// Starts @p action in @p dlg; the delete's question is to be answered.
bool Start(TarnlowDlg& dlg, const FaultyServer& server, Action action)
{
    WindowView view(dlg);
    switch (action) {
    case Action::Refresh: view.m_btnRefresh->click(); return true;
    case Action::DropFolder: return Drop(dlg, {server.Local("A")});
    case Action::DropFile: return Drop(dlg, {server.Local("up.bin")});
    case Action::Download:
        view.m_editDownloadPath->setText(server.Local("dl"));
        if (!Select(*view.m_remoteList, {"get.bin"}))
            return false;
        view.m_btnDownload->click();
        return true;
    case Action::DeleteFile:
    case Action::DeleteFolder:
        if (!Select(*view.m_remoteList, {action == Action::DeleteFile ? "del.txt" : "empty"}))
            return false;
        view.m_btnDelete->click();
        return true;
    }
    return false;
}

} // namespace

class TestFaults : public WindowTest {
    Q_OBJECT

private slots:
    void FaultAtEveryStep_data();
    void FaultAtEveryStep();
    void QuitAtEveryStep_data();
    void QuitAtEveryStep();
};

void TestFaults::FaultAtEveryStep_data()
{
    QTest::addColumn<QString>("verb");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message"); // the one message the user sees; empty: none
    QTest::addColumn<bool>("completion"); // the completion dialog follows

    // Each operation with the message its failure shows, and whether it moves data.
    struct Operation {
        const char* m_pszVerb;
        QString m_strMessage;
        bool m_bData;
    };
    const Operation operations[] = {
        {"PASS", kListFailed, false}, // connect and log in
        {"CWD", kListFailed, false}, // into the site's directory
        {"PWD", kListFailed, false}, // the login directory of a site without one
        {"MLSD", kListFailed, true}, // the listing
        {"MKD", kSendFailed, false}, // a dropped folder
        {"STOR", kSendFailed, true}, // a dropped file
        {"RETR", kFetchFailed, true}, // a downloaded file
        {"DELE", QStringLiteral("Could not delete file"), false},
        {"RMD", QStringLiteral("The directory contains files"), false},
    };
    const QStringList controlFaults {QStringLiteral("close-control"), QStringLiteral("421"), QStringLiteral("silent")};
    for (const Operation& op : operations) {
        const auto Row = [&](const QString& strStep, const QString& strKind) {
            // A data connection the server closes, saying so with 426, is a failed
            // transfer on a connection still good: an upload goes on to its
            // completion dialog, and a listing says it could not be shown (only
            // a refusal to list, 450 or 550, shows as an empty folder).
            const bool bRefused = strKind == QLatin1String("close-data");
            const bool bUpload = QLatin1String(op.m_pszVerb) == QLatin1String("STOR");
            QTest::addRow("%s %s %s", op.m_pszVerb, qPrintable(strStep), qPrintable(strKind))
                << QString::fromLatin1(op.m_pszVerb) << strStep << strKind << op.m_strMessage << (bRefused && bUpload);
        };
        for (const QString& strKind : controlFaults)
            Row(QStringLiteral("reply"), strKind);
        Row(QStringLiteral("mid-reply"), QStringLiteral("close-control"));
        Row(QStringLiteral("mid-reply"), QStringLiteral("silent"));
        if (!op.m_bData)
            continue;
        for (const QString& strKind : controlFaults + QStringList {QStringLiteral("close-data")})
            Row(QStringLiteral("after-150"), strKind);
        Row(QStringLiteral("after-150"), QStringLiteral("no-data"));
        for (const QString& strKind : controlFaults + QStringList {QStringLiteral("close-data")})
            Row(QStringLiteral("mid-data"), strKind);
    }
}

void TestFaults::FaultAtEveryStep()
{
    QFETCH(QString, verb);
    QFETCH(QString, step);
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(bool, completion);

    FaultyServer server;
    QVERIFY(server.Start(verb, step, kind));
    // PWD is asked only of a site without a directory of its own.
    TarnlowDlg& dlg = m_fixture.OpenOn(server.m_server, verb == QLatin1String("PWD") ? QByteArray() : "/pub");
    m_fixture.SetWaits(kWaitMs, kWaitMs);
    const Action action = ActionFor(verb);
    const int nPromptsBefore = m_fixture.m_host.PromptCount();

    if (IsDelete(action))
        m_fixture.m_host.ExpectMessage(kConfirm, MsgAnswer::Yes);
    if (!message.isEmpty())
        m_fixture.m_host.ExpectMessage(message);
    if (completion)
        m_fixture.m_host.ExpectDialog(1);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(Start(dlg, server, action));
    QVERIFY(WaitDone(m_fixture, kBoundMs * 2));
    const qint64 nElapsed = timer.elapsed();

    QVERIFY(server.FaultHappened());
    // Bounded by the window's time-outs, not the defaults.
    QVERIFY2(nElapsed < kBoundMs, qPrintable(QStringLiteral("%1 ms").arg(nElapsed)));
    // Exactly what was expected: one message (after the delete's question), or
    // none; the completion dialog only after an upload the server refused file
    // by file.
    const int nQuestion = IsDelete(action) ? 1 : 0;
    QCOMPARE(m_fixture.m_host.PromptCount() - nPromptsBefore, nQuestion + (message.isEmpty() ? 0 : 1) + completion);
    m_fixture.VerifyNoUnexpectedPrompts();

    // The window is idle and usable again.
    WindowView view(dlg);
    QVERIFY(dlg.IsIdle());
    QVERIFY(!dlg.IsSlotBusy());
    QCOMPARE(dlg.Gate().RunningWorkers(), 0);
    QVERIFY(view.m_tab->isEnabled() && view.m_btnRefresh->isEnabled() && view.m_btnHome->isEnabled());
    QVERIFY(view.m_btnDownload->isEnabled() && view.m_btnDelete->isEnabled());
    QCOMPARE(dlg.Session().OpenConnections(), 0);
    if (action == Action::Refresh) {
        if (message.isEmpty())
            QCOMPARE(Names(*view.m_remoteList), QList<QByteArray> {".."});
        else
            QVERIFY(Count(*view.m_remoteList) == 0 && !view.m_remoteList->isEnabled());
    }

    // Nothing is lost: no partial local file (a download's part file is
    // hidden), and an upload that did not arrive whole was reported, never
    // completed in silence.
    QVERIFY(QDir(server.Local("dl")).isEmpty(kEveryEntry));
    if (action == Action::DropFile)
        QVERIFY(ReadFile(Path(server.m_server, "pub/up.bin")) != Content(200 * 1024, 2));
}

void TestFaults::QuitAtEveryStep_data()
{
    QTest::addColumn<QString>("verb");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("quitSignal"); // 0: Escape; else the signal the process receives
    QTest::addColumn<bool>("box"); // a message box is open over the window when the quit comes
    // The delete waits on the window's own thread, so it is not among them.
    for (const char* pszVerb : {"PASS", "CWD", "PWD", "MKD", "MLSD", "STOR", "RETR"}) {
        const bool bData
            = QByteArray(pszVerb) == "MLSD" || QByteArray(pszVerb) == "STOR" || QByteArray(pszVerb) == "RETR";
        for (const char* pszStep : {"reply", "mid-reply", "after-150", "mid-data"}) {
            if (bData || QByteArray(pszStep).contains("reply"))
                QTest::addRow("%s %s", pszVerb, pszStep)
                    << QString::fromLatin1(pszVerb) << QString::fromLatin1(pszStep) << 0 << false;
        }
    }
    // Log-out, Ctrl+C in the terminal and a closed terminal end the program the
    // same way, also when a box waits for an answer.
    const auto SignalRow = [](const char* pszVerb, const char* pszStep, const char* pszSignal, int nSignal, bool bBox) {
        QTest::addRow("%s %s %s%s", pszVerb, pszStep, pszSignal, bBox ? " over a box" : "")
            << QString::fromLatin1(pszVerb) << QString::fromLatin1(pszStep) << nSignal << bBox;
    };
    SignalRow("STOR", "mid-data", "SIGTERM", SIGTERM, false);
    SignalRow("RETR", "mid-data", "SIGTERM", SIGTERM, false);
    SignalRow("RETR", "mid-data", "SIGINT", SIGINT, false);
    SignalRow("MLSD", "after-150", "SIGHUP", SIGHUP, false);
    SignalRow("PASS", "reply", "SIGTERM", SIGTERM, false);
    SignalRow("RETR", "after-150", "SIGTERM", SIGTERM, true);
}

void TestFaults::QuitAtEveryStep()
{
    QFETCH(QString, verb);
    QFETCH(QString, step);
    QFETCH(int, quitSignal);
    QFETCH(bool, box);

    // The server falls silent at the step; the waits are far longer than a
    // quit may take, so only the quit can end the operation in time.
    FaultyServer server;
    QVERIFY(server.Start(verb, step, QStringLiteral("silent")));
    const QByteArray strDirectory = verb == QLatin1String("PWD") ? QByteArray() : "/pub";
    TarnlowDlg& dlg = m_fixture.OpenOn(server.m_server, strDirectory);
    m_fixture.SetWaits(60000, 60000);
    QuitSignals quitSignals(dlg);
    if (quitSignal != 0)
        QVERIFY(quitSignals.Install());
    // A site typed in before the operation, never used: the quit saves it as typed.
    const SiteProfile typed {"typed.example", "typist", "typed pass", "/typed"};
    dlg.Pane(1).m_editAddress->setText(QString::fromUtf8(typed.m_strAddress));
    dlg.Pane(1).m_editUsername->setText(QString::fromUtf8(typed.m_strUsername));
    dlg.Pane(1).m_editPassword->setText(QString::fromUtf8(typed.m_strPassword));
    dlg.Pane(1).m_editDirectory->setText(QString::fromUtf8(typed.m_strDirectory));
    QVERIFY(Start(dlg, server, ActionFor(verb)));
    QTRY_VERIFY_WITH_TIMEOUT(server.FaultHappened(), 5000);
    // A download has its part file by now: the quit must take it away.
    if (ActionFor(verb) == Action::Download)
        QVERIFY(!QDir(server.Local("dl")).isEmpty(kEveryEntry));

    QVERIFY(QFile::remove(m_fixture.SettingsFilePath()));
    QSignalSpy finished(&dlg, &QDialog::finished);
    bool bBoxEnded = false;
    QElapsedTimer timer;
    if (quitSignal == 0) {
        timer.start();
        dlg.reject();
    } else if (!box) {
        timer.start();
        QVERIFY(raise(quitSignal) == 0);
        QVERIFY(finished.wait(5000));
    } else {
        // A box of the window's own, as the real message boxes are, that nobody
        // answers; the signal comes while it runs. Should the quit not dismiss it,
        // it goes by itself late enough to fail the bound below.
        QTimer::singleShot(0, &dlg, [&] {
            QMessageBox pending(
                QMessageBox::Warning, QStringLiteral("FTP Error"), QStringLiteral("Unanswered"), QMessageBox::Ok, &dlg);
            QTimer::singleShot(3000, &pending, &QMessageBox::reject);
            QTimer::singleShot(50, &pending, [&] {
                timer.start();
                QVERIFY(raise(quitSignal) == 0);
            });
            pending.exec();
            bBoxEnded = true;
        });
        QVERIFY(finished.wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(bBoxEnded, 5000);
    }
    const qint64 nElapsed = timer.elapsed();
    QVERIFY2(nElapsed < 1000, qPrintable(QStringLiteral("%1 ms").arg(nElapsed)));
    QCOMPARE(finished.count(), 1);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(quitSignals.ReceivedSignal(), quitSignal);
    QCOMPARE(dlg.Gate().RunningWorkers(), 0);
    // Saved at the quit (the file was removed above), every site as typed.
    std::array<SiteProfile, 5> expected;
    expected[0] = SiteProfile {server.m_server.Address().toUtf8(), server.m_server.User().toUtf8(),
        server.m_server.Password().toUtf8(), strDirectory};
    expected[1] = typed;
    QCOMPARE(StoredFields(m_fixture.SettingsFileBytes()), Fields(expected));
    // A download cut short leaves nothing behind, not even its part file.
    QVERIFY(QDir(server.Local("dl")).isEmpty(kEveryEntry));
    m_fixture.Close();
    QCOMPARE(m_fixture.m_host.PromptCount(), 0);
}

TARNLOW_WINDOW_TEST_MAIN(TestFaults)
#include "TestFaults.moc"
