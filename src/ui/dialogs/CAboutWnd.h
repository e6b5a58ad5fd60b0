// "About": a fixed title and the lines the caller composes (they depend on the running
// system), with OK. Escape closes it too.
#pragma once

#include "ui/kit/SkinWindow.h"

namespace halvern {

class CAboutWnd : public kit::SkinWindow {
public:
    CAboutWnd(kit::Skin& skin, QWidget* owner, QString text);

    QString windowClassName() const override { return u"AboutWnd"_qs; }
    QString skinFile() const override { return u"about.xml"_qs; }

    // Creates the window over `owner`, centres it and waits until it is closed.
    static void Show(kit::Skin& skin, QWidget* owner, const QString& text);

protected:
    void onInit() override;
    void notify(const kit::Notification& n) override;

private:
    QString text_;
};

}  // namespace halvern
