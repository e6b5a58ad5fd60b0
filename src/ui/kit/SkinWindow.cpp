#include "ui/kit/SkinWindow.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWindow>

#include "platform/ThreadHandOver.h"
#include "ui/kit/Accessibility.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Edit.h"
#include "ui/kit/LayoutBuilder.h"
#include "ui/kit/List.h"
#include "ui/kit/Skin.h"

Q_LOGGING_CATEGORY(lcKit, "halvern.kit")

namespace halvern::kit {

namespace {

constexpr std::uint64_t kSerialShift = 32;
// Message id 0 carries a task; no window message uses it.
constexpr std::uint32_t kTaskMessage = 0;

std::uint64_t WindowTimerKey(int id) { return static_cast<std::uint32_t>(id); }

}  // namespace

SkinWindow::SkinWindow(Skin& skin, QWidget* owner)
    : QWidget(owner, Qt::Window), skin_(skin), port_(this), timers_(std::make_unique<QtTimerSource>()) {
    timers_->setCallback([this](std::uint64_t key) { onTimerKey(key); });
    setAttribute(Qt::WA_StyledBackground);
    InstallKitAccessibility();
}

SkinWindow::~SkinWindow() {
    // Posts from other threads stop reaching this window before any of it goes away.
    port_.detach();
    if (modalLoop_) modalLoop_->quit();
}

std::optional<QString> SkinWindow::create(WindowKind kind, const QString& title) {
    if (created_) return u"%1: the window exists already"_qs.arg(skinFile());
    created_ = true;
    kind_ = kind;
    Qt::WindowFlags flags = Qt::FramelessWindowHint;
    switch (kind) {
        case WindowKind::Main: flags |= Qt::Window; break;
        case WindowKind::Dialog: flags |= Qt::Tool; break;
        case WindowKind::Overlay:
            flags |= Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
            setAttribute(Qt::WA_ShowWithoutActivating);
            setAttribute(Qt::WA_TransparentForMouseEvents);
            break;
    }
    setWindowFlags(flags);
    setObjectName(windowClassName());
    setProperty("windowclass", windowClassName());
    if (titleKey_.isEmpty()) setWindowTitle(title);
    setStyleSheet(skin_.styleSheet());

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    std::optional<QString> error;
    const LayoutResult& layout = skin_.layout(skinFile());
    if (auto* failure = std::get_if<LayoutError>(&layout)) {
        error = failure->message;
    } else {
        const LayoutNode& node = std::get<LayoutNode>(layout);
        if (node.element != u"Window") {
            error = u"%1: the root element must be <Window>"_qs.arg(skinFile());
        } else {
            if (auto size = node.attribute(u"size"_qs)) resize(*LayoutParser::ParseSize(*size));
            if (auto caption = node.attribute(u"caption"_qs)) captionHeight_ = *LayoutParser::ParseInt(*caption);
            if (auto cls = node.attribute(u"class"_qs)) setProperty("class", *cls);
            LayoutBuilder::ApplyBoxAttributes(node, root);
            LayoutBuilder builder(this, skin_, [this](Control* c) { registerControl(c); });
            if (deferredBuilding_) {
                deferredHolder_ = std::make_unique<QWidget>();
                builder.deferInto(deferredHolder_.get(), [this](LayoutBuilder::Deferred d) { deferred_.push_back(d); });
            }
            builder.buildChildren(node, root, QString());
        }
    }
    if (error) qCWarning(lcKit).noquote() << *error;
    onInit();
    if (deferred_.empty()) {
        deferredHolder_.reset();
        onLayoutComplete();
    }
    return error;
}

void SkinWindow::registerControl(Control* control) {
    ordered_.push_back(control);
    if (auto* edit = dynamic_cast<Edit*>(control)) edits_.emplace_back(edit);
    if (auto* option = dynamic_cast<Option*>(control)) options_.push_back(option);
    if (!control->name().isEmpty() && !controls_.contains(control->name())) controls_.insert(control->name(), control);
    control->widget()->installEventFilter(this);
}

void SkinWindow::addVirtualWindow(const QString& name, NotifyPump* pump) {
    if (pump) pumps_.insert(name, pump);
}

void SkinWindow::removeVirtualWindow(const QString& name) { pumps_.remove(name); }

namespace {

bool Acts(std::string_view type) {
    using namespace notify;
    for (std::string_view acting :
         {kClick, kSelectChanged, kItemSelect, kCheckClick, kValueChanged, kColorChanged, kColorChangedButtonUp})
        if (type == acting) return true;
    return false;
}

}  // namespace

void SkinWindow::commitPendingEdits() {
    // A copy: a commit may add or remove list rows, and with them boxes.
    const std::vector<QPointer<Edit>> edits = edits_;
    for (const QPointer<Edit>& edit : edits) {
        if (!edit || !edit->hasUncommittedTyping()) continue;
        // Committed before it is raised: whatever acts on the commit finds nothing
        // pending here, and a later real focus loss commits the same text again.
        edit->markCommitted();
        raiseFrom(edit, notify::kKillFocus);
    }
}

void SkinWindow::revertPendingEdits() {
    const std::vector<QPointer<Edit>> edits = edits_;
    for (const QPointer<Edit>& edit : edits)
        if (edit) edit->revertTyping();
}

void SkinWindow::settleEditsBefore(const Notification& n) {
    if (!Acts(n.type) || dynamic_cast<Edit*>(n.sender)) return;
    const auto* button = dynamic_cast<const Button*>(n.sender);
    if (button && button->isCancel()) revertPendingEdits();
    else commitPendingEdits();
}

void SkinWindow::raiseFrom(Control* control, std::string_view type) {
    Notification n;
    n.type = std::string(type);
    n.sender = control;
    n.virtualWindow = control->virtualWindow().toStdString();
    dispatchNotification(n);
}

void SkinWindow::dispatchNotification(const Notification& n) {
    settleEditsBefore(n);
    if (!n.virtualWindow.empty()) {
        // A control of a virtual window never reaches the window's own handling;
        // without a pump under that name its notifications have no receiver yet.
        if (NotifyPump* pump = pumps_.value(QString::fromStdString(n.virtualWindow), nullptr)) pump->notify(n);
        return;
    }
    notify(n);
}

std::vector<Option*> SkinWindow::optionsInGroup(const QString& group) const {
    std::vector<Option*> out;
    for (Option* o : options_)
        if (o->group() == group) out.push_back(o);
    return out;
}

ListRow* SkinWindow::buildRow(const QString& layoutFile) {
    const LayoutResult& layout = skin_.layout(layoutFile);
    if (auto* failure = std::get_if<LayoutError>(&layout)) {
        qCWarning(lcKit).noquote() << failure->message;
        return nullptr;
    }
    const LayoutNode& node = std::get<LayoutNode>(layout);
    auto* row = new ListRow;
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    // The row's controls belong to the row, not to the window's names: every row has
    // its own "key", "action" and "delay".
    LayoutBuilder builder(this, skin_, [this, row](Control* c) {
        row->add(c);
        c->widget()->installEventFilter(this);
        if (auto* edit = dynamic_cast<Edit*>(c)) {
            std::erase_if(edits_, [](const QPointer<Edit>& e) { return e.isNull(); });
            edits_.emplace_back(edit);
        }
    });
    if (node.element == u"Window") {
        LayoutBuilder::ApplyBoxAttributes(node, box);
        builder.buildChildren(node, box, QString());
    } else if (Control* c = builder.build(node, QString())) {
        box->addWidget(c->widget());
    }
    return row;
}

// Timers

void SkinWindow::setTimer(int id, std::chrono::milliseconds period) { timers_->start(WindowTimerKey(id), period); }
void SkinWindow::stopTimer(int id) { timers_->stop(WindowTimerKey(id)); }
bool SkinWindow::isTimerActive(int id) const { return timers_->isActive(WindowTimerKey(id)); }

void SkinWindow::setControlTimer(Control* control, int id, std::chrono::milliseconds period) {
    if (!control) return;
    auto serial = controlSerials_.value(control, 0);
    if (serial == 0) {
        serial = static_cast<std::uint32_t>(controlSerials_.size() + 1);
        controlSerials_.insert(control, serial);
        controlsBySerial_.insert(serial, control->widget());
    }
    timers_->start((std::uint64_t{serial} << kSerialShift) | static_cast<std::uint32_t>(id), period);
}

void SkinWindow::stopControlTimer(Control* control, int id) {
    if (auto serial = controlSerials_.value(control, 0))
        timers_->stop((std::uint64_t{serial} << kSerialShift) | static_cast<std::uint32_t>(id));
}

void SkinWindow::setTimerSource(std::unique_ptr<TimerSource> source) {
    timers_ = std::move(source);
    timers_->setCallback([this](std::uint64_t key) { onTimerKey(key); });
}

void SkinWindow::onTimerKey(std::uint64_t key) {
    const auto serial = static_cast<std::uint32_t>(key >> kSerialShift);
    const int id = static_cast<int>(static_cast<std::uint32_t>(key));
    if (serial == 0) {
        onTimer(id);
        return;
    }
    QPointer<QWidget> w = controlsBySerial_.value(serial);
    auto* control = dynamic_cast<Control*>(w.data());
    if (!control) {
        // The control is gone; its timer has nobody to tell.
        timers_->stop(key);
        return;
    }
    Notification n;
    n.type = std::string(notify::kTimer);
    n.sender = control;
    n.wParam = static_cast<std::uintptr_t>(id);
    n.virtualWindow = control->virtualWindow().toStdString();
    dispatchNotification(n);
}

// Messages

bool SkinWindow::post(std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam, std::any payload) {
    return port_.post(Message{id, wParam, lParam, std::move(payload)});
}

bool SkinWindow::postTask(std::function<void()> task) {
    if (!task) return false;
    return port_.post(Message{kTaskMessage, 0, 0, std::move(task)});
}

bool SkinWindow::send(std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam) {
    return handleMessage(Message{id, wParam, lParam, {}});
}

void SkinWindow::completeLayout() {
    if (deferred_.empty()) return;
    // Last first: the index of each counts only the children that were not deferred.
    for (auto it = deferred_.rbegin(); it != deferred_.rend(); ++it) {
        QWidget* w = it->widget;
        const bool hiddenByChoice = w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide);
        LayoutBuilder::Insert(*it);
        // At once rather than by the layout's queued show, so that whoever asked for
        // the whole layout finds it on screen.
        if (!hiddenByChoice && isVisible()) w->show();
    }
    deferred_.clear();
    deferredHolder_.reset();
    // Joining the window put the deferred controls at the end of its focus chain; Tab
    // goes in layout order.
    QWidget* previous = nullptr;
    for (Control* c : ordered_) {
        QWidget* w = c->widget();
        if (!(w->focusPolicy() & Qt::TabFocus) || w->window() != this) continue;
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
    onLayoutComplete();
}

bool SkinWindow::event(QEvent* e) {
    HandOverAcquire(static_cast<QObject*>(this));
    if (e->type() == QEvent::ThemeChange) ApplyBaseLook(skin_);
    if ((e->type() == QEvent::Paint || e->type() == QEvent::Hide) && !deferred_.empty() && !completionQueued_) {
        // The first screen is painted (or the window went away before it was): the
        // rest joins right after.
        completionQueued_ = true;
        QTimer::singleShot(0, this, [this] { completeLayout(); });
    }
    if (e->type() == MessageEvent::eventType()) {
        const Message& m = static_cast<MessageEvent*>(e)->message;
        if (m.id == kTaskMessage) {
            if (const auto* task = std::any_cast<std::function<void()>>(&m.payload)) (*task)();
        } else {
            handleMessage(m);
        }
        return true;
    }
    return QWidget::event(e);
}

namespace {

// Whether the user's last press was a key rather than a pointer button, in any window:
// a window that a key opened shows where its focus starts.
bool lastPressWasKey = false;

}  // namespace

bool SkinWindow::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type kind = e->type();
    if (kind == QEvent::KeyPress) lastPressWasKey = true;
    else if (kind == QEvent::MouseButtonPress) lastPressWasKey = false;
    if (kind != QEvent::Enter && kind != QEvent::Leave && kind != QEvent::FocusIn && kind != QEvent::FocusOut)
        return QWidget::eventFilter(watched, e);
    auto* control = dynamic_cast<Control*>(qobject_cast<QWidget*>(watched));
    if (!control || control->widget() != watched) return QWidget::eventFilter(watched, e);
    if (kind == QEvent::FocusIn || kind == QEvent::FocusOut) markKeyboardFocus(control->widget(), e);
    std::string_view type;
    switch (e->type()) {
        case QEvent::Enter: type = notify::kMouseEnter; break;
        case QEvent::Leave: type = notify::kMouseLeave; break;
        case QEvent::FocusIn: type = notify::kSetFocus; break;
        case QEvent::FocusOut:
            // A combo's own list popping up takes focus for a moment; that is not
            // the user leaving the control.
            if (static_cast<QFocusEvent*>(e)->reason() == Qt::PopupFocusReason) return false;
            type = notify::kKillFocus;
            break;
        default: return QWidget::eventFilter(watched, e);
    }
    // Leaving the box commits it: what it shows now is what a later revert goes back to.
    if (kind == QEvent::FocusOut)
        if (auto* edit = dynamic_cast<Edit*>(control)) edit->markCommitted();
    raiseFrom(control, type);
    return false;
}

void SkinWindow::markKeyboardFocus(QWidget* widget, QEvent* e) {
    // The theme draws a focus ring only where the keyboard put the focus (property
    // "keyfocus"): Tab, or a window a key opened taking its first focus. A click, or a
    // window a click opened, leaves no ring behind.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
    if (reason == Qt::PopupFocusReason) return;
    const bool byKey = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                       ((reason == Qt::ActiveWindowFocusReason || reason == Qt::OtherFocusReason) && lastPressWasKey);
    const bool fromKeyboard = e->type() == QEvent::FocusIn && byKey;
    if (widget->property("keyfocus").toBool() == fromKeyboard) return;
    widget->setProperty("keyfocus", fromKeyboard);
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
}

// Lifetime

void SkinWindow::keyPressEvent(QKeyEvent* event) {
    if (closeOnEscape_ && event->key() == Qt::Key_Escape) {
        closeWindow(0);
        return;
    }
    QWidget::keyPressEvent(event);
}

int SkinWindow::showModal() {
    result_.reset();
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    QPointer<SkinWindow> self(this);
    QEventLoop loop;
    modalLoop_ = &loop;
    if (!result_) loop.exec(QEventLoop::DialogExec);
    if (!self) return 0;
    modalLoop_ = nullptr;
    return result_.value_or(0);
}

void SkinWindow::closeWindow(int result) {
    if (closing_) return;
    closing_ = true;
    result_ = result;
    // Result 0 is a cancel (Escape, the window's close, Cancel): what was typed and
    // not committed goes with it. Any other result keeps it.
    if (result == 0) revertPendingEdits();
    else commitPendingEdits();
    hide();
    if (modalLoop_) modalLoop_->quit();
    onFinalMessage();
    closing_ = false;
    if (deleteOnClose_) deleteLater();
}

void SkinWindow::closeEvent(QCloseEvent* e) {
    // Closing is the window's own business (a result, a hide, a destruction); Qt's
    // default close would bypass it.
    e->ignore();
    if (!closing_) onCloseRequest();
}

void SkinWindow::centerWindow() {
    QRect area;
    if (QWidget* owner = parentWidget(); owner && owner->isVisible()) area = owner->window()->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
    if (area.isEmpty()) return;
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void SkinWindow::mousePressEvent(QMouseEvent* e) {
    // The caption band of a frameless window moves it, as a title bar would.
    if (e->button() == Qt::LeftButton && e->position().y() < captionHeight_ && windowHandle()) {
        windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(e);
}

std::optional<QString> SkinWindow::loadLanguage(const QString& file) {
    auto error = skin_.loadLanguage(file);
    if (error) qCWarning(lcKit).noquote() << *error;
    retranslate();
    return error;
}

void SkinWindow::setTitleKey(const QString& key) {
    titleKey_ = key;
    setWindowTitle(skin_.text(key));
}

void SkinWindow::retranslate() {
    if (!titleKey_.isEmpty()) setWindowTitle(skin_.text(titleKey_));
    for (Control* c : ordered_) {
        c->retranslate();
        if (auto* combo = dynamic_cast<Combo*>(c)) combo->retranslateItems();
        if (auto* edit = dynamic_cast<Edit*>(c)) edit->retranslatePlaceholder();
    }
}

}  // namespace halvern::kit
