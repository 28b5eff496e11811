#include "SettingsFile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString ErrnoText(int nErrno)
{
    return QString::fromLocal8Bit(std::strerror(nErrno));
}

bool Fail(QString* pstrError, const QString& strMessage)
{
    if (pstrError)
        *pstrError = strMessage;
    return false;
}

/// The folder part of an absolute @p strPath. Taken from the text as it stands:
/// cleaning "dir/link/.." away would name another folder when "link" is a link.
QString FolderOf(const QString& strPath)
{
    const qsizetype nSlash = strPath.lastIndexOf(QLatin1Char('/'));
    return nSlash <= 0 ? QStringLiteral("/") : strPath.left(nSlash);
}

QString NameOf(const QString& strPath)
{
    return strPath.mid(strPath.lastIndexOf(QLatin1Char('/')) + 1);
}

/// A name beside @p strTarget: its folder, then "." + its name + @p strTail.
QByteArray HiddenNameBeside(const QString& strTarget, const QString& strTail)
{
    return QFile::encodeName(FolderOf(strTarget) + QStringLiteral("/.") + NameOf(strTarget) + strTail);
}

/// Creates every missing folder of @p strDir, each with mode 0700.
bool MakeFolders(const QString& strDir, QString* pstrError)
{
    QFileInfo info(strDir);
    if (info.isDir())
        return true;
    if (info.exists())
        return Fail(pstrError,
            QCoreApplication::translate("SettingsFile", "%1 is not a folder").arg(QDir::toNativeSeparators(strDir)));
    const QString strParent = info.absolutePath();
    if (strParent != strDir && !MakeFolders(strParent, pstrError))
        return false;
    if (::mkdir(QFile::encodeName(strDir).constData(), S_IRWXU) != 0 && errno != EEXIST) {
        return Fail(pstrError,
            QCoreApplication::translate("SettingsFile", "Cannot create the folder %1: %2")
                .arg(QDir::toNativeSeparators(strDir), ErrnoText(errno)));
    }
    return true;
}

bool WriteAll(int fd, const QByteArray& data)
{
    const char* pBytes = data.constData();
    qsizetype nLeft = data.size();
    while (nLeft > 0) {
        const ssize_t nWritten = ::write(fd, pBytes, size_t(nLeft));
        if (nWritten < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        pBytes += nWritten;
        nLeft -= nWritten;
    }
    return true;
}

/// Candidate names beside @p strPath for a kept file: "<name><suffix>", then
/// "<name><suffix>-2" and so on.
constexpr int kMaxKeptNames = 100;

QByteArray KeptName(const QString& strPath, const QString& strSuffix, int nIndex)
{
    QString strName = strPath + strSuffix;
    if (nIndex > 1)
        strName += QStringLiteral("-%1").arg(nIndex);
    return QFile::encodeName(strName);
}

} // namespace

namespace SettingsFile {

QString FileName()
{
    return QStringLiteral("FTPSettings.dat");
}

ReadResult Read(const QString& strPath, QByteArray& data, QString* pstrError)
{
    data.clear();
    QFileInfo info(strPath);
    if (!info.exists()) {
        // A link that leads nowhere names a file yet to be made; links that go
        // round in a loop name none, and a save could not write through them.
        if (info.isSymLink() && Target(strPath, pstrError).isEmpty())
            return ReadResult::Unreadable;
        return ReadResult::Missing;
    }
    if (info.isDir()) {
        Fail(pstrError, QCoreApplication::translate("SettingsFile", "it is a folder"));
        return ReadResult::Unreadable;
    }
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.error() == QFileDevice::OpenError && !QFileInfo::exists(strPath))
            return ReadResult::Missing;
        Fail(pstrError, file.errorString());
        return ReadResult::Unreadable;
    }
    data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        Fail(pstrError, file.errorString());
        data.clear();
        return ReadResult::Unreadable;
    }
    return ReadResult::Read;
}

bool Write(const QString& strPath, const QByteArray& data, QString* pstrError)
{
    // Through a link, the new file is renamed over the link's target, in the
    // target's folder, so the link stays a link.
    const QString strTarget = Target(strPath, pstrError);
    if (strTarget.isEmpty())
        return false;
    const QString strDir = FolderOf(strTarget);
    if (!MakeFolders(strDir, pstrError))
        return false;

    // mkstemp() creates the temporary file with O_EXCL and mode 0600, so its
    // contents are never visible to other users, not even for a moment.
    QByteArray strTemp = HiddenNameBeside(strTarget, QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(strTemp.data(), O_CLOEXEC);
    if (fd < 0) {
        return Fail(pstrError,
            QCoreApplication::translate("SettingsFile", "Cannot create a file in %1: %2")
                .arg(QDir::toNativeSeparators(strDir), ErrnoText(errno)));
    }
    // @p pszMessage names the file as %1 and the system's reason as %2.
    const auto Abandon = [&](const char* pszMessage) {
        const int nErrno = errno;
        ::close(fd);
        ::unlink(strTemp.constData());
        return Fail(pstrError,
            QCoreApplication::translate("SettingsFile", pszMessage)
                .arg(QDir::toNativeSeparators(strTarget), ErrnoText(nErrno)));
    };
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        return Abandon(QT_TRANSLATE_NOOP("SettingsFile", "Cannot set the permissions of %1: %2"));
    if (!WriteAll(fd, data))
        return Abandon(QT_TRANSLATE_NOOP("SettingsFile", "Cannot write %1: %2"));
    if (::fsync(fd) != 0)
        return Abandon(QT_TRANSLATE_NOOP("SettingsFile", "Cannot flush %1: %2"));
    if (::close(fd) != 0) {
        const int nErrno = errno;
        ::unlink(strTemp.constData());
        return Fail(pstrError,
            QCoreApplication::translate("SettingsFile", "Cannot write %1: %2")
                .arg(QDir::toNativeSeparators(strTarget), ErrnoText(nErrno)));
    }
    if (::rename(strTemp.constData(), QFile::encodeName(strTarget).constData()) != 0) {
        const int nErrno = errno;
        ::unlink(strTemp.constData());
        return Fail(pstrError,
            QCoreApplication::translate("SettingsFile", "Cannot replace %1: %2")
                .arg(QDir::toNativeSeparators(strTarget), ErrnoText(nErrno)));
    }
    // Make the rename itself durable; a failure here does not undo the write.
    const int fdDir = ::open(QFile::encodeName(strDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir >= 0) {
        ::fsync(fdDir);
        ::close(fdDir);
    }
    return true;
}

QString Target(const QString& strPath, QString* pstrError)
{
    QString strCurrent = QFileInfo(strPath).absoluteFilePath();
    // As deep as the system itself follows links (its ELOOP limit is 40).
    constexpr int kMaxLinks = 40;
    for (int nLinks = 0; nLinks <= kMaxLinks; ++nLinks) {
        const QByteArray strName = QFile::encodeName(strCurrent);
        struct stat st { };
        // Anything but a link (nothing there included) is the target; a
        // path that cannot be examined fails later with its own error.
        if (::lstat(strName.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            // Named by its folder's real path, which the user can find again
            // in a message ("../dotfiles" read from a link says little).
            const QString strFolder = QFileInfo(FolderOf(strCurrent)).canonicalFilePath();
            if (nLinks == 0 || strFolder.isEmpty())
                return strCurrent;
            return (strFolder == QStringLiteral("/") ? QString() : strFolder) + QLatin1Char('/') + NameOf(strCurrent);
        }
        QByteArray strLink(PATH_MAX, '\0');
        const ssize_t nLength = ::readlink(strName.constData(), strLink.data(), size_t(strLink.size()));
        if (nLength <= 0 || nLength >= strLink.size()) {
            Fail(pstrError,
                QCoreApplication::translate("SettingsFile", "Cannot follow the link %1: %2")
                    .arg(QDir::toNativeSeparators(strCurrent), ErrnoText(nLength < 0 ? errno : ENAMETOOLONG)));
            return {};
        }
        strLink.truncate(nLength);
        const QString strLinkTarget = QFile::decodeName(strLink);
        strCurrent = strLinkTarget.startsWith(QLatin1Char('/'))
            ? strLinkTarget
            : FolderOf(strCurrent) + QLatin1Char('/') + strLinkTarget;
    }
    Fail(pstrError,
        QCoreApplication::translate("SettingsFile", "Cannot follow the link %1: %2")
            .arg(QDir::toNativeSeparators(strPath), ErrnoText(ELOOP)));
    return {};
}

QString KeepCopy(const QString& strLinkOrPath, const QByteArray& data, const QString& strSuffix)
{
    const QString strPath = Target(strLinkOrPath);
    if (strPath.isEmpty())
        return {};
    for (int nIndex = 1; nIndex <= kMaxKeptNames; ++nIndex) {
        const QByteArray strName = KeptName(strPath, strSuffix, nIndex);
        const int fd = ::open(strName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        const bool bWritten = WriteAll(fd, data) && ::fsync(fd) == 0;
        if (::close(fd) != 0 || !bWritten) {
            ::unlink(strName.constData());
            return {};
        }
        return QFile::decodeName(strName);
    }
    return {};
}

QString MoveAside(const QString& strLinkOrPath, const QString& strSuffix)
{
    // Moving the link itself would leave the path free for a plain file at the
    // next save, and the link gone: the file it leads to is moved instead.
    const QString strPath = Target(strLinkOrPath);
    if (strPath.isEmpty())
        return {};
    const QByteArray strOld = QFile::encodeName(strPath);
    for (int nIndex = 1; nIndex <= kMaxKeptNames; ++nIndex) {
        const QByteArray strName = KeptName(strPath, strSuffix, nIndex);
        int nResult = ::renameat2(AT_FDCWD, strOld.constData(), AT_FDCWD, strName.constData(), RENAME_NOREPLACE);
        if (nResult != 0 && errno == EINVAL) {
            // A file system without the no-replace flag: check first instead.
            if (QFileInfo::exists(QFile::decodeName(strName)))
                continue;
            nResult = ::rename(strOld.constData(), strName.constData());
        }
        if (nResult == 0)
            return QFile::decodeName(strName);
        if (errno != EEXIST)
            return {};
    }
    return {};
}

Lock::Lock(const QString& strPath, int nWaitMs)
{
    m_strLockFile = strPath;
    const QString strTarget = Target(strPath, &m_strFailure);
    if (strTarget.isEmpty())
        return;
    m_strLockFile = QFile::decodeName(HiddenNameBeside(strTarget, QStringLiteral(".lock")));
    if (!MakeFolders(FolderOf(strTarget), &m_strFailure))
        return;
    const QByteArray strLockName = QFile::encodeName(m_strLockFile);
    // The lock file stays empty, so anyone may read it: then a lock file left
    // by a run as another user (root, under sudo) can still be locked.
    int fd = ::open(strLockName.constData(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(strLockName.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            errno = EACCES; // the reason it could not be made, not that it is missing
    }
    if (fd < 0) {
        m_strFailure = ErrnoText(errno);
        return;
    }
    const QDeadlineTimer deadline(nWaitMs);
    const timespec pause {0, 10 * 1000 * 1000};
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            m_strFailure.clear();
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_strFailure = ErrnoText(errno);
            break;
        }
        if (deadline.hasExpired()) {
            m_strFailure
                = QCoreApplication::translate("SettingsFile", "another save held it for more than %1 ms").arg(nWaitMs);
            break;
        }
        ::nanosleep(&pause, nullptr);
    }
    ::close(fd);
}

Lock::~Lock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the only descriptor releases the lock
}

} // namespace SettingsFile
