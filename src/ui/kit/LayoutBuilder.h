// Turns a checked layout tree into widgets. Building cannot fail on a value (the
// parser checked them); it only creates, sets and registers.
#pragma once

#include <QString>

#include <functional>

#include "ui/kit/LayoutNode.h"

class QBoxLayout;
class QWidget;

namespace halvern::kit {

class Control;
class Skin;
class SkinWindow;

class LayoutBuilder {
public:
    // `registerControl` sees every control built, in document order.
    LayoutBuilder(SkinWindow* window, const Skin& skin, std::function<void(Control*)> registerControl);

    // Builds the children of `node` (a Window, or a row's root) into `layout`.
    void buildChildren(const LayoutNode& node, QBoxLayout* layout, const QString& virtualWindow);
    // Builds one control element; nullptr for an element that is not a control.
    Control* build(const LayoutNode& node, const QString& inheritedVirtualWindow);

    // Applies attributes that every container shares (inset, childpadding).
    static void ApplyBoxAttributes(const LayoutNode& node, QBoxLayout* layout);

private:
    void applyCommon(const LayoutNode& node, Control* control);
    void applyText(const LayoutNode& node, Control* control);
    void addChild(QBoxLayout* layout, const LayoutNode& child, QWidget* widget);

    SkinWindow* window_;
    const Skin& skin_;
    std::function<void(Control*)> register_;
};

}  // namespace halvern::kit
