// The layers, read from the sources themselves: every #include of a project header
// must point at the file's own layer or one below it, the layers below the host include
// no Qt Widgets header, and the bottom four include no Qt at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// From the bottom. A file belongs to the first layer whose folder prefixes its path.
struct Layer {
    const char* folder;  // relative to the source root
    int rank;
    bool qtAllowed;
    bool widgetsAllowed;
};
constexpr Layer kLayers[] = {
    {"plugins/abi/", 0, false, false},  {"src/records/", 1, false, false},   {"src/keys/", 2, false, false},
    {"src/protocol/", 3, false, false}, {"src/storage/", 4, false, false},   {"src/platform/", 5, true, false},
    {"src/device/", 6, true, false},    {"emulator/", 7, true, false},       {"src/host/", 8, true, false},
    {"src/ui/kit/", 9, true, true},     {"src/ui/dialogs/", 10, true, true}, {"src/ui/macro/", 11, true, true},
    {"src/ui/page/", 12, true, true},   {"src/app/", 13, true, true},        {"tools/halvernctl/", 13, true, false},
};

std::optional<Layer> LayerOf(const std::string& relative) {
    for (const Layer& layer : kLayers)
        if (relative.starts_with(layer.folder)) return layer;
    return std::nullopt;
}

struct Include {
    std::string header;
    bool angled;
    int line;
};

std::vector<Include> IncludesOf(const fs::path& file) {
    static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> out;
    std::ifstream in(file);
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        std::smatch m;
        if (std::regex_search(text, m, kInclude)) out.push_back({m[2].str(), m[1].str() == "<", line});
    }
    return out;
}

// The layer a quoted include names: "records/MouseProfile.h" is src/records/; a bare
// name is the including folder's own file; halvern_abi.h is the plugin ABI.
std::optional<Layer> LayerOfInclude(const std::string& header, const std::string& includer) {
    if (header == "halvern_abi.h") return LayerOf("plugins/abi/");
    if (header.find('/') == std::string::npos) return LayerOf(includer);
    return LayerOf("src/" + header);
}

std::set<std::string> WidgetsHeaders() {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(HALVERN_QTWIDGETS_INCLUDE_DIR, ec))
        names.insert(entry.path().filename().string());
    names.erase("QtWidgets");  // added back below with its folder form
    names.insert("QtWidgets");
    return names;
}

bool IsQtHeader(const std::string& header) {
    return header.starts_with("Q") || header.starts_with("qt") || header.starts_with("Qt");
}

struct Violation {
    std::string where;
    std::string what;
};

std::vector<Violation> Check(const fs::path& root) {
    const std::set<std::string> widgets = WidgetsHeaders();
    std::vector<Violation> found;
    for (const char* top : {"src", "emulator", "tools", "plugins"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".c")) continue;
            const std::string relative = fs::relative(entry.path(), root).generic_string();
            const std::optional<Layer> own = LayerOf(relative);
            if (!own) continue;  // the run-time libraries: they see only the ABI header
            for (const Include& inc : IncludesOf(entry.path())) {
                const std::string where = relative + ":" + std::to_string(inc.line);
                if (inc.angled) {
                    const std::string base = inc.header.substr(inc.header.rfind('/') + 1);
                    if (!own->qtAllowed && IsQtHeader(base))
                        found.push_back({where, "Qt header <" + inc.header + "> in a Qt-free layer"});
                    else if (!own->widgetsAllowed && (widgets.contains(base) || inc.header.starts_with("QtWidgets/")))
                        found.push_back({where, "Qt Widgets header <" + inc.header + "> below the ui layers"});
                    continue;
                }
                const std::optional<Layer> target = LayerOfInclude(inc.header, relative);
                if (!target) {
                    found.push_back({where, "\"" + inc.header + "\" is in no known layer"});
                } else if (target->rank > own->rank) {
                    found.push_back({where, "\"" + inc.header + "\" points up from " + own->folder});
                }
            }
        }
    }
    return found;
}

TEST(Layers, EveryIncludePointsDownAndQtStaysAboveTheCore) {
    const std::vector<Violation> found = Check(HALVERN_SOURCE_DIR);
    for (const Violation& v : found) ADD_FAILURE() << v.where << ": " << v.what;
}

// The check must be able to fail: a tree with one upward include is caught.
TEST(Layers, AnUpwardIncludeIsReported) {
    const fs::path root = fs::temp_directory_path() / ("halvern-layers-" + std::to_string(::getpid()));
    fs::create_directories(root / "src/records");
    fs::create_directories(root / "src/storage");
    fs::create_directories(root / "emulator");
    fs::create_directories(root / "tools");
    fs::create_directories(root / "plugins");
    std::ofstream(root / "src/records/A.h") << "#include \"storage/B.h\"\n#include <QString>\n";
    std::ofstream(root / "src/storage/B.h") << "#include \"records/A.h\"\n#include <vector>\n";
    const std::vector<Violation> found = Check(root);
    fs::remove_all(root);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].where.substr(0, 15), "src/records/A.h");
}

}  // namespace
