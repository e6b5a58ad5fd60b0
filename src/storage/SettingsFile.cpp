#include "storage/SettingsFile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstddef>

#include "storage/FileIo.h"

namespace halvern {

namespace {

constexpr std::uintmax_t kMaxSettingsBytes = SettingsFile::kMaxBytes;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "[name]" gives name; anything else gives nullopt.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// "key=value" gives (key, value); comments and other lines give nullopt.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#') return std::nullopt;
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return std::pair{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// The leading decimal integer of a value, as the Windows INI reader takes it.
int LeadingInteger(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > INT_MAX) break;
    }
    if (negative) v = -v;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument doc;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        doc.lines_.emplace_back(line);
        start = end + 1;
    }
    return doc;
}

std::string IniDocument::text() const {
    std::string out;
    for (const std::string& line : lines_) out += line + "\r\n";
    return out;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const std::string& line : lines_) {
        if (auto name = SectionName(line)) {
            inSection = SameName(*name, section);
        } else if (inSection) {
            if (auto kv = KeyValue(line); kv && SameName(kv->first, key)) return std::string(kv->second);
        }
    }
    return std::nullopt;
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    std::string entry = std::string(key) + "=" + std::string(value);
    std::optional<std::size_t> sectionEnd;  // index after the last line of the section
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = SectionName(lines_[i])) {
            inSection = SameName(*name, section);
            if (inSection) sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (auto kv = KeyValue(lines_[i]); kv && SameName(kv->first, key)) {
            lines_[i] = entry;
            return;
        }
        if (!Trim(lines_[i]).empty()) sectionEnd = i + 1;
    }
    if (sectionEnd) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*sectionEnd), entry);
    } else {
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(entry);
    }
}

std::vector<IniDocument::Entry> IniDocument::entries(std::string_view section) const {
    std::vector<Entry> out;
    bool inSection = false;
    for (const std::string& line : lines_) {
        if (auto name = SectionName(line)) inSection = SameName(*name, section);
        else if (inSection)
            if (auto kv = KeyValue(line)) out.emplace_back(kv->first, kv->second);
    }
    return out;
}

void IniDocument::replaceSection(std::string_view section, const std::vector<Entry>& entries) {
    std::vector<std::string> kept;
    std::optional<std::size_t> at;  // where the section's lines go in `kept`
    bool inSection = false;
    for (std::string& line : lines_) {
        if (auto name = SectionName(line)) {
            inSection = SameName(*name, section);
            if (inSection) {
                if (!at) at = kept.size();
                continue;
            }
        }
        if (!inSection) kept.push_back(std::move(line));
    }
    std::vector<std::string> own{"[" + std::string(section) + "]"};
    for (const auto& [key, value] : entries) own.push_back(key + "=" + value);
    const std::size_t position = at.value_or(kept.size());
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(position), own.begin(), own.end());
    lines_ = std::move(kept);
}

SettingsFile::SettingsFile(std::filesystem::path dataFolder) : folder_(std::move(dataFolder)) {}

std::optional<std::string> SettingsFile::readValue(std::string_view key) const {
    FileContents file = ReadFileBytes(filePath(), kMaxSettingsBytes);
    if (!file.ok()) return std::nullopt;
    std::string_view text(reinterpret_cast<const char*>(file.data.data()), file.data.size());
    return IniDocument::Parse(text).value(kSection, key);
}

std::optional<std::string> SettingsFile::saveValue(std::string_view key, std::string_view value) const {
    FileContents file = ReadFileBytes(filePath(), kMaxSettingsBytes);
    // Rewriting a file we could not read whole would lose what else it holds.
    if (file.exists && (!file.ok() || file.truncated))
        return PathForMessage(filePath()) + ": cannot update a file that cannot be read whole";
    IniDocument doc;
    if (file.ok())
        doc = IniDocument::Parse(std::string_view(reinterpret_cast<const char*>(file.data.data()), file.data.size()));
    doc.setValue(kSection, key, value);
    std::string text = doc.text();
    return WriteFileAtomically(filePath(), std::as_bytes(std::span(text.data(), text.size())));
}

int SettingsFile::readModelId() const {
    auto value = readValue(kModelIdKey);
    return value ? LeadingInteger(*value) : -1;
}

std::optional<std::string> SettingsFile::saveModelId(int value) const {
    return saveValue(kModelIdKey, std::to_string(value));
}

std::optional<std::string> SettingsFile::readProfileFolder() const {
    auto value = readValue(kProfileFolderKey);
    if (!value || value->empty()) return std::nullopt;
    return value;
}

std::optional<std::string> SettingsFile::saveProfileFolder(std::string_view folder) const {
    if (folder.find_first_of("\r\n") != std::string_view::npos)
        return "a folder whose name holds a line break is not kept in " + filePath().string();
    if (folder != Trim(folder))
        return "a folder whose name starts or ends with a blank is not kept in " + filePath().string();
    return saveValue(kProfileFolderKey, folder);
}

namespace {

bool IsShortName(std::string_view name) {
    return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
    });
}

}  // namespace

std::optional<std::string> SettingsFile::readName(std::string_view key) const {
    auto value = readValue(key);
    if (!value || !IsShortName(*value)) return std::nullopt;
    return value;
}

std::optional<std::string> SettingsFile::saveName(std::string_view key, std::string_view name) const {
    if (!IsShortName(name))
        return "'" + std::string(name) + "' is not a name that can be kept in " + filePath().string();
    return saveValue(key, name);
}

SettingsFile::StartupModelId SettingsFile::modelIdForStartup() const {
    const int id = readModelId();
    if (id < 0 || id > 2) return {0, true};
    return {id, false};
}

int SettingsFile::loadModelIdForStartup() const {
    const StartupModelId startup = modelIdForStartup();
    if (startup.writeBack) saveModelId(startup.id);
    return startup.id;
}

}  // namespace halvern
