#pragma once

#include <QByteArray>

/// The bytes of the settings file plus a direction: loading reads strings from
/// the data given, storing appends strings to an initially empty buffer.
///
/// A string is stored as its length followed by its raw bytes. Lengths up to 254
/// take one byte; up to 65,533 the byte 0xFF and a 16-bit little-endian length;
/// longer ones 0xFF, the word 0xFFFF and a 32-bit little-endian length. Reading
/// takes any 16-bit length other than 0xFFFF, 65,534 included.
class SettingsArchive {
public:
    /// An archive that reads strings from @p data, starting at its first byte.
    static SettingsArchive ForLoading(QByteArray data);
    /// An archive that collects written strings in an empty buffer.
    static SettingsArchive ForStoring();

    bool IsLoading() const { return m_bLoading; }
    bool IsStoring() const { return !m_bLoading; }

    /// Appends @p s with its length prefix (storing only). A string longer than
    /// 0xFFFFFFFF bytes cannot be described by the prefix; only that many bytes
    /// are written, so the data stays readable.
    void WriteString(const QByteArray& s);

    /// Reads the next string into @p s (loading only).
    /// @return false when the data ends before the string is whole (a length
    /// running past the end included); then @p s is empty, nothing is allocated
    /// beyond what the data holds, and the archive is marked damaged so that
    /// every later read fails too.
    bool ReadString(QByteArray& s);

    /// True once a read has run past the end of the data.
    bool IsDamaged() const { return m_bDamaged; }

    /// How many strings were read whole (loading): those before the damage.
    int StringsRead() const { return m_nStringsRead; }

    /// The bytes written so far (storing) or the bytes being read (loading).
    const QByteArray& Data() const { return m_data; }

private:
    explicit SettingsArchive(bool bLoading, QByteArray data);

    /// Takes @p nCount bytes from the read position; false if fewer remain.
    bool Take(qsizetype nCount, const char** ppBytes);
    /// Reads a little-endian number of @p nBytes bytes.
    bool ReadNumber(int nBytes, quint32* pnValue);

    QByteArray m_data;
    qsizetype m_nPos = 0;
    int m_nStringsRead = 0;
    bool m_bLoading = false;
    bool m_bDamaged = false;
};
