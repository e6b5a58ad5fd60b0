// Reads the skin's compact XML files (format in res/README.md) into checked node
// trees. Everything read is treated as hostile: malformed XML, unknown elements or
// attributes, bad values, too deep or too large a tree all give an error naming the
// file and line, never a crash or a half-built tree.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QMargins>
#include <QSize>
#include <QString>

#include <optional>
#include <variant>

#include "ui/kit/LayoutNode.h"

namespace halvern::kit {

struct LayoutError {
    QString message;  // "main.xml:12: unknown attribute 'colour' on <Button>"
};

using LayoutResult = std::variant<LayoutNode, LayoutError>;

class LayoutParser {
public:
    static constexpr qsizetype kMaxFileBytes = 1 << 20;
    static constexpr int kMaxDepth = 64;
    static constexpr int kMaxNodes = 20000;
    static constexpr qsizetype kMaxAttributeChars = 4096;

    // Parses a layout ("Window" root, or any single control tree for list rows) or a
    // menu ("Menu" root). `fileName` only names the file in errors.
    static LayoutResult Parse(const QByteArray& xml, const QString& fileName);

    // Value forms shared by the parser, the builder and run-time attribute changes.
    static std::optional<int> ParseInt(const QString& text);
    static std::optional<bool> ParseBool(const QString& text);
    static std::optional<QSize> ParseSize(const QString& text);     // "w,h"
    static std::optional<QMargins> ParseFour(const QString& text);  // "l,t,r,b": insets, or a box in an image's dest
    static std::optional<QColor> ParseColor(const QString& text);   // #RRGGBB, #AARRGGBB, 0xAARRGGBB
};

}  // namespace halvern::kit
