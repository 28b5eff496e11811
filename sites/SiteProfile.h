#pragma once

#include <QByteArray>

class SettingsArchive;

/// The four byte strings of one FTP site. Bytes are kept end to end as the
/// user typed them and as the settings file holds them: never re-encoded.
struct SiteProfile {
    QByteArray m_strAddress;
    QByteArray m_strUsername;
    QByteArray m_strPassword; ///< always plain in memory
    QByteArray m_strDirectory;

    bool operator==(const SiteProfile&) const = default;

    /// Loading: reads the four strings of one record (address, username,
    /// scrambled password, directory) and unscrambles the password; a string
    /// that is not whole in the archive leaves that member and the following
    /// ones empty.
    /// Storing: writes address, username, the scrambled copy of the password and
    /// directory; the members are unchanged.
    void Serialize(SettingsArchive& ar);

    /// The password with every byte b replaced by (b - 0x4B) mod 256, as the
    /// settings file stores it. The member is unchanged.
    QByteArray ScramblePassword() const;
    /// The password with every byte t replaced by (t + 0x4B) mod 256: the
    /// inverse of ScramblePassword(). The member is unchanged.
    QByteArray UnscramblePassword() const;
};
