#include "ui/kit/Skin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPalette>

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
    parts_.reset();
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

namespace {

// Where a rule for every widget is in a sheet, and which of its declarations the base
// look takes.
struct BaseRule {
    qsizetype start = -1;  // of its head
    qsizetype end = -1;    // just past its "}"
    QStringList kept;      // declarations left to the sheet
    std::optional<QFont> font;
    std::optional<QColor> color;
};

// `head`: "QWidget {" or "QWidget:disabled {"; `withFont`: whether the face and size
// are taken too (a disabled control keeps its font).
BaseRule FindBaseRule(const QString& sheet, QStringView head, bool withFont) {
    BaseRule found;
    qsizetype start = 0;
    // The rule for every widget, not one that merely ends in "QWidget {".
    while ((start = sheet.indexOf(head, start)) > 0 && sheet[start - 1] != u'\n') start += head.size();
    const qsizetype close = start < 0 ? -1 : sheet.indexOf(u'}', start);
    if (close < 0) return found;
    found.start = start;
    found.end = close + 1;
    QFont font;
    bool anyFont = false;
    const QStringView body = QStringView(sheet).mid(start + head.size(), close - start - head.size());
    for (QStringView declaration : body.split(u';')) {
        const qsizetype colon = declaration.indexOf(u':');
        const QStringView property = colon > 0 ? declaration.left(colon).trimmed() : QStringView();
        const QStringView value = colon > 0 ? declaration.mid(colon + 1).trimmed() : QStringView();
        bool taken = false;
        if (withFont && property == u"font-family") {
            QStringList families;
            for (QStringView family : value.split(u',')) {
                family = family.trimmed();
                if (family.size() >= 2 && (family.front() == u'"' || family.front() == u'\''))
                    family = family.mid(1, family.size() - 2);
                if (!family.isEmpty()) families << family.toString();
            }
            if ((taken = !families.isEmpty())) font.setFamilies(families);
        } else if (withFont && property == u"font-size" && value.endsWith(u"px")) {
            bool ok = false;
            const int px = value.chopped(2).trimmed().toInt(&ok);
            if ((taken = ok && px > 0 && px < 200)) font.setPixelSize(px);
        } else if (property == u"color") {
            const QColor color(value.toString());
            if ((taken = color.isValid())) found.color = color;
        }
        anyFont = anyFont || (taken && property != u"color");
        if (!taken && !declaration.trimmed().isEmpty()) found.kept << declaration.trimmed().toString();
    }
    if (anyFont) found.font = font;
    return found;
}

QString Without(const BaseRule& rule, QStringView head, const QString& sheet) {
    if (rule.start < 0) return sheet;
    const QString rest =
        rule.kept.isEmpty() ? QString() : head.toString() + u' ' + rule.kept.join(u"; "_qs) + u"; }"_qs;
    qsizetype end = rule.end;
    if (rest.isEmpty() && end < sheet.size() && sheet[end] == u'\n') ++end;
    return sheet.left(rule.start) + rest + sheet.mid(end);
}

constexpr QStringView kEveryWidget = u"QWidget {";
constexpr QStringView kEveryDisabledWidget = u"QWidget:disabled {";

// The base look out of `sheet`, which is left without what the look took.
Skin::BaseLook TakeBaseLook(QString& sheet) {
    Skin::BaseLook look;
    const BaseRule every = FindBaseRule(sheet, kEveryWidget, true);
    look.font = every.font;
    look.text = every.color;
    sheet = Without(every, kEveryWidget, sheet);
    const BaseRule disabled = FindBaseRule(sheet, kEveryDisabledWidget, false);
    look.disabledText = disabled.color;
    sheet = Without(disabled, kEveryDisabledWidget, sheet);
    return look;
}

}  // namespace

Skin::BaseLook Skin::BaseLookOf(const QString& sheet) {
    QString rest = sheet;
    return TakeBaseLook(rest);
}

QString Skin::WithoutBaseLook(const QString& sheet) {
    QString rest = sheet;
    TakeBaseLook(rest);
    return rest;
}

const Skin::ThemeParts& Skin::themeParts() const {
    if (!parts_) {
        QString text;
        const QString file = theme_ == Theme::Light ? u"theme_light.qss"_qs : u"theme.qss"_qs;
        if (auto data = ReadLimited(path(file), 1 << 20)) text = QString::fromUtf8(*data);
        text.replace(u"url(skins/"_qs, u"url(%1/skins/"_qs.arg(folder_));
        BaseLook look = TakeBaseLook(text);
        parts_ = ThemeParts{std::move(text), std::move(look)};
    }
    return *parts_;
}

QString Skin::styleSheet() const { return themeParts().sheet; }

namespace {

// Classes a platform theme (KDE's, GNOME's) may give a font or palette of their own,
// which would win over the application's for every widget of the class.
constexpr const char* kThemedClasses[] = {"QLabel",    "QAbstractButton", "QPushButton", "QAbstractItemView",
                                          "QListView", "QLineEdit",       "QMenu",       "QComboMenuItem",
                                          "QTipLabel"};

}  // namespace

QFont BaseFont(const Skin& skin) {
    QFont font = skin.baseLook().font.value_or(QApplication::font());
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

void ApplyBaseLook(const Skin& skin) {
    const Skin::BaseLook& look = skin.baseLook();
    const QFont font = BaseFont(skin);
    QPalette palette = QApplication::palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const std::optional<QColor>& text =
            group == QPalette::Disabled && look.disabledText ? look.disabledText : look.text;
        if (!text) continue;
        QColor placeholder = *text;
        placeholder.setAlpha((placeholder.alpha() + 1) / 2);
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, *text);
        palette.setColor(group, QPalette::PlaceholderText, placeholder);
    }
    // Set without a class, they also drop every class's own.
    if (QApplication::font() != font) QApplication::setFont(font);
    if (QApplication::palette() != palette) QApplication::setPalette(palette);
    // Qt drops them only when the application's own changes; a desktop's theme change
    // can bring them back while it stays.
    for (const char* themed : kThemedClasses) {
        if (QApplication::font(themed) != font) QApplication::setFont(font, themed);
        if (QApplication::palette(themed) != palette) QApplication::setPalette(palette, themed);
    }
}

}  // namespace halvern::kit
