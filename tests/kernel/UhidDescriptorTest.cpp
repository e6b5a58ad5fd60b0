// The report descriptors the test guest hands the kernel: a slip here makes the kernel
// drop or cut the reports, and the guest's failures would point at the wrong code.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "UhidDevice.h"

namespace halvern::kernel {
namespace {

TEST(GuestReportDescriptor, EncodesAnInputCollectionAsTheHidItemsOfItsReports) {
    const CollectionSpec input{0x000A, 0, {}, {{3, 16}}};
    const std::vector<std::uint8_t> expected = {
        0x05, 0x0A, 0x09, 0x00, 0xA1, 0x01,        // usage page, usage, application
        0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,  // bytes 0..255
        0x85, 0x03, 0x09, 0x00, 0x95, 0x0F, 0x81, 0x02, 0xC0,
    };
    EXPECT_EQ(ReportDescriptor(std::span(&input, 1)), expected);
}

// Walks the short items and returns, per report id, the byte count of its feature
// fields (the report's length without the id byte).
std::map<int, int> FeatureLengths(const std::vector<std::uint8_t>& d) {
    std::map<int, int> lengths;
    int id = 0, count = 0, depth = 0;
    for (std::size_t i = 0; i < d.size();) {
        const std::uint8_t tag = d[i] & 0xFC;
        const std::size_t size = (d[i] & 3) == 3 ? 4 : (d[i] & 3);
        std::uint32_t value = 0;
        for (std::size_t b = 0; b < size && i + 1 + b < d.size(); ++b) value |= std::uint32_t{d[i + 1 + b]} << (8 * b);
        if (tag == 0x84) id = static_cast<int>(value);
        if (tag == 0x94) count = static_cast<int>(value);
        if (tag == 0xB0) lengths[id] += count;
        if (tag == 0xA0) ++depth;
        if (tag == 0xC0) --depth;
        i += 1 + size;
    }
    EXPECT_EQ(depth, 0);
    return lengths;
}

TEST(GuestReportDescriptor, GivesEachFeatureReportItsLengthLongOnesInTwoBytes) {
    const CollectionSpec command{0x000B, 0, {{0x04, 56}, {0x09, 64}, {0x0C, 10}, {0x20, 300}}, {}};
    const std::map<int, int> expected = {{0x04, 55}, {0x09, 63}, {0x0C, 9}, {0x20, 299}};
    EXPECT_EQ(FeatureLengths(ReportDescriptor(std::span(&command, 1))), expected);
}

TEST(GuestReportDescriptor, PointerCollectionsBalanceAndUseTheirOwnReportId) {
    const std::vector<std::uint8_t> pointer = PointerDescriptor();
    EXPECT_TRUE(FeatureLengths(pointer).empty());
    ASSERT_GE(pointer.size(), 8u);
    EXPECT_EQ(pointer[6], 0x85);
    EXPECT_EQ(pointer[7], kPointerReportId);
    EXPECT_NE(kPointerReportId, 3);  // the mouse's events
}

}  // namespace
}  // namespace halvern::kernel
