// A skin folder for a test: the files the test writes, or a copy of the real skin
// with some files replaced. Windows built on it record what they are told.
#pragma once

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"

namespace halvern::test {

inline std::filesystem::path SourceSkinFolder() { return HALVERN_SOURCE_RES; }

class SkinFolder {
public:
    SkinFolder() = default;
    // Starts as a copy of the real skin.
    static std::unique_ptr<SkinFolder> CopyOfRealSkin() {
        auto folder = std::make_unique<SkinFolder>();
        std::filesystem::copy(SourceSkinFolder(), folder->path(), std::filesystem::copy_options::recursive);
        return folder;
    }

    void write(const std::string& relative, const std::string& text) {
        auto p = dir_.path() / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
    }
    const std::filesystem::path& path() const { return dir_.path(); }
    kit::Skin makeSkin() const { return kit::Skin(QString::fromStdString(dir_.path().string())); }

private:
    TempDir dir_;
};

struct Seen {
    std::string type;
    std::string sender;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const Seen&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << "{" << s.type << " " << s.sender << " " << s.wParam << " " << s.lParam << "}";
}

// Only the notifications of the given types.
inline std::vector<Seen> OfTypes(const std::vector<Seen>& seen, std::initializer_list<std::string_view> types) {
    std::vector<Seen> out;
    for (const auto& s : seen)
        for (auto t : types)
            if (s.type == t) out.push_back(s);
    return out;
}

inline Seen SeenOf(const kit::Notification& n) {
    return {n.type, n.sender ? n.sender->name().toStdString() : std::string(), n.wParam, n.lParam};
}

// A window on any layout file that keeps every notification, message and timer it gets.
class RecordingWindow : public kit::SkinWindow {
public:
    RecordingWindow(kit::Skin& skin, QString file) : kit::SkinWindow(skin), file_(std::move(file)) {}
    QString windowClassName() const override { return QStringLiteral("RecordingWindow"); }
    QString skinFile() const override { return file_; }

    // Drops mouseenter/mouseleave, which real mouse input raises in passing.
    std::vector<Seen> take(bool withHover = false) {
        std::vector<Seen> out;
        for (auto& s : seen)
            if (withHover || (s.type != "mouseenter" && s.type != "mouseleave")) out.push_back(s);
        seen.clear();
        return out;
    }

    std::vector<Seen> seen;
    std::vector<kit::Message> messages;
    std::vector<int> timers;

protected:
    void notify(const kit::Notification& n) override { seen.push_back(SeenOf(n)); }
    bool handleMessage(const kit::Message& m) override {
        messages.push_back(m);
        return true;
    }
    void onTimer(int id) override { timers.push_back(id); }

private:
    QString file_;
};

class RecordingPump : public kit::NotifyPump {
public:
    void notify(const kit::Notification& n) override { seen.push_back(SeenOf(n)); }
    std::vector<Seen> seen;
};

}  // namespace halvern::test
