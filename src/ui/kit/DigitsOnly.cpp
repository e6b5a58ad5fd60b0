#include "ui/kit/DigitsOnly.h"

namespace halvern {

DigitsOnly KeepDigitsOnly(std::u16string_view text) {
    DigitsOnly out;
    out.text.reserve(text.size());
    for (char16_t c : text) {
        if (c >= u'0' && c <= u'9') out.text.push_back(c);
        else out.changed = true;
    }
    out.caret = out.text.size();
    return out;
}

}  // namespace halvern
