#include "ui/kit/ImageSpec.h"

#include <QPainter>
#include <QRegularExpression>

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

}  // namespace

std::optional<ImageSpec> ParseImageSpec(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return ImageSpec{};
    if (!trimmed.contains(u'=')) {
        if (!SafeRelativePath(trimmed)) return std::nullopt;
        return ImageSpec{trimmed, std::nullopt};
    }
    // key='value' pairs separated by blanks; only res and dest are known.
    static const QRegularExpression pair(uR"(\G\s*([a-z]+)\s*=\s*'([^']*)'\s*)"_qs);
    ImageSpec spec;
    qsizetype at = 0;
    bool sawRes = false;
    while (at < trimmed.size()) {
        const auto m = pair.match(trimmed, at);
        if (!m.hasMatch() || m.capturedLength() == 0) return std::nullopt;
        const QString key = m.captured(1);
        const QString value = m.captured(2);
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
        at = m.capturedEnd();
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
