#include "SettingsArchive.h"

#include <limits>

namespace {

void AppendNumber(QByteArray& data, quint32 nValue, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        data.append(char((nValue >> (8 * i)) & 0xFF));
}

} // namespace

SettingsArchive::SettingsArchive(bool bLoading, QByteArray data)
    : m_data(std::move(data))
    , m_bLoading(bLoading)
{
}

SettingsArchive SettingsArchive::ForLoading(QByteArray data)
{
    return SettingsArchive(true, std::move(data));
}

SettingsArchive SettingsArchive::ForStoring()
{
    return SettingsArchive(false, QByteArray());
}

void SettingsArchive::WriteString(const QByteArray& s)
{
    Q_ASSERT(IsStoring());
    constexpr qsizetype nMax32 = std::numeric_limits<quint32>::max();
    const qsizetype nSize = qMin(s.size(), nMax32);
    if (nSize < 0xFF) {
        AppendNumber(m_data, quint32(nSize), 1);
    } else {
        m_data.append(char(0xFF));
        if (nSize < 0xFFFE) {
            AppendNumber(m_data, quint32(nSize), 2);
        } else {
            AppendNumber(m_data, 0xFFFF, 2);
            AppendNumber(m_data, quint32(nSize), 4);
        }
    }
    m_data.append(s.constData(), nSize);
}

bool SettingsArchive::Take(qsizetype nCount, const char** ppBytes)
{
    if (m_bDamaged || nCount > m_data.size() - m_nPos) {
        m_bDamaged = true;
        return false;
    }
    *ppBytes = m_data.constData() + m_nPos;
    m_nPos += nCount;
    return true;
}

bool SettingsArchive::ReadNumber(int nBytes, quint32* pnValue)
{
    const char* pBytes = nullptr;
    if (!Take(nBytes, &pBytes))
        return false;
    quint32 nValue = 0;
    for (int i = 0; i < nBytes; ++i)
        nValue |= quint32(quint8(pBytes[i])) << (8 * i);
    *pnValue = nValue;
    return true;
}

bool SettingsArchive::ReadString(QByteArray& s)
{
    Q_ASSERT(IsLoading());
    s.clear();
    quint32 nLength = 0;
    if (!ReadNumber(1, &nLength))
        return false;
    if (nLength == 0xFF) {
        if (!ReadNumber(2, &nLength))
            return false;
        if (nLength == 0xFFFF && !ReadNumber(4, &nLength))
            return false;
    }
    // Take() checks the length against the bytes left before anything is
    // copied, so a damaged length never leads to a large allocation.
    const char* pBytes = nullptr;
    if (!Take(qsizetype(nLength), &pBytes))
        return false;
    s = QByteArray(pBytes, qsizetype(nLength));
    ++m_nStringsRead;
    return true;
}
