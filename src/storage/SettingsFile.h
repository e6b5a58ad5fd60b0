// "CONFIG.ini" in the data folder: section "SETTING", key "ModelId", the number of the
// mouse picture shown (0..2). Other sections and keys found in the file are kept as
// they are when the key is written.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
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

private:
    std::vector<std::string> lines_;
};

class SettingsFile {
public:
    static constexpr const char* kFileName = "CONFIG.ini";
    static constexpr const char* kSection = "SETTING";
    static constexpr const char* kModelIdKey = "ModelId";

    explicit SettingsFile(std::filesystem::path dataFolder);

    // The stored number read like a Windows INI integer: -1 when the file or key is
    // missing, the leading decimal number of the text otherwise (0 when there is none).
    int readModelId() const;

    // Writes the key ("%d"); the file is replaced whole only once the new one is
    // complete. Returns an error line, or nullopt.
    std::optional<std::string> saveModelId(int value) const;

    // The start-up rule: a value outside 0..2 becomes 0 and is written back.
    int loadModelIdForStartup() const;

    std::filesystem::path filePath() const { return folder_ / kFileName; }

private:
    std::filesystem::path folder_;
};

}  // namespace halvern
