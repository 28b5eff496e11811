#include "transfer/LocalPath.h"

#include <QList>

#include <cerrno>
#include <unistd.h>

namespace LocalPath {
namespace {

QByteArray CurrentFolder()
{
    // The current folder's bytes, whatever their length (getcwd says ERANGE
    // while the buffer is too small); bounded, as no path is longer than this.
    for (qsizetype nSize = 256; nSize <= 1024 * 1024; nSize *= 4) {
        QByteArray strBuffer(nSize, '\0');
        if (::getcwd(strBuffer.data(), size_t(strBuffer.size())))
            return QByteArray(strBuffer.constData());
        if (errno != ERANGE)
            break;
    }
    return {};
}

} // namespace

QByteArray Join(const QByteArray& strFolder, const QByteArray& strName)
{
    if (strFolder.isEmpty())
        return strName;
    if (strFolder.endsWith('/'))
        return strFolder + strName;
    return strFolder + '/' + strName;
}

QByteArray Leaf(const QByteArray& strPath)
{
    qsizetype nEnd = strPath.size();
    while (nEnd > 0 && strPath.at(nEnd - 1) == '/')
        --nEnd;
    const qsizetype nStart = strPath.lastIndexOf('/', nEnd - 1) + 1;
    return nEnd > 0 ? strPath.mid(nStart, nEnd - nStart) : QByteArray();
}

QByteArray Absolute(const QByteArray& strPath)
{
    if (strPath.isEmpty())
        return {};
    QByteArray strFull = strPath;
    if (!strPath.startsWith('/')) {
        const QByteArray strCurrent = CurrentFolder();
        if (strCurrent.isEmpty())
            return {};
        strFull = Join(strCurrent, strPath);
    }
    QList<QByteArray> parts;
    for (const QByteArray& strPart : strFull.split('/')) {
        if (strPart.isEmpty() || strPart == ".")
            continue;
        if (strPart == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(strPart);
    }
    return '/' + parts.join('/');
}

bool IsInside(const QByteArray& strPath, const QByteArray& strFolder)
{
    if (strPath == strFolder)
        return true;
    return strPath.startsWith(strFolder.endsWith('/') ? strFolder : strFolder + '/');
}

} // namespace LocalPath
