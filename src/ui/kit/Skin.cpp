#include "ui/kit/Skin.h"

#include <QDir>
#include <QFile>

#include <algorithm>

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

}  // namespace

Skin::Skin(QString folder) : folder_(std::move(folder)) {}

QString Skin::path(const QString& relative) const { return QDir(folder_).filePath(relative); }

std::optional<QString> Skin::loadLanguage(const QString& file) {
    auto data = ReadLimited(path(file), LanguageFile::kMaxFileBytes);
    if (!data) return u"%1: cannot be read"_qs.arg(file);
    return language_.load(*data, file);
}

const LayoutResult& Skin::layout(const QString& file) const {
    if (auto it = layouts_.find(file); it != layouts_.end()) return **it;
    LayoutResult result = LayoutError{u"%1: cannot be read"_qs.arg(file)};
    if (auto data = ReadLimited(path(file), LayoutParser::kMaxFileBytes)) result = LayoutParser::Parse(*data, file);
    return **layouts_.insert(file, std::make_shared<const LayoutResult>(std::move(result)));
}

const QPixmap* Skin::image(const QString& file) const {
    auto it = images_.find(file);
    if (it == images_.end()) {
        QPixmap pixmap;
        std::optional<QPixmap> entry;
        if (pixmap.load(path(file))) entry = std::move(pixmap);
        it = images_.insert(file, std::move(entry));
    }
    return it->has_value() ? &**it : nullptr;
}

QString Skin::styleSheet() const {
    if (!styleSheet_) {
        QString text;
        if (auto data = ReadLimited(path(u"theme.qss"_qs), 1 << 20)) text = QString::fromUtf8(*data);
        text.replace(u"url(skins/"_qs, u"url(%1/skins/"_qs.arg(folder_));
        styleSheet_ = text;
    }
    return *styleSheet_;
}

}  // namespace halvern::kit
