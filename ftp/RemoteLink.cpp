#include "ftp/RemoteLink.h"

#include "ftp/FtpConnection.h"

namespace RemoteLink {

Target Resolve(FtpConnection& connection, const QByteArray& strName)
{
    QByteArray strHere;
    if (!connection.GetCurrentDirectory(strHere) || strHere.isEmpty())
        return Target::NotFolder;
    if (!connection.SetCurrentDirectory(strName))
        return Target::NotFolder;
    // ".." would lead to the parent of the link's target, not back here.
    return connection.SetCurrentDirectory(strHere) ? Target::Folder : Target::Lost;
}

} // namespace RemoteLink
