// Whether what a shown window draws fits it: every text in the box its control draws it
// in (padding and borders of the style sheet taken off), and every control inside its
// parent and clear of its neighbours. Texts are measured with the font the control has
// once the style sheet reached it, which is the font it paints with. And whether each
// text stands out from the surface it is drawn on, in the window's picture.
#pragma once

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QComboBox>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ui/kit/Button.h"
#include "ui/kit/Control.h"
#include "ui/kit/Skin.h"

namespace halvern::test {

// The program's text face for the life of the object: the skin's face and size with
// shaping left out, as kit::ApplyBaseLook makes every widget's default before the first
// window. Without it the widths measured differ from those drawn by a pixel here and
// there.
class ProgramFont {
public:
    explicit ProgramFont(const kit::Skin& skin) : before_(QApplication::font()) {
        QApplication::setFont(kit::BaseFont(skin));
    }
    ~ProgramFont() { QApplication::setFont(before_); }
    ProgramFont(const ProgramFont&) = delete;
    ProgramFont& operator=(const ProgramFont&) = delete;

    // The family the font database found for the face: another one measures other
    // widths, and a test that passes with it says nothing about the program.
    static QString ResolvedFamily() { return QFontInfo(QApplication::font()).family(); }

private:
    QFont before_;
};

// A text or control that does not fit.
struct Misfit {
    std::string where;  // "window: control"
    std::string what;
};

namespace textfit {

inline std::string NameOf(const QWidget* w) {
    if (auto* c = dynamic_cast<const kit::Control*>(w); c && !c->name().isEmpty()) return c->name().toStdString();
    if (!w->objectName().isEmpty()) return w->objectName().toStdString();
    return w->metaObject()->className();
}

// Whether `w` can be seen when its window is: hidden children of a tab page or a
// closed section are not drawn, so their texts need no room yet.
inline bool Shown(const QWidget* w) { return w->isVisibleTo(w->window()); }

class Walk {
public:
    explicit Walk(std::string window) : window_(std::move(window)) {}

    std::vector<Misfit> misfits;

    void texts(QWidget& top) {
        for (QWidget* w : top.findChildren<QWidget*>()) {
            if (w->window() != &top || !Shown(w)) continue;
            if (auto* b = qobject_cast<QPushButton*>(w)) button(*b);
            else if (auto* l = qobject_cast<QLabel*>(w)) label(*l);
            else if (auto* e = qobject_cast<QLineEdit*>(w); e && !qobject_cast<QComboBox*>(e->parentWidget())) edit(*e);
            else if (auto* c = qobject_cast<QComboBox*>(w)) combo(*c);
            else if (auto* list = qobject_cast<QListWidget*>(w)) rows(*list);
        }
        if (measured_ == 0) add(top, {}, "shows no text at all: its layout did not load");
    }

    // A single line of `text` in `room`, drawn with `font`.
    void line(const QWidget& w, const QString& text, const QFont& font, const QRect& room) {
        if (text.isEmpty()) return;
        ++measured_;
        const QFontMetrics fm(font);
        const int width = fm.horizontalAdvance(text);
        if (width > room.width())
            add(w, text, "needs " + std::to_string(width) + " px, has " + std::to_string(room.width()));
        else if (fm.height() > room.height())
            add(w, text, "is " + std::to_string(fm.height()) + " px high, has " + std::to_string(room.height()));
    }

    void button(QPushButton& b) {
        QStyleOptionButton option;
        option.initFrom(&b);
        option.text = b.text();
        if (b.isChecked()) option.state |= QStyle::State_On;
        const QRect room = b.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &b);
        auto* eliding = dynamic_cast<kit::Button*>(&b);
        if (!eliding || !eliding->elides() || QFontMetrics(b.font()).horizontalAdvance(b.text()) <= room.width()) {
            line(b, b.text(), b.font(), room);
            return;
        }
        // A button that elides draws the start of a long text and gives the whole of it on
        // hover and to screen readers (whose name may say more, never less).
        line(b, eliding->drawnText(), b.font(), room);
        if (HoverText(b) != b.text() || !AccessibleName(b).contains(b.text()))
            add(b, b.text(),
                "needs " + std::to_string(QFontMetrics(b.font()).horizontalAdvance(b.text())) + " px, has " +
                    std::to_string(room.width()) +
                    ", and is not elided with the whole text on hover and for screen readers");
    }

    static QString HoverText(QWidget& w) {
        const QPoint at = w.rect().center();
        QHelpEvent help(QEvent::ToolTip, at, w.mapToGlobal(at));
        QApplication::sendEvent(&w, &help);
        const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return shown;
    }

    static QString AccessibleName(QWidget& w) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(&w);
        return node ? node->text(QAccessible::Name) : QString();
    }

    void label(QLabel& l) {
        const QString text = l.text();
        if (text.isEmpty() || l.textFormat() != Qt::PlainText) return;
        ++measured_;
        QRect box = l.contentsRect();
        box.adjust(l.margin(), l.margin(), -l.margin(), -l.margin());
        // The indent is taken on the side the text is aligned to (QLabel's own rule).
        if (const int indent = std::max(0, l.indent())) {
            const Qt::Alignment a = l.alignment();
            if (a & Qt::AlignLeft) box.setLeft(box.left() + indent);
            if (a & Qt::AlignRight) box.setRight(box.right() - indent);
            if (a & Qt::AlignTop) box.setTop(box.top() + indent);
            if (a & Qt::AlignBottom) box.setBottom(box.bottom() - indent);
        }
        if (!l.wordWrap()) {
            const QRect needed = QFontMetrics(l.font()).boundingRect(QRect(0, 0, 1 << 20, 1 << 20), 0, text);
            if (needed.width() > box.width() || needed.height() > box.height())
                add(l, text, "needs " + Size(needed) + ", has " + Size(box));
            return;
        }
        const QRect needed =
            QFontMetrics(l.font()).boundingRect(QRect(0, 0, box.width(), 1 << 20), Qt::TextWordWrap, text);
        if (needed.width() > box.width() || needed.height() > box.height())
            add(l, text, "wrapped needs " + Size(needed) + ", has " + Size(box));
    }

    void edit(QLineEdit& e) {
        QStyleOptionFrame option;
        option.initFrom(&e);
        option.rect = e.rect();
        option.lineWidth = e.hasFrame() ? e.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &e) : 0;
        option.state |= QStyle::State_Sunken;
        if (e.isReadOnly()) option.state |= QStyle::State_ReadOnly;
        QRect room =
            e.style()->subElementRect(QStyle::SE_LineEditContents, &option, &e).marginsRemoved(e.textMargins());
        // The line edit keeps two pixels on each side of its text (QLineEditPrivate).
        room.adjust(2, 0, -2, 0);
        line(e, e.text().isEmpty() ? e.placeholderText() : e.text(), e.font(), room);
    }

    void combo(QComboBox& c) {
        QStyleOptionComboBox option;
        option.initFrom(&c);
        option.editable = c.isEditable();
        option.frame = c.hasFrame();
        option.subControls = QStyle::SC_All;
        QRect room = c.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &c);
        // The label is drawn a pixel in from each side of the field.
        room.adjust(1, 0, -1, 0);
        for (int i = 0; i < c.count(); ++i) line(c, c.itemText(i), c.font(), room);
    }

    // Rows that are texts; rows built from a layout are controls, walked as such.
    void rows(QListWidget& list) {
        for (int i = 0; i < list.count(); ++i) {
            QListWidgetItem* item = list.item(i);
            if (list.itemWidget(item) || item->isHidden()) continue;
            QStyleOptionViewItem option;
            option.initFrom(&list);
            option.rect = list.visualItemRect(item);
            option.text = item->text();
            option.features = QStyleOptionViewItem::HasDisplay;
            option.font = list.font();
            option.fontMetrics = QFontMetrics(list.font());
            option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
            option.widget = &list;
            QRect room = list.style()->subElementRect(QStyle::SE_ItemViewItemText, &option, &list);
            // The item delegate keeps a focus frame's margin and a pixel on each side.
            const int margin = list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1;
            room.adjust(margin, 0, -margin, 0);
            const int width = QFontMetrics(list.font()).horizontalAdvance(item->text());
            if (width <= room.width()) {
                line(list, item->text(), list.font(), room);
                continue;
            }
            // A name longer than any list is wide (a profile's may have 99 characters) is
            // drawn elided, and given whole on hover and to screen readers.
            if (list.textElideMode() == Qt::ElideNone || HoverText(list, *item) != item->text() ||
                RowName(list, i) != item->text())
                add(list, item->text(),
                    "needs " + std::to_string(width) + " px, has " + std::to_string(room.width()) +
                        ", and is not elided with the whole text on hover and for screen readers");
        }
    }

    static QString HoverText(QListWidget& list, QListWidgetItem& item) {
        list.scrollToItem(&item);
        const QPoint at = list.visualItemRect(&item).center();
        QHelpEvent help(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &help);
        const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return shown;
    }

    static QString RowName(QListWidget& list, int row) {
        QAccessibleInterface* view = QAccessible::queryAccessibleInterface(&list);
        QAccessibleTableInterface* table = view ? view->tableInterface() : nullptr;
        QAccessibleInterface* cell = table ? table->cellAt(row, 0) : nullptr;
        return cell ? cell->text(QAccessible::Name) : QString();
    }

    // Every widget inside its parent (what a scroll area shows may be taller than the
    // area, never wider), and no two shown controls of one parent on top of each other.
    void places(QWidget& top) {
        for (QWidget* w : top.findChildren<QWidget*>()) {
            if (w->window() != &top || w->isWindow() || !Shown(w)) continue;
            QWidget* parent = w->parentWidget();
            QRect within = parent->rect();
            if (auto* area = qobject_cast<QAbstractScrollArea*>(parent->parentWidget());
                area && area->viewport() == parent) {
                within.setTop(std::min(within.top(), w->geometry().top()));
                within.setBottom(std::max(within.bottom(), w->geometry().bottom()));
            }
            if (!within.contains(w->geometry()))
                add(*w, {},
                    "lies outside " + NameOf(parent) + " (" + Size(w->geometry()) + " in " + Size(within) + ")");
        }
        for (QWidget* parent : top.findChildren<QWidget*>()) {
            if (parent->window() != &top) continue;
            std::vector<QWidget*> children;
            for (QObject* o : parent->children())
                if (auto* w = qobject_cast<QWidget*>(o);
                    w && !w->isWindow() && Shown(w) && dynamic_cast<kit::Control*>(w))
                    children.push_back(w);
            for (std::size_t i = 0; i < children.size(); ++i)
                for (std::size_t j = i + 1; j < children.size(); ++j)
                    if (children[i]->geometry().intersects(children[j]->geometry()))
                        add(*children[i], {}, "overlaps " + NameOf(children[j]));
        }
    }

private:
    static std::string Size(const QRect& r) {
        return std::to_string(r.width()) + "x" + std::to_string(r.height()) +
               (r.topLeft().isNull() ? std::string() : " at " + std::to_string(r.x()) + "," + std::to_string(r.y()));
    }
    void add(const QWidget& w, const QString& text, std::string why) {
        std::string what = text.isEmpty() ? std::string() : "\"" + text.toStdString() + "\" ";
        misfits.push_back({window_ + ": " + NameOf(&w), what + why});
    }

    std::string window_;
    int measured_ = 0;
};

// WCAG's contrast ratio of two colours, 1 (the same) to 21 (black on white).
inline double ContrastRatio(QRgb a, QRgb b) {
    auto luminance = [](QRgb c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The text of a control as it draws it (empty: none, or one drawn another way).
inline QString DrawnText(QWidget& w) {
    if (auto* b = qobject_cast<QAbstractButton*>(&w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(&w)) return l->textFormat() == Qt::PlainText ? l->text() : QString();
    if (auto* e = qobject_cast<QLineEdit*>(&w)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(&w)) return c->currentText();
    return {};
}

}  // namespace textfit

// Runs the event loop until the window's layout holds still. A text that changed
// travels up one nested layout per round of posted layout requests, and the scrolled
// column is resized after its content, so a fixed number of rounds can measure a
// layout halfway through.
inline void LayOut(QWidget& window) {
    auto geometries = [&window] {
        std::vector<QRect> all;
        for (QWidget* w : window.findChildren<QWidget*>()) all.push_back(w->geometry());
        return all;
    };
    std::vector<QRect> before = geometries();
    for (int round = 0, still = 0; round < 200 && still < 3; ++round) {
        QCoreApplication::processEvents();
        std::vector<QRect> now = geometries();
        still = now == before ? still + 1 : 0;
        before = std::move(now);
    }
}

// The texts of a shown window that do not fit where they are drawn.
inline std::vector<Misfit> TextMisfits(QWidget& window, const std::string& name) {
    LayOut(window);
    textfit::Walk walk(name);
    walk.texts(window);
    return std::move(walk.misfits);
}

// The controls of a shown window that leave their parent or cover another.
inline std::vector<Misfit> PlaceMisfits(QWidget& window, const std::string& name) {
    LayOut(window);
    textfit::Walk walk(name);
    walk.places(window);
    return std::move(walk.misfits);
}

// The texts of a shown window that hardly stand out from what they are drawn on: in the
// picture of the window, no pixel of the control's visible part reaches a contrast of 3
// (WCAG's least for large text) against its most common colour, the surface. A control
// that cannot act is left out: it is meant to recede.
inline std::vector<Misfit> ContrastMisfits(QWidget& window, const std::string& name) {
    LayOut(window);
    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::vector<Misfit> misfits;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->window() != &window || !textfit::Shown(w) || !w->isEnabled()) continue;
        const QString text = textfit::DrawnText(*w);
        // Scrolled out of sight, or covered by its parent's frame: nothing of it to see.
        const QRect seen = w->visibleRegion().boundingRect();
        if (text.trimmed().isEmpty() || seen.width() < 4 || seen.height() < 4) continue;
        const QRect area = QRect(w->mapTo(&window, seen.topLeft()), seen.size()).intersected(picture.rect());
        QHash<QRgb, int> counts;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) ++counts[picture.pixel(x, y)];
        QRgb surface = 0;
        int most = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > most) std::tie(surface, most) = std::pair(it.key(), it.value());
        double best = 1;
        QRgb strongest = surface;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (const double ratio = textfit::ContrastRatio(it.key(), surface); ratio > best)
                std::tie(best, strongest) = std::pair(ratio, it.key());
        if (best < 3)
            misfits.push_back({name + ": " + textfit::NameOf(w),
                               "\"" + text.toStdString() + "\" is at most " + QColor(strongest).name().toStdString() +
                                   " on " + QColor(surface).name().toStdString() + " (contrast " +
                                   std::to_string(best).substr(0, 4) + ")"});
    }
    return misfits;
}

}  // namespace halvern::test
