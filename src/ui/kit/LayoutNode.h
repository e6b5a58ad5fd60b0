// One element of a parsed skin file (layout, menu), its attributes already checked
// against the element's schema, so building from it cannot fail on a bad value.
#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace halvern::kit {

struct LayoutNode {
    QString element;                                      // "Button", "Vertical", ...
    std::vector<std::pair<QString, QString>> attributes;  // in file order, names lower-case
    std::vector<LayoutNode> children;
    qint64 line = 0;

    std::optional<QString> attribute(const QString& name) const {
        for (const auto& [k, v] : attributes)
            if (k == name) return v;
        return std::nullopt;
    }
    QString attributeOr(const QString& name, const QString& fallback = {}) const {
        return attribute(name).value_or(fallback);
    }
};

}  // namespace halvern::kit
