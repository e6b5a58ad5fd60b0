#include "ui/page/ProfileSection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>

#include "storage/RecordFiles.h"
#include "storage/SettingsFile.h"
#include "ui/dialogs/CMS_1_ProfileName.h"
#include "ui/kit/Button.h"
#include "ui/kit/FileDialog.h"
#include "ui/kit/List.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace halvern {

namespace {

constexpr int kProfileRowHeight = 22;
QString ProfileFilter() { return u"Profile File (*.pro *.PRO)"_qs; }

std::filesystem::path LocalPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString ProfileName(const MouseProfile& profile) { return QString::fromStdU16String(profile.nameText()); }

PageEdit Switched() {
    PageEdit edit = PageEdit::Apply();
    edit.switched = true;
    edit.whole = true;
    edit.keep = PageEdit::Keep::Soon;
    return edit;
}

}  // namespace

void ProfileSection::bind(SectionBinder& controls) {
    list_ = controls.find<kit::List>(u"ms_1_list_profile"_qs);
    add_ = controls.find<kit::Button>(u"ms_1_profile_add_btn"_qs);
    delete_ = controls.find<kit::Button>(u"ms_1_profile_delete_btn"_qs);
    rename_ = controls.find<kit::Button>(u"ms_1_profile_rename_btn"_qs);
    import_ = controls.find<kit::Button>(u"ms_1_profile_import_btn"_qs);
    export_ = controls.find<kit::Button>(u"ms_1_profile_export_btn"_qs);
    reset_ = controls.find<kit::Button>(u"ms_1_profile_reset_btn"_qs);
    resetAll_ = controls.find<kit::Button>(u"ms_1_btn_reset"_qs);
}

void ProfileSection::fillList() {
    if (!list_) return;
    list_->removeAll();
    for (const auto& profile : context_.profiles().profiles())
        list_->addLabelRow(ProfileName(*profile), kProfileRowHeight);
    list_->selectRow(context_.profiles().selectedProfile(), kit::Notify::No);
}

void ProfileSection::refresh(const MouseProfile&) {
    if (list_) list_->selectRow(context_.profiles().selectedProfile(), kit::Notify::No);
}

PageEdit ProfileSection::handle(const kit::Notification& n, MouseProfile& profile) {
    using namespace kit::notify;
    // The kit raises no selection at start-up, so the user's first choice counts.
    if (n.type == kItemSelect && n.sender == list_) return chooseRow(static_cast<int>(n.wParam));
    if (n.type != kClick) return {};
    if (n.sender == add_) return addProfile();
    if (n.sender == delete_) return deleteProfile();
    if (n.sender == rename_) return renameProfile(profile);
    if (n.sender == import_) return importProfile();
    if (n.sender == export_) {
        exportProfile(profile);
        return {};
    }
    if (n.sender == reset_ || n.sender == resetAll_) return restoreProfile(profile);
    return {};
}

PageEdit ProfileSection::chooseRow(int row) {
    // Choosing the row already current sends nothing again.
    if (row == context_.profiles().selectedProfile()) return {};
    return makeCurrent(row);
}

PageEdit ProfileSection::makeCurrent(int row) {
    ProfileStore& profiles = context_.profiles();
    if (row < 0 || static_cast<std::size_t>(row) >= profiles.size()) return {};
    profiles.setSelectedProfile(row);
    if (list_) list_->selectRow(row, kit::Notify::No);
    return Switched();
}

PageEdit ProfileSection::followRule(int row) {
    if (row == context_.profiles().selectedProfile()) return {};
    PageEdit edit = makeCurrent(row);
    edit.whole = false;
    return edit;
}

std::optional<QString> ProfileSection::askProfileName(const char* titleKey) {
    kit::SkinWindow* window = context_.window();
    if (!window) return std::nullopt;
    return CMS_1_ProfileName::Ask(window->skin(), window, QString::fromLatin1(titleKey), [this](const QString& name) {
        return context_.profiles().nameExists(name.toStdU16String());
    });
}

PageEdit ProfileSection::addProfile() {
    std::optional<QString> name = askProfileName("profile_name_1_text");
    if (!name) return {};
    ProfileStore& profiles = context_.profiles();
    const std::size_t row = profiles.append(MouseProfile::Create(name->toStdU16String()));
    if (list_) list_->addLabelRow(ProfileName(profiles.at(row)), kProfileRowHeight);
    PageEdit edit = makeCurrent(static_cast<int>(row));
    edit.keep = PageEdit::Keep::Now;
    return edit;
}

PageEdit ProfileSection::deleteProfile() {
    ProfileStore& profiles = context_.profiles();
    if (profiles.size() < 2) {
        context_.askUser("one_profile_text");
        return {};
    }
    if (context_.askUser("delete_profile_text") != 1) return {};
    const int removed = profiles.selectedProfile();
    if (removed < 0 || static_cast<std::size_t>(removed) >= profiles.size()) return {};
    // The page takes the next current profile from the store as the edit is carried
    // out; nothing reaches the removed record in between.
    profiles.remove(static_cast<std::size_t>(removed));
    if (list_) list_->removeRow(removed);
    PageEdit edit = makeCurrent(std::min(removed, static_cast<int>(profiles.size()) - 1));
    edit.keep = PageEdit::Keep::Now;
    return edit;
}

PageEdit ProfileSection::renameProfile(MouseProfile& profile) {
    std::optional<QString> name = askProfileName("profile_name_2_text");
    if (!name) return {};
    const std::u16string before = profile.nameText();
    profile.setName(name->toStdU16String());
    if (renamed_) renamed_(before, profile.nameText());
    if (list_) list_->setRowText(context_.profiles().selectedProfile(), ProfileName(profile));
    // The name never goes to the mouse.
    PageEdit edit;
    edit.keep = PageEdit::Keep::Now;
    return edit;
}

PageEdit ProfileSection::restoreProfile(MouseProfile& profile) {
    if (context_.askUser("restore_text") != 1) return {};
    profile.initialiseDefaults();
    PageEdit edit = PageEdit::Apply();
    edit.refresh = true;
    edit.whole = true;
    edit.keep = PageEdit::Keep::Now;
    return edit;
}

QString ProfileSection::profileFileFolder() const {
    if (std::optional<std::string> kept = SettingsFile(context_.parts().dataFolder).readProfileFolder()) {
        const QString folder = QFile::decodeName(QByteArray::fromStdString(*kept));
        // Anyone may have edited the file, and folders go away.
        if (QFileInfo(folder).isAbsolute() && QFileInfo(folder).isDir()) return folder;
    }
    return QDir::homePath();
}

void ProfileSection::rememberProfileFolder(const QString& file) {
    const QString folder = QFileInfo(file).absolutePath();
    if (std::optional<std::string> error =
            SettingsFile(context_.parts().dataFolder).saveProfileFolder(QFile::encodeName(folder).toStdString()))
        qCInfo(lcPage).noquote() << "the profile folder is not remembered:" << QString::fromStdString(*error);
}

void ProfileSection::exportProfile(const MouseProfile& profile) {
    kit::SkinWindow* window = context_.window();
    if (!window) return;
    // The dialog does not ask about replacing a file: the name it returns may still get
    // its extension, and only the final name can be asked about.
    const QString chosen =
        kit::ChooseFile(window, {kit::FileDialogKind::Save, context_.text("export_profile_title_text"),
                                 profileFileFolder(), ProfileFilter(), false});
    if (chosen.isEmpty()) return;
    const QString path = kit::WithExtension(chosen, u"pro"_qs);
    if (QFileInfo(path).exists() && context_.askUser("overwrite_file_text") != 1) return;
    rememberProfileFolder(path);
    if (std::optional<std::string> error = ExportProfile(profile, LocalPath(path))) {
        qCWarning(lcPage).noquote() << "profile not exported:" << QString::fromStdString(*error);
        context_.askUser("export_failed_text");
    }
}

PageEdit ProfileSection::importProfile() {
    kit::SkinWindow* window = context_.window();
    if (!window) return {};
    const QString path = kit::ChooseFile(window, {kit::FileDialogKind::Open, context_.text("import_profile_title_text"),
                                                  profileFileFolder(), ProfileFilter()});
    if (path.isEmpty()) return {};
    rememberProfileFolder(path);
    ProfileImport imported = ImportProfile(LocalPath(path), context_.profiles(), context_.macros());
    if (!imported.ok()) {
        qCWarning(lcPage).noquote() << "profile file refused:" << QString::fromStdString(imported.error);
        // A macro the mouse could not hold as it is refuses the whole file: said with its name.
        if (const ProfileMacroProblem& bad = imported.refusedMacro; !bad.ok()) {
            const std::string key(MacroProblemTextKey(bad.problem));
            context_.askUser(key.c_str(),
                             {QString::fromStdU16String(bad.name), QString::number(MacroProblemNumber(bad.problem))});
        } else {
            context_.askUser("profile_file_refused_text");
        }
        return {};
    }
    if (imported.macroSaveError)
        qCWarning(lcPage).noquote() << "macro store not saved:" << QString::fromStdString(*imported.macroSaveError);
    MouseProfile& added = context_.profiles().at(imported.profilePosition);
    if (!imported.repaired.empty()) {
        QStringList what;
        for (const std::string& w : imported.repaired) what << QString::fromStdString(w);
        qCInfo(lcPage).noquote() << "imported profile" << ProfileName(added)
                                 << "was repaired; shown and sent as repaired:" << what.join(u", "_qs);
    }
    if (list_) list_->addLabelRow(ProfileName(added), kProfileRowHeight);
    PageEdit edit = makeCurrent(static_cast<int>(imported.profilePosition));
    edit.keep = PageEdit::Keep::Now;
    return edit;
}

}  // namespace halvern
