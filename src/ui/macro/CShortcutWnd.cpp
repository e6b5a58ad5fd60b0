#include "ui/macro/CShortcutWnd.h"

#include <QEvent>
#include <QLoggingCategory>

#include "halvern_abi.h"
#include "keys/KeyCodeTable.h"
#include "keys/UsKeyboardLayout.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Skin.h"
#include "ui/macro/KeyCaptureBox.h"

Q_LOGGING_CATEGORY(lcShortcut, "halvern.shortcut")

namespace halvern {

CShortcutWnd::CShortcutWnd(kit::Skin& skin, QWidget* owner, Shortcut start, Parts parts)
    : kit::SkinWindow(skin, owner), shortcut_(start), parts_(std::move(parts)) {
    setCloseOnEscape(true);
}

CShortcutWnd::~CShortcutWnd() {
    capture_.reset();
    removeHook();
}

std::optional<Shortcut> CShortcutWnd::Capture(kit::Skin& skin, QWidget* owner, Shortcut start, Parts parts) {
    CShortcutWnd dialog(skin, owner, start, std::move(parts));
    dialog.setTitleKey(u"shortcut_title_text"_qs);
    dialog.create(kit::WindowKind::Dialog);
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
    KeyCaptureBox::Owner owner;
    owner.start = [this] { return installHook(); };
    owner.stop = [this] { removeHook(); };
    owner.taken = [this](std::uintptr_t virtualKey) { onKey(virtualKey); };
    owner.cancelled = [this] { showKey(); };
    owner.keyboard = [this]() -> const KeyboardLayout& { return keyboard(); };
    capture_ = std::make_unique<KeyCaptureBox>(keyEdit_, skin().text(u"key_capture_running_text"_qs), std::move(owner));
    showKey();
    // The box is what the dialog is for, and its hint says "press Enter": with the focus
    // left to the first control, the title bar's close button, that Enter closed the
    // dialog. The focus alone starts no capture.
    if (keyEdit_) keyEdit_->setFocus(Qt::OtherFocusReason);
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
    // Another control acting ends a capture: the box takes the next key only.
    if ((n.type == kClick || n.type == kCheckClick) && n.sender != keyEdit_ && capture_) capture_->cancel();
    if (n.type == kClick) {
        if (n.sender == okBtn_) closeWindow(1);
        else if (n.sender == cancelBtn_ || n.sender == exitBtn_) closeWindow(0);
    } else if (n.type == kCheckClick) {
        for (std::size_t i = 0; i < modifierChecks_.size(); ++i) {
            if (!modifierChecks_[i] || n.sender != modifierChecks_[i]) continue;
            const auto bit = static_cast<std::uint8_t>(1u << i);
            shortcut_.modifiers = n.wParam ? (shortcut_.modifiers | bit) : (shortcut_.modifiers & ~bit);
        }
    }
}

bool CShortcutWnd::installHook() {
    hooked_ = true;
    globalInput_ = parts_.hooks.installhook && parts_.hooks.installhook(hostWindow()) != 0;
    if (parts_.hooks.enablehook) parts_.hooks.enablehook(1);
    return globalInput_;
}

void CShortcutWnd::removeHook() {
    if (!hooked_) return;
    hooked_ = false;
    if (parts_.hooks.removehook) parts_.hooks.removehook();
    if (parts_.hooks.enablehook) parts_.hooks.enablehook(0);
}

bool CShortcutWnd::handleMessage(const kit::Message& m) {
    if (m.id != UM_HOOK_EVENT) return false;
    qCDebug(lcShortcut, "%lx,%lx", static_cast<unsigned long>(m.wParam), static_cast<unsigned long>(m.lParam));
    // Mouse messages come only after enablemousehook, which this window never calls.
    if (capture_) capture_->onHookEvent(m.wParam, m.lParam);
    return false;
}

void CShortcutWnd::onKey(std::uintptr_t virtualKey) {
    const UsageLookup lookup = VirtualKeyToUsage(static_cast<std::int32_t>(virtualKey), keyboard());
    shortcut_.keyUsage = static_cast<std::uint8_t>(lookup.found ? lookup.usage : 0);
    qCDebug(lcShortcut, "iUsageID=%d", shortcut_.keyUsage);
    showKey();
}

void CShortcutWnd::onFinalMessage() {
    if (capture_) capture_->cancel();
    removeHook();
}

}  // namespace halvern
