#include "ui/page/AutoProfileSection.h"
#include "ui/page/PageTimers.h"

#include <QFileSystemWatcher>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QLoggingCategory>

#include <algorithm>
#include <filesystem>

#include "device/WindowIds.h"
#include "records/Text.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"
#include "ui/kit/List.h"

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace halvern {

namespace {

constexpr int kRuleRowHeight = 22;
constexpr std::chrono::milliseconds kScrollDelay{10};

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }
QString FromUtf16(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A name as long as a profile's may be does not fit a drop-down list: it is cut with an
// ellipsis to the room the list's field has, as the profile list does with its rows.
QString Fitted(kit::Combo& combo, const QString& text) {
    // The skin's font and frame come with polishing, which a hidden page has not had yet.
    combo.ensurePolished();
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.frame = combo.hasFrame();
    option.subControls = QStyle::SC_All;
    const QRect room =
        combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo);
    return combo.fontMetrics().elidedText(text, Qt::ElideRight, room.width() - 2);
}

void LogProblems(const std::vector<std::string>& problems) {
    for (const std::string& problem : problems)
        qCWarning(lcPage).noquote() << "automatic profiles:" << QString::fromStdString(problem);
}

}  // namespace

AutoProfileSection::AutoProfileSection(PageContext& context, FocusWatcher* watcher,
                                       std::vector<std::string> ownApplications, std::function<void()> focusChanged)
    : context_(context),
      watcher_(watcher),
      ownApplications_(std::move(ownApplications)),
      focusChanged_(std::move(focusChanged)) {}

AutoProfileSection::~AutoProfileSection() = default;

void AutoProfileSection::bind(SectionBinder& controls) {
    header_ = controls.find<kit::CheckBox>(u"ms_1_check_auto_profile"_qs);
    panel_ = controls.find<kit::Control>(u"ms_1_ver_auto_profile"_qs);
    enabled_ = controls.find<kit::CheckBox>(u"ms_1_check_auto_switch"_qs);
    desktop_ = controls.findQuietly<kit::Label>(u"ms_1_label_auto_desktop"_qs);
    list_ = controls.find<kit::List>(u"ms_1_list_auto_rules"_qs);
    up_ = controls.find<kit::Button>(u"ms_1_auto_up_btn"_qs);
    down_ = controls.find<kit::Button>(u"ms_1_auto_down_btn"_qs);
    remove_ = controls.find<kit::Button>(u"ms_1_auto_remove_btn"_qs);
    application_ = controls.find<kit::Edit>(u"ms_1_edit_auto_app"_qs);
    openApplications_ = controls.find<kit::Combo>(u"ms_1_combo_auto_windows"_qs);
    profile_ = controls.find<kit::Combo>(u"ms_1_combo_auto_profile"_qs);
    add_ = controls.find<kit::Button>(u"ms_1_auto_add_btn"_qs);
    fallback_ = controls.find<kit::Combo>(u"ms_1_combo_auto_fallback"_qs);
    if (desktop_) desktop_->setTextKeyMode(true);
    showDesktop();
    // The section opens with the page: the list of open windows shows its prompt from
    // the start, and asks the desktop only when the user comes to it.
    fillOpenApplications();
}

void AutoProfileSection::loadRules() {
    FocusRulesRead read = ReadFocusRules(context_.parts().dataFolder);
    LogProblems(read.problems);
    rules_ = std::move(read.rules);
}

void AutoProfileSection::startWatching() {
    if (watcher_ && !watching_) {
        watching_ = true;
        watcherFailed_ = !watcher_->start([this](const FocusedWindow& window) { onFocus(window); });
        if (watcherFailed_)
            qCWarning(lcPage).noquote() << "automatic profiles: the window in front cannot be followed:"
                                        << watcher_->error();
        else
            qCInfo(lcPage) << "automatic profiles: following the window in front through"
                           << FocusSourceName(watcher_->source());
    }
    showDesktop();
    // Names were cut to the room the fields had before the window took its skin's style.
    fillProfileChoices();
    if (!fileWatch_) {
        // The folder, not the file: the file is replaced whole, which a watch on the
        // file itself would not survive.
        std::error_code ignored;
        std::filesystem::create_directories(context_.parts().dataFolder, ignored);
        fileWatch_ = std::make_unique<QFileSystemWatcher>();
        fileWatch_->addPath(QString::fromStdString(context_.parts().dataFolder.string()));
        QObject::connect(fileWatch_.get(), &QFileSystemWatcher::directoryChanged, fileWatch_.get(),
                         [this] { rulesFileChanged(); });
    }
}

void AutoProfileSection::onFocus(const FocusedWindow& window) {
    focused_ = window;
    focusChanged_();
}

void AutoProfileSection::rulesFileChanged() {
    FocusRulesRead read = ReadFocusRules(context_.parts().dataFolder);
    if (read.rules == rules_) return;
    LogProblems(read.problems);
    qCInfo(lcPage) << "automatic profiles: the rules changed in CONFIG.ini";
    rules_ = std::move(read.rules);
    showRules();
    focusChanged_();
}

std::optional<int> AutoProfileSection::wantedRow() const {
    for (const std::string& own : ownApplications_)
        for (const std::string& name : focused_.names)
            if (SameApplication(own, name)) return std::nullopt;
    const std::optional<std::u16string> profile = rules_.profileFor(focused_.names);
    if (!profile) return std::nullopt;
    return rowOf(*profile);
}

std::optional<int> AutoProfileSection::rowOf(std::u16string_view profile) const {
    const ProfileStore& profiles = context_.profiles();
    for (std::size_t i = 0; i < profiles.size(); ++i)
        if (EqualsIgnoreCase(profiles.at(i).nameText(), profile)) return static_cast<int>(i);
    return std::nullopt;
}

void AutoProfileSection::profileRenamed(std::u16string_view from, std::u16string_view to) {
    changeRules([&](FocusRules& rules) { return rules.renameProfile(from, to); });
}

// ---- Showing ----

void AutoProfileSection::refresh(const MouseProfile&) { showRules(); }

QString AutoProfileSection::profileText(std::u16string_view profile) const {
    if (rowOf(profile)) return FromUtf16(profile);
    return context_.text("auto_missing_profile_text").arg(FromUtf16(profile));
}

QString AutoProfileSection::ruleText(const FocusRule& rule) const {
    return context_.text("auto_rule_text").arg(FromUtf8(rule.application), profileText(rule.profile));
}

void AutoProfileSection::showRules() {
    if (enabled_) enabled_->setChecked(rules_.enabled, kit::Notify::No);
    if (list_) {
        const int selected = list_->selectedRow();
        list_->removeAll();
        for (const FocusRule& rule : rules_.rules) list_->addLabelRow(ruleText(rule), kRuleRowHeight);
        if (selected >= 0 && selected < list_->rowCount()) list_->selectRow(selected, kit::Notify::No);
    }
    const int selected = list_ ? list_->selectedRow() : -1;
    const int count = static_cast<int>(rules_.rules.size());
    if (up_) up_->setEnabled(selected > 0);
    if (down_) down_->setEnabled(selected >= 0 && selected + 1 < count);
    if (remove_) remove_->setEnabled(selected >= 0);
    fillProfileChoices();
}

void AutoProfileSection::fillProfileChoices() {
    const ProfileStore& profiles = context_.profiles();
    if (profile_) {
        const int chosen = profile_->currentSelection();
        profile_->removeAllItems();
        for (const auto& p : profiles.profiles()) profile_->addItem(Fitted(*profile_, FromUtf16(p->nameText())), false);
        profile_->selectItem(std::clamp(chosen, 0, static_cast<int>(profiles.size()) - 1), kit::Notify::No);
    }
    if (fallback_) {
        fallback_->removeAllItems();
        fallback_->addItem(u"auto_keep_text"_qs, true);
        for (const auto& p : profiles.profiles())
            fallback_->addItem(Fitted(*fallback_, FromUtf16(p->nameText())), false);
        int chosen = 0;
        if (rules_.fallback) {
            if (std::optional<int> row = rowOf(*rules_.fallback)) {
                chosen = *row + 1;
            } else {
                fallback_->addItem(Fitted(*fallback_, profileText(*rules_.fallback)), false);
                chosen = static_cast<int>(profiles.size()) + 1;
            }
        }
        fallback_->selectItem(chosen, kit::Notify::No);
    }
}

void AutoProfileSection::fillOpenApplications() {
    if (!openApplications_) return;
    listedApplications_.clear();
    if (watcher_ && watching_ && !watcherFailed_) {
        for (std::string& name : watcher_->applications()) {
            const bool own = std::any_of(ownApplications_.begin(), ownApplications_.end(),
                                         [&](const std::string& o) { return SameApplication(o, name); });
            if (!own) listedApplications_.push_back(std::move(name));
        }
    }
    openApplications_->removeAllItems();
    openApplications_->addItem(u"auto_windows_text"_qs, true);
    for (const std::string& name : listedApplications_)
        openApplications_->addItem(Fitted(*openApplications_, FromUtf8(name)), false);
    openApplications_->selectItem(0, kit::Notify::No);
}

void AutoProfileSection::showDesktop() {
    if (!desktop_) return;
    const char* key = nullptr;
    const FocusSource shown = watcherFailed_ ? FocusSource::None : source();
    if (shown == FocusSource::Xwayland) key = "auto_desktop_xwayland_text";
    else if (shown == FocusSource::None) key = "auto_desktop_none_text";
    if (key) desktop_->setText(QString::fromLatin1(key));
    SetVisible(desktop_, key != nullptr);
}

// ---- Edits ----

PageEdit AutoProfileSection::handle(const kit::Notification& n, MouseProfile&) {
    using namespace kit::notify;
    if (n.sender == header_ && n.type == kCheckClick) {
        const bool open = n.wParam != 0;
        SetVisible(panel_, open);
        if (open) {
            fillOpenApplications();
            context_.parts().timers.arm(TimerId::ScrollSettings, kScrollDelay);
        }
    } else if (n.sender == enabled_ && n.type == kCheckClick) {
        const bool on = n.wParam != 0;
        changeRules([on](FocusRules& rules) { return std::exchange(rules.enabled, on) != on; });
    } else if (n.sender == list_ && n.type == kItemSelect) {
        const auto row = static_cast<std::size_t>(n.wParam);
        if (row < rules_.rules.size()) {
            // The chosen rule fills the add row, so that "Add" changes its profile.
            if (application_) application_->setText(FromUtf8(rules_.rules[row].application), kit::Notify::No);
            if (std::optional<int> profile = rowOf(rules_.rules[row].profile); profile && profile_)
                profile_->selectItem(*profile, kit::Notify::No);
        }
        showRules();
    } else if ((n.sender == up_ || n.sender == down_) && n.type == kClick && list_) {
        const int row = list_->selectedRow();
        const int by = n.sender == up_ ? -1 : +1;
        if (row >= 0) {
            changeRules([&](FocusRules& rules) { return rules.move(static_cast<std::size_t>(row), by); });
            list_->selectRow(std::clamp(row + by, 0, list_->rowCount() - 1), kit::Notify::No);
            showRules();
        }
    } else if (n.sender == remove_ && n.type == kClick && list_) {
        const int row = list_->selectedRow();
        if (row >= 0 && static_cast<std::size_t>(row) < rules_.rules.size()) {
            const std::string application = rules_.rules[static_cast<std::size_t>(row)].application;
            changeRules([&](FocusRules& rules) { return rules.remove(application); });
            list_->selectRow(std::min(row, list_->rowCount() - 1), kit::Notify::No);
            showRules();
        }
    } else if (n.sender == openApplications_ && n.type == kSetFocus) {
        fillOpenApplications();
    } else if (n.sender == openApplications_ && n.type == kItemSelect) {
        const auto item = static_cast<std::size_t>(n.wParam);
        if (item >= 1 && item <= listedApplications_.size() && application_)
            application_->setText(FromUtf8(listedApplications_[item - 1]), kit::Notify::No);
        openApplications_->selectItem(0, kit::Notify::No);
    } else if ((n.sender == add_ && n.type == kClick) || (n.sender == application_ && n.type == kReturn)) {
        addRule();
    } else if (n.sender == fallback_ && n.type == kItemSelect) {
        const auto item = static_cast<std::size_t>(n.wParam);
        const ProfileStore& profiles = context_.profiles();
        std::optional<std::u16string> fallback = rules_.fallback;
        if (item == 0) fallback.reset();
        else if (item <= profiles.size()) fallback = profiles.at(item - 1).nameText();
        changeRules([&](FocusRules& rules) { return std::exchange(rules.fallback, fallback) != fallback; });
    }
    return {};
}

void AutoProfileSection::addRule() {
    if (!application_ || !profile_) return;
    const std::string application = application_->text().trimmed().toStdString();
    const int profile = profile_->currentSelection();
    if (application.empty() || profile < 0 || static_cast<std::size_t>(profile) >= context_.profiles().size()) return;
    const std::u16string name = context_.profiles().at(static_cast<std::size_t>(profile)).nameText();
    std::optional<std::string> refused;
    changeRules([&](FocusRules& rules) {
        const FocusRules before = rules;
        refused = rules.set(application, name);
        return !refused && rules != before;
    });
    if (refused) {
        qCInfo(lcPage).noquote() << "automatic profiles: rule refused:" << QString::fromStdString(*refused);
        context_.askUser("auto_rule_refused_text");
        return;
    }
    application_->setText(QString(), kit::Notify::No);
    if (list_) {
        if (std::optional<std::size_t> at = rules_.find(application))
            list_->selectRow(static_cast<int>(*at), kit::Notify::No);
        showRules();
    }
}

void AutoProfileSection::changeRules(const std::function<bool(FocusRules&)>& edit) {
    FocusRules changed = rules_;
    if (!edit(changed)) return;
    rules_ = std::move(changed);
    // Kept in memory whether or not the file could be written; the next change tries again.
    if (std::optional<std::string> error = SaveFocusRules(context_.parts().dataFolder, rules_))
        qCWarning(lcPage).noquote() << "automatic profiles not saved:" << QString::fromStdString(*error);
    showRules();
    focusChanged_();
}

}  // namespace halvern
