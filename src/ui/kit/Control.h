// What every control of a skin window shares, whatever Qt widget it is: its name, the
// virtual window it belongs to, its background, its text in plain or text-key mode,
// and the way it raises notifications to its window.
#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <string_view>

#include "ui/kit/ImageSpec.h"
#include "ui/kit/Notification.h"

class QPainter;
class QWidget;

namespace halvern::kit {

class Skin;
class SkinWindow;

// The style sheet asks every control for "class", "kind" and "keyfocus", dozens of
// times each while the window is polished. A dynamic property is found only after
// every property of the widget's Qt classes has been compared by name; declared by the
// control's own class, it is found first. Every control class puts this beside its
// Q_OBJECT.
#define HALVERN_KIT_STYLE_PROPERTIES                              \
    Q_PROPERTY(QString class READ styleClass WRITE setStyleClass) \
    Q_PROPERTY(QString kind READ kind)                            \
    Q_PROPERTY(bool keyfocus READ keyFocus WRITE setKeyFocus)

class Control {
public:
    // Pixels a background colour keeps clear of the edge while the control has the
    // keyboard's focus.
    static constexpr int kFocusRingRoom = 4;

    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    virtual QWidget* widget() = 0;
    const QWidget* widget() const { return const_cast<Control*>(this)->widget(); }

    // The layout element this control was built from ("Button", "List", ...).
    const QString& kind() const { return kind_; }
    const QString& name() const { return name_; }
    const QString& virtualWindow() const { return virtualWindow_; }
    const QString& userData() const { return userData_; }
    void setUserData(const QString& data) { userData_ = data; }

    // The skin's "class" of the control, and whether it has the focus from the
    // keyboard: what the style sheet's rules select by.
    const QString& styleClass() const { return styleClass_; }
    void setStyleClass(const QString& styleClass) { styleClass_ = styleClass; }
    bool keyFocus() const { return keyFocus_; }
    void setKeyFocus(bool on) { keyFocus_ = on; }

    void setBkColor(const QColor& color);
    QColor bkColor() const { return bkColor_; }
    void setBkImage(const ImageSpec& image);
    // Parses the attribute form; false (and nothing changed) for a malformed text.
    bool setBkImage(const QString& text);
    const ImageSpec& bkImage() const { return bkImage_; }

    // Texts. In text-key mode the text is a key into the language file and the
    // control shows the language text; otherwise it shows the text as it stands.
    // Controls without a text ignore both.
    void setText(const QString& text);
    QString text() const { return text_; }  // as set: the key in text-key mode
    QString shownText() const;
    void setTextKeyMode(bool on);
    bool textKeyMode() const { return textKeyMode_; }

    // A hover text by language key.
    void setToolTipKey(const QString& key);

    // Re-reads key texts after the language file changed.
    void retranslate();

    // The name assistive technology reads: the spoken name when one is set, else the
    // shown text, else the hover text. Kept up to date by the text setters; call it
    // after changing the hover text directly.
    void refreshAccessibleName();
    // A name for screen readers that says more than the control shows ("DPI level 3"
    // for an option showing "3"), in the language shown; empty: the shown text again.
    void setSpokenName(const QString& name);
    const QString& spokenName() const { return spokenName_; }

    SkinWindow* skinWindow() const { return window_; }
    const Skin* skin() const { return skin_; }

    // Called once by the builder.
    void attach(SkinWindow* window, const Skin* skin, QString kind, QString name, QString virtualWindow);

protected:
    Control() = default;

    // Sends a notification from this control to its window.
    void raiseNotify(std::string_view type, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // Fills the background colour, then the background image.
    void paintBackground(QPainter& painter);
    // Whether a wheel turn over the control is the control's to take (sliders, combos,
    // lists). Inside a scrolling container only while it has the keyboard focus: a wheel
    // that scrolls the column past a control must not change it on the way. Elsewhere
    // there is nothing else to scroll, and the control under the pointer takes it.
    bool takesWheel() const;
    // Puts the shown text into the widget; controls with a text override it.
    virtual void showText(const QString&) {}
    // Whether the shown text names the control; not for text boxes, whose text is
    // what the user typed.
    virtual bool namedByText() const { return true; }

private:
    SkinWindow* window_ = nullptr;
    const Skin* skin_ = nullptr;
    QString kind_;
    QString styleClass_;
    bool keyFocus_ = false;
    QString name_;
    QString virtualWindow_;
    QString userData_;
    QColor bkColor_;
    ImageSpec bkImage_;
    QString text_;
    QString toolTipKey_;
    QString spokenName_;
    bool textKeyMode_ = false;
};

// Shows or hides a control the skin may not have; nothing without one.
void SetVisible(Control* control, bool visible);
// Whether the control is not hidden itself, shown on screen or not.
bool IsShown(const Control* control);

// A look property the style sheet sets (qproperty-...): kept, and the widget repainted
// when it changed. The widget's own type, so that this header needs no QWidget.
template <typename Widget, typename T>
void SetLook(Widget& widget, T& field, const T& value) {
    if (field == value) return;
    field = value;
    widget.update();
}

}  // namespace halvern::kit
