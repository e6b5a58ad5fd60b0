#include "ui/macro/CMS_1_Macro.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>

#include "keys/KeyCodeTable.h"
#include "keys/UsKeyboardLayout.h"
#include "platform/ThreadHandOver.h"
#include "records/Text.h"
#include "storage/MacroStore.h"
#include "storage/ProfileRules.h"
#include "storage/RecordFiles.h"
#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Edit.h"
#include "ui/kit/FileDialog.h"
#include "ui/kit/Label.h"
#include "ui/kit/List.h"
#include "ui/kit/Skin.h"
#include "ui/kit/TabLayout.h"
#include "ui/macro/KeyCaptureBox.h"
#include "ui/macro/OwnWindowInput.h"

Q_LOGGING_CATEGORY(lcMacro, "halvern.macro")

namespace halvern {

namespace {

constexpr std::chrono::milliseconds kScrollDelay{50};
constexpr int kPanelEmpty = 0, kPanelKey = 1, kPanelMouse = 2;
constexpr const char* kMouseImage = "res='skins/mouse.png' dest='2,2,28,28'";
constexpr const char* kMouseImageAfterMove = "res='skins/mouse.png' dest='10,4,32,36'";
constexpr const char* kKeyImage = "res='skins/keyboard_key_action.png' dest='5,6,35,24'";
constexpr const char* kPressImage = "res='skins/macro_key_down.png' dest='5,6,21,24'";
constexpr const char* kReleaseImage = "res='skins/macro_key_up.png' dest='5,6,21,24'";
// Room for the images before the texts of a row.
constexpr int kKeyTextIndent = 42;
constexpr int kActionTextIndent = 28;

long long NumberIn(const kit::Edit* edit) { return edit ? edit->QLineEdit::text().toLongLong() : 0; }

QString MacroFileFilter() { return u"Macro File (*.macro *.MACRO)"_qs; }

}  // namespace

CMS_1_Macro::CMS_1_Macro(kit::Skin& skin, QWidget* owner, Parts parts)
    : kit::SkinWindow(skin, owner), parts_(std::move(parts)) {
    setCloseOnEscape(true);
}

CMS_1_Macro::~CMS_1_Macro() {
    keyCapture_.reset();
    useOwnInput(false);
    if (parts_.hooks.removehook) parts_.hooks.removehook();
}

std::vector<MacroRename> CMS_1_Macro::Run(kit::Skin& skin, QWidget* owner, Parts parts) {
    CMS_1_Macro editor(skin, owner, std::move(parts));
    editor.setTitleKey(u"macro_editor_title_text"_qs);
    editor.create(kit::WindowKind::Dialog);
    editor.resize(kWidth, kHeight);
    editor.centerWindow();
    editor.showModal();
    return editor.renames();
}

// ---- Opening ----

void CMS_1_Macro::onInit() {
    bindControls();
    if (nameEdit_) nameEdit_->setMaxLength(static_cast<int>(kMacroNameUnits - 1));
    if (macroList_) {
        macroList_->removeAll();
        for (const auto& macro : parts_.store.macros())
            macroList_->addLabelRow(QString::fromStdU16String(macro->nameText()), kRowHeight);
    }
    if (delayOptions_[1]) delayOptions_[1]->setSelected(true, kit::Notify::No);
    KeyCaptureBox::Owner owner;
    owner.start = [this] { return startKeyCapture(); };
    owner.stop = [this] { endKeyCapture(); };
    owner.taken = [this](std::uintptr_t virtualKey) { onKeyCaptured(virtualKey); };
    owner.keyboard = [this]() -> const KeyboardLayout& { return keyboard(); };
    keyCapture_ =
        std::make_unique<KeyCaptureBox>(actionEdit_, skin().text(u"key_capture_running_text"_qs), std::move(owner));
    hidePanel();
    followCurrentMacro();
}

void CMS_1_Macro::bindControls() {
    exitBtn_ = find<kit::Button>(u"btn_exit"_qs);
    macroList_ = find<kit::List>(u"ms_1_macro_list"_qs);
    nameEdit_ = find<kit::Edit>(u"ms_1_macro_name_edit"_qs);
    addBtn_ = find<kit::Button>(u"ms_1_macro_add_btn"_qs);
    deleteBtn_ = find<kit::Button>(u"ms_1_macro_delete_btn"_qs);
    insertMouseCheck_ = find<kit::CheckBox>(u"ms_1_macro_insert_mouse_btn"_qs);
    recordCheck_ = find<kit::CheckBox>(u"ms_1_macro_record_btn"_qs);
    actionList_ = find<kit::List>(u"ms_1_macro_action_list"_qs);
    delayOptions_ = {find<kit::Option>(u"ms_1_record_delay_btn"_qs), find<kit::Option>(u"ms_1_default_delay_btn"_qs),
                     find<kit::Option>(u"ms_1_no_delay_btn"_qs)};
    defaultDelayEdit_ = find<kit::Edit>(u"ms_1_default_delay_edit"_qs);
    upBtn_ = find<kit::Button>(u"ms_1_macro_up_btn"_qs);
    downBtn_ = find<kit::Button>(u"ms_1_macro_down_btn"_qs);
    deleteActionBtn_ = find<kit::Button>(u"ms_1_macro_delete_action_btn"_qs);
    clearBtn_ = find<kit::Button>(u"ms_1_macro_clear_action_btn"_qs);
    editCheck_ = find<kit::CheckBox>(u"ms_1_macro_action_edit_check"_qs);
    editTab_ = find<kit::TabLayout>(u"ms_1_macro_action_edit_tab"_qs);
    actionEdit_ = find<kit::Edit>(u"ms_1_macro_action_edit"_qs);
    delayEdit_ = find<kit::Edit>(u"ms_1_macro_delay_edit"_qs);
    mouseCombo_ = find<kit::Combo>(u"ms_1_macro_mouse_action_combo"_qs);
    mouseDelayEdit_ = find<kit::Edit>(u"ms_1_macro_mouseaction_delay_edit"_qs);
    for (std::size_t i = 0; i < insertBtns_.size(); ++i)
        insertBtns_[i] = find<kit::Button>(u"ms_1_macro_key%1_btn"_qs.arg(i + 1));
    importBtn_ = find<kit::Button>(u"ms_1_macro_import_btn"_qs);
    exportBtn_ = find<kit::Button>(u"ms_1_macro_export_btn"_qs);
    saveBtn_ = find<kit::Button>(u"ms_1_macro_save_btn"_qs);
    cancelBtn_ = find<kit::Button>(u"ms_1_macro_cancel_btn"_qs);
    nameTab_ = findControl(u"ms_1_macro_name_tab"_qs);
    mouseEventTab_ = findControl(u"ms_1_macro_mouse_event_tab"_qs);
    inputNote_ = find<kit::Label>(u"ms_1_macro_input_note"_qs);
    limitNote_ = find<kit::Label>(u"ms_1_macro_limit_note"_qs);
}

// ---- Dispatch ----

void CMS_1_Macro::notify(const kit::Notification& n) {
    using namespace kit::notify;
    if (!n.sender) return;
    // Another control acting ends a capture of the key box: it takes the next key only.
    const bool acts = n.type == kClick || n.type == kCheckClick || n.type == kItemSelect;
    if (acts && keyCapture_ && n.sender != actionEdit_) keyCapture_->cancel();
    if (n.type == kClick) onClick(n.sender);
    else if (n.type == kCheckClick) onCheckClick(n.sender, n.wParam != 0);
    else if (n.type == kKillFocus) onKillFocus(n.sender);
    // Enter commits a typed box as leaving it does; the key box takes keys, not text.
    else if (n.type == kReturn && n.sender != actionEdit_) onKillFocus(n.sender);
    else if (n.type == kItemSelect) onItemSelect(n);
    else if (n.type == kTimer && n.sender == actionList_) onControlTimer(static_cast<int>(n.wParam));
    else if ((n.type == kMouseEnter || n.type == kMouseLeave) && n.sender == recordCheck_ && recorder_.recording())
        enableMouseHook(n.type == kMouseLeave);  // the click that stops recording is not recorded
}

void CMS_1_Macro::onClick(kit::Control* sender) {
    if (sender == exitBtn_) closeWindow(1);
    else if (sender == addBtn_) addMacro();
    else if (sender == deleteBtn_) deleteMacro();
    else if (sender == upBtn_) moveAction(true);
    else if (sender == downBtn_) moveAction(false);
    else if (sender == deleteActionBtn_) deleteAction();
    else if (sender == clearBtn_) clearActions();
    else if (sender == importBtn_) importMacro();
    else if (sender == exportBtn_) exportMacro();
    else if (sender == saveBtn_) {
        commit();
        editPanelOn_ = false;
        if (editCheck_) editCheck_->setChecked(false, kit::Notify::No);
        hidePanel();
    } else if (sender == cancelBtn_) {
        reloading_ = true;
        editPanelOn_ = false;
        if (editCheck_) editCheck_->setChecked(false, kit::Notify::No);
        hidePanel();
        if (currentMacroIndex_ >= 0) loadMacro(currentMacroIndex_);
        reloading_ = false;
    } else {
        for (std::size_t i = 0; i < delayOptions_.size(); ++i)
            if (delayOptions_[i] && sender == delayOptions_[i]) delayMode_ = static_cast<DelayMode>(i);
        for (std::size_t i = 0; i < insertBtns_.size(); ++i)
            if (insertBtns_[i] && sender == insertBtns_[i]) insertClick(static_cast<int>(i));
    }
}

void CMS_1_Macro::onCheckClick(kit::Control* sender, bool checked) {
    if (sender == recordCheck_) {
        onRecordCheck();
    } else if (sender == editCheck_) {
        if (checked && copy_.iActionIndex < 0) {
            editCheck_->setChecked(false, kit::Notify::No);
            editPanelOn_ = false;
            hidePanel();
            return;
        }
        editPanelOn_ = checked;
        if (checked) showPanel();
        else hidePanel();
    } else if (sender == insertMouseCheck_) {
        kit::SetVisible(mouseEventTab_, checked);
        kit::SetVisible(nameTab_, !checked);
    }
}

void CMS_1_Macro::onKillFocus(kit::Control* sender) {
    if (sender == nameEdit_) {
        renameMacro();
    } else if (sender == delayEdit_ || sender == mouseDelayEdit_) {
        commitDelayEdit(sender == delayEdit_ ? delayEdit_ : mouseDelayEdit_);
    } else if (sender == defaultDelayEdit_) {
        if (NumberIn(defaultDelayEdit_) < kStandardDelay) defaultDelayEdit_->setText(u"10"_qs, kit::Notify::No);
    }
}

void CMS_1_Macro::onItemSelect(const kit::Notification& n) {
    const int index = static_cast<int>(n.wParam);
    if (n.sender == macroList_) {
        currentMacroIndex_ = index;
        loadMacro(index);
        qCDebug(lcMacro, "iActionIndex=%d, iNextActionIndex=%d", copy_.iActionIndex, copy_.insertIndex);
    } else if (n.sender == actionList_) {
        copy_.iActionIndex = index;
        if (editPanelOn_) showPanel();
    } else if (n.sender == mouseCombo_) {
        onMouseComboItem(index);
    }
}

void CMS_1_Macro::onControlTimer(int id) {
    if (id == kScrollToInsertTimer) {
        stopControlTimer(actionList_, id);
        if (copy_.insertIndex >= 1) actionList_->ensureRowVisible(copy_.insertIndex - 1);
    } else if (id == kScrollToStartTimer) {
        stopControlTimer(actionList_, id);
        if (copy_.insertStart >= 0) actionList_->ensureRowVisible(copy_.insertStart);
    }
}

bool CMS_1_Macro::handleMessage(const kit::Message& m) {
    if (m.id != UM_HOOK_EVENT) return false;
    if (hookTarget_ == HookTarget::Recording) onRecordedEvent(m.wParam, m.lParam);
    else if (hookTarget_ == HookTarget::KeyCapture && keyCapture_) keyCapture_->onHookEvent(m.wParam, m.lParam);
    return false;
}

void CMS_1_Macro::onFinalMessage() {
    if (keyCapture_) keyCapture_->cancel();
    // Closing while recording keeps nothing of the recording: it was never committed.
    useOwnInput(false);
    if (parts_.hooks.removehook) parts_.hooks.removehook();
    // Closed, the editor calls the library no more: a quit may free it before the
    // editor itself goes.
    parts_.hooks = {};
    hookTarget_ = HookTarget::None;
}

// ---- The macro list ----

MacroRecord* CMS_1_Macro::currentMacro() const {
    if (currentMacroIndex_ < 0 || static_cast<std::size_t>(currentMacroIndex_) >= parts_.store.size()) return nullptr;
    return &parts_.store.at(static_cast<std::size_t>(currentMacroIndex_));
}

void CMS_1_Macro::loadMacro(int index) {
    if (parts_.store.size() == 0 || index < 0 || static_cast<std::size_t>(index) >= parts_.store.size()) {
        showNoMacro();
        return;
    }
    const MacroRecord& macro = parts_.store.at(static_cast<std::size_t>(index));
    copy_.load(macro);
    // A store may hold a macro from before every door checked its fit: said while it
    // is shown.
    if (!copy_.fitsOneButton()) showStoredTooLong();
    else if (limitNote_ && limitNote_->text() == u"macro_stored_too_long_text"_qs) setLimitNote(false);
    if (nameEdit_) nameEdit_->setText(QString::fromStdU16String(macro.nameText()), kit::Notify::No);
    rebuildActionList();
    followCurrentMacro();
}

void CMS_1_Macro::showNoMacro() {
    currentMacroIndex_ = -1;
    copy_ = MacroWorkingCopy{};
    if (nameEdit_) nameEdit_->setText(QString(), kit::Notify::No);
    if (actionList_) actionList_->removeAll();
    followCurrentMacro();
}

void CMS_1_Macro::followCurrentMacro() {
    // Without a macro there is nothing to write and nothing to name: the button and the
    // box say so, rather than doing nothing or dropping what was typed into them.
    const bool current = currentMacro() != nullptr;
    if (exportBtn_) exportBtn_->setEnabled(current);
    if (nameEdit_) nameEdit_->setEnabled(current);
}

void CMS_1_Macro::addMacro() {
    CreatedMacro created = parts_.store.createMacro(skin().text(u"add_macro_text"_qs).toStdU16String());
    if (!created.ok()) {
        qCWarning(lcMacro).noquote() << "macro store not saved:" << QString::fromStdString(created.error);
        return;
    }
    if (!macroList_) return;
    const int row = macroList_->addLabelRow(QString::fromStdU16String(created.macro->nameText()), kRowHeight);
    macroList_->selectRow(row, kit::Notify::Yes);
    macroList_->scrollToEnd();
}

void CMS_1_Macro::deleteMacro() {
    if (ask(u"warning_title_text"_qs, u"delete_macro_text"_qs) != 1) return;
    if (!macroList_) return;
    int row = macroList_->selectedRow();
    if (row < 0 || static_cast<std::size_t>(row) >= parts_.store.size()) return;
    parts_.store.remove(static_cast<std::size_t>(row));
    if (auto error = parts_.store.save())
        qCWarning(lcMacro).noquote() << "macro store not saved:" << QString::fromStdString(*error);
    currentMacroIndex_ = -1;
    macroList_->removeRow(row);
    if (row >= macroList_->rowCount()) --row;
    if (row >= 0) macroList_->selectRow(row, kit::Notify::Yes);
    else showNoMacro();
}

void CMS_1_Macro::renameMacro() {
    MacroRecord* macro = currentMacro();
    if (!macro || !nameEdit_) return;
    const std::u16string typed = nameEdit_->QLineEdit::text().toStdU16String();
    if (EqualsIgnoreCase(typed, macro->nameText())) return;
    if (parts_.store.nameExists(typed)) {
        nameEdit_->setText(QString::fromStdU16String(macro->nameText()), kit::Notify::No);
        return;
    }
    const std::u16string before = macro->nameText();
    macro->setName(typed);
    renames_.push_back({before, macro->nameText()});
    commit();
    if (macroList_) macroList_->setRowText(currentMacroIndex_, QString::fromStdU16String(macro->nameText()));
}

// ---- Actions ----

void CMS_1_Macro::commit() {
    const int total = copy_.totalNum();
    qCDebug(lcMacro, "iTotalNum = %d", total);
    const bool withinCount = total <= kMaxTotalNum;
    if (!withinCount || !copy_.fitsOneButton()) {
        // Only the blocks' bound is news to the user; the count bound is the editor's own.
        setLimitNote(withinCount);
        if (currentMacroIndex_ >= 0) loadMacro(currentMacroIndex_);
        reloading_ = false;
        return;
    }
    setLimitNote(false);
    MacroRecord* macro = currentMacro();
    if (!macro) return;
    copy_.storeInto(*macro);
    if (auto error = parts_.store.save())
        qCWarning(lcMacro).noquote() << "macro store not saved:" << QString::fromStdString(*error);
}

void CMS_1_Macro::setLimitNote(bool shown) {
    if (limitNote_) limitNote_->setText(u"macro_too_long_text"_qs);
    kit::SetVisible(limitNote_, shown);
}

void CMS_1_Macro::showStoredTooLong() {
    if (limitNote_) limitNote_->setText(u"macro_stored_too_long_text"_qs);
    kit::SetVisible(limitNote_, true);
}

QString CMS_1_Macro::keyName(std::uint8_t usage) const {
    return QString::fromStdU16String(UsageToKeyName(usage, keyboard(), skin().language()));
}

void CMS_1_Macro::fillRow(kit::ListRow* row, int index, bool afterMove, bool destination) {
    if (!row || index < 0 || index >= copy_.actionCount) return;
    const MacroAction& action = copy_.actions[static_cast<std::size_t>(index)];
    if (auto* key = row->find<kit::Label>(u"key"_qs)) {
        key->setIndent(kKeyTextIndent);
        key->setText(keyName(action.key));
        const bool mouse = IsMouseButtonCode(action.key);
        key->setBkImage(QString::fromLatin1(mouse ? (afterMove ? kMouseImageAfterMove : kMouseImage) : kKeyImage));
    }
    if (auto* kind = row->find<kit::Label>(u"action"_qs)) {
        const bool press = action.kind == MacroAction::Press;
        kind->setIndent(kActionTextIndent);
        kind->setTextKeyMode(true);
        kind->setText(press ? u"key_down_action"_qs : u"key_up_action"_qs);
        kind->setBkImage(QString::fromLatin1(press ? kPressImage : kReleaseImage));
    }
    if (auto* delay = row->find<kit::Label>(u"delay"_qs)) {
        const bool lastShownAsZero = destination && index == copy_.actionCount - 1;
        delay->setText(QString::number(lastShownAsZero ? 0 : action.delay));
    }
    nameRow(index);
}

void CMS_1_Macro::nameRow(int index) {
    kit::ListRow* row = actionList_ ? actionList_->layoutRow(index) : nullptr;
    if (!row) return;
    // The row reads as it shows: its key, press or release, and its delay.
    QStringList parts;
    for (const char* part : {"key", "action", "delay"})
        if (auto* label = row->find<kit::Label>(QString::fromLatin1(part))) parts << label->shownText();
    while (parts.size() < 3) parts << QString();
    actionList_->setRowSpokenName(
        index, skin().text(u"macro_step_name_text"_qs).arg(index + 1).arg(parts[0], parts[1].toLower(), parts[2]));
}

void CMS_1_Macro::rebuildActionList() {
    if (!actionList_) return;
    actionList_->removeAll();
    for (int i = 0; i < copy_.actionCount; ++i)
        fillRow(actionList_->addLayoutRow(u"keylistitem.xml"_qs, kRowHeight), i, false, false);
    if (reloading_ && copy_.insertStart >= 0) {
        actionList_->selectRow(copy_.insertStart, kit::Notify::Yes);
        setControlTimer(actionList_, kScrollToStartTimer, kScrollDelay);
    } else if (!copy_.insertMode) {
        actionList_->selectRow(actionList_->rowCount() - 1, kit::Notify::Yes);
        actionList_->scrollToEnd();
    } else {
        actionList_->selectRow(copy_.insertIndex - 1, kit::Notify::Yes);
        setControlTimer(actionList_, kScrollToInsertTimer, kScrollDelay);
    }
    if (actionList_->rowCount() == 0) copy_.iActionIndex = -1;
}

void CMS_1_Macro::refreshRowsAfterMove(int from, int to) {
    fillRow(actionList_ ? actionList_->layoutRow(from) : nullptr, from, true, false);
    fillRow(actionList_ ? actionList_->layoutRow(to) : nullptr, to, true, true);
}

void CMS_1_Macro::moveAction(bool up) {
    const int r = copy_.iActionIndex;
    if (!(up ? copy_.moveUp() : copy_.moveDown())) return;
    const int to = copy_.iActionIndex;
    refreshRowsAfterMove(r, to);
    if (actionList_) actionList_->selectRow(to, kit::Notify::Yes);
    commit();
}

void CMS_1_Macro::deleteAction() {
    const int r = copy_.iActionIndex;
    if (!copy_.deleteSelected()) return;
    if (actionList_) {
        actionList_->removeRow(r);
        actionList_->selectRow(copy_.iActionIndex, kit::Notify::Yes);
    }
    commit();
}

void CMS_1_Macro::clearActions() {
    if (!currentMacro()) return;
    copy_.clear();
    commit();
    rebuildActionList();
}

void CMS_1_Macro::insertClick(int button) {
    if (!currentMacro() || copy_.actionCount >= static_cast<int>(kMaxMacroActions)) return;
    const std::uint16_t delay = delayMode_ == DelayMode::Default ? defaultDelayNumber() : kStandardDelay;
    if (copy_.insertClick(kMouseCodeOfItem[static_cast<std::size_t>(button)], delay)) {
        rebuildActionList();
        commit();
    }
    copy_.insertMode = false;
}

// ---- The edit panel ----

void CMS_1_Macro::showPanel() {
    const int r = copy_.iActionIndex;
    if (!editTab_ || r < 0 || r >= copy_.actionCount) return;
    const MacroAction& action = copy_.actions[static_cast<std::size_t>(r)];
    const bool mouse = IsMouseButtonCode(action.key);
    kit::Edit* delay = mouse ? mouseDelayEdit_ : delayEdit_;
    editTab_->selectItem(mouse ? kPanelMouse : kPanelKey);
    if (mouse && mouseCombo_) mouseCombo_->selectItem(ItemOfMouseCode(action.key), kit::Notify::No);
    if (!mouse && actionEdit_) actionEdit_->setText(keyName(action.key), kit::Notify::No);
    if (!delay) return;
    // The last action's pause follows nothing, so it is not the user's to set.
    const bool last = r == copy_.actionCount - 1;
    delay->setText(last ? u"10"_qs : QString::number(action.delay), kit::Notify::No);
    delay->setEnabled(!last);
}

void CMS_1_Macro::hidePanel() {
    if (editTab_) editTab_->selectItem(kPanelEmpty);
}

void CMS_1_Macro::commitDelayEdit(kit::Edit* edit) {
    const std::uint16_t value = ClampDelay(NumberIn(edit));
    const int r = copy_.iActionIndex;
    if (r >= 0 && r < copy_.actionCount - 1) {
        copy_.actions[static_cast<std::size_t>(r)].delay = value;
        if (kit::ListRow* row = actionList_ ? actionList_->layoutRow(r) : nullptr)
            if (auto* delay = row->find<kit::Label>(u"delay"_qs)) delay->setText(QString::number(value));
        nameRow(r);
        if (edit == mouseDelayEdit_) edit->setText(QString::number(value), kit::Notify::No);
    }
    commit();
}

void CMS_1_Macro::onMouseComboItem(int item) {
    if (item < 0 || item >= static_cast<int>(kMouseCodeOfItem.size())) return;
    const std::uint8_t code = kMouseCodeOfItem[static_cast<std::size_t>(item)];
    const int r = copy_.iActionIndex;
    if (r >= 0 && r < copy_.actionCount) {
        copy_.actions[static_cast<std::size_t>(r)].key = code;
        if (kit::ListRow* row = actionList_ ? actionList_->layoutRow(r) : nullptr)
            if (auto* key = row->find<kit::Label>(u"key"_qs)) key->setText(keyName(code));
        nameRow(r);
    }
    commit();
}

bool CMS_1_Macro::startKeyCapture() {
    hookTarget_ = HookTarget::KeyCapture;
    // The key box takes its own keys where the library cannot watch: the window's own
    // input is for recording.
    globalInput_ = parts_.hooks.installhook && parts_.hooks.installhook(hostWindow()) != 0;
    enableHook(true);
    return globalInput_;
}

void CMS_1_Macro::endKeyCapture() {
    if (parts_.hooks.removehook) parts_.hooks.removehook();
    enableHook(false);
    if (hookTarget_ == HookTarget::KeyCapture) hookTarget_ = HookTarget::None;
}

void CMS_1_Macro::onKeyCaptured(std::uintptr_t virtualKey) {
    const UsageLookup lookup = VirtualKeyToUsage(static_cast<std::int32_t>(virtualKey), keyboard());
    const auto usage = static_cast<std::uint8_t>(lookup.found ? lookup.usage : 0);
    const QString name = keyName(usage);
    if (actionEdit_) actionEdit_->setText(name, kit::Notify::No);
    const int r = copy_.iActionIndex;
    if (r >= 0 && r < copy_.actionCount) {
        copy_.actions[static_cast<std::size_t>(r)].key = usage;
        if (kit::ListRow* row = actionList_ ? actionList_->layoutRow(r) : nullptr)
            if (auto* key = row->find<kit::Label>(u"key"_qs)) key->setText(name);
        nameRow(r);
    }
    commit();
}

// ---- Recording ----

void CMS_1_Macro::onRecordCheck() {
    if (!currentMacro()) addMacro();
    if (recorder_.recording()) {
        stopRecording();
        return;
    }
    if (!currentMacro()) {
        if (recordCheck_) recordCheck_->setChecked(false, kit::Notify::No);
        return;
    }
    MacroRecorder::Prepare(copy_);
    startRecording();
}

void CMS_1_Macro::startRecording() {
    recorder_.start(now(), defaultDelayNumber(), delayMode_);
    if (recordCheck_) {
        recordCheck_->setText(u"stop_recording_text"_qs);
        recordCheck_->setChecked(true, kit::Notify::No);
    }
    hookTarget_ = HookTarget::Recording;
    installHook();
    enableHook(true);
    // Clicks count from now on, however the recording was started (Space on the focused
    // button too), except while the pointer is on the button: entering and leaving it
    // pause and resume them.
    enableMouseHook(!pointerOnRecordButton());
    if (parts_.hooks.mousewheelenable) parts_.hooks.mousewheelenable(0);
}

void CMS_1_Macro::stopRecording() {
    recorder_.stop();
    if (recordCheck_) {
        recordCheck_->setText(u"start_recording_text"_qs);
        recordCheck_->setChecked(false, kit::Notify::No);
    }
    removeHook();
    if (parts_.hooks.removemousehook) parts_.hooks.removemousehook();
    enableMouseHook(false);
    enableHook(false);
    if (parts_.hooks.mousewheelenable) parts_.hooks.mousewheelenable(0);
    hookTarget_ = HookTarget::None;
    commit();
    copy_.insertMode = false;
    copy_.insertIndex = -1;
}

bool CMS_1_Macro::pointerOnRecordButton() const {
    if (!recordCheck_ || !recordCheck_->isVisible()) return false;
    return recordCheck_->rect().contains(recordCheck_->mapFromGlobal(QCursor::pos()));
}

void CMS_1_Macro::onRecordedEvent(std::uintptr_t wParam, std::intptr_t lParam) {
    // A click on the record button is the user's way to stop, never part of the macro.
    // The library's events come from a thread of their own and may overtake the pointer's
    // arrival on the button, so where the pointer is now decides as well.
    if (IsMouseHookEvent(wParam, lParam) && pointerOnRecordButton()) return;
    const MacroWorkingCopy before = copy_;
    const MacroRecorder::Outcome outcome = recorder_.onEvent(copy_, wParam, lParam, now(), keyboard());
    qCDebug(lcMacro, "iTotalNum = %d", before.totalNum());
    switch (outcome) {
        case MacroRecorder::Outcome::Ignored: return;
        case MacroRecorder::Outcome::Full: stopRecording(); return;
        case MacroRecorder::Outcome::Added:
        case MacroRecorder::Outcome::AddedFull: break;
    }
    if (!copy_.fitsOneButton()) {
        // The mouse could not hold this event: keep what it can and end here.
        copy_ = before;
        stopRecording();
        setLimitNote(true);
        rebuildActionList();
        return;
    }
    if (outcome == MacroRecorder::Outcome::AddedFull) stopRecording();
    rebuildActionList();
}

// ---- Macro files ----

void CMS_1_Macro::importMacro() {
    kit::FileDialogRequest request;
    request.kind = kit::FileDialogKind::Open;
    request.folder = QString::fromStdString(parts_.dataFolder.string());
    request.filter = MacroFileFilter();
    const QString path = kit::ChooseFile(this, request);
    if (path.isEmpty()) return;
    MacroImport imported = ImportMacro(path.toStdString(), parts_.store);
    if (!imported.ok()) {
        qCWarning(lcMacro).noquote() << "macro file refused:" << QString::fromStdString(imported.error);
        if (imported.problem.ok()) {
            ask(u"warning_title_text"_qs, u"macro_file_not_read_text"_qs);
        } else {
            const std::string_view key = MacroProblemTextKey(imported.problem);
            ask(u"warning_title_text"_qs, QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size())),
                {QString::fromStdU16String(imported.macroName), QString::number(MacroProblemNumber(imported.problem))});
        }
        return;
    }
    if (imported.saveError)
        qCWarning(lcMacro).noquote() << "macro store not saved:" << QString::fromStdString(*imported.saveError);
    if (!macroList_) return;
    const MacroRecord& macro = parts_.store.at(imported.macroPosition);
    const int row = macroList_->addLabelRow(QString::fromStdU16String(macro.nameText()), kRowHeight);
    macroList_->selectRow(row, kit::Notify::Yes);
    macroList_->scrollToEnd();
}

void CMS_1_Macro::exportMacro() {
    const MacroRecord* macro = currentMacro();
    if (!macro) return;
    kit::FileDialogRequest request;
    request.kind = kit::FileDialogKind::Save;
    request.folder = QString::fromStdString(parts_.dataFolder.string());
    request.filter = MacroFileFilter();
    // The extension is added after the dialog, so the replace question is asked here,
    // about the name that is written.
    request.confirmOverwrite = false;
    const QString chosen = kit::ChooseFile(this, request);
    if (chosen.isEmpty()) return;
    const QString path = kit::WithExtension(chosen, u"macro"_qs);
    const std::filesystem::path target = path.toStdString();
    std::error_code ec;
    if (std::filesystem::exists(target, ec) && ask(u"warning_title_text"_qs, u"macro_file_replace_text"_qs) != 1)
        return;
    if (auto error = ExportMacro(*macro, target)) {
        qCWarning(lcMacro).noquote() << "macro file not written:" << QString::fromStdString(*error);
        ask(u"warning_title_text"_qs, u"macro_file_not_written_text"_qs);
    }
}

// ---- Input ----

int CMS_1_Macro::installHook() {
    const int watched = parts_.hooks.installhook ? parts_.hooks.installhook(hostWindow()) : 0;
    globalInput_ = watched != 0;
    useOwnInput(true);
    return watched;
}

void CMS_1_Macro::removeHook() {
    useOwnInput(false);
    if (parts_.hooks.removehook) parts_.hooks.removehook();
}

void CMS_1_Macro::enableHook(bool on) {
    ownKeysOn_ = on;
    if (parts_.hooks.enablehook) parts_.hooks.enablehook(on ? 1 : 0);
}

void CMS_1_Macro::enableMouseHook(bool on) {
    ownMouseOn_ = on;
    if (parts_.hooks.enablemousehook) parts_.hooks.enablemousehook(on ? 1 : 0);
}

void CMS_1_Macro::useOwnInput(bool on) {
    if (on == ownInput_) return;
    ownInput_ = on;
    if (on) {
        ownKeysOn_ = ownMouseOn_ = false;
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
    }
    kit::SetVisible(inputNote_, on && !globalInput_);
}

bool CMS_1_Macro::eventFilter(QObject* watched, QEvent* event) {
    if (!ownInput_) return kit::SkinWindow::eventFilter(watched, event);
    // The filter sees every object's events, also those posted to it from other threads.
    HandOverAcquire(watched);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return kit::SkinWindow::eventFilter(watched, event);
    const std::optional<OwnInputEvent> own = OwnInputEventOf(*event, keyboard());
    if (!own) return kit::SkinWindow::eventFilter(watched, event);
    // With the global hook the same input arrives from the library; here it is only
    // kept from the window's controls, so a typed space cannot press a button while
    // recording. Without it, this window's own input is what gets recorded.
    if (!globalInput_ && (own->mouse ? ownMouseOn_ : ownKeysOn_)) post(UM_HOOK_EVENT, own->wParam, own->lParam);
    return !own->mouse && hookTarget_ == HookTarget::Recording;
}

// ---- Helpers ----

std::uint16_t CMS_1_Macro::defaultDelayNumber() const {
    // The box takes five digits; beyond the longest pause an action holds is not a pause
    // the mouse can play.
    return static_cast<std::uint16_t>(std::min<long long>(NumberIn(defaultDelayEdit_), kMaxDelay));
}

const KeyboardLayout& CMS_1_Macro::keyboard() const {
    static const UsKeyboardLayout us;
    return parts_.keyboard ? parts_.keyboard() : us;
}

std::uint32_t CMS_1_Macro::now() const {
    if (parts_.nowMs) return parts_.nowMs();
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int CMS_1_Macro::ask(const QString& titleKey, const QString& messageKey, const QStringList& args) {
    if (parts_.ask) return parts_.ask(titleKey, messageKey);
    return CMsgWnd::Ask(skin(), this, titleKey, messageKey, args);
}

}  // namespace halvern
