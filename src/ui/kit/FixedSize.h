// Size hints of controls whose layout fixes both their width and height.
#pragma once

#include <QSize>
#include <QWidget>

#include <optional>

namespace halvern::kit {

// A control fixed in both directions needs no measuring: the layout would bound any
// hint to that size anyway. Measuring it means shaping its text, which at start-up
// is most of what building a window costs.
inline std::optional<QSize> FixedSize(const QWidget& w) {
    if (w.minimumSize() == w.maximumSize()) return w.minimumSize();
    return std::nullopt;
}

}  // namespace halvern::kit
