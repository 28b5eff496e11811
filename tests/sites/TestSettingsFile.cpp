#include "sites/SettingsArchive.h"
#include "sites/SettingsFile.h"
#include "sites/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

/// The permission bits of @p strPath, or -1 if it cannot be examined.
int Mode(const QString& strPath)
{
    struct stat st { };
    if (::stat(QFile::encodeName(strPath).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

bool PutFile(const QString& strPath, const QByteArray& data, QFile::Permissions permissions)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.setPermissions(permissions);
}

QByteArray Content(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

/// What is written to standard error while it lives, by any thread.
class StandardErrorCapture {
public:
    StandardErrorCapture()
    {
        std::fflush(stderr);
        if (m_file.open()) {
            m_fdSaved = ::dup(STDERR_FILENO);
            ::dup2(m_file.handle(), STDERR_FILENO);
        }
    }
    ~StandardErrorCapture() { Finish(); }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    /// Gives standard error back; what was written meanwhile.
    QByteArray Finish()
    {
        if (m_fdSaved < 0)
            return "<not captured>";
        std::fflush(stderr);
        ::dup2(m_fdSaved, STDERR_FILENO);
        ::close(m_fdSaved);
        m_fdSaved = -1;
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    QTemporaryFile m_file;
    int m_fdSaved = -1;
};

using Profiles = std::array<SiteProfile, 5>;
/// New values of some of the twenty fields, by their index in stored order.
using Edits = QMap<int, QByteArray>;

QByteArray& Field(Profiles& profiles, int nField)
{
    SiteProfile& profile = profiles[size_t(nField / 4)];
    QByteArray* fields[]
        = {&profile.m_strAddress, &profile.m_strUsername, &profile.m_strPassword, &profile.m_strDirectory};
    return *fields[nField % 4];
}

Profiles Edited(Profiles profiles, const Edits& edits)
{
    for (auto it = edits.cbegin(); it != edits.cend(); ++it)
        Field(profiles, it.key()) = it.value();
    return profiles;
}

/// Twenty short, different fields.
Profiles Sample()
{
    Profiles profiles;
    for (int i = 0; i < 20; ++i)
        Field(profiles, i) = "field" + QByteArray::number(i);
    return profiles;
}

QByteArray Encoded(Profiles profiles)
{
    SettingsArchive archive = SettingsArchive::ForStoring();
    for (SiteProfile& profile : profiles)
        profile.Serialize(archive);
    return archive.Data();
}

QList<QByteArray> Fields(Profiles profiles)
{
    QList<QByteArray> fields;
    for (int i = 0; i < 20; ++i)
        fields << Field(profiles, i);
    return fields;
}

QList<QByteArray> StoredFields(const QString& strPath)
{
    Profiles profiles;
    SettingsArchive archive = SettingsArchive::ForLoading(Content(strPath));
    for (SiteProfile& profile : profiles)
        profile.Serialize(archive);
    return archive.IsDamaged() ? QList<QByteArray> {"<damaged>"} : Fields(profiles);
}

std::array<SiteProfile*, 5> Pointers(Profiles& profiles)
{
    return {&profiles[0], &profiles[1], &profiles[2], &profiles[3], &profiles[4]};
}

std::array<const SiteProfile*, 5> ConstPointers(const Profiles& profiles)
{
    return {&profiles[0], &profiles[1], &profiles[2], &profiles[3], &profiles[4]};
}

/// What no one can read, root included: a folder, holding a file as a stand-in
/// for the profiles such a file may hold.
bool PutUnreadable(const QString& strPath)
{
    return QDir().mkpath(strPath)
        && PutFile(strPath + QStringLiteral("/inside"), "inside", QFile::ReadOwner | QFile::WriteOwner);
}

QByteArray LinkText(const QString& strPath)
{
    QByteArray strLink(4096, '\0');
    const ssize_t nLength = ::readlink(QFile::encodeName(strPath).constData(), strLink.data(), size_t(strLink.size()));
    return nLength < 0 ? QByteArray("<no link>") : strLink.left(nLength);
}

/// The settings file at start of a run.
enum Start : int { NoFile, StoredFile, UnreadableFile, UnreadableAfterAnEarlierOne };
/// What happens to the file between the first window's save and the second's.
enum Between : int { Nothing, Damaged, MadeUnreadable };

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void NewFileInNewFolder();
    void OverwriteKeepsOwnerOnly();
    void ReadResults();
    void FailedWriteKeepsOldFile();
    void WindowsSaveInTurn_data();
    void WindowsSaveInTurn();
    void SaveWaitsForAnotherSave();

private:
    QTemporaryDir m_dir;
};

void TestSettingsFile::NewFileInNewFolder()
{
    QVERIFY(m_dir.isValid());
    const QString strFolder = m_dir.filePath(QStringLiteral("new/settings"));
    const QString strPath = strFolder + QLatin1Char('/') + SettingsFile::FileName();
    QByteArray data(20, '\0');
    data += QByteArray::fromHex("FF80FE");

    // Owner-only whatever the umask allows.
    const mode_t nOldMask = ::umask(0);
    QString strError;
    const bool bWritten = SettingsFile::Write(strPath, data, &strError);
    ::umask(nOldMask);
    QVERIFY2(bWritten, qPrintable(strError));

    QCOMPARE(Mode(strPath), 0600);
    QCOMPARE(Mode(strFolder), 0700);
    QCOMPARE(QDir(strFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        QStringList {SettingsFile::FileName()});

    QByteArray read("stale");
    QCOMPARE(SettingsFile::Read(strPath, read), SettingsFile::ReadResult::Read);
    QCOMPARE(read, data);
}

void TestSettingsFile::OverwriteKeepsOwnerOnly()
{
    const QString strPath = m_dir.filePath(QStringLiteral("overwrite.dat"));
    QVERIFY(PutFile(strPath, "old contents, longer than the new ones",
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    QCOMPARE(Mode(strPath), 0644);
    // A second name for the old file shows whether the new bytes went into a new
    // file renamed over the old one, or into the old file itself, where a write
    // cut short would destroy the stored profiles. Root cannot bypass this check.
    const QString strOldName = m_dir.filePath(QStringLiteral("overwrite.old"));
    QCOMPARE(::link(QFile::encodeName(strPath).constData(), QFile::encodeName(strOldName).constData()), 0);

    QVERIFY(SettingsFile::Write(strPath, "new"));
    QCOMPARE(Mode(strPath), 0600);
    QCOMPARE(Content(strPath), QByteArray("new"));
    QCOMPARE(Content(strOldName), QByteArray("old contents, longer than the new ones"));

    QVERIFY(SettingsFile::Write(strPath, QByteArray()));
    QByteArray read("stale");
    QCOMPARE(SettingsFile::Read(strPath, read), SettingsFile::ReadResult::Read);
    QVERIFY(read.isEmpty());
}

void TestSettingsFile::ReadResults()
{
    QByteArray data("stale");
    QCOMPARE(SettingsFile::Read(m_dir.filePath(QStringLiteral("absent.dat")), data), SettingsFile::ReadResult::Missing);
    QVERIFY(data.isEmpty());

    data = "stale";
    QCOMPARE(SettingsFile::Read(m_dir.path(), data), SettingsFile::ReadResult::Unreadable);
    QVERIFY(data.isEmpty());

    // Links that go round name no file a save could write: not a first run.
    const QByteArray strLoop = QFile::encodeName(m_dir.filePath(QStringLiteral("loop.dat")));
    QCOMPARE(::symlink(strLoop.constData(), strLoop.constData()), 0);
    QCOMPARE(SettingsFile::Read(QFile::decodeName(strLoop), data), SettingsFile::ReadResult::Unreadable);
    QVERIFY(SettingsFile::MoveAside(QFile::decodeName(strLoop), QStringLiteral(".unreadable")).isEmpty());
}

void TestSettingsFile::FailedWriteKeepsOldFile()
{
    const auto WriteFails = [](const QString& strPath) {
        QString strError;
        return !SettingsFile::Write(strPath, "new", &strError) && !strError.isEmpty();
    };
    // The parent of the path is a regular file: no folder can be made there.
    const QString strBlocker = m_dir.filePath(QStringLiteral("blocker"));
    QVERIFY(PutFile(strBlocker, "blocker", QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(WriteFails(strBlocker + QStringLiteral("/FTPSettings.dat")));
    QCOMPARE(Content(strBlocker), QByteArray("blocker"));

    // The target is a folder: the rename fails and the temporary file goes away.
    const QString strFolder = m_dir.filePath(QStringLiteral("target-folder"));
    QVERIFY(QDir().mkpath(strFolder + QStringLiteral("/FTPSettings.dat/inner")));
    QVERIFY(WriteFails(strFolder + QStringLiteral("/FTPSettings.dat")));
    QCOMPARE(QDir(strFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        QStringList {QStringLiteral("FTPSettings.dat")});

    // A folder the user may not write to; root may write anywhere.
    if (::geteuid() == 0)
        QSKIP("running as root: a read-only folder does not stop the write");
    const QString strLocked = m_dir.filePath(QStringLiteral("locked"));
    const QString strPath = strLocked + QStringLiteral("/FTPSettings.dat");
    QVERIFY(QDir().mkpath(strLocked));
    QVERIFY(PutFile(strPath, "old", QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(strLocked, QFile::ReadOwner | QFile::ExeOwner));
    const bool bFailed = WriteFails(strPath);
    QFile::setPermissions(strLocked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(bFailed);
    QCOMPARE(Content(strPath), QByteArray("old"));
}

void TestSettingsFile::WindowsSaveInTurn_data()
{
    QTest::addColumn<int>("nStart");
    QTest::addColumn<Edits>("firstEdits");
    QTest::addColumn<int>("nBetween");
    QTest::addColumn<Edits>("secondEdits");
    QTest::addColumn<Edits>("expectedEdits"); // over the fields stored at start (none for no file)
    QTest::addColumn<QStringList>("kept"); // suffixes of the files kept beside the settings file
    QTest::addColumn<bool>("bLinked");

    for (const bool bLinked : {false, true}) {
        // Linked as dotfiles often are: a relative link to a link in another folder.
        const QByteArray strHow = bLinked ? " (linked)" : "";
        QTest::newRow("other fields" + strHow)
            << int(StoredFile) << Edits {{1, "alice"}} << int(Nothing) << Edits {{4, "b.example"}}
            << Edits {{1, "alice"}, {4, "b.example"}} << QStringList() << bLinked;
        QTest::newRow("one field in both: the later save" + strHow)
            << int(StoredFile) << Edits {{1, "alice"}, {7, "/a"}} << int(Nothing) << Edits {{1, "bob"}, {10, "pw"}}
            << Edits {{1, "bob"}, {7, "/a"}, {10, "pw"}} << QStringList() << bLinked;
        // Site 1 retyped for another host in one window, only its password
        // changed in the other: the file holds one window's profile whole,
        // never the new host with the other window's password.
        QTest::newRow("one profile in both, retyped first: the later save whole" + strHow)
            << int(StoredFile) << Edits {{0, "B"}, {1, "bob"}, {2, "beta-secret"}, {3, "/incoming"}} << int(Nothing)
            << Edits {{2, "alpha-NEW"}} << Edits {{2, "alpha-NEW"}} << QStringList() << bLinked;
        QTest::newRow("one profile in both, retyped last: the later save whole" + strHow)
            << int(StoredFile) << Edits {{2, "alpha-NEW"}} << int(Nothing)
            << Edits {{0, "B"}, {1, "bob"}, {3, "/incoming"}} << Edits {{0, "B"}, {1, "bob"}, {3, "/incoming"}}
            << QStringList() << bLinked;
        QTest::newRow("no file at start" + strHow)
            << int(NoFile) << Edits {{0, "a.example"}} << int(Nothing) << Edits {{10, "secret"}}
            << Edits {{0, "a.example"}, {10, "secret"}} << QStringList() << bLinked;
        // Fields 0 to 7 stay whole; the rest, the first window's change of field
        // 13 included, are only in the kept copy, and the second window's values
        // take their place.
        QTest::newRow("damaged before the second save" + strHow)
            << int(StoredFile) << Edits {{1, "alice"}, {13, "cut off"}} << int(Damaged) << Edits {{17, "x"}}
            << Edits {{1, "alice"}, {17, "x"}} << QStringList {QStringLiteral(".damaged")} << bLinked;
        QTest::newRow("unreadable before the second save" + strHow)
            << int(StoredFile) << Edits {{1, "alice"}} << int(MadeUnreadable) << Edits {{17, "x"}} << Edits {{17, "x"}}
            << QStringList {QStringLiteral(".unreadable")} << bLinked;
        // A file kept by an earlier run stays as it is.
        QTest::newRow("unreadable at start, after an earlier one" + strHow)
            << int(UnreadableAfterAnEarlierOne) << Edits {{0, "a"}} << int(Nothing) << Edits {{4, "b"}}
            << Edits {{0, "a"}, {4, "b"}}
            << QStringList {QStringLiteral(".unreadable"), QStringLiteral(".unreadable-2")} << bLinked;
        QTest::newRow("unreadable twice" + strHow)
            << int(UnreadableFile) << Edits {{0, "a"}} << int(MadeUnreadable) << Edits {{4, "b"}} << Edits {{4, "b"}}
            << QStringList {QStringLiteral(".unreadable"), QStringLiteral(".unreadable-2")} << bLinked;
    }
}

void TestSettingsFile::WindowsSaveInTurn()
{
    QFETCH(int, nStart);
    QFETCH(Edits, firstEdits);
    QFETCH(int, nBetween);
    QFETCH(Edits, secondEdits);
    QFETCH(Edits, expectedEdits);
    QFETCH(QStringList, kept);
    QFETCH(bool, bLinked);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strPath = dir.filePath(QStringLiteral("config/FTPSettings.dat"));
    QString strTarget = strPath;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("config"))));
    if (bLinked) {
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("dotfiles"))));
        QCOMPARE(::symlink("../dotfiles/link", QFile::encodeName(strPath).constData()), 0);
        QCOMPARE(
            ::symlink("tarnlow.dat", QFile::encodeName(dir.filePath(QStringLiteral("dotfiles/link"))).constData()), 0);
        strTarget = dir.filePath(QStringLiteral("dotfiles/tarnlow.dat"));
    }
    const Profiles start = nStart == StoredFile ? Sample() : Profiles();
    if (nStart == StoredFile)
        QVERIFY(PutFile(strTarget, Encoded(start), QFile::ReadOwner | QFile::WriteOwner));
    if (nStart == UnreadableAfterAnEarlierOne)
        QVERIFY(PutFile(strTarget + QStringLiteral(".unreadable"), "earlier", QFile::ReadOwner | QFile::WriteOwner));
    if (nStart == UnreadableFile || nStart == UnreadableAfterAnEarlierOne)
        QVERIFY(PutUnreadable(strTarget));

    // Two windows open on the same file, and close one after the other.
    SettingsStore first, second;
    Profiles firstProfiles, secondProfiles;
    first.Load(strPath, Pointers(firstProfiles));
    second.Load(strPath, Pointers(secondProfiles));
    QCOMPARE(Fields(firstProfiles), Fields(start));
    QCOMPARE(Fields(secondProfiles), Fields(start));
    firstProfiles = Edited(firstProfiles, firstEdits);
    QString strError;
    QVERIFY2(first.Save(ConstPointers(firstProfiles), &strError), qPrintable(strError));

    QByteArray damaged;
    if (nBetween == Damaged) {
        damaged = Content(strTarget);
        qsizetype nCut = 0;
        for (int i = 0; i < 8; ++i)
            nCut += 1 + Field(firstProfiles, i).size();
        damaged.truncate(nCut + 2);
        QVERIFY(PutFile(strTarget, damaged, QFile::ReadOwner | QFile::WriteOwner));
    } else if (nBetween == MadeUnreadable) {
        QVERIFY(QFile::remove(strTarget));
        QVERIFY(PutUnreadable(strTarget));
    }
    secondProfiles = Edited(secondProfiles, secondEdits);
    QVERIFY2(second.Save(ConstPointers(secondProfiles), &strError), qPrintable(strError));
    QCOMPARE(second.SaveMessage().isEmpty(), nBetween == Nothing);

    QCOMPARE(StoredFields(strPath), Fields(Edited(start, expectedEdits)));
    QCOMPARE(Mode(strTarget), 0600);
    if (bLinked) {
        QCOMPARE(LinkText(strPath), QByteArray("../dotfiles/link"));
        QCOMPARE(LinkText(dir.filePath(QStringLiteral("dotfiles/link"))), QByteArray("tarnlow.dat"));
    }
    // Nothing else beside the file: no temporary file left, and every kept
    // copy beside the file itself, the link's target.
    const QString strName = QFileInfo(strTarget).fileName();
    QStringList expectedNames {strName, QLatin1Char('.') + strName + QStringLiteral(".lock")};
    for (const QString& strSuffix : kept)
        expectedNames << strName + strSuffix;
    if (bLinked)
        expectedNames << QStringLiteral("link");
    expectedNames.sort();
    QCOMPARE(QFileInfo(strTarget).dir().entryList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
        expectedNames);
    if (nBetween == Damaged)
        QCOMPARE(Content(strTarget + QStringLiteral(".damaged")), damaged);
    if (nStart == UnreadableAfterAnEarlierOne)
        QCOMPARE(Content(strTarget + QStringLiteral(".unreadable")), QByteArray("earlier"));
    for (const QString& strSuffix : kept) {
        if (strSuffix.startsWith(QStringLiteral(".unreadable")) && Content(strTarget + strSuffix) != "earlier")
            QCOMPARE(Content(strTarget + strSuffix + QStringLiteral("/inside")), QByteArray("inside"));
    }
}

void TestSettingsFile::SaveWaitsForAnotherSave()
{
    const QString strPath = m_dir.filePath(QStringLiteral("locked-save/FTPSettings.dat"));
    const QString strLockFile = m_dir.filePath(QStringLiteral("locked-save/.FTPSettings.dat.lock"));
    QVERIFY(SettingsFile::Write(strPath, Encoded(Sample())));

    // While another save holds the lock, this one waits; it goes on once the
    // lock is free, and by itself after a bounded wait when it never is, or
    // when no lock file can be made (a folder in its place, as a read-only
    // folder would be to anyone but root). Without the lock it says so on
    // standard error, and still keeps what another window saved meanwhile.
    enum LockCase { Released, NeverReleased, NoLockFile };
    for (const LockCase lockCase : {Released, NeverReleased, NoLockFile}) {
        SettingsStore store;
        Profiles profiles;
        store.Load(strPath, Pointers(profiles));
        const QByteArray strCase = QByteArray::number(int(lockCase));
        QVERIFY(SettingsFile::Write(strPath, Encoded(Edited(profiles, {{9, "other window " + strCase}}))));
        Field(profiles, 1) = "this window " + strCase;

        std::optional<SettingsFile::Lock> other;
        if (lockCase == NoLockFile) {
            QVERIFY(QFile::remove(strLockFile) && QDir().mkdir(strLockFile));
        } else {
            other.emplace(strPath);
            QVERIFY(other->IsHeld());
        }
        StandardErrorCapture capture;
        std::atomic<bool> bDone {false};
        bool bSaved = false;
        std::thread saver([&] {
            bSaved = store.Save(ConstPointers(profiles));
            bDone = true;
        });
        QTest::qWait(300);
        const bool bWaited = !bDone;
        const QByteArray whileLocked = Content(strPath);
        if (lockCase == Released)
            other.reset();
        QTRY_VERIFY_WITH_TIMEOUT(bDone, 10000);
        saver.join();
        const QByteArray errors = capture.Finish();
        other.reset();
        if (lockCase == NoLockFile)
            QVERIFY(QDir().rmdir(strLockFile));

        if (lockCase != NoLockFile) {
            QVERIFY(bWaited);
            QVERIFY(!whileLocked.contains(Field(profiles, 1)));
        }
        QVERIFY(bSaved);
        QCOMPARE(StoredFields(strPath), Fields(Edited(profiles, {{9, "other window " + strCase}})));
        const QByteArray strWhy = lockCase == NeverReleased ? QByteArray("another save held it for more than 2000 ms")
                                                            : QByteArray(std::strerror(EISDIR));
        QCOMPARE(errors,
            lockCase == Released ? QByteArray()
                                 : "tarnlow: saving the site profiles without the lock "
                    + QFile::encodeName(strLockFile) + ": " + strWhy + "\n");
    }
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "TestSettingsFile.moc"
