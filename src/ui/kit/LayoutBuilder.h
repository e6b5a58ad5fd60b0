// Turns a checked layout tree into widgets. Building cannot fail on a value (the
// parser checked them); it only creates, sets and registers.
#pragma once

#include <QString>
#include <Qt>

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
    // Where a child marked deferred="true" would have gone: built, but not yet in its
    // layout. `index` counts only the items that were not deferred, so the children of
    // one layout go back in by inserting them in reverse order.
    struct Deferred {
        QBoxLayout* layout = nullptr;
        int index = 0;
        QWidget* widget = nullptr;
        Qt::Alignment alignment;
    };

    // `registerControl` sees every control built, in document order.
    LayoutBuilder(SkinWindow* window, const Skin& skin, std::function<void(Control*)> registerControl);

    // Builds the children of `node` (a Window, or a row's root) into `layout`.
    void buildChildren(const LayoutNode& node, QBoxLayout* layout, const QString& virtualWindow);
    // Builds one control element; nullptr for an element that is not a control.
    Control* build(const LayoutNode& node, const QString& inheritedVirtualWindow);

    // From now on children marked deferred="true" are parked under `holder` and
    // reported to `sink` instead of joining their layout.
    void deferInto(QWidget* holder, std::function<void(Deferred)> sink);
    // Puts one parked child into its layout.
    static void Insert(const Deferred& d);

    // Applies attributes that every container shares (inset, childpadding).
    static void ApplyBoxAttributes(const LayoutNode& node, QBoxLayout* layout);

private:
    void applyCommon(const LayoutNode& node, Control* control);
    void applyText(const LayoutNode& node, Control* control);
    static Qt::Alignment AlignmentIn(const QBoxLayout* layout, const LayoutNode& child);

    SkinWindow* window_;
    const Skin& skin_;
    std::function<void(Control*)> register_;
    QWidget* holder_ = nullptr;
    std::function<void(Deferred)> deferredSink_;
};

}  // namespace halvern::kit
