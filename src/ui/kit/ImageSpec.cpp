#include "ui/kit/ImageSpec.h"

#include <QPainter>

#include "ui/kit/LayoutParser.h"
#include "ui/kit/Skin.h"

namespace halvern::kit {

namespace {

bool SafeRelativePath(const QString& file) {
    if (file.isEmpty() || file.size() > 512 || file.startsWith(u'/') || file.startsWith(u'\\')) return false;
    if (file.contains(u':') || file.contains(QChar(0))) return false;
    const auto parts = QStringView(file).split(u'/');
    for (auto part : parts)
        if (part.isEmpty() || part == u"..") return false;
    return true;
}

bool IsBlank(QChar c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

struct Pair {
    QString key;
    QString value;
    qsizetype end = 0;
};

// One key='value' pair at `at` (lower-case key, blanks around its parts), or nothing
// when the text there is not one. Parsed by hand: a regular expression would load and
// compile PCRE for a handful of skin attributes at every start.
std::optional<Pair> PairAt(const QString& text, qsizetype at) {
    const auto skipBlanks = [&] {
        while (at < text.size() && IsBlank(text[at])) ++at;
    };
    skipBlanks();
    const qsizetype keyStart = at;
    while (at < text.size() && text[at] >= u'a' && text[at] <= u'z') ++at;
    if (at == keyStart) return std::nullopt;
    Pair pair;
    pair.key = text.mid(keyStart, at - keyStart);
    skipBlanks();
    if (at >= text.size() || text[at] != u'=') return std::nullopt;
    ++at;
    skipBlanks();
    if (at >= text.size() || text[at] != u'\'') return std::nullopt;
    const qsizetype valueStart = ++at;
    while (at < text.size() && text[at] != u'\'') ++at;
    if (at >= text.size()) return std::nullopt;
    pair.value = text.mid(valueStart, at - valueStart);
    ++at;
    skipBlanks();
    pair.end = at;
    return pair;
}

}  // namespace

std::optional<ImageSpec> ParseImageSpec(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return ImageSpec{};
    if (!trimmed.contains(u'=')) {
        if (!SafeRelativePath(trimmed)) return std::nullopt;
        return ImageSpec{trimmed, std::nullopt};
    }
    // key='value' pairs separated by blanks; only res and dest are known.
    ImageSpec spec;
    qsizetype at = 0;
    bool sawRes = false;
    while (at < trimmed.size()) {
        const std::optional<Pair> pair = PairAt(trimmed, at);
        if (!pair) return std::nullopt;
        const QString& key = pair->key;
        const QString& value = pair->value;
        if (key == u"res") {
            if (sawRes || !SafeRelativePath(value)) return std::nullopt;
            spec.file = value;
            sawRes = true;
        } else if (key == u"dest") {
            auto box = LayoutParser::ParseFour(value);
            if (!box || spec.dest || box->right() < box->left() || box->bottom() < box->top()) return std::nullopt;
            spec.dest = box;
        } else {
            return std::nullopt;
        }
        at = pair->end;
    }
    if (!sawRes) return std::nullopt;
    return spec;
}

void PaintImage(QPainter& painter, const QRect& bounds, const ImageSpec& spec, const Skin& skin) {
    if (spec.file.isEmpty()) return;
    const QPixmap* pixmap = skin.image(spec.file);
    if (!pixmap || pixmap->isNull()) return;
    QRect target = bounds;
    if (spec.dest)
        target = QRect(QPoint(bounds.left() + spec.dest->left(), bounds.top() + spec.dest->top()),
                       QPoint(bounds.left() + spec.dest->right() - 1, bounds.top() + spec.dest->bottom() - 1));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, *pixmap);
    painter.restore();
}

}  // namespace halvern::kit
