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
#include <span>

#include "app/CMainWnd.h"
#include "halvern_abi.h"
#include "host/VirtualMouseControl.h"
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

QString TestDriver::EscapedValue(const QString& value) {
    QString escaped;
    escaped.reserve(value.size());
    for (QChar c : value) {
        if (c == u'\\' || c == u'=') escaped += u'\\';
        if (c == u'\n') escaped += u"\\n"_qs;
        else escaped += c;
    }
    return escaped;
}

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

// One command: its verb, what follows the verb, and what it does with the rest of the line.
struct TestDriver::Verb {
    const char* name;
    const char* usage;
    QString (*act)(TestDriver& driver, const QString& arg);
};

namespace {

// The word `n` (from 0) of `arg`, and what follows word `n`.
QString Word(const QString& arg, int n) { return arg.section(u' ', n, n); }
QString Rest(const QString& arg, int n) { return arg.section(u' ', n + 1); }

}  // namespace

std::span<const TestDriver::Verb> TestDriver::verbs() {
    static const Verb kVerbs[] = {
        {"click", "NAME", [](TestDriver& d, const QString& a) { return d.click(a); }},
        {"slide", "NAME VALUE", [](TestDriver& d, const QString& a) { return d.slide(Word(a, 0), Word(a, 1)); }},
        {"type", "NAME TEXT", [](TestDriver& d, const QString& a) { return d.type(Word(a, 0), Rest(a, 0)); }},
        {"key", "NAME Return|Tab|Escape",
         [](TestDriver& d, const QString& a) { return d.key(Word(a, 0), Word(a, 1)); }},
        {"pick", "NAME INDEX", [](TestDriver& d, const QString& a) { return d.pick(Word(a, 0), Word(a, 1)); }},
        {"get", "NAME", [](TestDriver& d, const QString& a) { return d.get(a); }},
        {"focus", "NAME", [](TestDriver& d, const QString& a) { return d.focus(a); }},
        {"rows", "NAME", [](TestDriver& d, const QString& a) { return d.rows(a); }},
        {"modal", "",
         [](TestDriver& d, const QString&) {
             kit::SkinWindow* modal = d.topModal();
             return u"ok "_qs + (modal ? modal->skinFile() : u"none"_qs);
         }},
        {"close-modal", "N", [](TestDriver& d, const QString& a) { return d.closeModal(a); }},
        {"answer-file", "PATH|cancel",
         [](TestDriver&, const QString& a) {
             // The answer waits for the next file dialog; "cancel" answers as the user's Cancel.
             if (a.isEmpty()) return u"error answer-file takes a path or cancel"_qs;
             kit::AnswerNextFileDialog(a == u"cancel" ? QString() : a);
             return u"ok"_qs;
         }},
        {"mouse", "dpi N|polling N|light N|battery STATUS LEVEL|plug LINK|unplug LINK",
         [](TestDriver& d, const QString& a) {
             return QString::fromStdString(ActOnVirtualMouse(d.device_, a.toStdString()));
         }},
        {"applies", "",
         [](TestDriver& d, const QString&) {
             if (!d.page_) return u"error no settings page"_qs;
             return u"ok done=%1 busy=%2"_qs.arg(d.page_->appliesDone()).arg(d.page_->applyBusy() ? 1 : 0);
         }},
        // Real pointer input (xdotool under Xvfb) needs to know where a control is, and
        // a modal window is seen only in its own picture.
        {"where", "NAME",
         [](TestDriver& d, const QString& a) {
             kit::Control* c = d.control(a);
             if (!c) return u"error no control "_qs + a;
             const QPoint centre = c->widget()->mapToGlobal(c->widget()->rect().center());
             return u"ok %1 %2"_qs.arg(centre.x()).arg(centre.y());
         }},
        {"grab-modal", "FILE",
         [](TestDriver& d, const QString& a) {
             kit::SkinWindow* modal = d.topModal();
             if (!modal) return u"error no modal window"_qs;
             if (a.isEmpty()) return u"error grab-modal takes a file"_qs;
             return modal->grab().save(a, "PNG") ? u"ok"_qs : u"error cannot write "_qs + a;
         }},
        {"grab", "FILE",
         [](TestDriver& d, const QString& a) {
             if (a.isEmpty()) return u"error grab takes a file"_qs;
             return d.window_.grab().save(a, "PNG") ? u"ok"_qs : u"error cannot write "_qs + a;
         }},
        {"tray", "left|right",
         [](TestDriver& d, const QString& a) {
             const long click = a == u"right" ? kit::kTrayRightButtonUp : kit::kTrayLeftButtonUp;
             d.window_.send(UM_TRAY_NOTIFY, 0, click);
             return u"ok"_qs;
         }},
        {"menu", "NAME",
         [](TestDriver& d, const QString& a) {
             kit::MenuWindow* menu = d.window_.trayMenu();
             QAction* item = menu ? menu->findItem(a) : nullptr;
             if (!item) return u"error no menu item "_qs + a;
             // As a click on the item would: the menu closes before the choice acts, so
             // that a window the choice opens is not drawn under the open menu.
             menu->hide();
             item->trigger();
             return u"ok"_qs;
         }},
        {"assume-tray", "",
         [](TestDriver& d, const QString&) {
             d.window_.setTrayAvailable([] { return true; });
             return u"ok"_qs;
         }},
        // ---- The title bar's menu, language and look ----
        {"main-menu", "", [](TestDriver& d, const QString&) { return d.openMainMenu(); }},
        {"main-menu-item", "NAME [VALUE]", [](TestDriver& d, const QString& a) { return d.chooseMainMenuItem(a); }},
        {"look", "",
         [](TestDriver& d, const QString&) {
             return u"ok language=%1 theme=%2 follow=%3"_qs.arg(d.window_.skin().languageCode())
                 .arg(kit::Skin::ThemeName(d.window_.skin().theme()))
                 .arg(d.window_.followsDesktopTheme() ? 1 : 0);
         }},
        {"desktop-prefers", "dark|light",
         [](TestDriver& d, const QString& a) {
             const std::optional<kit::Skin::Theme> theme = kit::Skin::ThemeNamed(a);
             if (!theme) return u"error desktop-prefers takes dark or light"_qs;
             d.window_.desktopPrefersTheme(*theme);
             return u"ok"_qs;
         }},
        // ---- The key buttons' assignment menu and the shortcut dialog's key box ----
        {"press", "NAME CODE", [](TestDriver& d, const QString& a) { return d.press(Word(a, 0), Word(a, 1)); }},
        {"grab-menu", "FILE", [](TestDriver& d, const QString& a) { return d.grabWithMenu(a); }},
        {"menu-at", "",
         [](TestDriver& d, const QString&) {
             kit::MenuWindow* menu = d.page_ ? d.page_->assignMenu() : nullptr;
             if (!menu || !menu->isVisible()) return u"ok none"_qs;
             const QRect at = menu->geometry();
             return u"ok %1 %2 %3 %4"_qs.arg(at.x()).arg(at.y()).arg(at.width()).arg(at.height());
         }},
        // ---- The desktop: which window system, which windows, how the DPI was shown ----
        {"platform", "", [](TestDriver&, const QString&) { return u"ok "_qs + QGuiApplication::platformName(); }},
        {"windows", "",
         [](TestDriver&, const QString&) {
             int shown = 0;
             for (QWindow* w : QGuiApplication::topLevelWindows())
                 if (w->isVisible()) ++shown;
             return u"ok %1"_qs.arg(shown);
         }},
        {"dpi-route", "",
         [](TestDriver& d, const QString&) { return u"ok "_qs + QString::fromLatin1(d.window_.dpiRoute()); }},
        {"state", "",
         [](TestDriver& d, const QString&) {
             return u"state visible=%1 minimized=%2 title=%3"_qs.arg(d.window_.isVisible() ? 1 : 0)
                 .arg(d.window_.isMinimized() ? 1 : 0)
                 .arg(EscapedValue(d.window_.windowTitle()));
         }},
        {"help", "",
         [](TestDriver&, const QString&) {
             QStringList answer{u"ok %1"_qs.arg(verbs().size())};
             for (const Verb& verb : verbs())
                 answer << (QString::fromLatin1(verb.name) + u' ' + QString::fromLatin1(verb.usage)).trimmed();
             return answer.join(u'\t');
         }},
    };
    return kVerbs;
}

QString TestDriver::run(const QString& line) {
    window_.completeLayout();
    const QString verb = line.section(u' ', 0, 0);
    const QString arg = line.section(u' ', 1);
    for (const Verb& v : verbs())
        if (verb == QLatin1StringView(v.name)) return v.act(*this, arg);
    return u"error unknown command"_qs;
}

QString TestDriver::rows(const QString& name) {
    auto* list = dynamic_cast<kit::List*>(control(name));
    if (!list) return u"error no list "_qs + name;
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

QString TestDriver::closeModal(const QString& arg) {
    kit::SkinWindow* modal = topModal();
    bool ok = false;
    const int result = arg.toInt(&ok);
    if (!modal) return u"error no modal window"_qs;
    if (!ok) return u"error close-modal takes a number"_qs;
    Print(u"ok"_qs);
    modal->closeWindow(result);
    return {};
}

QString TestDriver::openMainMenu() {
    auto* button = window_.find<kit::Button>(u"main_menu_btn"_qs);
    if (!button) return u"error no button main_menu_btn"_qs;
    button->click();
    kit::MenuWindow* menu = window_.mainMenu();
    if (!menu) return u"error no main menu"_qs;
    return u"ok "_qs + menu->describeItems().join(u' ');
}

QString TestDriver::chooseMainMenuItem(const QString& arg) {
    kit::MenuWindow* menu = window_.mainMenu();
    QAction* item = menu ? menu->findItem(Word(arg, 0), Word(arg, 1)) : nullptr;
    if (!item) return u"error no main menu item "_qs + arg;
    // Answered first: About opens a modal window that runs until later commands close it.
    Print(u"ok"_qs);
    item->trigger();
    // The choice reaches the window as a posted message; taken now, so that the next
    // command sees its effect.
    QCoreApplication::sendPostedEvents(&window_);
    return {};
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
    const int code = key == u"Return"   ? Qt::Key_Return
                     : key == u"Tab"    ? Qt::Key_Tab
                     : key == u"Escape" ? Qt::Key_Escape
                                        : 0;
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
        if (!ok || i < 0 || i >= combo->count())
            return u"error %1 has items 0..%2"_qs.arg(name).arg(combo->count() - 1);
        combo->setCurrentIndex(i);
        return u"ok"_qs;
    }
    if (auto* list = dynamic_cast<kit::List*>(c)) {
        if (!ok || i < 0 || i >= list->rowCount())
            return u"error %1 has rows 0..%2"_qs.arg(name).arg(list->rowCount() - 1);
        list->setCurrentRow(i);
        return u"ok"_qs;
    }
    return u"error no combo box or list "_qs + name;
}

QString TestDriver::focus(const QString& name) {
    kit::Control* c = control(name);
    if (!c) return u"error no control "_qs + name;
    QWidget* w = c->widget();
    w->window()->activateWindow();
    w->setFocus(Qt::TabFocusReason);
    return u"ok"_qs;
}

QString TestDriver::get(const QString& name) const {
    kit::Control* c = control(name);
    if (!c) {
        kit::MenuWindow* menu = page_ ? page_->assignMenu() : nullptr;
        if (QAction* item = menu && menu->isVisible() ? menu->findItem(name) : nullptr) {
            QString answer = u"ok text=%1 enabled=%2"_qs.arg(EscapedValue(item->text())).arg(item->isEnabled() ? 1 : 0);
            // The item's own hover text only: QAction falls back to its text.
            if (item->toolTip() != item->text()) answer += u" tip="_qs + EscapedValue(item->toolTip());
            return answer;
        }
        return u"error no control "_qs + name;
    }
    QStringList fields;
    const QWidget* w = c->widget();
    // Texts are escaped (EscapedValue): a text of several lines is given on one, and a
    // text holding " value=" cannot pass for a field.
    if (auto* edit = dynamic_cast<kit::Edit*>(c)) fields << u"text="_qs + EscapedValue(edit->QLineEdit::text());
    else if (auto* combo = dynamic_cast<kit::Combo*>(c)) fields << u"text="_qs + EscapedValue(combo->currentText());
    else if (!c->shownText().isNull() || c->kind() == u"Label" || c->kind() == u"Button")
        fields << u"text="_qs + EscapedValue(c->shownText());
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
    if (!item->isEnabled()) return u"error "_qs + name + u" is disabled"_qs;
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

}  // namespace halvern
