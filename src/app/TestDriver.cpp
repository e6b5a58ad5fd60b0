#include "app/TestDriver.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <unistd.h>

#include <cstdio>

#include "VirtualDevices.h"
#include "app/CMainWnd.h"
#include "halvern_abi.h"
#include "host/DeviceStack.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Edit.h"
#include "ui/kit/FileDialog.h"
#include "ui/kit/Label.h"
#include "ui/kit/List.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Slider.h"
#include "ui/kit/TrayIcon.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {

namespace {

void Print(const QString& line) {
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

}  // namespace

bool TestDriver::Enabled() { return qEnvironmentVariable("HALVERN_TEST_DRIVER") == u"1"; }

TestDriver::TestDriver(CMainWnd& window, CMS_1_Page* page, DeviceStack* device)
    : window_(window), page_(page), device_(device) {
    notifier_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readLine(); });
    // Ready once the whole window is built: what joins it after the first paint is
    // what the commands act on.
    QTimer::singleShot(0, [this] {
        window_.completeLayout();
        Print(u"ready"_qs);
    });
}

TestDriver::~TestDriver() = default;

void TestDriver::readLine() {
    char chunk[512];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
        notifier_->setEnabled(false);
        return;
    }
    buffer_.append(chunk, n);
    qsizetype end;
    // A command may open a modal window whose loop reads the next lines itself; the
    // buffer is taken line by line so both loops share it.
    while ((end = buffer_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(buffer_.left(end)).trimmed();
        buffer_.remove(0, end + 1);
        const QString answer = run(line);
        if (!answer.isEmpty()) Print(answer);
    }
}

QString TestDriver::run(const QString& line) {
    window_.completeLayout();
    const QString verb = line.section(u' ', 0, 0);
    const QString arg = line.section(u' ', 1);
    if (verb == u"click") return click(arg);
    if (verb == u"slide") return slide(arg.section(u' ', 0, 0), arg.section(u' ', 1, 1));
    if (verb == u"type") return type(arg.section(u' ', 0, 0), arg.section(u' ', 1));
    if (verb == u"key") return key(arg.section(u' ', 0, 0), arg.section(u' ', 1, 1));
    if (verb == u"pick") return pick(arg.section(u' ', 0, 0), arg.section(u' ', 1, 1));
    if (verb == u"get") return get(arg);
    if (verb == u"rows") {
        auto* list = dynamic_cast<kit::List*>(control(arg));
        if (!list) return u"error no list "_qs + arg;
        QStringList answer{u"ok %1"_qs.arg(list->rowCount())};
        for (int i = 0; i < list->rowCount(); ++i) {
            // A row built from a layout reads as its labels' texts, left to right.
            if (kit::ListRow* row = list->layoutRow(i)) {
                QStringList texts;
                for (kit::Label* label : row->findChildren<kit::Label*>()) texts << label->shownText();
                answer << texts.join(u' ');
            } else {
                answer << list->rowText(i);
            }
        }
        return answer.join(u'\t');
    }
    if (verb == u"modal") {
        kit::SkinWindow* modal = topModal();
        return u"ok "_qs + (modal ? modal->skinFile() : u"none"_qs);
    }
    if (verb == u"close-modal") {
        kit::SkinWindow* modal = topModal();
        bool ok = false;
        const int result = arg.toInt(&ok);
        if (!modal) return u"error no modal window"_qs;
        if (!ok) return u"error close-modal takes a number"_qs;
        Print(u"ok"_qs);
        modal->closeWindow(result);
        return {};
    }
    if (verb == u"answer-file") {
        // The answer waits for the next file dialog; "cancel" answers as the user's Cancel.
        if (arg.isEmpty()) return u"error answer-file takes a path or cancel"_qs;
        kit::AnswerNextFileDialog(arg == u"cancel" ? QString() : arg);
        return u"ok"_qs;
    }
    if (verb == u"mouse") return mouse(arg);
    if (verb == u"applies") {
        if (!page_) return u"error no settings page"_qs;
        return u"ok done=%1 busy=%2"_qs.arg(page_->appliesDone()).arg(page_->applyBusy() ? 1 : 0);
    }
    // Real pointer input (xdotool under Xvfb) needs to know where a control is, and
    // a modal window is seen only in its own picture.
    if (verb == u"where") {
        kit::Control* c = control(arg);
        if (!c) return u"error no control "_qs + arg;
        const QPoint centre = c->widget()->mapToGlobal(c->widget()->rect().center());
        return u"ok %1 %2"_qs.arg(centre.x()).arg(centre.y());
    }
    if (verb == u"grab-modal") {
        kit::SkinWindow* modal = topModal();
        if (!modal) return u"error no modal window"_qs;
        if (arg.isEmpty()) return u"error grab-modal takes a file"_qs;
        return modal->grab().save(arg, "PNG") ? u"ok"_qs : u"error cannot write "_qs + arg;
    }
    if (verb == u"grab") {
        if (arg.isEmpty()) return u"error grab takes a file"_qs;
        return window_.grab().save(arg, "PNG") ? u"ok"_qs : u"error cannot write "_qs + arg;
    }
    if (verb == u"tray") {
        const long click = arg == u"right" ? kit::kTrayRightButtonUp : kit::kTrayLeftButtonUp;
        window_.send(UM_TRAY_NOTIFY, 0, click);
        return u"ok"_qs;
    }
    if (verb == u"menu") {
        kit::MenuWindow* menu = window_.trayMenu();
        QAction* item = menu ? menu->findItem(arg) : nullptr;
        if (!item) return u"error no menu item "_qs + arg;
        item->trigger();
        return u"ok"_qs;
    }
    if (verb == u"assume-tray") {
        window_.setTrayAvailable([] { return true; });
        return u"ok"_qs;
    }
    // ---- The title bar's menu, language and look ----
    if (verb == u"main-menu") {
        auto* button = window_.find<kit::Button>(u"main_menu_btn"_qs);
        if (!button) return u"error no button main_menu_btn"_qs;
        button->click();
        kit::MenuWindow* menu = window_.mainMenu();
        if (!menu) return u"error no main menu"_qs;
        return u"ok "_qs + menu->describeItems().join(u' ');
    }
    if (verb == u"main-menu-item") {
        kit::MenuWindow* menu = window_.mainMenu();
        QAction* item = menu ? menu->findItem(arg.section(u' ', 0, 0), arg.section(u' ', 1, 1)) : nullptr;
        if (!item) return u"error no main menu item "_qs + arg;
        // Answered first: About opens a modal window that runs until later commands close it.
        Print(u"ok"_qs);
        item->trigger();
        // The choice reaches the window as a posted message; taken now, so that the next
        // command sees its effect.
        QCoreApplication::sendPostedEvents(&window_);
        return {};
    }
    if (verb == u"look") {
        return u"ok language=%1 theme=%2 follow=%3"_qs.arg(window_.skin().languageCode())
            .arg(kit::Skin::ThemeName(window_.skin().theme()))
            .arg(window_.followsDesktopTheme() ? 1 : 0);
    }
    if (verb == u"desktop-prefers") {
        const std::optional<kit::Skin::Theme> theme = kit::Skin::ThemeNamed(arg);
        if (!theme) return u"error desktop-prefers takes dark or light"_qs;
        window_.desktopPrefersTheme(*theme);
        return u"ok"_qs;
    }
    // The key buttons' assignment menu and the shortcut dialog's key box.
    if (verb == u"press") return press(arg.section(u' ', 0, 0), arg.section(u' ', 1, 1));
    if (verb == u"grab-menu") return grabWithMenu(arg);
    if (verb == u"menu-at") {
        kit::MenuWindow* menu = page_ ? page_->assignMenu() : nullptr;
        if (!menu || !menu->isVisible()) return u"ok none"_qs;
        const QRect at = menu->geometry();
        return u"ok %1 %2 %3 %4"_qs.arg(at.x()).arg(at.y()).arg(at.width()).arg(at.height());
    }
    // ---- The desktop: which window system, which windows, how the DPI was shown ----
    if (verb == u"platform") return u"ok "_qs + QGuiApplication::platformName();
    if (verb == u"windows") {
        int shown = 0;
        for (QWindow* w : QGuiApplication::topLevelWindows())
            if (w->isVisible()) ++shown;
        return u"ok %1"_qs.arg(shown);
    }
    if (verb == u"dpi-route") return u"ok "_qs + QString::fromLatin1(window_.dpiRoute());
    if (verb == u"state") {
        return u"state visible=%1 minimized=%2 title=%3"_qs.arg(window_.isVisible() ? 1 : 0)
            .arg(window_.isMinimized() ? 1 : 0)
            .arg(window_.windowTitle());
    }
    return u"error unknown command"_qs;
}

kit::SkinWindow* TestDriver::topModal() const {
    return dynamic_cast<kit::SkinWindow*>(QApplication::activeModalWidget());
}

kit::Control* TestDriver::control(const QString& name) const {
    if (kit::SkinWindow* modal = topModal())
        if (kit::Control* c = modal->findControl(name)) return c;
    if (CDPIMsg* osd = window_.dpiOsd(); osd && osd->findControl(name)) return osd->findControl(name);
    return window_.findControl(name);
}

QString TestDriver::click(const QString& name) {
    auto* button = dynamic_cast<kit::Button*>(control(name));
    if (!button && !control(name)) {
        kit::MenuWindow* menu = page_ ? page_->assignMenu() : nullptr;
        if (menu && menu->isVisible()) return clickMenuItem(name);
    }
    if (!button) return u"error no button "_qs + name;
    if (!button->isEnabled()) return u"error "_qs + name + u" is disabled"_qs;
    // Answered first: the click may open a modal window that runs until later commands
    // close it.
    Print(u"ok"_qs);
    button->click();
    return {};
}

QString TestDriver::slide(const QString& name, const QString& value) {
    auto* slider = dynamic_cast<kit::Slider*>(control(name));
    if (!slider) return u"error no slider "_qs + name;
    bool ok = false;
    const int target = value.toInt(&ok);
    if (!ok || target < slider->minimum() || target > slider->maximum())
        return u"error %1 takes %2..%3"_qs.arg(name).arg(slider->minimum()).arg(slider->maximum());
    // As a drag: the handle held down and moved value by value.
    slider->setSliderDown(true);
    const int step = target >= slider->value() ? 1 : -1;
    while (slider->value() != target) slider->QSlider::setValue(slider->value() + step);
    slider->setSliderDown(false);
    return u"ok"_qs;
}

QString TestDriver::type(const QString& name, const QString& text) {
    auto* edit = dynamic_cast<kit::Edit*>(control(name));
    if (!edit) return u"error no edit box "_qs + name;
    edit->window()->activateWindow();
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(edit, &erase);
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
    return u"ok"_qs;
}

QString TestDriver::key(const QString& name, const QString& key) {
    auto* edit = dynamic_cast<kit::Edit*>(control(name));
    if (!edit) return u"error no edit box "_qs + name;
    const int code = key == u"Return" ? Qt::Key_Return : key == u"Tab" ? Qt::Key_Tab : key == u"Escape" ? Qt::Key_Escape : 0;
    if (!code) return u"error key takes Return, Tab or Escape"_qs;
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QApplication::sendEvent(edit, &press);
    // Without a window manager the window may never become active, and then Tab moves
    // no focus; move it as Tab would.
    if (code == Qt::Key_Tab && edit->hasFocus()) edit->clearFocus();
    return u"ok"_qs;
}

QString TestDriver::pick(const QString& name, const QString& index) {
    bool ok = false;
    const int i = index.toInt(&ok);
    kit::Control* c = control(name);
    if (auto* combo = dynamic_cast<kit::Combo*>(c)) {
        if (!ok || i < 0 || i >= combo->count()) return u"error %1 has items 0..%2"_qs.arg(name).arg(combo->count() - 1);
        combo->setCurrentIndex(i);
        return u"ok"_qs;
    }
    if (auto* list = dynamic_cast<kit::List*>(c)) {
        if (!ok || i < 0 || i >= list->rowCount()) return u"error %1 has rows 0..%2"_qs.arg(name).arg(list->rowCount() - 1);
        list->setCurrentRow(i);
        return u"ok"_qs;
    }
    return u"error no combo box or list "_qs + name;
}

QString TestDriver::get(const QString& name) const {
    kit::Control* c = control(name);
    if (!c) return u"error no control "_qs + name;
    QStringList fields;
    const QWidget* w = c->widget();
    if (auto* edit = dynamic_cast<kit::Edit*>(c)) fields << u"text="_qs + edit->QLineEdit::text();
    else if (auto* combo = dynamic_cast<kit::Combo*>(c)) fields << u"text="_qs + combo->currentText();
    // A text of several lines is given on one, its breaks as "\n": one answer is one line.
    else if (!c->shownText().isNull() || c->kind() == u"Label" || c->kind() == u"Button")
        fields << u"text="_qs + QString(c->shownText()).replace(u'\n', u"\\n"_qs);
    if (auto* slider = dynamic_cast<kit::Slider*>(c)) fields << u"value=%1"_qs.arg(slider->value());
    else if (auto* bar = dynamic_cast<kit::Progress*>(c)) fields << u"value=%1"_qs.arg(bar->value());
    else if (auto* combo = dynamic_cast<kit::Combo*>(c)) fields << u"value=%1"_qs.arg(combo->currentIndex());
    else if (auto* list = dynamic_cast<kit::List*>(c)) fields << u"value=%1"_qs.arg(list->selectedRow());
    if (auto* button = dynamic_cast<kit::Button*>(c); button && button->isCheckable())
        fields << u"selected=%1"_qs.arg(button->isChecked() ? 1 : 0);
    fields << u"visible=%1"_qs.arg(w->isVisible() ? 1 : 0) << u"enabled=%1"_qs.arg(w->isEnabled() ? 1 : 0);
    if (c->bkColor().isValid()) fields << u"color="_qs + c->bkColor().name(QColor::HexRgb);
    return u"ok "_qs + fields.join(u' ');
}

QString TestDriver::clickMenuItem(const QString& name) {
    kit::MenuWindow* menu = page_->assignMenu();
    QAction* item = menu->findItem(name);
    if (!item) return u"error no menu item "_qs + name;
    // Answered first, as a click: the item may open a modal dialog.
    Print(u"ok"_qs);
    // As a click on the item would: the menu closes, then the choice is posted.
    menu->hide();
    item->trigger();
    return {};
}

QString TestDriver::press(const QString& name, const QString& code) {
    auto* edit = dynamic_cast<kit::Edit*>(control(name));
    if (!edit) return u"error no edit box "_qs + name;
    bool ok = false;
    const quint32 evdev = code.toUInt(&ok);
    if (!ok || evdev == 0 || evdev > 767) return u"error press takes a Linux key code 1..767"_qs;
    edit->window()->activateWindow();
    edit->setFocus(Qt::OtherFocusReason);
    // A click on the box first, as a user starts a key box's capture.
    const QPointF centre = edit->rect().center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, centre, edit->mapToGlobal(centre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &click);
    }
    // The native scan code is the X key code: the Linux key code plus 8.
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, 0, Qt::NoModifier, evdev + 8, 0, 0);
        QApplication::sendEvent(edit, &event);
    }
    return u"ok"_qs;
}

QString TestDriver::grabWithMenu(const QString& file) {
    if (file.isEmpty()) return u"error grab-menu takes a file"_qs;
    kit::MenuWindow* menu = page_ ? page_->assignMenu() : nullptr;
    if (!menu || !menu->isVisible()) return u"error no assignment menu is open"_qs;
    // The picture covers the window and the menu, which may reach beyond it.
    const QRect windowArea(window_.mapToGlobal(QPoint(0, 0)), window_.size());
    const QRect area = windowArea.united(menu->geometry());
    QPixmap picture(area.size());
    picture.fill(QColor(0x0b, 0x0c, 0x10));  // a dark desktop around them
    QPainter painter(&picture);
    painter.drawPixmap(windowArea.topLeft() - area.topLeft(), window_.grab());
    painter.drawPixmap(menu->geometry().topLeft() - area.topLeft(), menu->grab());
    painter.end();
    return picture.save(file, "PNG") ? u"ok"_qs : u"error cannot write "_qs + file;
}

QString TestDriver::mouse(const QString& action) {
    emu::VirtualDevices* world = device_ ? device_->virtualDevices() : nullptr;
    if (!world) return u"error no virtual mouse (HALVERN_EMULATOR)"_qs;
    const QStringList words = action.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) return u"error mouse takes an action"_qs;
    auto linkNamed = [](const QString& word) -> std::optional<Link> {
        if (word == u"receiver") return Link::Receiver;
        if (word == u"cable") return Link::Cable;
        if (word == u"ble") return Link::Ble;
        return std::nullopt;
    };
    // The mouse speaks on the first of its links that is plugged in.
    std::optional<Link> speaking;
    for (Link link : {Link::Cable, Link::Receiver, Link::Ble}) {
        const int device = world->deviceOf(link);
        if (device >= 0 && world->plugged(device)) {
            speaking = link;
            break;
        }
    }
    auto number = [&](int i, int min, int max) -> std::optional<int> {
        bool ok = false;
        const int v = i < words.size() ? words[i].toInt(&ok) : 0;
        return ok && v >= min && v <= max ? std::optional<int>(v) : std::nullopt;
    };
    const QString& verb = words[0];
    if (verb == u"plug" || verb == u"unplug") {
        std::optional<Link> link = words.size() > 1 ? linkNamed(words[1]) : std::nullopt;
        const int device = link ? world->deviceOf(*link) : -1;
        if (device < 0) return u"error the virtual mouse has no such link"_qs;
        const bool done = verb == u"plug" ? world->plug(device) : world->unplug(device);
        return done ? u"ok"_qs : u"error already "_qs + (verb == u"plug" ? u"plugged"_qs : u"unplugged"_qs);
    }
    if (!speaking) return u"error no link of the virtual mouse is plugged in"_qs;
    emu::VirtualMouse& m = world->mouse(0);
    if (verb == u"dpi") {
        std::optional<int> level = number(1, 1, 8);
        if (!level) return u"error dpi takes 1..8"_qs;
        m.raise(*speaking, DeviceEvent{0x10EE, static_cast<std::uint16_t>(*level)});
        return u"ok"_qs;
    }
    if (verb == u"polling") {
        static constexpr int kInterval[] = {8, 4, 2, 1};
        std::optional<int> rate = number(1, 0, 3);
        if (!rate) return u"error polling takes 0..3"_qs;
        m.setPollingInterval(*speaking, kInterval[*rate]);
        return u"ok"_qs;
    }
    if (verb == u"light") {
        std::optional<int> effect = number(1, 0, 15);
        if (!effect) return u"error light takes 0..15"_qs;
        m.setLightEffect(*speaking, *effect);
        return u"ok"_qs;
    }
    if (verb == u"battery") {
        std::optional<int> status = number(1, 0, 255);
        std::optional<int> level = number(2, 0, 255);
        if (!status || !level) return u"error battery takes STATUS LEVEL"_qs;
        m.setBattery(*speaking, *level, *status);
        return u"ok"_qs;
    }
    return u"error unknown mouse action "_qs + verb;
}

}  // namespace halvern
