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

class Control {
public:
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

    // The name assistive technology reads: the shown text, else the hover text. Kept
    // up to date by the text setters; call it after changing the hover text directly.
    void refreshAccessibleName();

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
    // Puts the shown text into the widget; controls with a text override it.
    virtual void showText(const QString&) {}
    // Whether the shown text names the control; not for text boxes, whose text is
    // what the user typed.
    virtual bool namedByText() const { return true; }

private:
    SkinWindow* window_ = nullptr;
    const Skin* skin_ = nullptr;
    QString kind_;
    QString name_;
    QString virtualWindow_;
    QString userData_;
    QColor bkColor_;
    ImageSpec bkImage_;
    QString text_;
    QString toolTipKey_;
    bool textKeyMode_ = false;
};

}  // namespace halvern::kit
