#pragma once

#include <QByteArray>

/// Remote names are written into the download folder under their own names; a
/// name from the server must never reach outside that folder.
namespace DownloadName {

/// True when @p name can be a file name inside the download folder: not empty,
/// not "." or "..", and holding no '/', '\\' or NUL. Any other byte is a name
/// of its own, kept as it is (a ':' at the start, bytes that are not UTF-8):
/// its local path is joined byte for byte (LocalPath::Join), by no path rule.
bool IsSafe(const QByteArray& name);

/// True when @p name can be looked up in the remote directory at all: not empty
/// and holding no '/', '\\' or NUL (a pattern of it would match other entries).
bool CanLookUp(const QByteArray& name);

} // namespace DownloadName
