// The skin folder: layouts, the language file, images and the theme, read on demand
// and kept once read. Every window of the program reads its files through one Skin,
// handed down from the application shell.
#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QLocale>
#include <QPixmap>
#include <QString>

#include <memory>
#include <optional>

#include "ui/kit/LanguageFile.h"
#include "ui/kit/LayoutParser.h"

namespace halvern::kit {

class Skin {
public:
    explicit Skin(QString folder);

    const QString& folder() const { return folder_; }
    QString path(const QString& relative) const;

    // Loads the language file (relative to the folder). On an error the texts held
    // before stay and the error is returned.
    std::optional<QString> loadLanguage(const QString& file);
    // English from lan.xml, then the language `code` over it (see Languages.h). English
    // stands in for a file that is missing, malformed or too large, and for each key a
    // translation lacks; the returned line says which, for the log. The texts change
    // only when lan.xml itself can be read.
    std::optional<QString> setLanguage(const QString& code);
    // The language shown: its code once setLanguage() succeeded, else "en".
    const QString& languageCode() const { return languageCode_; }
    // How the language shown writes numbers ("0,5" in German), without thousands
    // separators: DPI values read as the number boxes take them.
    QLocale locale() const;
    // The code setLanguage() was last given while lan.xml could be read (the texts were
    // set from it, in that language or in English); empty before.
    const QString& requestedLanguage() const { return requestedLanguage_; }

    const LanguageFile& language() const { return language_; }
    QString text(const QString& key) const { return language_.text(key); }

    // The parsed layout or menu file; parsed once, errors are returned every time. The
    // result lives as long as the skin.
    const LayoutResult& layout(const QString& file) const;
    // Drops the parsed file: for a window built once, whose tree would otherwise stay
    // for the whole run. References to it die with it; a later layout() parses again.
    void forgetLayout(const QString& file) { layouts_.remove(file); }

    // The image, loaded once; nullptr when the file is missing or unreadable.
    const QPixmap* image(const QString& file) const;

    // The look: "dark" (theme.qss) or "light" (theme_light.qss). Only the current one is
    // read. In the light look an image "skins/X" is taken from "skins/light/X" when
    // that file is there, for drawings that would not stand out on a light surface.
    enum class Theme { Dark, Light };
    void setTheme(Theme theme);
    Theme theme() const { return theme_; }
    static QString ThemeName(Theme theme) { return theme == Theme::Light ? u"light"_qs : u"dark"_qs; }
    static std::optional<Theme> ThemeNamed(const QString& name);

    // The current theme's style sheet with its "url(skins/...)" references made absolute,
    // as windows take it: without what baseLook() takes from it.
    QString styleSheet() const;

    // The sheet's rules for every widget ("QWidget { ... }" and "QWidget:disabled { ... }"
    // at the start of a line): the face, pixel size and text colour, and the text colour
    // of a control that cannot act. Left in the sheet, Qt's style sheet engine would
    // give each of some three hundred widgets a font and a palette of its own for them;
    // as the application's font and palette (ApplyBaseLook) they are inherited instead.
    struct BaseLook {
        std::optional<QFont> font;
        std::optional<QColor> text;
        std::optional<QColor> disabledText;
    };
    const BaseLook& baseLook() const { return themeParts().look; }
    static BaseLook BaseLookOf(const QString& sheet);
    // `sheet` without the declarations BaseLookOf reads; the rule goes when nothing else
    // is left in it.
    static QString WithoutBaseLook(const QString& sheet);

private:
    // The theme file, references made absolute, split into the sheet windows take and
    // the base look; read and split once for each look.
    struct ThemeParts {
        QString sheet;
        BaseLook look;
    };
    const ThemeParts& themeParts() const;

    QString folder_;
    LanguageFile language_;
    QString languageCode_ = u"en"_qs;
    QString requestedLanguage_;
    Theme theme_ = Theme::Dark;
    mutable QHash<QString, std::shared_ptr<const LayoutResult>> layouts_;
    mutable QHash<QString, std::optional<QPixmap>> images_;
    mutable std::optional<ThemeParts> parts_;
};

// The skin's base face and size, else the application's, with shaping left out: Latin
// labels look the same without OpenType shaping, and shaping every text of the page
// through the face's large tables costs more than building it.
QFont BaseFont(const Skin& skin);

// Makes BaseFont the application's font and the base look's text colour its colour in
// every state. Before the first window, when the look changes, and when the desktop's
// theme changes (a platform theme may then give some classes a font or palette of
// their own again); nothing happens when all of that already holds.
void ApplyBaseLook(const Skin& skin);

}  // namespace halvern::kit
