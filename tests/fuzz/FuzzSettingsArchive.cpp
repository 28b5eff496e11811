// The settings file as the window reads it: five site profiles from whatever
// bytes the file holds. Whatever was read must survive a save: storing the
// profiles and reading that back gives the same twenty strings, byte for byte,
// from an undamaged archive, and storing them again gives the same bytes.

#include "FuzzCheck.h"
#include "sites/SettingsArchive.h"
#include "sites/SiteProfile.h"

#include <array>

namespace {

using Profiles = std::array<SiteProfile, 5>;

Profiles Load(const QByteArray& data, bool& bDamaged)
{
    Profiles profiles;
    SettingsArchive archive = SettingsArchive::ForLoading(data);
    for (SiteProfile& profile : profiles)
        profile.Serialize(archive);
    bDamaged = archive.IsDamaged();
    return profiles;
}

QByteArray Store(Profiles& profiles)
{
    SettingsArchive archive = SettingsArchive::ForStoring();
    for (SiteProfile& profile : profiles)
        profile.Serialize(archive);
    return archive.Data();
}

std::array<QByteArray, 20> Strings(const Profiles& profiles)
{
    std::array<QByteArray, 20> strings;
    std::size_t i = 0;
    for (const SiteProfile& profile : profiles) {
        strings[i++] = profile.m_strAddress;
        strings[i++] = profile.m_strUsername;
        strings[i++] = profile.m_strPassword;
        strings[i++] = profile.m_strDirectory;
    }
    return strings;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const QByteArray file(reinterpret_cast<const char*>(pData), static_cast<qsizetype>(nSize));
    bool bDamaged = false;
    Profiles loaded = Load(file, bDamaged);

    // Nothing is read that the file does not hold.
    qsizetype nRead = 0;
    for (const QByteArray& str : Strings(loaded))
        nRead += str.size();
    FUZZ_CHECK(nRead <= file.size());

    const QByteArray saved = Store(loaded);
    bool bSavedDamaged = true;
    Profiles reloaded = Load(saved, bSavedDamaged);
    FUZZ_CHECK(!bSavedDamaged);
    FUZZ_CHECK(Strings(reloaded) == Strings(loaded));
    FUZZ_CHECK(Store(reloaded) == saved);
    return 0;
}
