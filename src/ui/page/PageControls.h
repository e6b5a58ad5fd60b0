// Small helpers the page's sections share for controls the skin may lack.
#pragma once

#include <QWidget>

#include <array>
#include <cstddef>

#include "ui/kit/Control.h"

namespace halvern::page {

// The position of `sender` among numbered controls, or -1.
template <typename T, std::size_t N>
int IndexOf(const std::array<T*, N>& controls, const kit::Control* sender) {
    if (!sender) return -1;
    for (std::size_t i = 0; i < N; ++i)
        if (controls[i] && static_cast<const kit::Control*>(controls[i]) == sender) return static_cast<int>(i);
    return -1;
}

inline void SetVisible(kit::Control* control, bool visible) {
    if (control) control->widget()->setVisible(visible);
}

}  // namespace halvern::page
