#include "ui/kit/LayoutBuilder.h"

#include <QBoxLayout>

#include <algorithm>

#include "ui/kit/Button.h"
#include "ui/kit/ColorPalette.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Container.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"
#include "ui/kit/LayoutParser.h"
#include "ui/kit/List.h"
#include "ui/kit/PlainControl.h"
#include "ui/kit/Skin.h"
#include "ui/kit/Slider.h"
#include "ui/kit/TabLayout.h"

namespace halvern::kit {

namespace {

int IntOr(const LayoutNode& n, const QString& name, int fallback) {
    auto v = n.attribute(name);
    return v ? LayoutParser::ParseInt(*v).value_or(fallback) : fallback;
}

bool BoolOr(const LayoutNode& n, const QString& name, bool fallback) {
    auto v = n.attribute(name);
    return v ? LayoutParser::ParseBool(*v).value_or(fallback) : fallback;
}

Qt::Alignment AlignmentOf(const QString& align) {
    if (align == u"center") return Qt::AlignCenter;
    if (align == u"right") return Qt::AlignRight | Qt::AlignVCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// A row or column that only arranges its children: no name, look or state of its own.
bool ArrangesOnly(const LayoutNode& node) {
    if (node.element != u"Vertical" && node.element != u"Horizontal") return false;
    return std::all_of(node.attributes.begin(), node.attributes.end(), [](const auto& a) {
        return a.first == u"childpadding" || a.first == u"inset" || a.first == u"width" || a.first == u"height";
    });
}

// Such a row needs no widget: a box layout nested in its parent's places the children
// the same, without the widget's style caches (several kilobytes for every styled
// widget). A fixed width or height holds as it would on a widget.
class FixedBoxLayout : public QBoxLayout {
public:
    FixedBoxLayout(Direction direction, int width, int height)
        : QBoxLayout(direction), width_(width), height_(height) {}

    QSize sizeHint() const override { return fixed(QBoxLayout::sizeHint()); }
    QSize minimumSize() const override { return fixed(QBoxLayout::minimumSize()); }
    QSize maximumSize() const override { return fixed(QBoxLayout::maximumSize()); }
    Qt::Orientations expandingDirections() const override {
        Qt::Orientations o = QBoxLayout::expandingDirections();
        if (width_ >= 0) o &= ~Qt::Horizontal;
        if (height_ >= 0) o &= ~Qt::Vertical;
        return o;
    }

private:
    QSize fixed(QSize s) const {
        if (width_ >= 0) s.setWidth(width_);
        if (height_ >= 0) s.setHeight(height_);
        return s;
    }
    int width_;
    int height_;
};

}  // namespace

LayoutBuilder::LayoutBuilder(SkinWindow* window, const Skin& skin, std::function<void(Control*)> registerControl)
    : window_(window), skin_(skin), register_(std::move(registerControl)) {}

void LayoutBuilder::ApplyBoxAttributes(const LayoutNode& node, QBoxLayout* layout) {
    if (auto inset = node.attribute(u"inset"_qs)) layout->setContentsMargins(*LayoutParser::ParseFour(*inset));
    layout->setSpacing(IntOr(node, u"childpadding"_qs, 0));
}

void LayoutBuilder::buildChildren(const LayoutNode& node, QBoxLayout* layout, const QString& virtualWindow) {
    for (const LayoutNode& child : node.children) {
        if (child.element == u"Fill") {
            const bool vertical = layout->direction() == QBoxLayout::TopToBottom;
            const int fixed = IntOr(child, vertical ? u"height"_qs : u"width"_qs, -1);
            if (fixed >= 0) layout->addSpacing(fixed);
            else layout->addStretch(1);
            continue;
        }
        if (ArrangesOnly(child)) {
            auto* box = new FixedBoxLayout(
                child.element == u"Vertical" ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight,
                std::max(-1, IntOr(child, u"width"_qs, -1)), std::max(-1, IntOr(child, u"height"_qs, -1)));
            box->setContentsMargins(0, 0, 0, 0);
            ApplyBoxAttributes(child, box);
            // Joined first: the children's widgets take their parent from the layout's.
            layout->addLayout(box);
            if (const Qt::Alignment a = AlignmentIn(layout, child)) layout->setAlignment(box, a);
            buildChildren(child, box, virtualWindow);
            continue;
        }
        Control* control = build(child, virtualWindow);
        if (!control) continue;
        // Polished now, by the base style, while it has no style sheet: joining the
        // window then polishes it by the sheet, once. Joined unpolished, it would be asked
        // for its margins under the sheet as it joined, and the rules matched for that
        // answer thrown away by its polish at the first show: every control matched
        // against the whole sheet twice.
        control->widget()->ensurePolished();
        if (deferredSink_ && BoolOr(child, u"deferred"_qs, false)) {
            const Deferred d{layout, layout->count(), control->widget(), AlignmentIn(layout, child)};
            // Parked under a widget that is never shown and has no style sheet: the
            // controls exist and take values, but nothing is styled or laid out yet.
            d.widget->setParent(holder_);
            deferredSink_(d);
            continue;
        }
        layout->addWidget(control->widget(), 0, AlignmentIn(layout, child));
    }
}

void LayoutBuilder::deferInto(QWidget* holder, std::function<void(Deferred)> sink) {
    holder_ = holder;
    deferredSink_ = std::move(sink);
}

void LayoutBuilder::Insert(const Deferred& d) { d.layout->insertWidget(d.index, d.widget, 0, d.alignment); }

Qt::Alignment LayoutBuilder::AlignmentIn(const QBoxLayout* layout, const LayoutNode& child) {
    const bool horizontal = layout->direction() == QBoxLayout::LeftToRight;
    // A child of fixed cross size sits in the middle of its row, as toolbars expect.
    if (horizontal && child.attribute(u"height"_qs)) return Qt::AlignVCenter;
    if (!horizontal && child.attribute(u"width"_qs)) return Qt::AlignLeft;
    return {};
}

Control* LayoutBuilder::build(const LayoutNode& node, const QString& inheritedVirtualWindow) {
    const QString virtualWindow = node.attributeOr(u"virtualwnd"_qs, inheritedVirtualWindow);
    const QString& e = node.element;
    Control* control = nullptr;

    if (e == u"Vertical" || e == u"Horizontal") {
        auto* c = new Container(e == u"Vertical", BoolOr(node, u"vscroll"_qs, false));
        ApplyBoxAttributes(node, c->contentLayout());
        if (auto text = node.attribute(u"text"_qs)) c->setLeadingText(*text, IntOr(node, u"textwidth"_qs, 0));
        control = c;
        control->attach(window_, &skin_, e, node.attributeOr(u"name"_qs), virtualWindow);
        applyCommon(node, control);
        register_(control);
        buildChildren(node, c->contentLayout(), virtualWindow);
        return control;
    }
    if (e == u"Tab") {
        auto* tab = new TabLayout;
        tab->attach(window_, &skin_, e, node.attributeOr(u"name"_qs), virtualWindow);
        applyCommon(node, tab);
        register_(tab);
        for (const LayoutNode& child : node.children) {
            if (child.element == u"Fill") continue;
            if (Control* page = build(child, virtualWindow)) tab->addWidget(page->widget());
        }
        tab->selectItem(IntOr(node, u"selected"_qs, 0));
        return tab;
    }

    if (e == u"Control") control = new PlainControl;
    else if (e == u"Label") control = new Label;
    else if (e == u"Button") control = new Button;
    else if (e == u"Option") control = new Option;
    else if (e == u"Check") control = new CheckBox;
    else if (e == u"Edit") control = new Edit;
    else if (e == u"RichEdit") control = new RichEdit;
    else if (e == u"Slider") control = new Slider;
    else if (e == u"Progress") control = new Progress;
    else if (e == u"Combo") control = new Combo;
    else if (e == u"List") control = new List;
    else if (e == u"ColorPalette") control = new ColorPalette;
    else return nullptr;

    control->attach(window_, &skin_, e, node.attributeOr(u"name"_qs), virtualWindow);
    applyCommon(node, control);
    applyText(node, control);
    register_(control);

    if (auto* label = dynamic_cast<Label*>(control)) {
        label->setAlignment(AlignmentOf(node.attributeOr(u"align"_qs)));
        label->setWordWrap(BoolOr(node, u"wordbreak"_qs, false));
    } else if (auto* option = dynamic_cast<Option*>(control)) {
        option->setGroup(node.attributeOr(u"group"_qs));
        if (BoolOr(node, u"selected"_qs, false)) option->setSelected(true, Notify::No);
    } else if (auto* check = dynamic_cast<CheckBox*>(control)) {
        check->setChecked(BoolOr(node, u"selected"_qs, false), Notify::No);
    } else if (auto* button = dynamic_cast<Button*>(control)) {
        button->setCancel(BoolOr(node, u"cancel"_qs, false));
        button->setElide(BoolOr(node, u"elide"_qs, false));
    } else if (auto* edit = dynamic_cast<Edit*>(control)) {
        if (auto max = node.attribute(u"maxchar"_qs)) edit->setMaxLength(std::max(1, *LayoutParser::ParseInt(*max)));
        edit->setNumberOnly(BoolOr(node, u"numberonly"_qs, false));
        edit->setReadOnly(BoolOr(node, u"readonly"_qs, false));
        if (auto key = node.attribute(u"placeholderkey"_qs)) edit->setPlaceholderKey(*key);
        edit->setAlignment(AlignmentOf(node.attributeOr(u"align"_qs)));
    } else if (auto* slider = dynamic_cast<Slider*>(control)) {
        slider->setRange(IntOr(node, u"min"_qs, 0), IntOr(node, u"max"_qs, 100));
        slider->setValue(IntOr(node, u"value"_qs, slider->minimum()), Notify::No);
    } else if (auto* progress = dynamic_cast<Progress*>(control)) {
        progress->setRange(IntOr(node, u"min"_qs, 0), IntOr(node, u"max"_qs, 100));
        progress->setValue(IntOr(node, u"value"_qs, progress->minimum()));
    } else if (auto* combo = dynamic_cast<Combo*>(control)) {
        for (const LayoutNode& item : node.children) {
            if (auto key = item.attribute(u"textkey"_qs)) combo->addItem(*key, true);
            else combo->addItem(item.attributeOr(u"text"_qs), false);
        }
        combo->selectItem(IntOr(node, u"selected"_qs, node.children.empty() ? -1 : 0), Notify::No);
    } else if (auto* list = dynamic_cast<List*>(control)) {
        list->setDefaultRowHeight(std::max(1, IntOr(node, u"rowheight"_qs, 22)));
        for (const LayoutNode& item : node.children) {
            const auto key = item.attribute(u"textkey"_qs);
            list->addLabelRow(key ? skin_.text(*key) : item.attributeOr(u"text"_qs), 0);
        }
    } else if (auto* palette = dynamic_cast<ColorPalette*>(control)) {
        if (auto color = node.attribute(u"color"_qs))
            palette->setSelectedColor(LayoutParser::ParseColor(*color)->rgba(), Notify::No);
    }
    return control;
}

void LayoutBuilder::applyCommon(const LayoutNode& node, Control* control) {
    QWidget* w = control->widget();
    if (auto v = node.attribute(u"width"_qs)) w->setFixedWidth(std::max(0, *LayoutParser::ParseInt(*v)));
    if (auto v = node.attribute(u"height"_qs)) w->setFixedHeight(std::max(0, *LayoutParser::ParseInt(*v)));
    if (auto v = node.attribute(u"minwidth"_qs)) w->setMinimumWidth(std::max(0, *LayoutParser::ParseInt(*v)));
    if (auto v = node.attribute(u"minheight"_qs)) w->setMinimumHeight(std::max(0, *LayoutParser::ParseInt(*v)));
    if (auto v = node.attribute(u"maxwidth"_qs)) w->setMaximumWidth(std::max(0, *LayoutParser::ParseInt(*v)));
    if (auto v = node.attribute(u"maxheight"_qs)) w->setMaximumHeight(std::max(0, *LayoutParser::ParseInt(*v)));
    if (!BoolOr(node, u"visible"_qs, true)) w->setVisible(false);
    if (!BoolOr(node, u"enabled"_qs, true)) w->setEnabled(false);
    if (auto v = node.attribute(u"tooltip"_qs)) w->setToolTip(*v);
    if (auto v = node.attribute(u"tooltipkey"_qs)) control->setToolTipKey(*v);
    if (auto v = node.attribute(u"class"_qs)) w->setProperty("class", *v);
    if (auto v = node.attribute(u"bkcolor"_qs)) control->setBkColor(*LayoutParser::ParseColor(*v));
    if (auto v = node.attribute(u"bkimage"_qs)) control->setBkImage(*v);
    if (auto v = node.attribute(u"userdata"_qs)) control->setUserData(*v);
    control->refreshAccessibleName();
}

void LayoutBuilder::applyText(const LayoutNode& node, Control* control) {
    if (auto key = node.attribute(u"textkey"_qs)) {
        control->setTextKeyMode(true);
        control->setText(*key);
    } else if (auto text = node.attribute(u"text"_qs)) {
        control->setText(*text);
    }
}

}  // namespace halvern::kit
