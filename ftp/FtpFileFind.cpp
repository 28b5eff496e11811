#include "ftp/FtpConnection.h"

FtpFileFind::FtpFileFind(FtpConnection& connection)
    : m_connection(connection)
{
}

FtpFileFind::~FtpFileFind() = default;

bool FtpFileFind::FindFile(const QByteArray& strPattern)
{
    Close();
    std::vector<FtpEntry> entries;
    if (!m_connection.ReadDirectory(entries))
        return false;
    // The pattern is matched here: many servers do not expand one given to LIST.
    const qsizetype nStar = strPattern.indexOf('*');
    const bool bAll = strPattern.isEmpty() || strPattern == "*" || strPattern == "*.*";
    for (FtpEntry& entry : entries) {
        const bool bMatch
            = bAll || (nStar >= 0 ? entry.m_strName.startsWith(strPattern.left(nStar)) : entry.m_strName == strPattern);
        if (bMatch)
            m_entries.push_back(std::move(entry));
    }
    return !m_entries.empty();
}

bool FtpFileFind::FindNextFile()
{
    const auto nCount = static_cast<std::ptrdiff_t>(m_entries.size());
    if (m_nCurrent + 1 < nCount)
        ++m_nCurrent;
    return m_nCurrent + 1 < nCount;
}

QByteArray FtpFileFind::GetFileName() const
{
    if (m_nCurrent < 0 || m_nCurrent >= static_cast<std::ptrdiff_t>(m_entries.size()))
        return {};
    return m_entries[static_cast<std::size_t>(m_nCurrent)].m_strName;
}

bool FtpFileFind::IsDirectory() const
{
    if (m_nCurrent < 0 || m_nCurrent >= static_cast<std::ptrdiff_t>(m_entries.size()))
        return false;
    return m_entries[static_cast<std::size_t>(m_nCurrent)].m_bDirectory;
}

bool FtpFileFind::IsLink() const
{
    if (m_nCurrent < 0 || m_nCurrent >= static_cast<std::ptrdiff_t>(m_entries.size()))
        return false;
    return m_entries[static_cast<std::size_t>(m_nCurrent)].m_bLink;
}

bool FtpFileFind::IsDots() const
{
    const QByteArray strName = GetFileName();
    return strName == "." || strName == "..";
}

void FtpFileFind::Close()
{
    m_entries.clear();
    m_nCurrent = -1;
}
