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
     * server does not list it. A directory the server refuses to list (450
     * or 550) lists as ".." alone.
     * @return false when the listing failed otherwise (the directory could not
     *         be entered, the data connection never came or broke off, a
     *         time-out, a lost connection): then nothing is known of it.
     */
    bool ListRemoteDirectory(FtpConnection& connection, const QByteArray& strDirectory = {});

    const std::vector<FtpEntry>& Entries() const { return m_entries; }

private:
    std::vector<FtpEntry> m_entries;
};
