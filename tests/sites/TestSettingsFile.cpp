#include "sites/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
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

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void NewFileInNewFolder();
    void OverwriteKeepsOwnerOnly();
    void ReadResults();
    void FailedWriteKeepsOldFile();

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

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "TestSettingsFile.moc"
