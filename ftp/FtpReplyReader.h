#pragma once

#include <QByteArray>

#include <cstddef>
#include <deque>

/// One complete server reply: its three-digit code and its lines (line ends
/// removed; a single-line reply has one line).
struct FtpReply {
    int m_nCode = 0;
    QByteArray m_strText; // all lines joined with '\n'

    bool IsPreliminary() const { return m_nCode >= 100 && m_nCode < 200; }
    bool IsSuccess() const { return m_nCode >= 200 && m_nCode < 300; }
    bool IsIntermediate() const { return m_nCode >= 300 && m_nCode < 400; }
    /// The first line without its code and separator.
    QByteArray FirstLineText() const;
};

/// Turns the bytes of a control connection into complete replies; no socket.
///
/// Understands multi-line replies ("ddd-" up to a line "ddd " with the same
/// code; inner lines may start with anything, digits included) and accepts a
/// bare LF as line end. Memory is bounded: a line over MaxLineBytes, a reply
/// over MaxReplyBytes, a NUL byte or a first line without a code puts the
/// reader in the failed state, where it stays.
class FtpReplyReader {
public:
    static constexpr std::size_t MaxLineBytes = 8 * 1024;
    static constexpr std::size_t MaxReplyBytes = 64 * 1024;

    /// Consumes @p nSize bytes. False once the input is malformed (see above).
    bool Feed(const char* pData, std::size_t nSize);
    /// Moves the oldest complete reply into @p reply. False when none is complete.
    bool TakeReply(FtpReply& reply);
    bool HasReply() const { return !m_replies.empty(); }
    bool HasFailed() const { return m_bFailed; }

private:
    bool CompleteLine();

    QByteArray m_strLine; // the line being received, without its end
    FtpReply m_current; // the reply being assembled
    bool m_bInReply = false;
    std::size_t m_nReplyBytes = 0;
    std::deque<FtpReply> m_replies;
    bool m_bFailed = false;
};

/// Extracts the directory from a 257 reply, undoing RFC 959 quoting
/// ("/a ""b""" gives /a "b"). False when the text holds no quoted name, or one
/// holding NUL (the reply reader refuses NUL, but this does not rely on it).
bool ParsePwdReply(const QByteArray& strText, QByteArray& strDirectory);
