#pragma once

#include "ftp/FtpConnection.h"

#include <vector>

/// The entries of a remote directory as the window lists them.
class RemoteListing {
public:
    /**
     * Reads the current directory of @p connection. The entries keep the
     * server's order; "." is left out, ".." is always a folder and stands first
     * when the server does not list it. A directory that cannot be read lists as
     * ".." alone.
     */
    void ListRemoteDirectory(FtpConnection& connection);

    const std::vector<FtpEntry>& Entries() const { return m_entries; }

private:
    std::vector<FtpEntry> m_entries;
};
