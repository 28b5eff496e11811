#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>

namespace {

/// Where the program's catalogues are: built into it (translations/CMakeLists.txt),
/// so that a build folder and an installed program find them alike.
const QString kProgramCatalogues = QStringLiteral(":/i18n");

/// A locale name without its codeset and modifier: "de_DE.UTF-8@euro" is "de_DE".
QString WithoutCodeset(const QString& strLocale)
{
    const qsizetype nEnd = strLocale.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    return nEnd < 0 ? strLocale : strLocale.left(nEnd);
}

} // namespace

QStringList Translations::UiLanguages(const QProcessEnvironment& environment)
{
    QString strLocale;
    for (const char* pszName : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        strLocale = environment.value(QString::fromLatin1(pszName));
        if (!strLocale.isEmpty())
            break;
    }
    // The C locale's texts are the program's own, whatever LANGUAGE says.
    if (strLocale.isEmpty() || strLocale == QLatin1String("C") || strLocale == QLatin1String("POSIX"))
        return {};
    QStringList languages;
    const QString strLanguage = environment.value(QStringLiteral("LANGUAGE"));
    for (const QString& strEntry :
        strLanguage.isEmpty() ? QStringList {strLocale} : strLanguage.split(u':', Qt::SkipEmptyParts)) {
        if (const QString strName = WithoutCodeset(strEntry); !strName.isEmpty())
            languages.append(strName);
    }
    return languages;
}

Translations::Translations(const QStringList& languages)
{
    for (const QString& strLanguage : languages) {
        const QString strBase = strLanguage.section(u'_', 0, 0);
        if (strBase == QLatin1String("en") || strBase == QLatin1String("C") || strBase == QLatin1String("POSIX"))
            return; // the texts as they stand
        // "tarnlow_de_AT" is looked for, then "tarnlow_de".
        if (m_program.load(QStringLiteral("tarnlow_") + strLanguage, kProgramCatalogues)) {
            m_strLanguage = m_program.language();
            // Qt's own texts in the same language; a missing one leaves them English.
            (void)m_qt.load(
                QStringLiteral("qtbase_") + strLanguage, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
            return;
        }
    }
}

void Translations::Install()
{
    if (m_strLanguage.isEmpty())
        return;
    QCoreApplication::installTranslator(&m_qt);
    QCoreApplication::installTranslator(&m_program);
}

QString Translations::Translate(const char* pszContext, const char* pszSource) const
{
    const QString strText = m_program.translate(pszContext, pszSource);
    return strText.isEmpty() ? QString::fromUtf8(pszSource) : strText;
}
