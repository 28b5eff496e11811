// The control connection's reply reader. The first byte of the input chooses
// how the rest is cut into pieces (see FuzzChunks); the rest is what a server
// sends. However the bytes arrive, the reader must give the same replies and
// fail at the same point, and every reply it gives must be well formed.

#include "FuzzCheck.h"
#include "ftp/FtpReplyReader.h"

#include <QList>

#include <vector>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// A reply as the reader promises it: a three-digit code that is the start of
/// its text, no NUL, lines within the limits, and a multi-line reply that ends
/// on a line of its own code followed by a space or nothing.
void CheckReply(const FtpReply& reply)
{
    const QByteArray& strText = reply.m_strText;
    FUZZ_CHECK(strText.size() >= 3 && IsDigit(strText[0]) && IsDigit(strText[1]) && IsDigit(strText[2]));
    FUZZ_CHECK(reply.m_nCode == strText.left(3).toInt());
    FUZZ_CHECK(!strText.contains('\0'));
    FUZZ_CHECK(static_cast<std::size_t>(strText.size()) <= FtpReplyReader::MaxReplyBytes);
    const QList<QByteArray> lines = strText.split('\n');
    for (const QByteArray& strLine : lines)
        FUZZ_CHECK(static_cast<std::size_t>(strLine.size()) <= FtpReplyReader::MaxLineBytes);
    if (strText.size() == 3 || strText[3] == ' ') {
        FUZZ_CHECK(lines.size() == 1);
        return;
    }
    FUZZ_CHECK(strText[3] == '-' && lines.size() >= 2);
    const QByteArray& strLast = lines.back();
    FUZZ_CHECK(strLast.startsWith(strText.left(3)) && (strLast.size() == 3 || strLast[3] == ' '));
}

std::vector<FtpReply> TakeAll(FtpReplyReader& reader)
{
    std::vector<FtpReply> replies;
    FtpReply reply;
    while (reader.TakeReply(reply))
        replies.push_back(reply);
    return replies;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize == 0)
        return 0;
    FuzzChunks chunks(pData[0]);
    const char* pBytes = reinterpret_cast<const char*>(pData + 1);
    const std::size_t nBytes = nSize - 1;

    FtpReplyReader whole;
    const bool bWholeOk = whole.Feed(pBytes, nBytes);
    FtpReplyReader pieces;
    const bool bPiecesOk = FeedInChunks(pieces, pBytes, nBytes, chunks);
    FUZZ_CHECK(bWholeOk == !whole.HasFailed());
    FUZZ_CHECK(bPiecesOk == bWholeOk && pieces.HasFailed() == whole.HasFailed());

    const std::vector<FtpReply> replies = TakeAll(whole);
    const std::vector<FtpReply> piecesReplies = TakeAll(pieces);
    FUZZ_CHECK(replies.size() == piecesReplies.size());
    for (std::size_t i = 0; i < replies.size(); ++i) {
        CheckReply(replies[i]);
        FUZZ_CHECK(replies[i].m_nCode == piecesReplies[i].m_nCode);
        FUZZ_CHECK(replies[i].m_strText == piecesReplies[i].m_strText);
    }

    // A failed reader stays failed: nothing after the fault is taken for a reply.
    if (!bWholeOk) {
        FUZZ_CHECK(!whole.Feed("200 OK\r\n", 8));
        FUZZ_CHECK(!whole.HasReply());
    }
    return 0;
}
