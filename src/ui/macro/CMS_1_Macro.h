// The macro editor: a modal window over the settings page in which the user keeps the
// macro list, edits one macro's actions step by step, records them from the keyboard
// and mouse, and exchanges single macros as .macro files. Every change is written to
// the macro store at once (a recording when it stops); a change that would make the
// macro longer than a stored macro may be, or than one mouse button's blocks hold, is
// undone by reloading the stored macro.
//
// Input for recording and for the key box comes from the hook library as UM_HOOK_EVENT
// posted to this window. Where the library cannot watch the desktop (a Wayland session,
// no X display, no library), the window takes the keys and clicks it receives itself
// while it has the focus, and says so. The key box takes one key after a click, Enter
// or Space on it (KeyCaptureBox). Escape outside a capture or a recording closes the
// editor, as the close button does, dropping what was typed and not yet committed.
// Main thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "device/HookLibrary.h"
#include "storage/ProfileStore.h"
#include "ui/kit/SkinWindow.h"
#include "ui/macro/MacroRecorder.h"
#include "ui/macro/MacroWorkingCopy.h"

namespace halvern {

class KeyCaptureBox;
class KeyboardLayout;
class MacroStore;

namespace kit {
class Button;
class CheckBox;
class Combo;
class Control;
class Edit;
class Label;
class List;
class ListRow;
class Option;
class TabLayout;
}  // namespace kit

class CMS_1_Macro : public kit::SkinWindow {
public:
    static constexpr const char* kClassName = "MS_1_Macro";
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 800;
    static constexpr int kRowHeight = 30;
    // Control timers of the action list: scroll to the inserted rows, or to where an
    // inserted recording started after a reload.
    static constexpr int kScrollToInsertTimer = 6;
    static constexpr int kScrollToStartTimer = 28;

    struct Parts {
        MacroStore& store;  // the page's macro list, shared
        HookTable hooks{};  // any entry may be missing
        // The desktop's keyboard layout, for key names and recorded keys.
        std::function<const KeyboardLayout&()> keyboard{};
        // Where the file dialogs start.
        std::filesystem::path dataFolder{};
        // Milliseconds of a steady clock; empty: the system's.
        std::function<std::uint32_t()> nowMs{};
        // Asks with the message box (title and message keys); 1 confirms. Empty: CMsgWnd.
        std::function<int(const QString& titleKey, const QString& messageKey)> ask{};
    };

    CMS_1_Macro(kit::Skin& skin, QWidget* owner, Parts parts);
    ~CMS_1_Macro() override;

    // Builds the editor over `owner`, centres it and waits until it is closed; returns
    // the renames made meanwhile, so copies of the macros elsewhere can follow them.
    static std::vector<MacroRename> Run(kit::Skin& skin, QWidget* owner, Parts parts);

    QString windowClassName() const override { return QString::fromLatin1(kClassName); }
    QString skinFile() const override { return u"MS/MS_1/ms_1_macropage.xml"_qs; }

    // What tests read.
    const MacroWorkingCopy& workingCopy() const { return copy_; }
    int currentMacroIndex() const { return currentMacroIndex_; }
    bool recording() const { return recorder_.recording(); }
    // Whether recording and the key box see the whole desktop's input, or only this
    // window's.
    bool globalInput() const { return globalInput_; }
    // Every rename so far, oldest first.
    const std::vector<MacroRename>& renames() const { return renames_; }

protected:
    void onInit() override;
    void notify(const kit::Notification& n) override;
    bool handleMessage(const kit::Message& m) override;
    void onFinalMessage() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class HookTarget { None, Recording, KeyCapture };

    void bindControls();
    void onClick(kit::Control* sender);
    void onCheckClick(kit::Control* sender, bool checked);
    void onKillFocus(kit::Control* sender);
    void onItemSelect(const kit::Notification& n);
    void onControlTimer(int id);

    // The macro list.
    void loadMacro(int index);
    void addMacro();
    void deleteMacro();
    void renameMacro();
    void showNoMacro();
    // The controls that need a current macro follow whether there is one.
    void followCurrentMacro();

    // The working copy and the action list.
    void commit();
    void rebuildActionList();
    void fillRow(kit::ListRow* row, int index, bool afterMove, bool destination);
    // "Macro step 2: A, press, 30 ms" for screen readers, from what row `index` shows.
    void nameRow(int index);
    void refreshRowsAfterMove(int from, int to);
    void moveAction(bool up);
    void deleteAction();
    void clearActions();
    void insertClick(int button);
    // The note under the actions: that the last change was undone (or none), or that
    // the stored macro shown is longer than one button's blocks.
    void setLimitNote(bool shown);
    void showStoredTooLong();

    // The edit panel.
    void showPanel();
    void hidePanel();
    void commitDelayEdit(kit::Edit* edit);
    void onMouseComboItem(int item);
    bool startKeyCapture();
    void endKeyCapture();
    void onKeyCaptured(std::uintptr_t virtualKey);

    // Recording.
    void onRecordCheck();
    void startRecording();
    void stopRecording();
    void onRecordedEvent(std::uintptr_t wParam, std::intptr_t lParam);
    // Whether the pointer is on the record button now (the server's position, not the
    // last one this window saw).
    bool pointerOnRecordButton() const;

    // Macro files.
    void importMacro();
    void exportMacro();

    // The hook library, and this window's own input where the library cannot watch.
    int installHook();
    void removeHook();
    void enableHook(bool on);
    void enableMouseHook(bool on);
    void useOwnInput(bool on);

    std::uint16_t defaultDelayNumber() const;
    const KeyboardLayout& keyboard() const;
    std::uint32_t now() const;
    int ask(const QString& titleKey, const QString& messageKey, const QStringList& args = {});
    QString keyName(std::uint8_t usage) const;
    MacroRecord* currentMacro() const;

    Parts parts_;
    MacroWorkingCopy copy_;
    MacroRecorder recorder_;
    int currentMacroIndex_ = -1;
    std::vector<MacroRename> renames_;
    DelayMode delayMode_ = DelayMode::Default;
    bool editPanelOn_ = false;
    bool reloading_ = false;
    HookTarget hookTarget_ = HookTarget::None;
    bool globalInput_ = true;
    bool ownInput_ = false;   // the window takes its own input as hook events
    bool ownKeysOn_ = false;  // what enablehook and enablemousehook asked for
    bool ownMouseOn_ = false;

    kit::Button* exitBtn_ = nullptr;
    kit::List* macroList_ = nullptr;
    kit::Edit* nameEdit_ = nullptr;
    kit::Button* addBtn_ = nullptr;
    kit::Button* deleteBtn_ = nullptr;
    kit::CheckBox* insertMouseCheck_ = nullptr;
    kit::CheckBox* recordCheck_ = nullptr;
    kit::List* actionList_ = nullptr;
    std::array<kit::Option*, 3> delayOptions_{};
    kit::Edit* defaultDelayEdit_ = nullptr;
    kit::Button* upBtn_ = nullptr;
    kit::Button* downBtn_ = nullptr;
    kit::Button* deleteActionBtn_ = nullptr;
    kit::Button* clearBtn_ = nullptr;
    kit::CheckBox* editCheck_ = nullptr;
    kit::TabLayout* editTab_ = nullptr;
    kit::Edit* actionEdit_ = nullptr;
    kit::Edit* delayEdit_ = nullptr;
    kit::Combo* mouseCombo_ = nullptr;
    kit::Edit* mouseDelayEdit_ = nullptr;
    std::array<kit::Button*, 5> insertBtns_{};
    kit::Button* importBtn_ = nullptr;
    kit::Button* exportBtn_ = nullptr;
    kit::Button* saveBtn_ = nullptr;
    kit::Button* cancelBtn_ = nullptr;
    kit::Control* nameTab_ = nullptr;
    kit::Control* mouseEventTab_ = nullptr;
    kit::Label* inputNote_ = nullptr;
    kit::Label* limitNote_ = nullptr;
    std::unique_ptr<KeyCaptureBox> keyCapture_;
};

}  // namespace halvern
