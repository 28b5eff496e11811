#include "transfer/PartFile.h"

#include "transfer/LocalPath.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PartFile {
namespace {

const QByteArray kSuffix = QByteArrayLiteral("tarnlow-part");

bool IsUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

/// The part file is removed and the placement fails with @p nErrno.
bool Fail(const QByteArray& strPart, int nErrno, int* pErrno)
{
    ::unlink(strPart.constData());
    if (pErrno)
        *pErrno = nErrno;
    return false;
}

/// The last way: an empty file of our own under the name, created exclusively
/// so that it never stands for anything else, then the part file renamed over
/// it (a plain rename replaces, and what it replaces is that empty file).
bool CreateThenRename(const QByteArray& strPart, const QByteArray& strFinal, int* pErrno)
{
    const int fd = ::open(strFinal.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Fail(strPart, errno, pErrno);
    struct stat placeholder { };
    const bool bKnown = ::fstat(fd, &placeholder) == 0;
    ::close(fd);
    if (::rename(strPart.constData(), strFinal.constData()) == 0)
        return true;
    const int nErrno = errno;
    // Only the empty file made here goes, never one that took its place since.
    struct stat now { };
    if (bKnown && ::lstat(strFinal.constData(), &now) == 0 && now.st_dev == placeholder.st_dev
        && now.st_ino == placeholder.st_ino)
        ::unlink(strFinal.constData());
    return Fail(strPart, nErrno, pErrno);
}

} // namespace

QByteArray PartName(const QByteArray& name, int nAttempt, int nNameMax)
{
    const QByteArray strNumber = nAttempt > 1 ? QByteArray::number(nAttempt) + '.' : QByteArray();
    // "." NAME "." [N "."] "tarnlow-part"
    const qsizetype nFixed = 2 + strNumber.size() + kSuffix.size();
    QByteArray strName = name;
    if (strName.size() + nFixed > nNameMax) {
        qsizetype nKeep = std::max<qsizetype>(nNameMax - nFixed, 0);
        // Cut before a whole character, so a UTF-8 name stays readable.
        for (int nBack = 0; nBack < 3 && nKeep > 0 && IsUtf8Continuation(strName.at(nKeep)); ++nBack)
            --nKeep;
        strName.truncate(nKeep);
    }
    return '.' + strName + '.' + strNumber + kSuffix;
}

bool Exists(const QByteArray& strPath)
{
    struct stat st { };
    // Anything but a clear "not there" counts as taken.
    return ::lstat(strPath.constData(), &st) == 0 || errno != ENOENT;
}

QByteArray FreePath(const QByteArray& strFolder, const QByteArray& name, const QSet<QByteArray>& reserved)
{
    const QByteArray strAsked = strFolder.isEmpty() ? QByteArrayLiteral(".") : strFolder;
    const long nLimit = ::pathconf(strAsked.constData(), _PC_NAME_MAX);
    const int nNameMax = nLimit > 0 && nLimit < INT_MAX ? int(nLimit) : NAME_MAX;
    for (int nAttempt = 1; nAttempt <= kMaxAttempts; ++nAttempt) {
        const QByteArray strPart = PartName(name, nAttempt, nNameMax);
        if (reserved.contains(strPart))
            continue;
        const QByteArray strPath = LocalPath::Join(strFolder, strPart);
        if (!Exists(strPath))
            return strPath;
    }
    return {};
}

bool Place(const QByteArray& strPart, const QByteArray& strFinal, Method method, int* pErrno)
{
    if (method == Method::RenameNoReplace) {
        if (::renameat2(AT_FDCWD, strPart.constData(), AT_FDCWD, strFinal.constData(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return Fail(strPart, errno, pErrno);
        method = Method::LinkThenUnlink;
    }
    if (method == Method::LinkThenUnlink) {
        // Without the no-replace rename, a hard link does the same: it fails
        // rather than replace. Once linked, the part name goes.
        if (::link(strPart.constData(), strFinal.constData()) == 0) {
            ::unlink(strPart.constData());
            return true;
        }
        if (errno == EEXIST)
            return Fail(strPart, errno, pErrno);
    }
    // Neither (the link refused for any other reason than a taken name).
    return CreateThenRename(strPart, strFinal, pErrno);
}

} // namespace PartFile
