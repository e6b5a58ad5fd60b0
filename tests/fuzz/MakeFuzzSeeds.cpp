// Remakes tests/fuzz/seeds/ (or the folder given) from FuzzSeeds: each target's
// folder is emptied and written afresh.
//   build/bin/make_fuzz_seeds [folder]
#include <cstdio>
#include <fstream>

#include "FuzzSeeds.h"

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : HALVERN_FUZZ_SEEDS;
    for (const auto& [target, files] : halvern::fuzz::MakeSeeds(HALVERN_SOURCE_RES)) {
        std::filesystem::remove_all(folder / target);
        std::filesystem::create_directories(folder / target);
        for (const auto& [name, bytes] : files) {
            std::ofstream out(folder / target / name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!out) {
                std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", (folder / target / name).c_str());
                return 1;
            }
        }
        std::printf("%s: %zu seeds\n", target.c_str(), files.size());
    }
    return 0;
}
