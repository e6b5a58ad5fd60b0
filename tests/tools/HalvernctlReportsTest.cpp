#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "records/MouseProfile.h"
#include "storage/RecordFiles.h"
#include "support/Macros.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

test::ProcessResult Ctl(const std::vector<std::string>& args) { return test::RunProcess(HALVERNCTL_PATH, args); }

std::vector<std::string> Lines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const std::string kPreamble = "0c0a01fe01fe00000000";
const std::string kDefaultSensor =
    "04380100013f20001225384b75d30000000000000000000002ff000000ff000000ffffff0000ffffff00ffff4000ffffff010f9800000000";
const std::string kDefaultLight = "050f017003a800ff000104021f0000";
const std::string kDefaultPolling = "06090101fe00000000";
const std::string kDefaultButtons =
    "083b010200000300000400000600000500000100000100000100003c00000d00000100000100000100000100000100000100000a0000090000"
    "0079";

struct Files {
    test::TempDir dir;
    std::string write(const MouseProfile& p, const std::string& name) {
        std::string path = (dir / name).string();
        EXPECT_FALSE(ExportProfile(p, path));
        return path;
    }
};

TEST(HalvernctlReports, FullApplyOfADefaultProfileOnEachTransport) {
    Files f;
    std::string pro = f.write(*MouseProfile::Create(u"P"), "p.pro");
    const std::vector<std::string> hid = {kPreamble, kDefaultSensor, kDefaultLight, kDefaultPolling, kDefaultButtons};
    for (const char* transport : {"cable", "receiver"}) {
        auto r = Ctl({"reports", pro, "--transport", transport});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Lines(r.out), hid) << transport;
        EXPECT_EQ(r.err, "");
    }
    auto r = Ctl({"reports", "--transport", "ble", pro});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{kPreamble, kDefaultSensor, kDefaultLight, kDefaultButtons}));
}

TEST(HalvernctlReports, MacroChunksTravelInPartsOnTheHidLinksAndWholeOverBle) {
    Files f;
    auto p = MouseProfile::Create(u"P");
    p->buttons[0].assignMacro(test::ShortStepMacro(60), 0, 1, 0);
    p->buttons[8].assignMacro(test::ShortStepMacro(3), 0, 1, 1);
    std::string pro = f.write(*p, "p.pro");

    auto ble = Lines(Ctl({"reports", pro, "--transport", "ble"}).out);
    ASSERT_EQ(ble.size(), 4u + 3);
    std::vector<std::string> chunks(ble.begin() + 4, ble.end());
    EXPECT_EQ(chunks[0].substr(0, 6), "098301");
    EXPECT_EQ(chunks[1].substr(0, 6), "098302");
    EXPECT_EQ(chunks[2].substr(0, 6), "098315");

    for (const char* transport : {"cable", "receiver"}) {
        auto lines = Lines(Ctl({"reports", pro, "--transport", transport}).out);
        ASSERT_EQ(lines.size(), 5u + 3 * 3) << transport;
        for (std::size_t c = 0; c < 3; ++c) {
            const std::string* part = &lines[5 + 3 * c];
            for (std::size_t i = 0; i < 3; ++i) ASSERT_EQ(part[i].size(), 128u);
            EXPECT_EQ(part[0].substr(0, 4), "0940");
            EXPECT_EQ(part[2].substr(0, 4), std::string(transport) == "receiver" ? "090c" : "0940");
            // The parts carry the whole chunk after its first three bytes, in order.
            EXPECT_EQ(part[0].substr(8) + part[1].substr(8) + part[2].substr(8, 16), chunks[c].substr(6)) << c;
            EXPECT_EQ(part[2].substr(24), std::string(104, '0'));
        }
    }
}

TEST(HalvernctlReports, AgainstTheLastProfileOnlyChangedGroupsAreWritten) {
    Files f;
    auto last = MouseProfile::Create(u"P");
    std::string lastPath = f.write(*last, "last.pro");

    MouseProfile bleEffect = *last;
    bleEffect.lightEffectBle = 12;
    auto r = Ctl({"reports", f.write(bleEffect, "ble.pro"), "--transport", "receiver", "--against", lastPath});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{kDefaultLight});

    MouseProfile renamed = *last;
    renamed.setName(u"Another name");
    for (const char* transport : {"cable", "receiver", "ble"}) {
        r = Ctl({"reports", f.write(renamed, "renamed.pro"), "--against", lastPath, "--transport", transport});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "") << transport;
    }

    MouseProfile polling = *last;
    polling.pollingRate = 0;
    r = Ctl({"reports", f.write(polling, "polling.pro"), "--transport", "ble", "--against", lastPath});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");  // nothing to write: the polling rate does not go over Bluetooth LE
}

TEST(HalvernctlReports, MisuseAndUnreadableFiles) {
    Files f;
    std::string pro = f.write(*MouseProfile::Create(u"P"), "p.pro");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"reports"},
             {"reports", pro},
             {"reports", pro, "--transport"},
             {"reports", pro, "--transport", "usb"},
             {"reports", pro, "--transport", "ble", "--transport", "cable"},
             {"reports", pro, pro, "--transport", "ble"},
             {"reports", pro, "--transport", "ble", "--against"},
             {"reports", pro, "--transport", "ble", "--full"},
         }) {
        auto r = Ctl(args);
        EXPECT_EQ(r.exitCode, 2) << args.size();
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.out, "");
    }
    test::WriteAll(f.dir / "short.pro", std::vector<unsigned char>(43935, 0));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"reports", (f.dir / "missing.pro").string(), "--transport", "cable"},
             {"reports", (f.dir / "short.pro").string(), "--transport", "cable"},
             {"reports", pro, "--transport", "cable", "--against", (f.dir / "short.pro").string()},
         }) {
        auto r = Ctl(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(".pro"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(HalvernctlReports, AHostileProfileIsRepairedAsTheImportRepairsItOrRefusedAsTheImportRefusesIt) {
    Files f;
    auto p = MouseProfile::Create(u"P");
    p->buttons[1].assignMacro(test::ShortStepMacro(160), 0, 1, -1);
    p->buttons[1].macroActionCount = 0xFFFF;
    for (auto& v : p->dpiValue) v = -7;
    p->lightEffect = 0x7FFFFFFF;
    auto r = Ctl({"reports", f.write(*p, "hostile.pro"), "--transport", "ble"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("repaired as halvern repairs what it reads: dpi.1, dpi.2, "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(", light.effect, button.2 macro"), std::string::npos) << r.err;
    auto lines = Lines(r.out);
    // 160 short steps fill the button's four blocks, after the four reports.
    ASSERT_EQ(lines.size(), 4u + 4);
    for (std::size_t i = 4; i < lines.size(); ++i) EXPECT_EQ(lines[i].size(), 262u);

    // Steps no editor makes (kind 0, a pause past 25 s) are nothing halvern would send.
    for (auto& a : p->buttons[1].macroActions) a = {0xFF, 0, 0xFFFF};
    r = Ctl({"reports", f.write(*p, "hostile.pro"), "--transport", "ble"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("button.2 plays the macro 'Burst', which step 1 is neither a press nor a release"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace halvern
