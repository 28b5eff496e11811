#include "app/FileShares.h"

#include <algorithm>

void FileShares::Moved(std::int64_t nBytes, std::int64_t nSize)
{
    if (m_files.empty())
        return;
    m_files.back() = {nBytes, nSize};
}

void FileShares::Stepped()
{
    if (!m_files.empty())
        m_files.pop_front();
}

int FileShares::Units(int nUnitsPerItem) const
{
    double dItems = 0;
    for (const Share& share : m_files) {
        // A file that grew while it moved still counts as one item at most.
        if (share.m_nSize > 0 && share.m_nBytes > 0)
            dItems += std::min(1.0, double(share.m_nBytes) / double(share.m_nSize));
    }
    return int(dItems * nUnitsPerItem);
}
