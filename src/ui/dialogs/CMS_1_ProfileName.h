// Asks for a profile name, for a new profile or for renaming the current one. OK (or
// Enter in the box) accepts a name that is not empty and that no profile bears yet,
// compared without regard to letter case; otherwise a message box says why and the
// dialog stays open with the text as typed. Cancel, the close button, Escape and the
// window manager end it with 0. The box holds at most the 99 characters a profile's
// name field keeps.
#pragma once

#include <functional>
#include <optional>

#include "ui/kit/SkinWindow.h"

namespace halvern::kit {
class Button;
class Edit;
class Label;
}  // namespace halvern::kit

namespace halvern {

class CMS_1_ProfileName : public kit::SkinWindow {
public:
    // Whether a profile already bears the name, in the profile list's own comparison.
    using NameTaken = std::function<bool(const QString& name)>;

    CMS_1_ProfileName(kit::Skin& skin, QWidget* owner, QString titleKey, NameTaken nameTaken);

    QString windowClassName() const override { return u"MS_1_ProfileName"_qs; }
    QString skinFile() const override { return u"MS/MS_1/profilename.xml"_qs; }

    // The accepted name; empty until OK accepted one.
    const QString& name() const { return name_; }

    // Opens the dialog modally over `owner`, centred; the accepted name, or nullopt
    // when the user cancelled.
    static std::optional<QString> Ask(kit::Skin& skin, QWidget* owner, const QString& titleKey, NameTaken nameTaken);

protected:
    void onInit() override;
    void notify(const kit::Notification& n) override;

private:
    void accept();
    void warn(const QString& messageKey);

    QString titleKey_;
    NameTaken nameTaken_;
    QString name_;
    kit::Button* okBtn_ = nullptr;
    kit::Button* cancelBtn_ = nullptr;
    kit::Button* exitBtn_ = nullptr;
    kit::Label* title_ = nullptr;
    kit::Edit* edit_ = nullptr;
};

}  // namespace halvern
