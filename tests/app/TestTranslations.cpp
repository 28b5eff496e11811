#include "app/Translations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

/// One text of a catalogue.
struct CatalogueEntry {
    QString m_strContext;
    QString m_strSource;
    QString m_strType; // the translation's type: "unfinished", "vanished", "obsolete"; empty when done
    QStringList m_translations; // one per plural form, or the one translation
};

/// The texts of the catalogue @p strPath, in file order; @p pstrLanguage gets
/// its language.
QList<CatalogueEntry> ReadCatalogue(const QString& strPath, QString* pstrLanguage = nullptr)
{
    QList<CatalogueEntry> entries;
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString strContext;
    bool bNumerus = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == u"TS" && pstrLanguage) {
            *pstrLanguage = xml.attributes().value(QStringLiteral("language")).toString();
        } else if (name == u"name") {
            strContext = xml.readElementText();
        } else if (name == u"message") {
            entries.append({strContext, {}, {}, {}});
            bNumerus = xml.attributes().value(QStringLiteral("numerus")) == u"yes";
        } else if (name == u"source" && !entries.isEmpty()) {
            entries.last().m_strSource = xml.readElementText();
        } else if (name == u"translation" && !entries.isEmpty()) {
            CatalogueEntry& entry = entries.last();
            entry.m_strType = xml.attributes().value(QStringLiteral("type")).toString();
            if (!bNumerus) {
                entry.m_translations.append(xml.readElementText());
                continue;
            }
            while (xml.readNextStartElement()) {
                if (xml.name() == u"numerusform")
                    entry.m_translations.append(xml.readElementText());
                else
                    xml.skipCurrentElement();
            }
        }
    }
    return entries;
}

/// The placeholders of @p strText (%1 to %99, %n), each once, in order.
QStringList Placeholders(const QString& strText)
{
    static const QRegularExpression pattern(QStringLiteral("%(\\d{1,2}|n)"));
    QStringList found;
    for (const QRegularExpressionMatch& match : pattern.globalMatch(strText)) {
        if (!found.contains(match.captured()))
            found.append(match.captured());
    }
    found.sort();
    return found;
}

/// The accelerator keys of @p strText, each the character after a single '&'
/// ("&&" is a plain ampersand).
QString Accelerators(const QString& strText)
{
    QString strKeys;
    for (qsizetype i = 0; i + 1 < strText.size(); ++i) {
        if (strText[i] != u'&')
            continue;
        if (strText[i + 1] != u'&')
            strKeys += strText[i + 1].toLower();
        ++i;
    }
    return strKeys;
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void LanguageFollowsTheEnvironment_data();
    void LanguageFollowsTheEnvironment();
    void CataloguesAreComplete_data();
    void CataloguesAreComplete();
    void QtsOwnTextsFollow_data();
    void QtsOwnTextsFollow();
    void ProgramSpeaksTheLanguage_data();
    void ProgramSpeaksTheLanguage();
};

void TestTranslations::LanguageFollowsTheEnvironment_data()
{
    QTest::addColumn<QStringList>("variables"); // NAME=value
    QTest::addColumn<QString>("language"); // of the catalogue loaded; empty for English

    QTest::newRow("nothing set") << QStringList {} << QString();
    QTest::newRow("LANG") << QStringList {QStringLiteral("LANG=de_DE.UTF-8")} << QStringLiteral("de");
    QTest::newRow("LANG with a modifier")
        << QStringList {QStringLiteral("LANG=de_DE.UTF-8@euro")} << QStringLiteral("de");
    QTest::newRow("a language without a catalogue") << QStringList {QStringLiteral("LANG=ja_JP.UTF-8")} << QString();
    // LANGUAGE comes first, also before LC_ALL, as GNU programs read it.
    QTest::newRow("LANGUAGE over LANG") << QStringList {QStringLiteral("LANG=en_US.UTF-8"),
        QStringLiteral("LANGUAGE=de")} << QStringLiteral("de");
    QTest::newRow("LANGUAGE under C.UTF-8")
        << QStringList {QStringLiteral("LANG=C.UTF-8"), QStringLiteral("LANGUAGE=es")} << QStringLiteral("es");
    QTest::newRow("LANGUAGE over LC_ALL")
        << QStringList {QStringLiteral("LC_ALL=fr_FR.UTF-8"), QStringLiteral("LANGUAGE=de")} << QStringLiteral("de");
    QTest::newRow("LANGUAGE's first with a catalogue") << QStringList {QStringLiteral("LANG=en_US.UTF-8"),
        QStringLiteral("LANGUAGE=pt_BR:fr:de")} << QStringLiteral("fr");
    QTest::newRow("LANGUAGE with a country") << QStringList {QStringLiteral("LANG=en_US.UTF-8"),
        QStringLiteral("LANGUAGE=de_AT:fr")} << QStringLiteral("de");
    QTest::newRow("LANGUAGE with empty entries")
        << QStringList {QStringLiteral("LANG=en_US.UTF-8"), QStringLiteral("LANGUAGE=::es")} << QStringLiteral("es");
    // English before another language asks for the texts as they stand.
    QTest::newRow("English first") << QStringList {QStringLiteral("LANG=de_DE.UTF-8"), QStringLiteral("LANGUAGE=en:de")}
                                   << QString();
    // The C locale's texts must stay English, whatever LANGUAGE says.
    QTest::newRow("LANGUAGE under C") << QStringList {QStringLiteral("LANG=C"), QStringLiteral("LANGUAGE=de")}
                                      << QString();
    QTest::newRow("LANGUAGE under POSIX") << QStringList {QStringLiteral("LC_ALL=POSIX"),
        QStringLiteral("LANG=de_DE.UTF-8"), QStringLiteral("LANGUAGE=de")}
                                          << QString();
    QTest::newRow("LANGUAGE without a locale") << QStringList {QStringLiteral("LANGUAGE=de")} << QString();
    QTest::newRow("LC_ALL over LANG") << QStringList {QStringLiteral("LC_ALL=fr_FR.UTF-8"),
        QStringLiteral("LANG=de_DE.UTF-8")}
                                      << QStringLiteral("fr");
    QTest::newRow("LC_ALL=C over LANG") << QStringList {QStringLiteral("LC_ALL=C"), QStringLiteral("LANG=de_DE.UTF-8")}
                                        << QString();
    QTest::newRow("LC_MESSAGES over LANG") << QStringList {QStringLiteral("LC_MESSAGES=es_ES.UTF-8"),
        QStringLiteral("LANG=de_DE.UTF-8")} << QStringLiteral("es");
}

void TestTranslations::LanguageFollowsTheEnvironment()
{
    QFETCH(QStringList, variables);
    QFETCH(QString, language);

    QProcessEnvironment environment;
    for (const QString& strVariable : variables)
        environment.insert(strVariable.section(u'=', 0, 0), strVariable.section(u'=', 1));
    const Translations translations(Translations::UiLanguages(environment));
    QCOMPARE(translations.Language(), language);
}

void TestTranslations::CataloguesAreComplete_data()
{
    QTest::addColumn<QString>("path");
    const QDir folder(QStringLiteral(TARNLOW_TRANSLATIONS_DIR));
    const QStringList names = folder.entryList({QStringLiteral("tarnlow_*.ts")}, QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 3);
    for (const QString& strName : names)
        QTest::newRow(qPrintable(strName)) << folder.filePath(strName);
}

void TestTranslations::CataloguesAreComplete()
{
    QFETCH(QString, path);

    // Every text of the sources, as lupdate finds them now (tests/app/CMakeLists.txt).
    QSet<QPair<QString, QString>> sourceTexts;
    for (const CatalogueEntry& entry : ReadCatalogue(QStringLiteral(TARNLOW_SOURCE_TEXTS)))
        sourceTexts.insert({entry.m_strContext, entry.m_strSource});
    QVERIFY(sourceTexts.size() > 100);

    QString strLanguage;
    const QList<CatalogueEntry> entries = ReadCatalogue(path, &strLanguage);
    QVERIFY(!strLanguage.isEmpty());
    QStringList faults;
    QSet<QPair<QString, QString>> translated;
    QHash<QString, QString> keysOfContext; // each window's accelerators, one class each
    for (const CatalogueEntry& entry : entries) {
        const QString strWhere = entry.m_strContext + QStringLiteral(" \"") + entry.m_strSource.left(50) + u'"';
        const QPair<QString, QString> key {entry.m_strContext, entry.m_strSource};
        if (!sourceTexts.contains(key)) {
            faults << strWhere + QStringLiteral(": no longer in the sources (update_translations)");
            continue;
        }
        translated.insert(key);
        if (!entry.m_strType.isEmpty())
            faults << strWhere + QStringLiteral(": ") + entry.m_strType;
        const QStringList placeholders = Placeholders(entry.m_strSource);
        const QString strKeys = Accelerators(entry.m_strSource);
        for (const QString& strText : entry.m_translations) {
            if (strText.isEmpty()) {
                faults << strWhere + QStringLiteral(": not translated");
                continue;
            }
            if (Placeholders(strText) != placeholders)
                faults << strWhere
                        + QStringLiteral(": placeholders %1 where the source has %2")
                              .arg(Placeholders(strText).join(u' '), placeholders.join(u' '));
            const QString strTranslatedKeys = Accelerators(strText);
            if (strTranslatedKeys.size() != strKeys.size())
                faults << strWhere
                        + QStringLiteral(": %1 accelerators where the source has %2")
                              .arg(strTranslatedKeys.size())
                              .arg(strKeys.size());
            else if (!strTranslatedKeys.isEmpty() && !strTranslatedKeys[0].isLetterOrNumber())
                faults << strWhere + QStringLiteral(": the accelerator is no letter");
            else
                keysOfContext[entry.m_strContext] += strTranslatedKeys;
        }
    }
    for (const QPair<QString, QString>& key : sourceTexts - translated)
        faults << key.first + QStringLiteral(" \"") + key.second.left(50) + QStringLiteral("\": missing");
    for (auto it = keysOfContext.cbegin(); it != keysOfContext.cend(); ++it) {
        for (const QChar key : it.value()) {
            if (it.value().count(key) > 1)
                faults << it.key() + QStringLiteral(": the accelerator '%1' is used twice").arg(key);
        }
    }
    faults.removeDuplicates();
    QVERIFY2(faults.isEmpty(), qPrintable(path + u'\n' + faults.join(u'\n')));
}

void TestTranslations::QtsOwnTextsFollow_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("yes");
    QTest::addColumn<QString>("no");
    QTest::newRow("de") << QStringLiteral("de") << QStringLiteral("&Ja") << QStringLiteral("&Nein");
    QTest::newRow("fr") << QStringLiteral("fr") << QStringLiteral("&Oui") << QStringLiteral("&Non");
    QTest::newRow("es") << QStringLiteral("es") << QStringLiteral("&Sí") << QStringLiteral("&No");
}

void TestTranslations::QtsOwnTextsFollow()
{
    QFETCH(QString, language);
    QFETCH(QString, yes);
    QFETCH(QString, no);

    // Qt's standard buttons (the quit and delete questions' Yes and No, the
    // folder browser's) speak the program's language.
    {
        Translations translations({language});
        translations.Install();
        QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No);
        QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text(), yes);
        QCOMPARE(buttons.button(QDialogButtonBox::No)->text(), no);
    }
    // Gone with the object: English again.
    QDialogButtonBox buttons(QDialogButtonBox::Yes);
    QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Yes"));
}

void TestTranslations::ProgramSpeaksTheLanguage_data()
{
    QTest::addColumn<QStringList>("variables"); // NAME=value, over a C.UTF-8 locale
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // how standard output or error begins

    const QStringList noVariables;
    QTest::newRow("German usage") << QStringList {QStringLiteral("LANGUAGE=de")}
                                  << QStringList {QStringLiteral("--help")} << 0
                                  << QStringLiteral("Aufruf: tarnlow [OPTION]... [PFAD]...\n");
    QTest::newRow("German by LANG") << QStringList {QStringLiteral("LANG=de_DE.UTF-8")}
                                    << QStringList {QStringLiteral("--help")} << 0
                                    << QStringLiteral("Aufruf: tarnlow [OPTION]... [PFAD]...\n");
    QTest::newRow("French unknown option")
        << QStringList {QStringLiteral("LANGUAGE=fr")} << QStringList {QStringLiteral("-x")} << 2
        << QStringLiteral("tarnlow\u00A0: option non reconnue «\u00A0-x\u00A0»\n");
    QTest::newRow("Spanish version") << QStringList {QStringLiteral("LANGUAGE=es")}
                                     << QStringList {QStringLiteral("--version")} << 0
                                     << QStringLiteral("tarnlow 1.02\nCopyright (C) 2026 Tarnlow maintainers.\n"
                                                       "Licencia GPLv3+");
    // Printed before the window's application exists.
    QTest::newRow("German without a display")
        << QStringList {QStringLiteral("LANGUAGE=de")} << QStringList {QStringLiteral("no-such-file")} << 1
        << QStringLiteral("tarnlow: Das Fenster lässt sich nicht öffnen: keine X11- oder Wayland-Anzeige erreichbar\n");
    QTest::newRow("C stays English") << QStringList {QStringLiteral("LANG=C"), QStringLiteral("LANGUAGE=de")}
                                     << QStringList {QStringLiteral("--help")} << 0
                                     << QStringLiteral("Usage: tarnlow [OPTION]... [PATH]...\n");
}

void TestTranslations::ProgramSpeaksTheLanguage()
{
    QFETCH(QStringList, variables);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);

    // The real program, with no display to open a window on and a settings
    // folder of its own.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* pszName :
        {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        environment.remove(QString::fromLatin1(pszName));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    for (const QString& strVariable : variables)
        environment.insert(strVariable.section(u'=', 0, 0), strVariable.section(u'=', 1));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(home.path());
    program.start(QStringLiteral(TARNLOW_PROGRAM), arguments);
    QVERIFY(program.waitForStarted(10000));
    const bool bFinished = program.waitForFinished(20000);
    if (!bFinished)
        program.kill();
    QVERIFY2(bFinished, "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    const QString strShown
        = QString::fromUtf8(status == 0 ? program.readAllStandardOutput() : program.readAllStandardError());
    QVERIFY2(strShown.startsWith(output), qPrintable(strShown));
}

QTEST_MAIN(TestTranslations)
#include "TestTranslations.moc"
