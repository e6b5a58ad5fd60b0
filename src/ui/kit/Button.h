// Push buttons and their two selectable forms.
//
//   Button    raises "click".
//   Option    raises "click", then "selectchanged" (wParam 1) when it becomes the
//             selected option of its group ("group"); selecting one deselects the
//             others of the group in the same window without notifications.
//   CheckBox  ("Check") raises "click", then "checkclick" with its new state in wParam.
//
// A button marked cancel="true" in the layout drops the typing its window's text
// boxes hold instead of committing it before its "click" (see Edit.h).
//
// The background image is drawn over the themed panel, so icon buttons need no text.
// From the keyboard, Space and Enter act as a click; the arrow keys move the selection
// to the previous or next option of a group, as a click on it would.
#pragma once

#include <QPushButton>

#include "ui/kit/Control.h"
#include "ui/kit/FixedSize.h"

namespace halvern::kit {

class Button : public QPushButton, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit Button(QWidget* parent = nullptr);
    QWidget* widget() override { return this; }
    using Control::setText;
    using Control::text;
    QSize sizeHint() const override {
        if (auto size = FixedSize(*this)) return *size;
        return QPushButton::sizeHint();
    }
    QSize minimumSizeHint() const override {
        if (auto size = FixedSize(*this)) return *size;
        return QPushButton::minimumSizeHint();
    }

    bool isCancel() const { return cancel_; }
    void setCancel(bool on) { cancel_ = on; }

protected:
    void showText(const QString& text) override { QPushButton::setText(text); }
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    virtual void onUserClick() { raiseNotify(notify::kClick); }

private:
    bool cancel_ = false;
};

class Option : public Button {
public:
    explicit Option(QWidget* parent = nullptr);

    const QString& group() const { return group_; }
    void setGroup(const QString& group) { group_ = group; }

    bool isSelected() const { return isChecked(); }
    // Selecting an option of a group deselects the others; deselecting one leaves the
    // group without a selection.
    void setSelected(bool selected, Notify notify);

protected:
    void onUserClick() override;
    void nextCheckState() override {}
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString group_;
};

class CheckBox : public Button {
public:
    explicit CheckBox(QWidget* parent = nullptr);

    void setChecked(bool checked, Notify notify);

    // A check box that opens and closes a panel (a section's header): assistive
    // technology meets it as a button that expands, ticked meaning expanded.
    void setExpander(bool on) { expander_ = on; }
    bool isExpander() const { return expander_; }

protected:
    void onUserClick() override;
    void nextCheckState() override {}

private:
    bool expander_ = false;
};

}  // namespace halvern::kit
