#pragma once

#include <cstdint>
#include <deque>

/// The files of a transfer that have begun and are not yet counted done, each
/// by the share of its own size that has moved: what the progress strip shows
/// of the items in work beyond the whole items done.
///
/// Items are counted done in the order their files began; a transfer may begin
/// the next file before the one before it has been judged, so two files may be
/// in work at once. An item counted done that never began a file (one skipped,
/// or failed before it was sent) takes the oldest file along, if any: that
/// file's share then counts as part of the whole item, so the sum only grows.
class FileShares {
public:
    /// A file has begun; nothing of it has moved yet.
    void Begun() { m_files.push_back({}); }
    /// The file begun last has moved @p nBytes of @p nSize (-1: not known, and
    /// then counted as nothing until it is done).
    void Moved(std::int64_t nBytes, std::int64_t nSize);
    /// One more item is counted done: the oldest file in work leaves.
    void Stepped();
    /// No file in work any more.
    void Clear() { m_files.clear(); }

    /// The shares of the files in work together, in units of which
    /// @p nUnitsPerItem make one item, rounded down.
    int Units(int nUnitsPerItem) const;

private:
    struct Share {
        std::int64_t m_nBytes = 0;
        std::int64_t m_nSize = -1;
    };
    std::deque<Share> m_files; // oldest first
};
