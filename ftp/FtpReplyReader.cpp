#include "ftp/FtpReplyReader.h"

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool StartsWithCode(const QByteArray& strLine)
{
    return strLine.size() >= 3 && IsDigit(strLine[0]) && IsDigit(strLine[1]) && IsDigit(strLine[2]);
}

} // namespace

QByteArray FtpReply::FirstLineText() const
{
    const qsizetype nEnd = m_strText.indexOf('\n');
    const QByteArray strFirst = nEnd < 0 ? m_strText : m_strText.left(nEnd);
    return strFirst.mid(4);
}

bool FtpReplyReader::Feed(const char* pData, std::size_t nSize)
{
    for (std::size_t i = 0; i < nSize && !m_bFailed; ++i) {
        const char c = pData[i];
        if (c == '\0') {
            m_bFailed = true;
        } else if (c == '\n') {
            if (m_strLine.endsWith('\r'))
                m_strLine.chop(1);
            if (static_cast<std::size_t>(m_strLine.size()) > MaxLineBytes || !CompleteLine())
                m_bFailed = true;
            m_strLine.clear();
        } else if (static_cast<std::size_t>(m_strLine.size()) > MaxLineBytes) {
            // One byte more than a line may hold is kept for the CR of "\r\n".
            m_bFailed = true;
        } else {
            m_strLine.append(c);
        }
    }
    if (m_bFailed) {
        m_strLine.clear();
        m_current = {};
    }
    return !m_bFailed;
}

bool FtpReplyReader::CompleteLine()
{
    m_nReplyBytes += static_cast<std::size_t>(m_strLine.size()) + 1;
    if (m_nReplyBytes > MaxReplyBytes)
        return false;
    if (!m_bInReply) {
        // The first line: "ddd text", "ddd-text" (more lines follow) or just "ddd".
        if (!StartsWithCode(m_strLine) || (m_strLine.size() > 3 && m_strLine[3] != ' ' && m_strLine[3] != '-'))
            return false;
        m_current.m_nCode = m_strLine.left(3).toInt();
        m_current.m_strText = m_strLine;
        if (m_strLine.size() > 3 && m_strLine[3] == '-') {
            m_bInReply = true;
            return true;
        }
    } else {
        m_current.m_strText.append('\n').append(m_strLine);
        // Only the same code followed by a space (or nothing) ends the reply.
        const bool bEnd
            = m_strLine.startsWith(m_current.m_strText.left(3)) && (m_strLine.size() == 3 || m_strLine[3] == ' ');
        if (!bEnd)
            return true;
    }
    m_replies.push_back(std::move(m_current));
    m_current = {};
    m_bInReply = false;
    m_nReplyBytes = 0;
    return true;
}

bool FtpReplyReader::TakeReply(FtpReply& reply)
{
    if (m_replies.empty())
        return false;
    reply = std::move(m_replies.front());
    m_replies.pop_front();
    return true;
}

bool ParsePwdReply(const QByteArray& strText, QByteArray& strDirectory)
{
    strDirectory.clear();
    const qsizetype nLineEnd = strText.indexOf('\n');
    const QByteArray strLine = nLineEnd < 0 ? strText : strText.left(nLineEnd);
    qsizetype i = strLine.indexOf('"');
    if (i < 0)
        return false;
    QByteArray strResult;
    for (++i; i < strLine.size(); ++i) {
        if (strLine[i] == '\0') {
            return false; // no command could name such a directory
        } else if (strLine[i] != '"') {
            strResult.append(strLine[i]);
        } else if (i + 1 < strLine.size() && strLine[i + 1] == '"') {
            strResult.append('"');
            ++i;
        } else {
            strDirectory = strResult;
            return true;
        }
    }
    return false; // no closing quote
}
