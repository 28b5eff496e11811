#include "SiteProfile.h"

#include "SettingsArchive.h"

namespace {

constexpr quint8 nPasswordShift = 0x4B;

QByteArray Shifted(const QByteArray& str, quint8 nShift)
{
    QByteArray strResult(str);
    for (char& ch : strResult)
        ch = char(quint8(quint8(ch) + nShift));
    return strResult;
}

} // namespace

QByteArray SiteProfile::ScramblePassword() const
{
    return Shifted(m_strPassword, quint8(256 - nPasswordShift));
}

QByteArray SiteProfile::UnscramblePassword() const
{
    return Shifted(m_strPassword, nPasswordShift);
}

void SiteProfile::Serialize(SettingsArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteString(m_strAddress);
        ar.WriteString(m_strUsername);
        ar.WriteString(ScramblePassword());
        ar.WriteString(m_strDirectory);
        return;
    }
    // ReadString() empties its target on failure and fails for good once the
    // archive is damaged, so a cut-off record leaves the rest of it empty.
    ar.ReadString(m_strAddress);
    ar.ReadString(m_strUsername);
    QByteArray strScrambled;
    ar.ReadString(strScrambled);
    m_strPassword = Shifted(strScrambled, nPasswordShift);
    ar.ReadString(m_strDirectory);
}
