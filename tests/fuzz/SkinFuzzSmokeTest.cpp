// Runs the skin fuzz targets over mutations of the real skin files on every test run.
#include <gtest/gtest.h>

#include <random>

#include "FuzzSeeds.h"
#include "SkinFuzzTargets.h"

namespace {

std::vector<std::vector<std::uint8_t>> Seeds(const char* target) {
    auto seeds = halvern::fuzz::ReadSeeds(HALVERN_FUZZ_SEEDS, target);
    EXPECT_FALSE(seeds.empty()) << "no seeds for " << target << "; run make_fuzz_seeds";
    return seeds;
}

// Truncations, byte flips, and splices of one element into another place.
void Mutate(const std::vector<std::uint8_t>& seed, void (*target)(const std::uint8_t*, std::size_t), int rounds) {
    std::mt19937 random(99);
    target(seed.data(), seed.size());
    for (int i = 0; i < rounds; ++i) {
        std::vector<std::uint8_t> m = seed;
        switch (random() % 3) {
            case 0: m.resize(random() % (m.size() + 1)); break;
            case 1:
                for (int f = 0; f < 4; ++f) m[random() % m.size()] = static_cast<std::uint8_t>(random());
                break;
            default: {
                const std::size_t from = random() % m.size(), len = random() % 200, to = random() % m.size();
                std::vector<std::uint8_t> piece(m.begin() + static_cast<long>(from),
                                                m.begin() + static_cast<long>(std::min(m.size(), from + len)));
                m.insert(m.begin() + static_cast<long>(to), piece.begin(), piece.end());
            }
        }
        target(m.data(), m.size());
    }
}

}  // namespace

TEST(SkinFuzzSmoke, LayoutsThatParseAlsoBuild) {
    for (const auto& seed : Seeds("LayoutInput")) Mutate(seed, halvern::fuzz::LayoutInput, 120);
    const std::string odd = R"(<Window size="0,0" caption="99999"><Tab selected="-5"><Tab/><Fill/></Tab>
        <Horizontal vscroll="true"><Slider min="10" max="-10" value="99999"/><Progress min="5" max="5"/>
        <Combo selected="7"><Item/></Combo><List rowheight="-3"><Item/></List>
        <Edit maxchar="-1"/><ColorPalette width="0" height="0"/></Horizontal></Window>)";
    halvern::fuzz::LayoutInput(reinterpret_cast<const std::uint8_t*>(odd.data()), odd.size());
}

TEST(SkinFuzzSmoke, LanguageFilesLoadOrLeaveTheTextsAlone) {
    for (const auto& seed : Seeds("LanguageFileInput")) Mutate(seed, halvern::fuzz::LanguageFileInput, 300);
}

TEST(SkinFuzzSmoke, MenusThatBuildPostOneCommandPerChoice) {
    for (const auto& seed : Seeds("MenuInput")) Mutate(seed, halvern::fuzz::MenuInput, 150);
}
