// Image attributes: either a bare file ("skins/logo.png") or the form
// "res='skins/x.png' dest='l,t,r,b'", where dest is the box (left, top, right, bottom,
// in the control's own pixels) the image is drawn into; without dest the image fills
// the control. Files are relative to the skin folder and may not leave it.
#pragma once

#include <QMargins>
#include <QString>

#include <optional>

class QPainter;
class QRect;

namespace halvern::kit {

class Skin;

struct ImageSpec {
    QString file;
    std::optional<QMargins> dest;  // left, top, right, bottom as a box, not as insets

    bool operator==(const ImageSpec&) const = default;
};

// nullopt for a malformed text or a file that would leave the skin folder; an empty
// text gives an empty spec (no image).
std::optional<ImageSpec> ParseImageSpec(const QString& text);

// Draws the image into `bounds` (the control's rectangle) as its spec asks; a missing
// or unreadable file draws nothing.
void PaintImage(QPainter& painter, const QRect& bounds, const ImageSpec& spec, const Skin& skin);

}  // namespace halvern::kit
