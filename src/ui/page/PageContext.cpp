#include "ui/page/PageContext.h"

#include <QLoggingCategory>

#include "keys/UsKeyboardLayout.h"
#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"

Q_LOGGING_CATEGORY(lcPage, "halvern.page")

namespace halvern {

namespace {

// The picker opens this far to the left of its button.
constexpr int kPickerLeftOfButton = 200;

}  // namespace

QString PageContext::text(const char* key) const {
    return window_ ? window_->skin().text(QString::fromLatin1(key)) : QString::fromLatin1(key);
}

QString PageContext::number(double value, int decimals) const {
    const QLocale locale = window_ ? window_->skin().locale() : QLocale::c();
    return locale.toString(value, 'f', decimals);
}

int PageContext::askUser(const char* messageKey, const QStringList& args) const {
    if (!window_) return 0;
    return CMsgWnd::Ask(window_->skin(), window_, u"warning_title_text"_qs, QString::fromLatin1(messageKey), args);
}

std::optional<std::uint32_t> PageContext::pickColorUnder(kit::Button* button, std::uint32_t argb) const {
    if (!parts_.pickColor || !window_ || !button) return std::nullopt;
    const QPoint below = button->mapTo(window_, QPoint(0, button->height()));
    const QPoint origin = window_->geometry().topLeft() + QPoint(below.x() - kPickerLeftOfButton, below.y());
    return parts_.pickColor(argb, origin);
}

const KeyboardLayout& PageContext::keyboard() const {
    static const UsKeyboardLayout us;
    return parts_.keyboard ? parts_.keyboard() : us;
}

}  // namespace halvern
