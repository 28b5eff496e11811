#include "sites/SettingsArchive.h"
#include "sites/SiteProfile.h"

#include <QTest>

#include <array>

using Profiles = std::array<SiteProfile, 5>;

namespace {

QByteArray Store(Profiles& profiles)
{
    SettingsArchive ar = SettingsArchive::ForStoring();
    for (SiteProfile& profile : profiles)
        profile.Serialize(ar);
    return ar.Data();
}

/// Loads into profiles that hold text already, so a member left alone by a
/// failed read shows up.
Profiles Load(const QByteArray& data, bool* pbDamaged = nullptr)
{
    Profiles profiles;
    for (SiteProfile& profile : profiles)
        profile = {"stale", "stale", "stale", "stale"};
    SettingsArchive ar = SettingsArchive::ForLoading(data);
    for (SiteProfile& profile : profiles)
        profile.Serialize(ar);
    if (pbDamaged)
        *pbDamaged = ar.IsDamaged();
    return profiles;
}

std::array<QByteArray*, 4> Members(SiteProfile& profile)
{
    return {&profile.m_strAddress, &profile.m_strUsername, &profile.m_strPassword, &profile.m_strDirectory};
}

/// The twenty strings of @p profiles in stored order.
QList<QByteArray> Strings(Profiles profiles)
{
    QList<QByteArray> strings;
    for (SiteProfile& profile : profiles)
        for (QByteArray* pstr : Members(profile))
            strings << *pstr;
    return strings;
}

/// Five profiles whose twenty strings are all different, with lengths that use
/// the one- and three-byte prefixes.
Profiles Sample()
{
    Profiles profiles;
    int nIndex = 0;
    for (SiteProfile& profile : profiles) {
        for (QByteArray* pstr : Members(profile)) {
            *pstr = QByteArray::number(nIndex);
            if (nIndex % 7 == 3)
                *pstr += QByteArray(300, char('a' + nIndex));
            else if (nIndex % 5 == 1)
                pstr->clear();
            ++nIndex;
        }
    }
    return profiles;
}

} // namespace

class TestSettingsCodec : public QObject {
    Q_OBJECT

private slots:
    void RecordLayout();
    void LengthPrefix_data();
    void LengthPrefix();
    void PasswordScrambling_data();
    void PasswordScrambling();
    void TrailingBytesIgnored();
    void TruncatedAtEveryOffset();
    void DamagedLength_data();
    void DamagedLength();
};

void TestSettingsCodec::RecordLayout()
{
    Profiles profiles;
    QCOMPARE(Store(profiles), QByteArray(20, '\0'));

    profiles[0] = {"abc", "u1", "", "/pub"};
    const QByteArray expected = QByteArray::fromHex("0361626302753100042F707562") + QByteArray(16, '\0');
    QCOMPARE(Store(profiles), expected);

    bool bDamaged = true;
    QCOMPARE(Strings(Load(expected, &bDamaged)), Strings(profiles));
    QVERIFY(!bDamaged);
}

void TestSettingsCodec::LengthPrefix_data()
{
    QTest::addColumn<qsizetype>("nLength");
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("254") << qsizetype(254) << QByteArray::fromHex("FE");
    QTest::newRow("255") << qsizetype(255) << QByteArray::fromHex("FFFF00");
    QTest::newRow("65533") << qsizetype(65533) << QByteArray::fromHex("FFFDFF");
    QTest::newRow("65534") << qsizetype(65534) << QByteArray::fromHex("FFFFFFFEFF0000");
    QTest::newRow("65535") << qsizetype(65535) << QByteArray::fromHex("FFFFFFFFFF0000");
    QTest::newRow("70000") << qsizetype(70000) << QByteArray::fromHex("FFFFFF70110100");
}

void TestSettingsCodec::LengthPrefix()
{
    QFETCH(qsizetype, nLength);
    QFETCH(QByteArray, prefix);
    QByteArray str(nLength, '\0');
    for (qsizetype i = 0; i < nLength; ++i)
        str[i] = char(i * 7);

    SettingsArchive arOut = SettingsArchive::ForStoring();
    arOut.WriteString(str);
    arOut.WriteString("z");
    QCOMPARE(arOut.Data().left(prefix.size()), prefix);
    QCOMPARE(arOut.Data().size(), prefix.size() + nLength + 2);

    SettingsArchive arIn = SettingsArchive::ForLoading(arOut.Data());
    QByteArray strRead, strNext;
    QVERIFY(arIn.ReadString(strRead));
    QVERIFY(arIn.ReadString(strNext));
    QCOMPARE(strRead, str);
    QCOMPARE(strNext, QByteArray("z"));
    QVERIFY(!arIn.IsDamaged());
}

void TestSettingsCodec::PasswordScrambling_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("ascii") << QByteArray("Kb~") << QByteArray::fromHex("001733");
    QTest::newRow("wraps below zero") << QByteArray::fromHex("00014A") << QByteArray::fromHex("B5B6FF");
    QTest::newRow("high bytes") << QByteArray::fromHex("80C3FF") << QByteArray::fromHex("3578B4");
    QByteArray all(256, '\0');
    QByteArray allStored(256, '\0');
    for (int i = 0; i < 256; ++i) {
        all[i] = char(i);
        allStored[i] = char((i - 0x4B) & 0xFF);
    }
    QTest::newRow("every byte") << all << allStored;
}

void TestSettingsCodec::PasswordScrambling()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, stored);
    Profiles profiles;
    profiles[2].m_strPassword = password;
    const QByteArray data = Store(profiles);
    QCOMPARE(profiles[2].m_strPassword, password);

    SettingsArchive ar = SettingsArchive::ForLoading(data);
    QByteArray str;
    for (int i = 0; i < 11; ++i)
        QVERIFY(ar.ReadString(str));
    QCOMPARE(str, stored);

    QCOMPARE(Load(data)[2].m_strPassword, password);
}

void TestSettingsCodec::TrailingBytesIgnored()
{
    Profiles profiles = Sample();
    const QByteArray data = Store(profiles) + QByteArray::fromHex("FFFFFFFFFFFFFF0102");
    bool bDamaged = true;
    QCOMPARE(Strings(Load(data, &bDamaged)), Strings(profiles));
    QVERIFY(!bDamaged);
}

void TestSettingsCodec::TruncatedAtEveryOffset()
{
    Profiles profiles = Sample();
    const QByteArray data = Store(profiles);

    // Where each of the twenty strings ends in the data.
    std::array<qsizetype, 20> ends {};
    SettingsArchive arScan = SettingsArchive::ForLoading(data);
    QByteArray str;
    qsizetype nEnd = 0;
    for (qsizetype& nStringEnd : ends) {
        QVERIFY(arScan.ReadString(str));
        nEnd += (str.size() < 0xFF ? 1 : 3) + str.size();
        nStringEnd = nEnd;
    }
    QCOMPARE(nEnd, data.size());

    const QList<QByteArray> whole = Strings(profiles);
    for (qsizetype nCut = 0; nCut < data.size(); ++nCut) {
        bool bDamaged = false;
        const QList<QByteArray> loaded = Strings(Load(data.left(nCut), &bDamaged));
        QVERIFY(bDamaged);
        for (int i = 0; i < 20; ++i)
            if (loaded[i] != (ends[i] <= nCut ? whole[i] : QByteArray()))
                QFAIL(qPrintable(QStringLiteral("cut at %1: string %2 is wrong").arg(nCut).arg(i)));
    }
}

void TestSettingsCodec::DamagedLength_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("8-bit past end") << QByteArray::fromHex("0A414243");
    QTest::newRow("16-bit past end") << QByteArray::fromHex("FF0001414243");
    QTest::newRow("32-bit past end") << QByteArray::fromHex("FFFFFF00000100414243");
    QTest::newRow("4 GiB") << QByteArray::fromHex("FFFFFFFFFFFFFF414243");
    QTest::newRow("4 GiB, no data") << QByteArray::fromHex("FFFFFFFFFFFFFF");
    QTest::newRow("cut in 32-bit length") << QByteArray::fromHex("FFFFFFFFFF");
}

void TestSettingsCodec::DamagedLength()
{
    QFETCH(QByteArray, tail);
    // Site 1 and the address of site 2 are whole; the username of site 2 is damaged.
    const QByteArray data = QByteArray::fromHex("01610162016301640165") + tail;
    bool bDamaged = false;
    QList<QByteArray> expected {"a", "b", QByteArray(1, char('c' + 0x4B)), "d", "e"};
    expected.resize(20);
    QCOMPARE(Strings(Load(data, &bDamaged)), expected);
    QVERIFY(bDamaged);

    // Once damaged, the archive reads nothing more, even where bytes remain.
    SettingsArchive ar = SettingsArchive::ForLoading(tail + QByteArray::fromHex("0141"));
    QByteArray str("stale");
    QVERIFY(!ar.ReadString(str));
    QVERIFY(str.isEmpty());
    QVERIFY(!ar.ReadString(str));
}

QTEST_GUILESS_MAIN(TestSettingsCodec)
#include "TestSettingsCodec.moc"
