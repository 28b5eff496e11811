#include "remote/RemoteListing.h"

bool RemoteListing::ListRemoteDirectory(FtpConnection& connection, const QByteArray& strDirectory)
{
    m_entries.clear();
    std::vector<FtpEntry> entries;
    if (!connection.ReadDirectory(entries, strDirectory)) {
        // Only the server's own refusal to list (it has no files to show)
        // lists like an empty folder: ".." alone. A directory that could not be
        // entered, a data connection that never came, a time-out or a lost
        // connection leave nothing known of the directory.
        if (!connection.ListingRefused())
            return false;
        entries.clear();
    }

    bool bHasDotDot = false;
    m_entries.reserve(entries.size() + 1);
    for (FtpEntry& entry : entries) {
        if (entry.m_strName == ".")
            continue;
        if (entry.m_strName == "..") {
            // ".." always leads up, whatever the server says it is.
            entry.m_bDirectory = true;
            entry.m_bLink = false;
            bHasDotDot = true;
        }
        m_entries.push_back(std::move(entry));
    }
    if (!bHasDotDot)
        m_entries.insert(m_entries.begin(), FtpEntry {QByteArrayLiteral(".."), true, false});
    return true;
}
