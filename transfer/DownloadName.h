#pragma once

#include <QByteArray>
#include <QString>

/// Remote names are written into the download folder under their own names; a
/// name from the server must never reach outside that folder.
namespace DownloadName {

/// True when @p name can be a file name inside the download folder: not empty,
/// not "." or "..", and holding no '/', '\\' or NUL.
bool IsSafe(const QByteArray& name);

/// True when @p name can be looked up in the remote directory at all: not empty
/// and holding no '/', '\\' or NUL (a pattern of it would match other entries).
bool CanLookUp(const QByteArray& name);

/// The local path of @p name inside @p strFolder. A trailing separator on the
/// folder is the folder itself. Only for names that pass IsSafe.
QString LocalPath(const QString& strFolder, const QByteArray& name);

} // namespace DownloadName
