#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTranslator>

/// The language the program speaks: its own catalogue (built into the program
/// from translations/) and Qt's, for the standard buttons and dialogs, both for
/// the first of the user's languages that the program has a catalogue for.
/// English, the language of the texts in the source, needs none.
class Translations {
public:
    /**
     * The languages the user asks for, most wanted first, read from the
     * environment as GNU programs read it: LANGUAGE, a list such as "de_AT:fr",
     * comes before the locale (the first of LC_ALL, LC_MESSAGES and LANG that
     * is set), but is ignored when that locale is "C" or "POSIX", whose texts
     * must stay English. Without LANGUAGE the locale's own language is asked
     * for. Each comes without its codeset and modifier ("de_DE.UTF-8@euro" is
     * "de_DE"); English may stand as "en" or "C". Empty when the locale is C.
     */
    static QStringList UiLanguages(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

    /// Loads the catalogues of the first of @p languages that Tarnlow has one
    /// for ("de_AT" takes the German one); English ("en", "C") ends the search.
    /// It needs no application: a text can be looked up before one exists.
    explicit Translations(const QStringList& languages = UiLanguages());

    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    /// Puts both catalogues into the running application, for as long as this
    /// object lives: every translated text from then on is in the language.
    void Install();

    /// The language of the loaded catalogue ("de", "fr", "es"); empty for English.
    QString Language() const { return m_strLanguage; }

    /// @p pszSource of @p pszContext in the loaded catalogue, or as it stands
    /// when it has no translation; for a text needed before an application exists.
    QString Translate(const char* pszContext, const char* pszSource) const;

private:
    QTranslator m_program;
    QTranslator m_qt;
    QString m_strLanguage;
};
