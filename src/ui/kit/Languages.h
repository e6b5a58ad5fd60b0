// The languages of the skin. "lan.xml" is English and the source of every key; each
// further language sits beside it as "lan_<code>.xml" ("lan_de.xml", "lan_pt_BR.xml"),
// holding the same keys. Which one is shown: the user's choice from the menu when that
// language is there, else the first language of the locale that is there, else English.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace halvern::kit {

inline const QString kSourceLanguage = QStringLiteral("en");

struct LanguageInfo {
    QString code;  // "en", "de", "pt_BR"
    QString name;  // the root's name attribute ("Deutsch"); the code when it has none
    QString file;  // relative to the skin folder
};

// "en" -> "lan.xml", "de" -> "lan_de.xml". Codes are letters, digits and '_' only;
// anything else gives an empty name, so a code never reaches outside the folder.
QString LanguageFileName(const QString& code);

// The languages in `skinFolder`, English first, the rest by code. Only the start of
// each file is read, for its name.
std::vector<LanguageInfo> FindLanguages(const QString& skinFolder);

// The locale variables, as gettext reads them.
struct LocaleEnvironment {
    QString language;    // LANGUAGE: a colon-separated list of preferences
    QString lcAll;       // LC_ALL
    QString lcMessages;  // LC_MESSAGES
    QString lang;        // LANG

    static LocaleEnvironment FromProcess();
};

// The first language of the locale found in `available` (codes): LANGUAGE's entries in
// order, then the locale itself, each as "de_AT" and then "de". A "C" or "POSIX"
// locale, or none, means English, and then LANGUAGE is not looked at (as gettext does).
QString LanguageForLocale(const LocaleEnvironment& env, const QStringList& available);

// The language to show at start: `kept` (CONFIG.ini) when it is available, else the
// locale's.
QString ChooseLanguage(const std::optional<QString>& kept, const LocaleEnvironment& env, const QStringList& available);

}  // namespace halvern::kit
