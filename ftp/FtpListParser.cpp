#include "ftp/FtpListParser.h"

#include <QList>

#include <cstring>

namespace {

struct Token {
    qsizetype m_nStart;
    qsizetype m_nEnd; // one past the last byte
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::vector<Token> Tokenize(const QByteArray& strLine)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = strLine.size();
    while (i < n) {
        while (i < n && IsBlank(strLine[i]))
            ++i;
        if (i == n)
            break;
        const qsizetype nStart = i;
        while (i < n && !IsBlank(strLine[i]))
            ++i;
        tokens.push_back({nStart, i});
    }
    return tokens;
}

QByteArray Text(const QByteArray& strLine, const Token& token)
{
    return strLine.mid(token.m_nStart, token.m_nEnd - token.m_nStart);
}

bool AllDigits(const QByteArray& str, qsizetype nMin, qsizetype nMax)
{
    if (str.size() < nMin || str.size() > nMax)
        return false;
    for (const char c : str) {
        if (!IsDigit(c))
            return false;
    }
    return true;
}

bool IsMonth(const QByteArray& str)
{
    static const char* const months[]
        = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (str.size() != 3)
        return false;
    const QByteArray strLower = str.toLower();
    for (const char* pMonth : months) {
        if (strLower == pMonth)
            return true;
    }
    return false;
}

/// "10:00", "9:05" or "10:00:59".
bool IsClock(const QByteArray& str)
{
    const QList<QByteArray> parts = str.split(':');
    if (parts.size() < 2 || parts.size() > 3 || !AllDigits(parts[0], 1, 2))
        return false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (!AllDigits(parts[i], 2, 2))
            return false;
    }
    return true;
}

/// "2024-01-05".
bool IsIsoDate(const QByteArray& str)
{
    return str.size() == 10 && AllDigits(str.left(4), 4, 4) && str[4] == '-' && AllDigits(str.mid(5, 2), 2, 2)
        && str[7] == '-' && AllDigits(str.mid(8, 2), 2, 2);
}

bool IsUnixMode(const QByteArray& str)
{
    if (str.size() < 10 || !std::strchr("-dlbcpsD", str[0]))
        return false;
    for (int i = 1; i < 10; ++i) {
        if (!std::strchr("-rwxsStTlL", str[i]))
            return false;
    }
    return true;
}

} // namespace

bool FtpListParser::ParseMlsdLine(const QByteArray& strLine, FtpEntry& entry)
{
    const qsizetype nSpace = strLine.indexOf(' ');
    if (nSpace < 0 || nSpace + 1 >= strLine.size())
        return false;
    entry = {};
    entry.m_strName = strLine.mid(nSpace + 1);
    const QList<QByteArray> facts = strLine.left(nSpace).split(';');
    for (const QByteArray& strFact : facts) {
        const qsizetype nEquals = strFact.indexOf('=');
        if (nEquals < 0 || strFact.left(nEquals).toLower() != "type")
            continue;
        const QByteArray strType = strFact.mid(nEquals + 1).toLower();
        if (strType == "dir") {
            entry.m_bDirectory = true;
        } else if (strType == "cdir") {
            entry.m_bDirectory = true;
            entry.m_strName = ".";
        } else if (strType == "pdir") {
            entry.m_bDirectory = true;
            entry.m_strName = "..";
        } else if (strType.startsWith("os.unix=slink") || strType.startsWith("os.unix=symlink")) {
            entry.m_bLink = true;
        }
    }
    return true;
}

bool FtpListParser::ParseUnixLine(const QByteArray& strLine, FtpEntry& entry)
{
    const std::vector<Token> tokens = Tokenize(strLine);
    if (tokens.size() < 6 || !IsUnixMode(Text(strLine, tokens[0])))
        return false;
    // Find the date: "Mon dd yyyy|hh:mm" or "yyyy-mm-dd hh:mm", right after the size.
    std::size_t nLastDateToken = 0;
    for (std::size_t i = 2; i + 1 < tokens.size() && nLastDateToken == 0; ++i) {
        if (!AllDigits(Text(strLine, tokens[i - 1]), 1, 20))
            continue;
        const QByteArray strToken = Text(strLine, tokens[i]);
        if (IsMonth(strToken) && i + 3 < tokens.size() && AllDigits(Text(strLine, tokens[i + 1]), 1, 2)) {
            const QByteArray strYearOrTime = Text(strLine, tokens[i + 2]);
            if (AllDigits(strYearOrTime, 4, 4) || IsClock(strYearOrTime))
                nLastDateToken = i + 2;
        } else if (IsIsoDate(strToken) && i + 2 < tokens.size() && IsClock(Text(strLine, tokens[i + 1]))) {
            nLastDateToken = i + 1;
        }
    }
    if (nLastDateToken == 0)
        return false;
    // The name begins after the single space that follows the date.
    QByteArray strName = strLine.mid(tokens[nLastDateToken].m_nEnd + 1);
    const char cType = strLine[0];
    if (cType == 'l') {
        const qsizetype nArrow = strName.indexOf(" -> ");
        if (nArrow >= 0)
            strName.truncate(nArrow);
    }
    if (strName.isEmpty())
        return false;
    entry = {};
    entry.m_strName = strName;
    entry.m_bDirectory = cType == 'd' || cType == 'D';
    entry.m_bLink = cType == 'l';
    return true;
}

bool FtpListParser::ParseDosLine(const QByteArray& strLine, FtpEntry& entry)
{
    const std::vector<Token> tokens = Tokenize(strLine);
    if (tokens.size() < 4)
        return false;
    const QByteArray strDate = Text(strLine, tokens[0]);
    const QList<QByteArray> dateParts = strDate.split(strDate.contains('/') ? '/' : '-');
    if (dateParts.size() != 3 || !AllDigits(dateParts[0], 1, 2) || !AllDigits(dateParts[1], 1, 2)
        || !(AllDigits(dateParts[2], 2, 2) || AllDigits(dateParts[2], 4, 4)))
        return false;
    QByteArray strTime = Text(strLine, tokens[1]).toUpper();
    std::size_t nNext = 2;
    if (strTime.endsWith("AM") || strTime.endsWith("PM")) {
        strTime.chop(2);
    } else {
        const QByteArray strSuffix = Text(strLine, tokens[2]).toUpper();
        if (strSuffix == "AM" || strSuffix == "PM")
            ++nNext;
    }
    if (!IsClock(strTime) || nNext + 1 >= tokens.size())
        return false;
    const QByteArray strSize = Text(strLine, tokens[nNext]);
    entry = {};
    if (strSize.toUpper() == "<DIR>") {
        entry.m_bDirectory = true;
    } else {
        QByteArray strDigits = strSize;
        strDigits.replace(',', QByteArray()).replace('.', QByteArray());
        if (!AllDigits(strDigits, 1, 20))
            return false;
    }
    entry.m_strName = strLine.mid(tokens[nNext + 1].m_nStart);
    return true;
}

bool FtpListParser::ParseEplfLine(const QByteArray& strLine, FtpEntry& entry)
{
    if (!strLine.startsWith('+'))
        return false;
    const qsizetype nTab = strLine.indexOf('\t');
    if (nTab < 0 || nTab + 1 >= strLine.size())
        return false;
    entry = {};
    entry.m_strName = strLine.mid(nTab + 1);
    const QList<QByteArray> facts = strLine.mid(1, nTab - 1).split(',');
    for (const QByteArray& strFact : facts) {
        if (strFact == "/")
            entry.m_bDirectory = true;
    }
    return true;
}

bool FtpListParser::ParseListLine(const QByteArray& strLine, FtpEntry& entry)
{
    return ParseUnixLine(strLine, entry) || ParseDosLine(strLine, entry) || ParseEplfLine(strLine, entry);
}

bool FtpListingReader::Feed(const char* pData, std::size_t nSize)
{
    // A line keeps at most MaxLineBytes + 1 bytes; one byte more makes it
    // over-long, and the rest of it is skipped rather than held.
    constexpr std::size_t nMaxKept = MaxLineBytes + 1;
    const char* p = pData;
    const char* const pEnd = pData + nSize;
    while (p < pEnd && !m_bFull) {
        const auto* pNewline = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(pEnd - p)));
        const char* const pStop = pNewline ? pNewline : pEnd;
        const auto nBytes = static_cast<std::size_t>(pStop - p);
        if (!m_bOverlong) {
            if (static_cast<std::size_t>(m_strLine.size()) + nBytes > nMaxKept) {
                m_bOverlong = true;
                m_strLine.clear();
            } else {
                m_strLine.append(p, static_cast<qsizetype>(nBytes));
            }
        }
        if (!pNewline)
            break;
        AddLine();
        p = pNewline + 1;
    }
    return !m_bFull;
}

bool FtpListingReader::Finish()
{
    if (!m_strLine.isEmpty())
        AddLine();
    return !m_bFull;
}

bool FtpListingReader::AddLine()
{
    if (m_strLine.endsWith('\r'))
        m_strLine.chop(1);
    FtpEntry entry;
    // A name holding NUL or CR could never be used in a command, so such a line
    // is skipped too (lines end at LF, so no name holds one).
    const bool bParsed = !m_bOverlong && !m_strLine.isEmpty() && !m_strLine.contains('\0')
        && (m_bMlsd ? FtpListParser::ParseMlsdLine(m_strLine, entry) : FtpListParser::ParseListLine(m_strLine, entry))
        && !entry.m_strName.contains('\r');
    m_strLine.resize(0); // keeps its buffer for the next line
    m_bOverlong = false;
    if (!bParsed)
        return true;
    // Without the byte cap, MaxEntries names of almost MaxLineBytes each would be gigabytes.
    m_nNameBytes += static_cast<std::size_t>(entry.m_strName.size());
    if (m_entries.size() >= MaxEntries || m_nNameBytes > MaxNameBytes) {
        m_bFull = true;
        return false;
    }
    m_entries.push_back(std::move(entry));
    return true;
}
