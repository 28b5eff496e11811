// The directory of a 257 reply. The input is the reply's text as the reply
// reader gives it (lines joined by LF). A directory found must be exactly what
// the first quoted name says: quoting it again (each '"' doubled) gives the
// bytes between the first '"' of the first line and a closing '"' that is not
// the start of a doubled one. It holds no NUL, which no command could carry.

#include "FuzzCheck.h"
#include "ftp/FtpReplyReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const QByteArray strText(reinterpret_cast<const char*>(pData), static_cast<qsizetype>(nSize));
    QByteArray strDirectory = "stale";
    if (!ParsePwdReply(strText, strDirectory)) {
        FUZZ_CHECK(strDirectory.isEmpty());
        return 0;
    }
    FUZZ_CHECK(!strDirectory.contains('\0'));
    FUZZ_CHECK(!strDirectory.contains('\n'));

    const qsizetype nLineEnd = strText.indexOf('\n');
    const QByteArray strLine = nLineEnd < 0 ? strText : strText.left(nLineEnd);
    QByteArray strQuoted = strDirectory;
    strQuoted.replace('"', "\"\"");
    strQuoted = '"' + strQuoted + '"';
    const qsizetype nOpen = strLine.indexOf('"');
    FUZZ_CHECK(nOpen >= 0 && strLine.mid(nOpen).startsWith(strQuoted));
    const qsizetype nAfter = nOpen + strQuoted.size();
    FUZZ_CHECK(nAfter == strLine.size() || strLine[nAfter] != '"');
    return 0;
}
