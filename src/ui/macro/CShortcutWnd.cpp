#include "ui/macro/CShortcutWnd.h"

#include <QEvent>
#include <QLoggingCategory>

#include "halvern_abi.h"
#include "keys/KeyCodeTable.h"
#include "keys/UsKeyboardLayout.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Skin.h"
#include "ui/macro/OwnWindowInput.h"

Q_LOGGING_CATEGORY(lcShortcut, "halvern.shortcut")

namespace halvern {

CShortcutWnd::CShortcutWnd(kit::Skin& skin, QWidget* owner, Shortcut start, Parts parts)
    : kit::SkinWindow(skin, owner), shortcut_(start), parts_(std::move(parts)) {
    setCloseOnEscape(true);
}

CShortcutWnd::~CShortcutWnd() { endCapture(); }

std::optional<Shortcut> CShortcutWnd::Capture(kit::Skin& skin, QWidget* owner, Shortcut start, Parts parts) {
    CShortcutWnd dialog(skin, owner, start, std::move(parts));
    dialog.create(kit::WindowKind::Dialog, u"ShortcutWnd"_qs);
    dialog.centerWindow();
    if (dialog.showModal() != 1) return std::nullopt;
    return dialog.shortcut();
}

void CShortcutWnd::onInit() {
    okBtn_ = find<kit::Button>(u"btn_ok"_qs);
    cancelBtn_ = find<kit::Button>(u"btn_cancel"_qs);
    exitBtn_ = find<kit::Button>(u"btn_exit"_qs);
    for (std::size_t i = 0; i < modifierChecks_.size(); ++i) {
        modifierChecks_[i] = find<kit::CheckBox>(u"check_flag_%1"_qs.arg(i + 1));
        if (modifierChecks_[i]) modifierChecks_[i]->setChecked((shortcut_.modifiers >> i) & 1u, kit::Notify::No);
    }
    keyEdit_ = find<kit::Edit>(u"edit_key"_qs);
    if (keyEdit_) keyEdit_->installEventFilter(this);
    showKey();
}

const KeyboardLayout& CShortcutWnd::keyboard() const {
    static const UsKeyboardLayout us;
    return parts_.keyboard ? parts_.keyboard() : us;
}

void CShortcutWnd::showKey() {
    if (!keyEdit_) return;
    keyEdit_->setText(QString::fromStdU16String(UsageToKeyName(shortcut_.keyUsage, keyboard(), skin().language())),
                      kit::Notify::No);
}

void CShortcutWnd::notify(const kit::Notification& n) {
    using namespace kit::notify;
    if (!n.sender) return;
    if (n.type == kClick) {
        if (n.sender == okBtn_) closeWindow(1);
        else if (n.sender == cancelBtn_ || n.sender == exitBtn_) closeWindow(0);
    } else if (n.type == kCheckClick) {
        for (std::size_t i = 0; i < modifierChecks_.size(); ++i) {
            if (!modifierChecks_[i] || n.sender != modifierChecks_[i]) continue;
            const auto bit = static_cast<std::uint8_t>(1u << i);
            shortcut_.modifiers = n.wParam ? (shortcut_.modifiers | bit) : (shortcut_.modifiers & ~bit);
        }
    } else if (n.type == kSetFocus && n.sender == keyEdit_) {
        startCapture();
    } else if (n.type == kKillFocus && n.sender == keyEdit_) {
        endCapture();
    }
}

void CShortcutWnd::startCapture() {
    if (capturing_) return;
    capturing_ = true;
    globalInput_ = parts_.hooks.installhook && parts_.hooks.installhook(hostWindow()) != 0;
    if (parts_.hooks.enablehook) parts_.hooks.enablehook(1);
}

void CShortcutWnd::endCapture() {
    if (!capturing_) return;
    capturing_ = false;
    if (parts_.hooks.removehook) parts_.hooks.removehook();
    if (parts_.hooks.enablehook) parts_.hooks.enablehook(0);
}

bool CShortcutWnd::handleMessage(const kit::Message& m) {
    if (m.id != UM_HOOK_EVENT) return false;
    qCDebug(lcShortcut, "%lx,%lx", static_cast<unsigned long>(m.wParam), static_cast<unsigned long>(m.lParam));
    // Mouse messages come only after enablemousehook, which this window never calls.
    if (capturing_) onKey(m.wParam);
    return false;
}

void CShortcutWnd::onKey(std::uintptr_t virtualKey) {
    // Releases count as presses: the key of the last event is the one kept.
    const UsageLookup lookup = VirtualKeyToUsage(static_cast<std::int32_t>(virtualKey), keyboard());
    shortcut_.keyUsage = static_cast<std::uint8_t>(lookup.found ? lookup.usage : 0);
    qCDebug(lcShortcut, "iUsageID=%d", shortcut_.keyUsage);
    showKey();
}

void CShortcutWnd::onFinalMessage() { endCapture(); }

bool CShortcutWnd::eventFilter(QObject* watched, QEvent* event) {
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (watched != keyEdit_ || !capturing_ || !key) return kit::SkinWindow::eventFilter(watched, event);
    // With the hook library the same key arrives from it; without, the box's own key is
    // the one taken, and one without a virtual key is a key without a usage. Either way
    // the dialog does not act on it, so Escape and Enter can be taken too.
    if (!globalInput_) {
        const std::optional<OwnInputEvent> own = OwnInputEventOf(*event, keyboard());
        post(UM_HOOK_EVENT, own ? own->wParam : 0, event->type() == QEvent::KeyRelease ? 1 : 0);
    }
    return true;
}

}  // namespace halvern
