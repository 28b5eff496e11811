#include "ftp/RemotePath.h"

namespace RemotePath {

QByteArray Navigate(const QByteArray& strDirectory, const QByteArray& strEntry)
{
    QByteArray strResult = strDirectory;
    if (strEntry != "..") {
        if (!strResult.endsWith('/'))
            strResult += '/';
        return strResult + strEntry;
    }

    // Up: drop one trailing slash (but keep a lone "/"), then cut at the last slash.
    if (strResult.endsWith('/') && strResult.size() > 1)
        strResult.chop(1);
    const qsizetype nSlash = strResult.lastIndexOf('/');
    if (nSlash > 0)
        return strResult.left(nSlash);
    return QByteArrayLiteral("/");
}

} // namespace RemotePath
