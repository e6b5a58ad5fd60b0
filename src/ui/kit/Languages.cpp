#include "ui/kit/Languages.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <algorithm>

namespace halvern::kit {

namespace {

bool IsCode(const QString& code) {
    if (code.isEmpty() || code.size() > 16) return false;
    return std::all_of(code.begin(), code.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
    });
}

// The root's name attribute, from the first few kilobytes of the file.
QString DeclaredName(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QXmlStreamReader in(f.read(4096));
    if (!in.readNextStartElement() || in.name() != u"Language") return {};
    return in.attributes().value(u"name"_qs).toString().left(64);
}

// "de_AT.UTF-8@euro" -> {"de_AT", "de"}; "C" and "POSIX" -> {}.
QStringList Candidates(QString locale) {
    locale = locale.section(u'@', 0, 0).section(u'.', 0, 0);
    if (locale.isEmpty() || locale == u"C" || locale == u"POSIX") return {};
    QStringList out{locale};
    if (const QString base = locale.section(u'_', 0, 0); base != locale && !base.isEmpty()) out << base;
    return out;
}

}  // namespace

QString LanguageFileName(const QString& code) {
    if (code == kSourceLanguage) return u"lan.xml"_qs;
    if (!IsCode(code)) return {};
    return u"lan_%1.xml"_qs.arg(code);
}

std::vector<LanguageInfo> FindLanguages(const QString& skinFolder) {
    std::vector<LanguageInfo> found;
    const QDir dir(skinFolder);
    if (dir.exists(u"lan.xml"_qs)) found.push_back({kSourceLanguage, u"English"_qs, u"lan.xml"_qs});
    // Filtered by hand: a name filter would compile a regular expression, and with it the
    // whole regular expression library, at every start.
    const QStringList files = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& file : files) {
        if (!file.startsWith(u"lan_"_qs) || !file.endsWith(u".xml"_qs)) continue;
        const QString code = file.mid(4, file.size() - 8);
        if (!IsCode(code) || code == kSourceLanguage) continue;
        QString name = DeclaredName(dir.filePath(file));
        found.push_back({code, name.isEmpty() ? code : name, file});
    }
    return found;
}

LocaleEnvironment LocaleEnvironment::FromProcess() {
    return {qEnvironmentVariable("LANGUAGE"), qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_MESSAGES"),
            qEnvironmentVariable("LANG")};
}

QString LanguageForLocale(const LocaleEnvironment& env, const QStringList& available) {
    QString locale = env.lcAll;
    if (locale.isEmpty()) locale = env.lcMessages;
    if (locale.isEmpty()) locale = env.lang;
    const QStringList own = Candidates(locale);
    if (own.isEmpty()) return kSourceLanguage;
    QStringList wanted;
    for (const QString& entry : env.language.split(u':', Qt::SkipEmptyParts)) wanted << Candidates(entry);
    wanted << own;
    for (const QString& code : wanted)
        if (available.contains(code)) return code;
    return kSourceLanguage;
}

QString ChooseLanguage(const std::optional<QString>& kept, const LocaleEnvironment& env, const QStringList& available) {
    if (kept && available.contains(*kept)) return *kept;
    return LanguageForLocale(env, available);
}

}  // namespace halvern::kit
