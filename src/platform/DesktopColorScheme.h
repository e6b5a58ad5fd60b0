// The desktop's light or dark preference, for a program that follows it until the user
// picks a look of its own. Asked of the XDG desktop portal
// (org.freedesktop.appearance color-scheme) on the session bus; with Qt 6.5 or later,
// Qt's own reading (QStyleHints::colorScheme) is taken where the portal says nothing.
// Main thread only.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

class QDBusVariant;

namespace halvern {

enum class ColorScheme { Unknown, Dark, Light };

// The portal's value: 1 prefers dark, 2 prefers light, anything else says nothing.
ColorScheme ColorSchemeFromPortal(std::uint32_t value);

class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    DesktopColorScheme();

    // Asks once and waits at most `timeoutMs` for the answer: the look is needed before
    // the first window is drawn. Unknown without a session bus, portal or answer.
    ColorScheme current(int timeoutMs = 250);

    // From now on `changed` runs on each change the desktop announces.
    void watch(std::function<void(ColorScheme)> changed);
    // No more changes are passed on (before what `changed` reaches goes away).
    void stopWatching() { changed_ = nullptr; }

private slots:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    std::function<void(ColorScheme)> changed_;
};

}  // namespace halvern
