// The one warning and confirmation window: a title and a message, both language keys
// (the message's %1 and %2 filled from arguments where it has them), and the buttons
// OK (result 1) and Cancel (result 0). Closing it any other way
// (Escape, the window manager) gives 0, so only an explicit OK ever confirms.
#pragma once

#include "ui/kit/SkinWindow.h"

namespace halvern::kit {
class Button;
class Label;
}  // namespace halvern::kit

namespace halvern {

class CMsgWnd : public kit::SkinWindow {
public:
    CMsgWnd(kit::Skin& skin, QWidget* owner);

    QString windowClassName() const override { return u"MsgWnd"_qs; }
    QString skinFile() const override { return u"msg.xml"_qs; }

    // Text keys; set before create().
    void setTitle(const QString& titleKey) { m_sTitle = titleKey; }
    void setMessage(const QString& messageKey, QStringList args = {}) {
        m_sMessage = messageKey;
        m_args = std::move(args);
    }

    // Creates the window over `owner`, centres it, waits for the answer and returns it.
    static int Ask(kit::Skin& skin, QWidget* owner, const QString& titleKey, const QString& messageKey,
                   const QStringList& args = {});

protected:
    void onInit() override;
    void notify(const kit::Notification& n) override;

private:
    QString m_sTitle;
    QString m_sMessage;
    QStringList m_args;
    kit::Button* m_pOkButton = nullptr;
    kit::Button* m_pCancelButton = nullptr;
    kit::Label* m_pTitleLabel = nullptr;
    kit::Label* m_pMessageLabel = nullptr;
};

}  // namespace halvern
