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

bool Place(const QByteArray& strPart, const QByteArray& strFinal, Method method)
{
    if (method == Method::RenameNoReplace) {
        if (::renameat2(AT_FDCWD, strPart.constData(), AT_FDCWD, strFinal.constData(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            ::unlink(strPart.constData());
            return false;
        }
    }
    // Without the no-replace rename, a hard link does the same: it fails
    // rather than replace. Once linked, the part name goes.
    const bool bLinked = ::link(strPart.constData(), strFinal.constData()) == 0;
    ::unlink(strPart.constData());
    return bLinked;
}

} // namespace PartFile
