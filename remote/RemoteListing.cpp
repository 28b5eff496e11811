#include "remote/RemoteListing.h"

bool RemoteListing::ListRemoteDirectory(FtpConnection& connection, const QByteArray& strDirectory)
{
    m_entries.clear();
    std::vector<FtpEntry> entries;
    if (!connection.ReadDirectory(entries, strDirectory)) {
        // Entering the directory and reading it travel together: when either
        // failed with a directory given, nothing is known of it.
        if (!connection.IsUsable() || !strDirectory.isEmpty())
            return false;
        entries.clear(); // refused lists like empty: ".." alone
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
