#include "ui/kit/LayoutParser.h"

#include <QXmlStreamReader>

#include <array>
#include <span>
#include <string_view>

#include "ui/kit/ImageSpec.h"

namespace halvern::kit {

namespace {

enum class Type { Text, Int, Bool, Size, Four, Color, Image, Align, Name };

struct AttributeRule {
    std::string_view name;
    Type type;
};

// Attributes every control element accepts.
constexpr std::array kCommon{
    AttributeRule{"name", Type::Name},       AttributeRule{"class", Type::Name},
    AttributeRule{"width", Type::Int},       AttributeRule{"height", Type::Int},
    AttributeRule{"minwidth", Type::Int},    AttributeRule{"minheight", Type::Int},
    AttributeRule{"maxwidth", Type::Int},    AttributeRule{"maxheight", Type::Int},
    AttributeRule{"visible", Type::Bool},    AttributeRule{"enabled", Type::Bool},
    AttributeRule{"tooltip", Type::Text},    AttributeRule{"tooltipkey", Type::Name},
    AttributeRule{"bkcolor", Type::Color},   AttributeRule{"bkimage", Type::Image},
    AttributeRule{"virtualwnd", Type::Name}, AttributeRule{"userdata", Type::Text},
    AttributeRule{"deferred", Type::Bool},
};

constexpr std::array kContainer{
    AttributeRule{"inset", Type::Four}, AttributeRule{"childpadding", Type::Int}, AttributeRule{"vscroll", Type::Bool},
    AttributeRule{"text", Type::Text},  AttributeRule{"textwidth", Type::Int},
};
constexpr std::array kTexted{
    AttributeRule{"text", Type::Text},
    AttributeRule{"textkey", Type::Name},
    AttributeRule{"align", Type::Align},
};
constexpr std::array kWindow{
    AttributeRule{"size", Type::Size},  AttributeRule{"caption", Type::Int},      AttributeRule{"class", Type::Name},
    AttributeRule{"inset", Type::Four}, AttributeRule{"childpadding", Type::Int},
};
constexpr std::array kGrouped{AttributeRule{"group", Type::Name}, AttributeRule{"selected", Type::Bool}};
constexpr std::array kSelectedBool{AttributeRule{"selected", Type::Bool}};
constexpr std::array kSelectedIndex{AttributeRule{"selected", Type::Int}};
constexpr std::array kLabel{AttributeRule{"wordbreak", Type::Bool}};
constexpr std::array kButton{AttributeRule{"cancel", Type::Bool}, AttributeRule{"elide", Type::Bool}};
constexpr std::array kEdit{
    AttributeRule{"maxchar", Type::Int},
    AttributeRule{"numberonly", Type::Bool},
    AttributeRule{"readonly", Type::Bool},
    AttributeRule{"placeholderkey", Type::Name},
};
constexpr std::array kRange{
    AttributeRule{"min", Type::Int},
    AttributeRule{"max", Type::Int},
    AttributeRule{"value", Type::Int},
};
constexpr std::array kList{AttributeRule{"rowheight", Type::Int}};
constexpr std::array kPalette{AttributeRule{"color", Type::Color}};
constexpr std::array kItem{
    AttributeRule{"name", Type::Name},     AttributeRule{"text", Type::Text},    AttributeRule{"textkey", Type::Name},
    AttributeRule{"userdata", Type::Text}, AttributeRule{"visible", Type::Bool}, AttributeRule{"checkable", Type::Bool},
};
constexpr std::array kFill{AttributeRule{"width", Type::Int}, AttributeRule{"height", Type::Int}};
constexpr std::array<AttributeRule, 0> kNone{};

enum class Children { None, Controls, Items };

struct ElementRule {
    std::string_view element;
    Children children;
    bool common;
    std::array<std::span<const AttributeRule>, 3> extra;
};

// The elements of the format, with the attribute groups each accepts.
const std::array kElements{
    ElementRule{"Window", Children::Controls, false, {kWindow, kNone, kNone}},
    ElementRule{"Vertical", Children::Controls, true, {kContainer, kNone, kNone}},
    ElementRule{"Horizontal", Children::Controls, true, {kContainer, kNone, kNone}},
    ElementRule{"Tab", Children::Controls, true, {kSelectedIndex, kNone, kNone}},
    ElementRule{"Control", Children::None, true, {kNone, kNone, kNone}},
    ElementRule{"Fill", Children::None, false, {kFill, kNone, kNone}},
    ElementRule{"Label", Children::None, true, {kTexted, kLabel, kNone}},
    ElementRule{"Button", Children::None, true, {kTexted, kButton, kNone}},
    ElementRule{"Option", Children::None, true, {kTexted, kGrouped, kNone}},
    ElementRule{"Check", Children::None, true, {kTexted, kSelectedBool, kNone}},
    ElementRule{"Edit", Children::None, true, {kTexted, kEdit, kNone}},
    ElementRule{"RichEdit", Children::None, true, {kTexted, kEdit, kNone}},
    ElementRule{"Slider", Children::None, true, {kRange, kNone, kNone}},
    ElementRule{"Progress", Children::None, true, {kRange, kNone, kNone}},
    ElementRule{"Combo", Children::Items, true, {kSelectedIndex, kNone, kNone}},
    ElementRule{"List", Children::Items, true, {kList, kNone, kNone}},
    ElementRule{"ColorPalette", Children::None, true, {kPalette, kNone, kNone}},
    ElementRule{"Menu", Children::Items, false, {kWindow, kNone, kNone}},
    ElementRule{"Item", Children::None, false, {kItem, kNone, kNone}},
};

const ElementRule* FindElement(QStringView name) {
    for (const auto& rule : kElements)
        if (name == QLatin1String(rule.element.data(), static_cast<qsizetype>(rule.element.size()))) return &rule;
    return nullptr;
}

const AttributeRule* FindIn(std::span<const AttributeRule> rules, QStringView name) {
    for (const auto& rule : rules)
        if (name == QLatin1String(rule.name.data(), static_cast<qsizetype>(rule.name.size()))) return &rule;
    return nullptr;
}

const AttributeRule* FindAttribute(const ElementRule& element, QStringView name) {
    for (auto group : element.extra)
        if (const auto* r = FindIn(group, name)) return r;
    return element.common ? FindIn(kCommon, name) : nullptr;
}

bool ValidName(const QString& text) {
    if (text.isEmpty() || text.size() > 128) return false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
                        u == '-' || u == '.' || u == ' ' || u == '/' || u == '\\' || u == '*' || u == '+' || u == '`' ||
                        u == '&';
        if (!ok) return false;
    }
    return true;
}

bool ValueFits(Type type, const QString& text) {
    switch (type) {
        case Type::Text: return true;
        case Type::Name: return ValidName(text);
        case Type::Int: return LayoutParser::ParseInt(text).has_value();
        case Type::Bool: return LayoutParser::ParseBool(text).has_value();
        case Type::Size: return LayoutParser::ParseSize(text).has_value();
        case Type::Four: return LayoutParser::ParseFour(text).has_value();
        case Type::Color: return LayoutParser::ParseColor(text).has_value();
        case Type::Image: return ParseImageSpec(text).has_value();
        case Type::Align: return text == u"left" || text == u"center" || text == u"right";
    }
    return false;
}

class Reader {
public:
    Reader(const QByteArray& xml, QString fileName) : xml_(xml), file_(std::move(fileName)) {}

    LayoutResult run() {
        if (xml_.size() > LayoutParser::kMaxFileBytes) return LayoutError{file_ + u": file too large"_qs};
        // Declarations of entities are how a small file expands into a huge one; the
        // format has no use for them.
        if (xml_.contains("<!DOCTYPE") || xml_.contains("<!ENTITY"))
            return LayoutError{file_ + u": document type declarations are not allowed"_qs};
        while (!in_.atEnd()) {
            in_.readNext();
            if (in_.isStartElement()) {
                LayoutNode root;
                if (!readElement(root, 1)) return LayoutError{error_};
                while (!in_.atEnd()) {
                    in_.readNext();
                    if (in_.isStartElement()) {
                        fail(u"more than one root element"_qs);
                        return LayoutError{error_};
                    }
                }
                if (in_.hasError()) return LayoutError{xmlError()};
                return root;
            }
        }
        if (in_.hasError()) return LayoutError{xmlError()};
        return LayoutError{file_ + u": no root element"_qs};
    }

private:
    bool fail(const QString& what) {
        if (error_.isEmpty()) error_ = u"%1:%2: %3"_qs.arg(file_).arg(in_.lineNumber()).arg(what);
        return false;
    }
    QString xmlError() const {
        return u"%1:%2: malformed XML: %3"_qs.arg(file_).arg(in_.lineNumber()).arg(in_.errorString());
    }

    // inMenu: the element is an item of a menu, where an item may hold the items of its
    // submenu.
    bool readElement(LayoutNode& node, int depth, bool inMenu = false) {
        if (depth > LayoutParser::kMaxDepth) return fail(u"nested too deeply"_qs);
        if (++nodes_ > LayoutParser::kMaxNodes) return fail(u"too many elements"_qs);
        const ElementRule* rule = FindElement(in_.name());
        if (!rule) return fail(u"unknown element <%1>"_qs.arg(in_.name()));
        node.element = in_.name().toString();
        node.line = in_.lineNumber();
        for (const auto& a : in_.attributes()) {
            const QString name = a.name().toString().toLower();
            const QString value = a.value().toString();
            const AttributeRule* attr = FindAttribute(*rule, name);
            if (!attr) return fail(u"unknown attribute '%1' on <%2>"_qs.arg(name, node.element));
            if (value.size() > LayoutParser::kMaxAttributeChars) return fail(u"attribute '%1' too long"_qs.arg(name));
            if (!ValueFits(attr->type, value))
                return fail(u"bad value '%1' for attribute '%2' on <%3>"_qs.arg(value.left(64), name, node.element));
            if (node.attribute(name)) return fail(u"attribute '%1' given twice"_qs.arg(name));
            node.attributes.emplace_back(name, value);
        }
        while (!in_.atEnd()) {
            in_.readNext();
            if (in_.hasError()) return fail(u"malformed XML: %1"_qs.arg(in_.errorString()));
            if (in_.isEndElement()) return true;
            if (in_.isCharacters() && !in_.isWhitespace()) return fail(u"unexpected text in <%1>"_qs.arg(node.element));
            if (!in_.isStartElement()) continue;
            const QStringView child = in_.name();
            const bool isItem = child == u"Item";
            const bool submenu = inMenu && isItem && node.element == u"Item";
            if (rule->children == Children::None && !submenu)
                return fail(u"<%1> cannot hold <%2>"_qs.arg(node.element, child));
            if (rule->children == Children::Items && !isItem)
                return fail(u"<%1> holds only <Item>, not <%2>"_qs.arg(node.element, child));
            if (rule->children == Children::Controls && (isItem || child == u"Window" || child == u"Menu"))
                return fail(u"<%1> cannot hold <%2>"_qs.arg(node.element, child));
            node.children.emplace_back();
            if (!readElement(node.children.back(), depth + 1, node.element == u"Menu" || submenu)) return false;
        }
        if (in_.hasError()) return fail(u"malformed XML: %1"_qs.arg(in_.errorString()));
        return fail(u"unexpected end of file in <%1>"_qs.arg(node.element));
    }

    const QByteArray& xml_;
    QString file_;
    QXmlStreamReader in_{xml_};
    QString error_;
    int nodes_ = 0;
};

std::optional<std::vector<int>> ParseInts(const QString& text, int count) {
    const auto parts = QStringView(text).split(u',');
    if (parts.size() != count) return std::nullopt;
    std::vector<int> out;
    for (auto p : parts) {
        bool ok = false;
        const int v = p.trimmed().toInt(&ok);
        if (!ok || v < -100000 || v > 100000) return std::nullopt;
        out.push_back(v);
    }
    return out;
}

}  // namespace

LayoutResult LayoutParser::Parse(const QByteArray& xml, const QString& fileName) { return Reader(xml, fileName).run(); }

std::optional<int> LayoutParser::ParseInt(const QString& text) {
    auto v = ParseInts(text, 1);
    if (!v) return std::nullopt;
    return (*v)[0];
}

std::optional<bool> LayoutParser::ParseBool(const QString& text) {
    if (text == u"true" || text == u"1") return true;
    if (text == u"false" || text == u"0") return false;
    return std::nullopt;
}

std::optional<QSize> LayoutParser::ParseSize(const QString& text) {
    auto v = ParseInts(text, 2);
    if (!v || (*v)[0] < 0 || (*v)[1] < 0) return std::nullopt;
    return QSize((*v)[0], (*v)[1]);
}

std::optional<QMargins> LayoutParser::ParseFour(const QString& text) {
    auto v = ParseInts(text, 4);
    if (!v) return std::nullopt;
    return QMargins((*v)[0], (*v)[1], (*v)[2], (*v)[3]);
}

std::optional<QColor> LayoutParser::ParseColor(const QString& text) {
    QStringView digits;
    if (text.startsWith(u'#')) digits = QStringView(text).mid(1);
    else if (text.startsWith(u"0x") || text.startsWith(u"0X")) digits = QStringView(text).mid(2);
    else return std::nullopt;
    if (digits.size() != 6 && digits.size() != 8) return std::nullopt;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok) return std::nullopt;
    QColor c = QColor::fromRgba(digits.size() == 6 ? (0xFF000000u | value) : value);
    return c;
}

}  // namespace halvern::kit
