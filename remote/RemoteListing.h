#pragma once

#include "ftp/FtpConnection.h"

#include <vector>

/// The entries of a remote directory as the window lists them.
class RemoteListing {
public:
    /**
     * Reads the current directory of @p connection, or @p strDirectory, entered
     * first in the same exchange, when given. The entries keep the server's
     * order; "." is left out, ".." is always a folder and stands first when the
     * server does not list it. A directory the server will not list lists as
     * ".." alone.
     * @return false when the connection was lost while reading (closed, a
     *         time-out, a 421), or, with @p strDirectory, when it could not be
     *         entered or read: then nothing is known of the directory.
     */
    bool ListRemoteDirectory(FtpConnection& connection, const QByteArray& strDirectory = {});

    const std::vector<FtpEntry>& Entries() const { return m_entries; }

private:
    std::vector<FtpEntry> m_entries;
};
