// A fresh folder per test, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace halvern::test {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "halvern-test-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline std::vector<unsigned char> ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::filesystem::path& p, const std::vector<unsigned char>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadText(const std::filesystem::path& p) {
    const std::vector<unsigned char> bytes = ReadAll(p);
    return std::string(bytes.begin(), bytes.end());
}

inline void WriteText(const std::filesystem::path& p, const std::string& text) {
    WriteAll(p, std::vector<unsigned char>(text.begin(), text.end()));
}

template <typename Record>
std::vector<unsigned char> BytesOf(const Record& r) {
    auto b = r.bytes();
    return std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(b.data()),
                                      reinterpret_cast<const unsigned char*>(b.data()) + b.size());
}

}  // namespace halvern::test
