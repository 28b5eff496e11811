#pragma once

#include "ftp/FtpConnection.h"

#include <QByteArray>

#include <cstddef>
#include <vector>

/// Parses the lines of a directory listing into entries; no socket. One
/// function per format. A link ("l" type, OS.unix=slink) is reported as a link
/// under its own name: what it leads to is found out from the server when it matters.
class FtpListParser {
public:
    /// RFC 3659 MLSD: "fact=value;...; name". cdir is reported as ".", pdir as "..".
    static bool ParseMlsdLine(const QByteArray& strLine, FtpEntry& entry);
    /// Unix "ls -l", with or without the group column, with a year, a time or a
    /// numeric "2024-01-05 10:00" date; "name -> target" gives the name.
    static bool ParseUnixLine(const QByteArray& strLine, FtpEntry& entry);
    /// DOS/IIS "01-05-24  10:00AM  <DIR>  name" (2- or 4-digit years, AM/PM or 24h).
    static bool ParseDosLine(const QByteArray& strLine, FtpEntry& entry);
    /// EPLF "+i8388621.29609,m824255902,/,\tname".
    static bool ParseEplfLine(const QByteArray& strLine, FtpEntry& entry);
    /// A LIST line: tries Unix, DOS, then EPLF. False for lines of no format
    /// ("total 12", blank lines), which the caller skips.
    static bool ParseListLine(const QByteArray& strLine, FtpEntry& entry);
};

/// Collects the entries of a listing from the raw bytes of a data connection.
/// Memory stays bounded: over-long lines are skipped, and both the entry count
/// and the bytes of all names together are capped. A line whose name holds NUL
/// or CR is skipped: no command could name that entry.
class FtpListingReader {
public:
    static constexpr std::size_t MaxLineBytes = 8 * 1024;
    static constexpr std::size_t MaxEntries = 2000000;
    static constexpr std::size_t MaxNameBytes = 64 * 1024 * 1024;

    explicit FtpListingReader(bool bMlsd)
        : m_bMlsd(bMlsd)
    {
    }

    /// Consumes the next bytes. False once the listing holds more than MaxEntries
    /// entries or MaxNameBytes of names.
    bool Feed(const char* pData, std::size_t nSize);
    /// Handles a last line without line end. False as for Feed.
    bool Finish();
    std::vector<FtpEntry>& Entries() { return m_entries; }

private:
    bool AddLine();

    bool m_bMlsd;
    QByteArray m_strLine;
    bool m_bOverlong = false;
    bool m_bFull = false;
    std::size_t m_nNameBytes = 0;
    std::vector<FtpEntry> m_entries;
};
