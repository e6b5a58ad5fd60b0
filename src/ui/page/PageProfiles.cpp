// The profile section: the list of stored profiles and its six actions. Every action
// that changes the list or a profile's settings saves the store at once, so a change
// made while no mouse is linked (no apply runs, and the apply is what saves) is not
// lost at quit; what is saved is what the apply would have saved.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>

#include "storage/RecordFiles.h"
#include "storage/SettingsFile.h"
#include "ui/dialogs/CMS_1_ProfileName.h"
#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/FileDialog.h"
#include "ui/kit/List.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"
#include "ui/page/CMS_1_Page.h"
#include "ui/page/PageRanges.h"

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace halvern {

namespace {

constexpr int kProfileRowHeight = 22;
QString ProfileFilter() { return u"Profile File (*.pro *.PRO)"_qs; }

std::filesystem::path LocalPath(const QString& path) { return std::filesystem::path(QFile::encodeName(path).toStdString()); }

QString ProfileName(const MouseProfile& profile) { return QString::fromStdU16String(profile.nameText()); }

}  // namespace

bool CMS_1_Page::onProfileClick(kit::Control* sender) {
    if (!sender) return false;
    if (sender == profileAdd_) addProfile();
    else if (sender == profileDelete_) deleteProfile();
    else if (sender == profileRename_) renameProfile();
    else if (sender == profileImport_) importProfile();
    else if (sender == profileExport_) exportProfile();
    else if (sender == profileReset_ || sender == resetBtn_) restoreProfile();
    else return false;
    return true;
}

void CMS_1_Page::selectProfileRow(int row) {
    // Choosing the row already current sends nothing again.
    if (current_ && row == profiles_.selectedProfile()) return;
    makeProfileCurrent(row);
}

void CMS_1_Page::makeProfileCurrent(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= profiles_.size()) return;
    profiles_.setSelectedProfile(row);
    current_ = profiles_.currentProfile();
    if (profileList_) profileList_->selectRow(row, kit::Notify::No);
    refreshControls();
    // Another profile: the mouse gets all of it.
    worker_->markFullApply();
    applyNow();
}

int CMS_1_Page::askUser(const char* messageKey) {
    if (!window_) return 0;
    return CMsgWnd::Ask(window_->skin(), window_, u"warning_title_text"_qs, QString::fromLatin1(messageKey));
}

std::optional<QString> CMS_1_Page::askProfileName(const char* titleKey) {
    if (!window_) return std::nullopt;
    return CMS_1_ProfileName::Ask(window_->skin(), window_, QString::fromLatin1(titleKey), [this](const QString& name) {
        return profiles_.nameExists(name.toStdU16String());
    });
}

void CMS_1_Page::addProfile() {
    std::optional<QString> name = askProfileName("profile_name_1_text");
    if (!name) return;
    const std::size_t row = profiles_.append(MouseProfile::Create(name->toStdU16String()));
    if (profileList_) profileList_->addLabelRow(ProfileName(profiles_.at(row)), kProfileRowHeight);
    makeProfileCurrent(static_cast<int>(row));
    saveProfileStore();
}

void CMS_1_Page::deleteProfile() {
    if (profiles_.size() < 2) {
        askUser("one_profile_text");
        return;
    }
    if (askUser("delete_profile_text") != 1) return;
    const int removed = profiles_.selectedProfile();
    if (removed < 0 || static_cast<std::size_t>(removed) >= profiles_.size()) return;
    // Nothing may reach the record between its removal and the next profile taking over.
    current_ = nullptr;
    profiles_.remove(static_cast<std::size_t>(removed));
    if (profileList_) profileList_->removeRow(removed);
    makeProfileCurrent(std::min(removed, static_cast<int>(profiles_.size()) - 1));
    saveProfileStore();
}

void CMS_1_Page::renameProfile() {
    std::optional<QString> name = askProfileName("profile_name_2_text");
    if (!name || !current_) return;
    current_->setName(name->toStdU16String());
    if (profileList_) profileList_->setRowText(profiles_.selectedProfile(), ProfileName(*current_));
    // The name never goes to the mouse, so no apply would save it.
    saveProfileStore();
}

void CMS_1_Page::restoreProfile() {
    if (askUser("restore_text") != 1 || !current_) return;
    current_->initialiseDefaults();
    refreshControls();
    worker_->markFullApply();
    applyNow();
    saveProfileStore();
}

QString CMS_1_Page::profileFileFolder() const {
    if (std::optional<std::string> kept = SettingsFile(parts_.dataFolder).readProfileFolder()) {
        const QString folder = QFile::decodeName(QByteArray::fromStdString(*kept));
        // Anyone may have edited the file, and folders go away.
        if (QFileInfo(folder).isAbsolute() && QFileInfo(folder).isDir()) return folder;
    }
    return QDir::homePath();
}

void CMS_1_Page::rememberProfileFolder(const QString& file) {
    const QString folder = QFileInfo(file).absolutePath();
    if (std::optional<std::string> error =
            SettingsFile(parts_.dataFolder).saveProfileFolder(QFile::encodeName(folder).toStdString()))
        qCInfo(lcPage).noquote() << "the profile folder is not remembered:" << QString::fromStdString(*error);
}

void CMS_1_Page::exportProfile() {
    if (!current_ || !window_) return;
    // The dialog does not ask about replacing a file: the name it returns may still get
    // its extension, and only the final name can be asked about.
    QString path = kit::ChooseFile(window_, {kit::FileDialogKind::Save, text("export_profile_title_text"),
                                             profileFileFolder(), ProfileFilter(), false});
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += u".pro"_qs;
    if (QFileInfo(path).exists() && askUser("overwrite_file_text") != 1) return;
    rememberProfileFolder(path);
    if (std::optional<std::string> error = ExportProfile(*current_, LocalPath(path))) {
        qCWarning(lcPage).noquote() << "profile not exported:" << QString::fromStdString(*error);
        askUser("export_failed_text");
    }
}

void CMS_1_Page::importProfile() {
    if (!window_) return;
    const QString path = kit::ChooseFile(
        window_, {kit::FileDialogKind::Open, text("import_profile_title_text"), profileFileFolder(), ProfileFilter()});
    if (path.isEmpty()) return;
    rememberProfileFolder(path);
    ProfileImport imported = ImportProfile(LocalPath(path), profiles_, macros_);
    if (!imported.ok()) {
        qCWarning(lcPage).noquote() << "profile file refused:" << QString::fromStdString(imported.error);
        askUser("profile_file_refused_text");
        return;
    }
    if (imported.macroSaveError)
        qCWarning(lcPage).noquote() << "macro store not saved:" << QString::fromStdString(*imported.macroSaveError);
    MouseProfile& added = profiles_.at(imported.profilePosition);
    if (MakeSettingsSane(added))
        qCInfo(lcPage).noquote() << "imported profile" << ProfileName(added)
                                 << "had values out of range; shown and sent within range";
    if (profileList_) profileList_->addLabelRow(ProfileName(added), kProfileRowHeight);
    makeProfileCurrent(static_cast<int>(imported.profilePosition));
    saveProfileStore();
}

}  // namespace halvern
