// The listing parser and the reader that splits a data connection into lines.
// The first byte of the input chooses MLSD (odd) or LIST (even), and with its
// other bits how the rest is cut into pieces (see FuzzChunks); the rest is what
// the server sends. Only an entry's name and folder flag are compared.
//
// Whatever the bytes, the reader gives the same entries however they arrive,
// never more than its caps, and no name that is empty or holds a byte that no
// command could carry (NUL, CR, LF). Each format's parser, tried on every line,
// takes a name that is part of the line, or "." or ".." for MLSD cdir/pdir.

#include "FuzzCheck.h"
#include "ftp/FtpListParser.h"

#include <QList>

namespace {

void CheckName(const QByteArray& strName)
{
    FUZZ_CHECK(!strName.isEmpty());
    FUZZ_CHECK(!strName.contains('\0') && !strName.contains('\r') && !strName.contains('\n'));
}

/// Tries every format on one line (its line end removed).
void CheckParsers(const QByteArray& strLine)
{
    using Parse = bool (*)(const QByteArray&, FtpEntry&);
    const Parse parsers[] = {FtpListParser::ParseUnixLine, FtpListParser::ParseDosLine, FtpListParser::ParseEplfLine,
        FtpListParser::ParseMlsdLine};
    bool bParsed[4] = {};
    for (int i = 0; i < 4; ++i) {
        FtpEntry entry;
        bParsed[i] = parsers[i](strLine, entry);
        if (!bParsed[i])
            continue;
        FUZZ_CHECK(!entry.m_strName.isEmpty());
        const bool bDots = i == 3 && entry.m_bDirectory && (entry.m_strName == "." || entry.m_strName == "..");
        FUZZ_CHECK(bDots || strLine.contains(entry.m_strName));
    }
    FtpEntry entry;
    FUZZ_CHECK(FtpListParser::ParseListLine(strLine, entry) == (bParsed[0] || bParsed[1] || bParsed[2]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize == 0)
        return 0;
    const bool bMlsd = pData[0] & 1;
    FuzzChunks chunks(static_cast<std::uint8_t>(pData[0] >> 1));
    const char* pBytes = reinterpret_cast<const char*>(pData + 1);
    const std::size_t nBytes = nSize - 1;

    FtpListingReader whole(bMlsd);
    const bool bWholeOk = whole.Feed(pBytes, nBytes) && whole.Finish();
    FtpListingReader pieces(bMlsd);
    const bool bPiecesOk = FeedInChunks(pieces, pBytes, nBytes, chunks) && pieces.Finish();
    FUZZ_CHECK(bWholeOk == bPiecesOk);

    const std::vector<FtpEntry>& entries = whole.Entries();
    FUZZ_CHECK(entries.size() == pieces.Entries().size());
    FUZZ_CHECK(entries.size() <= FtpListingReader::MaxEntries);
    std::size_t nNameBytes = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        CheckName(entries[i].m_strName);
        FUZZ_CHECK(entries[i].m_strName == pieces.Entries()[i].m_strName);
        FUZZ_CHECK(entries[i].m_bDirectory == pieces.Entries()[i].m_bDirectory);
        nNameBytes += static_cast<std::size_t>(entries[i].m_strName.size());
    }
    FUZZ_CHECK(nNameBytes <= FtpListingReader::MaxNameBytes);

    const QList<QByteArray> lines = QByteArray(pBytes, static_cast<qsizetype>(nBytes)).split('\n');
    for (QByteArray strLine : lines) {
        if (strLine.endsWith('\r'))
            strLine.chop(1);
        CheckParsers(strLine);
    }
    return 0;
}
