#include "remote/RemoteListing.h"

bool RemoteListing::ListRemoteDirectory(FtpConnection& connection, const QByteArray& strDirectory)
{
    // The entries are sorted out where the engine put them: a folder of a
    // million entries is held once, not twice.
    if (!connection.ReadDirectory(m_entries, strDirectory)) {
        m_entries.clear();
        // Only the server's own refusal to list (it has no files to show)
        // lists like an empty folder: ".." alone. A directory that could not be
        // entered, a data connection that never came, a time-out or a lost
        // connection leave nothing known of the directory.
        if (!connection.ListingRefused())
            return false;
    }

    std::erase_if(m_entries, [](const FtpEntry& entry) { return entry.m_strName == "."; });
    bool bHasDotDot = false;
    for (FtpEntry& entry : m_entries) {
        if (entry.m_strName == "..") {
            // ".." always leads up, whatever the server says it is.
            entry.m_bDirectory = true;
            entry.m_bLink = false;
            bHasDotDot = true;
        }
    }
    if (!bHasDotDot)
        m_entries.insert(m_entries.begin(), FtpEntry {QByteArrayLiteral(".."), true, false});
    return true;
}
