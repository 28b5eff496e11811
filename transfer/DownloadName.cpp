#include "transfer/DownloadName.h"

#include <QDir>
#include <QFile>

namespace DownloadName {

bool CanLookUp(const QByteArray& name)
{
    return !name.isEmpty() && !name.contains('/') && !name.contains('\\') && !name.contains('\0');
}

bool IsSafe(const QByteArray& name)
{
    return CanLookUp(name) && name != "." && name != "..";
}

QString LocalPath(const QString& strFolder, const QByteArray& name)
{
    return QDir(strFolder).filePath(QFile::decodeName(name));
}

} // namespace DownloadName
