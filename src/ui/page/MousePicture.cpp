#include "ui/page/MousePicture.h"

#include <QLoggingCategory>

#include <algorithm>

#include "storage/SettingsFile.h"
#include "ui/kit/Button.h"
#include "ui/kit/Skin.h"

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace halvern {

void MousePicture::bind(SectionBinder& controls) {
    controls.findNumbered(options_, "ms_1_option_mouse_pic_%d");
    picture_ = controls.find<kit::Control>(u"ms_1_container_mouse_pic"_qs);
}

void MousePicture::refresh(const MouseProfile&) {
    for (std::size_t i = 0; i < options_.size(); ++i)
        if (kit::Option* option = options_[i]; option && option->skin())
            option->setSpokenName(option->skin()->text(u"mouse_pic_name_text"_qs).arg(i + 1));
}

void MousePicture::showStored() {
    const SettingsFile::StartupModelId startup = SettingsFile(dataFolder_).modelIdForStartup();
    toWrite_ = startup.writeBack;
    show(startup.id);
}

void MousePicture::keepFirstChoice() {
    if (!std::exchange(toWrite_, false)) return;
    if (auto error = SettingsFile(dataFolder_).saveModelId(modelId_))
        qCWarning(lcPage).noquote() << "picture number not kept:" << QString::fromStdString(*error);
}

PageEdit MousePicture::handle(const kit::Notification& n, MouseProfile&) {
    if (n.type != kit::notify::kSelectChanged || n.wParam == 0) return {};
    for (std::size_t i = 0; i < options_.size(); ++i) {
        if (!options_[i] || n.sender != options_[i]) continue;
        const int modelId = static_cast<int>(i);
        if (auto error = SettingsFile(dataFolder_).saveModelId(modelId))
            qCWarning(lcPage).noquote() << "settings file not saved:" << QString::fromStdString(*error);
        show(modelId);
    }
    return {};
}

void MousePicture::show(int modelId) {
    modelId_ = std::clamp(modelId, 0, 2);
    const int number = modelId_ + 1;
    if (kit::Option* option = options_[static_cast<std::size_t>(modelId_)]) option->setSelected(true, kit::Notify::No);
    if (picture_) {
        kit::ImageSpec image = picture_->bkImage();
        image.file = u"skins/ms_1/mouse_%1.png"_qs.arg(number);
        picture_->setBkImage(image);
    }
}

}  // namespace halvern
