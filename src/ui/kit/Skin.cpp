#include "ui/kit/Skin.h"

#include <QDir>
#include <QFile>
#include <QImageReader>

#include <algorithm>

#include "ui/kit/Languages.h"

namespace halvern::kit {

namespace {

std::optional<QByteArray> ReadLimited(const QString& path, qsizetype limit) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    // Read as much as is there, never more than one byte past the limit (so the caller
    // sees that it was passed). QIODevice::read(limit + 1) would reserve the whole limit
    // for every small skin file and keep it for as long as the bytes live.
    QByteArray data;
    char chunk[16 * 1024];
    while (data.size() <= limit) {
        const qint64 n = f.read(chunk, std::min<qint64>(sizeof chunk, limit + 1 - data.size()));
        if (n <= 0) break;
        data.append(chunk, n);
    }
    return data;
}

// Asked to read a file, Qt first offers it to every image format plugin, loading each
// one (and the decoders behind them) for the rest of the run. Skin images named .png are
// read as PNG outright, which Qt does itself.
QPixmap LoadImage(const QString& path) {
    const bool png = path.endsWith(u".png"_qs, Qt::CaseInsensitive);
    QImageReader reader(path, png ? QByteArrayLiteral("png") : QByteArray());
    reader.setAutoDetectImageFormat(!png);
    return QPixmap::fromImage(reader.read());
}

}  // namespace

Skin::Skin(QString folder) : folder_(std::move(folder)) {}

QString Skin::path(const QString& relative) const { return QDir(folder_).filePath(relative); }

std::optional<QString> Skin::loadLanguage(const QString& file) {
    auto data = ReadLimited(path(file), LanguageFile::kMaxFileBytes);
    if (!data) return u"%1: cannot be read"_qs.arg(file);
    return language_.load(*data, file);
}

QLocale Skin::locale() const {
    QLocale locale(languageCode_);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

std::optional<QString> Skin::setLanguage(const QString& code) {
    auto source = ReadLimited(path(u"lan.xml"_qs), LanguageFile::kMaxFileBytes);
    if (!source) return u"lan.xml: cannot be read"_qs;
    LanguageFile texts;
    if (auto error = texts.load(*source, u"lan.xml"_qs)) return error;
    std::optional<QString> problem;
    QString shown = kSourceLanguage;
    if (code != kSourceLanguage) {
        const QString file = LanguageFileName(code);
        auto data = file.isEmpty() ? std::nullopt : ReadLimited(path(file), LanguageFile::kMaxFileBytes);
        QStringList missing;
        if (!data) {
            problem = u"language '%1': no readable file, English is shown"_qs.arg(code);
        } else if (auto error = texts.overlay(*data, file, &missing)) {
            problem = u"%1; English is shown"_qs.arg(*error);
        } else {
            shown = code;
            if (!missing.isEmpty())
                problem = u"%1: %2 texts missing, shown in English (first: %3)"_qs.arg(file)
                              .arg(missing.size())
                              .arg(missing.first());
        }
    }
    language_ = std::move(texts);
    languageCode_ = shown;
    requestedLanguage_ = code;
    return problem;
}

const LayoutResult& Skin::layout(const QString& file) const {
    if (auto it = layouts_.find(file); it != layouts_.end()) return **it;
    LayoutResult result = LayoutError{u"%1: cannot be read"_qs.arg(file)};
    if (auto data = ReadLimited(path(file), LayoutParser::kMaxFileBytes)) result = LayoutParser::Parse(*data, file);
    return **layouts_.insert(file, std::make_shared<const LayoutResult>(std::move(result)));
}

std::optional<Skin::Theme> Skin::ThemeNamed(const QString& name) {
    if (name == u"dark") return Theme::Dark;
    if (name == u"light") return Theme::Light;
    return std::nullopt;
}

void Skin::setTheme(Theme theme) {
    if (theme == theme_) return;
    theme_ = theme;
    styleSheet_.reset();
    images_.clear();
}

const QPixmap* Skin::image(const QString& file) const {
    auto it = images_.find(file);
    if (it == images_.end()) {
        static const QString kSkins = u"skins/"_qs;
        QPixmap pixmap;
        if (theme_ == Theme::Light && file.startsWith(kSkins))
            pixmap = LoadImage(path(u"skins/light/"_qs + file.mid(kSkins.size())));
        if (pixmap.isNull()) pixmap = LoadImage(path(file));
        std::optional<QPixmap> entry;
        if (!pixmap.isNull()) entry = std::move(pixmap);
        it = images_.insert(file, std::move(entry));
    }
    return it->has_value() ? &**it : nullptr;
}

std::optional<QFont> Skin::BaseFontOf(const QString& sheet) {
    static const QString kRule = u"QWidget {"_qs;
    qsizetype start = 0;
    // The rule for every widget, not one that merely ends in "QWidget {".
    while ((start = sheet.indexOf(kRule, start)) > 0 && sheet[start - 1] != u'\n') start += kRule.size();
    if (start < 0) return std::nullopt;
    const qsizetype end = sheet.indexOf(u'}', start);
    const QStringView rule = QStringView(sheet).mid(start + kRule.size(), end < 0 ? -1 : end - start - kRule.size());
    auto value = [&](QStringView property) -> QStringView {
        for (QStringView declaration : rule.split(u';')) {
            const qsizetype colon = declaration.indexOf(u':');
            if (colon > 0 && declaration.left(colon).trimmed() == property) return declaration.mid(colon + 1).trimmed();
        }
        return {};
    };
    QFont font;
    bool any = false;
    QStringList families;
    for (QStringView family : value(u"font-family").split(u',')) {
        family = family.trimmed();
        if (family.size() >= 2 && (family.front() == u'"' || family.front() == u'\''))
            family = family.mid(1, family.size() - 2);
        if (!family.isEmpty()) families << family.toString();
    }
    if (!families.isEmpty()) {
        font.setFamilies(families);
        any = true;
    }
    if (QStringView size = value(u"font-size"); size.endsWith(u"px")) {
        bool ok = false;
        const int px = size.chopped(2).trimmed().toInt(&ok);
        if (ok && px > 0 && px < 200) {
            font.setPixelSize(px);
            any = true;
        }
    }
    return any ? std::optional<QFont>(font) : std::nullopt;
}

QString Skin::styleSheet() const {
    if (!styleSheet_) {
        QString text;
        const QString file = theme_ == Theme::Light ? u"theme_light.qss"_qs : u"theme.qss"_qs;
        if (auto data = ReadLimited(path(file), 1 << 20)) text = QString::fromUtf8(*data);
        text.replace(u"url(skins/"_qs, u"url(%1/skins/"_qs.arg(folder_));
        styleSheet_ = text;
    }
    return *styleSheet_;
}

}  // namespace halvern::kit
