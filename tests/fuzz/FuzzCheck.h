#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

/// Aborts with the failed condition when @p bCondition is false, so that
/// libFuzzer keeps the input that broke it as a crash.
#define FUZZ_CHECK(bCondition)                                                                                         \
    do {                                                                                                               \
        if (!(bCondition)) {                                                                                           \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #bCondition);                        \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

/// Chunk sizes chosen by one byte of the input, for feeding a reader piece by
/// piece. The two low bits pick the scale: single bytes, up to 7 bytes (cuts
/// inside CR LF and codes), up to 255 bytes, or up to 8 KiB (around the line
/// limits); the other bits start a generator that varies the sizes.
class FuzzChunks {
public:
    explicit FuzzChunks(std::uint8_t nChoice)
        : m_nState(0x9E3779B9u * (nChoice + 1u))
        , m_nScale(ScaleOf(nChoice))
    {
    }

    /// The next chunk size, from 1 to the scale.
    std::size_t Next()
    {
        m_nState = m_nState * 1103515245u + 12345u;
        return 1 + (m_nState >> 8) % m_nScale;
    }

private:
    static std::uint32_t ScaleOf(std::uint8_t nChoice)
    {
        static constexpr std::uint32_t scales[] = {1, 7, 255, 8192};
        return scales[nChoice & 3];
    }

    std::uint32_t m_nState;
    std::uint32_t m_nScale;
};

/// Feeds @p nSize bytes at @p pData to @p reader in pieces sized by @p chunks.
/// @return the result of the last Feed; true when there was nothing to feed.
template <class Reader> bool FeedInChunks(Reader& reader, const char* pData, std::size_t nSize, FuzzChunks& chunks)
{
    bool bOk = true;
    for (std::size_t nPos = 0; nPos < nSize;) {
        const std::size_t nChunk = std::min(chunks.Next(), nSize - nPos);
        bOk = reader.Feed(pData + nPos, nChunk);
        nPos += nChunk;
    }
    return bOk;
}
