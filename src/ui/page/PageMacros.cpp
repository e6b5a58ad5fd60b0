// The button that opens the macro editor over the page.
#include "device/HookLibrary.h"
#include "ui/kit/SkinWindow.h"
#include "ui/macro/CMS_1_Macro.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {

void CMS_1_Page::openMacroEditor() {
    if (!window_) return;
    CMS_1_Macro::Parts parts{macros_};
    if (parts_.hooks && parts_.hooks->loaded()) parts.hooks = parts_.hooks->table();
    parts.keyboard = parts_.keyboard;
    parts.dataFolder = parts_.dataFolder;
    CMS_1_Macro::Run(window_->skin(), window_, std::move(parts));
}

}  // namespace halvern
