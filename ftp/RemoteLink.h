#pragma once

#include <QByteArray>

class FtpConnection;

/// What a symbolic link on the server leads to, which only the server can
/// tell: a listing shows the link, not its target.
namespace RemoteLink {

enum class Target {
    Folder, ///< the link leads to a folder (the connection is back where it was)
    NotFolder, ///< a file, or nothing at all: it is to be tried as a file
    Lost, ///< the link was entered but the way back failed: the connection stands elsewhere
};

/// Enters the link @p strName in the current directory of @p connection and
/// comes back by the absolute name the server gives for the current
/// directory. Without that name it cannot come back, so the link is then
/// taken for a file.
Target Resolve(FtpConnection& connection, const QByteArray& strName);

} // namespace RemoteLink
