// "CONFIG.ini" in the data folder: section "SETTING", key "ModelId", the number of the
// mouse picture shown (0..2), and key "ProfileFolder", the folder a profile file was
// last imported from or exported to; "Language", the language the user chose from the
// menu ("en", "de"; missing: follow the locale), and "Theme", the look the user chose
// ("dark", "light"; missing: follow the desktop); "BatteryWarnings", whether a low
// battery is told in a desktop notification ("1", the default, or "0"). Other sections
// and keys found in the file are kept as they are when a key is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvern {

// A small INI document that keeps every line it does not change, so writing one key
// never loses what else the file holds. Section and key names match without regard to
// ASCII case, as Windows INI files do.
class IniDocument {
public:
    static IniDocument Parse(std::string_view text);
    std::string text() const;

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    using Entry = std::pair<std::string, std::string>;
    // Every key and value of the section, in file order, read in one pass; a section
    // given twice gives the entries of both.
    std::vector<Entry> entries(std::string_view section) const;
    // The section holds exactly `entries` afterwards, in that order, where its first
    // header stood (at the end when it had none); its other lines, comments included,
    // and any later header of the same name go. Other sections are left as they are.
    void replaceSection(std::string_view section, const std::vector<Entry>& entries);

private:
    std::vector<std::string> lines_;
};

class SettingsFile {
public:
    static constexpr const char* kFileName = "CONFIG.ini";
    static constexpr const char* kSection = "SETTING";
    static constexpr const char* kModelIdKey = "ModelId";
    static constexpr const char* kProfileFolderKey = "ProfileFolder";
    static constexpr const char* kLanguageKey = "Language";
    static constexpr const char* kThemeKey = "Theme";
    static constexpr const char* kBatteryWarningsKey = "BatteryWarnings";
    // A settings file is a few lines; anything larger is not ours to parse whole.
    static constexpr std::uintmax_t kMaxBytes = 1024 * 1024;

    explicit SettingsFile(std::filesystem::path dataFolder);

    // The stored number read like a Windows INI integer: -1 when the file or key is
    // missing, the leading decimal number of the text otherwise (0 when there is none).
    int readModelId() const;

    // Writes the key ("%d"); the file is replaced whole only once the new one is
    // complete. Returns an error line, or nullopt.
    std::optional<std::string> saveModelId(int value) const;

    // The start-up rule: a value outside 0..2 becomes 0 and is written back.
    int loadModelIdForStartup() const;
    // The same rule in two steps, for a caller that writes the value back later.
    struct StartupModelId {
        int id = 0;
        bool writeBack = false;
    };
    StartupModelId modelIdForStartup() const;

    // The folder as written (UTF-8 text, surrounding blanks dropped), or nullopt when
    // the key is missing or empty. Anyone may have edited the file: the caller checks
    // that the folder is there before it starts a dialog in it.
    std::optional<std::string> readProfileFolder() const;
    // A folder whose name holds a line break cannot be written as one INI line and
    // is refused, as is one with blanks at either end, which would not read back.
    std::optional<std::string> saveProfileFolder(std::string_view folder) const;

    // A short name of letters, digits, '_' and '-' (a language code, a theme name), or
    // nullopt when the key is missing, empty or holds anything else: the file may have
    // been edited by hand, and these names end up in file names.
    std::optional<std::string> readLanguage() const { return readName(kLanguageKey); }
    std::optional<std::string> saveLanguage(std::string_view code) const { return saveName(kLanguageKey, code); }
    std::optional<std::string> readTheme() const { return readName(kThemeKey); }
    std::optional<std::string> saveTheme(std::string_view theme) const { return saveName(kThemeKey, theme); }

    // On unless the file says "0": a missing key or one edited into anything else
    // leaves them on, the safer side for a battery.
    bool readBatteryWarnings() const { return readValue(kBatteryWarningsKey) != "0"; }
    std::optional<std::string> saveBatteryWarnings(bool on) const {
        return saveValue(kBatteryWarningsKey, on ? "1" : "0");
    }

    std::filesystem::path filePath() const { return folder_ / kFileName; }

private:
    std::optional<std::string> readValue(std::string_view key) const;
    std::optional<std::string> saveValue(std::string_view key, std::string_view value) const;
    std::optional<std::string> readName(std::string_view key) const;
    std::optional<std::string> saveName(std::string_view key, std::string_view name) const;

    std::filesystem::path folder_;
};

}  // namespace halvern
