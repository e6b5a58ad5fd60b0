#include "ui/kit/LanguageFile.h"

#include <QXmlStreamReader>

namespace halvern::kit {

std::optional<QString> LanguageFile::load(const QByteArray& xml, const QString& fileName) {
    auto error = [&](qint64 line, const QString& what) { return u"%1:%2: %3"_qs.arg(fileName).arg(line).arg(what); };
    if (xml.size() > kMaxFileBytes) return error(0, u"file too large"_qs);
    if (xml.contains("<!DOCTYPE") || xml.contains("<!ENTITY"))
        return error(0, u"document type declarations are not allowed"_qs);

    QHash<QString, QString> texts;
    QXmlStreamReader in(xml);
    if (!in.readNextStartElement()) return error(in.lineNumber(), u"no <Language> root"_qs);
    if (in.name() != u"Language") return error(in.lineNumber(), u"root must be <Language>, not <%1>"_qs.arg(in.name()));
    while (in.readNextStartElement()) {
        if (in.name() != u"Text") return error(in.lineNumber(), u"unknown element <%1>"_qs.arg(in.name()));
        const qint64 line = in.lineNumber();
        const QString key = in.attributes().value(u"key"_qs).toString();
        if (key.isEmpty() || key.size() > 256) return error(line, u"<Text> needs a key of 1 to 256 characters"_qs);
        // readElementText refuses child elements, so a text is always plain.
        const QString value = in.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (in.hasError()) break;
        if (value.size() > 4096) return error(line, u"text of '%1' too long"_qs.arg(key));
        if (texts.contains(key)) return error(line, u"key '%1' given twice"_qs.arg(key));
        if (texts.size() >= kMaxTexts) return error(line, u"too many texts"_qs);
        texts.insert(key, value);
    }
    if (!in.hasError()) {
        // Anything after the root's end is an error too.
        while (!in.atEnd()) in.readNext();
    }
    if (in.hasError()) return error(in.lineNumber(), u"malformed XML: %1"_qs.arg(in.errorString()));
    texts_ = std::move(texts);
    return std::nullopt;
}

std::optional<QString> LanguageFile::overlay(const QByteArray& xml, const QString& fileName, QStringList* missing) {
    LanguageFile translation;
    if (auto error = translation.load(xml, fileName)) return error;
    if (missing) {
        missing->clear();
        for (auto it = texts_.cbegin(); it != texts_.cend(); ++it)
            if (!translation.contains(it.key())) missing->append(it.key());
        missing->sort();
    }
    for (auto it = translation.texts_.cbegin(); it != translation.texts_.cend(); ++it)
        texts_.insert(it.key(), it.value());
    return std::nullopt;
}

QString LanguageFile::text(const QString& key) const { return texts_.value(key, key); }

std::u16string LanguageFile::text(std::string_view key) const {
    const QString t = text(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())));
    return std::u16string(reinterpret_cast<const char16_t*>(t.utf16()), static_cast<std::size_t>(t.size()));
}

}  // namespace halvern::kit
