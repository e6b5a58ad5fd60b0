// The test guest's GATT server, spoken to as bluetoothd speaks to a mouse: discovery
// in parts, long values read and written in parts, notifications once asked for.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "GattServer.h"

namespace halvern::kernel {
namespace {

using Pdu = GattServer::Pdu;

void Put16(Pdu& p, std::uint16_t v) {
    p.push_back(static_cast<std::uint8_t>(v));
    p.push_back(static_cast<std::uint8_t>(v >> 8));
}
std::uint16_t Get16(const Pdu& p, std::size_t at) { return static_cast<std::uint16_t>(p[at] | p[at + 1] << 8); }

Pdu Request(std::uint8_t op, std::initializer_list<std::uint16_t> words, std::vector<std::uint8_t> tail = {}) {
    Pdu p{op};
    for (std::uint16_t w : words) Put16(p, w);
    p.insert(p.end(), tail.begin(), tail.end());
    return p;
}

Pdu Error(std::uint8_t request, std::uint16_t handle, std::uint8_t code) {
    return {att::kErrorResponse, request, static_cast<std::uint8_t>(handle), static_cast<std::uint8_t>(handle >> 8),
            code};
}

class GattServerTest : public ::testing::Test {
protected:
    GattServerTest() {
        server_.addService(0x1800);
        server_.addCharacteristic(0x2A00, gatt::kRead, std::vector<std::uint8_t>(name_.begin(), name_.end()));
        server_.addService(0x180A);
        server_.addCharacteristic(0x2A50, gatt::kRead, {0x02, 0x5E, 0x04, 0xEE, 0x00, 0x01, 0x00});
        server_.addService(0x1812);
        longHandle_ = server_.addCharacteristic(0x2A4B, gatt::kRead, longValue_);
        server_.addCharacteristic(0x2A4D, gatt::kRead | gatt::kNotify, {0, 0, 0});
        server_.addDescriptor(0x2908, {0x01, 0x01});
        server_.addService(0xFEE0);
        commandHandle_ = server_.addCharacteristic(0xFEE3, gatt::kWrite, {}, [this](std::span<const std::uint8_t> v) {
            written_.emplace_back(v.begin(), v.end());
            return answer_;
        });
        eventHandle_ = server_.addCharacteristic(0xFEE4, gatt::kNotify, {});
    }

    Pdu ask(const Pdu& request) {
        std::optional<Pdu> answer = server_.receive(request);
        EXPECT_TRUE(answer) << "request " << int(request[0]) << " unanswered";
        return answer.value_or(Pdu{});
    }

    // Discovers everything the way a host does: each search continues after the last
    // handle the previous answer named, until "attribute not found".
    template <typename Each>
    void discover(std::uint8_t op, std::vector<std::uint8_t> uuid, Each each) {
        std::uint16_t start = 1;
        for (int guard = 0; guard < 100; ++guard) {
            Pdu answer = ask(Request(op, {start, 0xFFFF}, uuid));
            if (answer[0] == att::kErrorResponse) {
                EXPECT_EQ(answer, Error(op, start, att::kAttributeNotFound));
                return;
            }
            ASSERT_LE(answer.size(), att::kMtu);
            start = static_cast<std::uint16_t>(each(answer) + 1);
        }
        ADD_FAILURE() << "discovery does not end";
    }

    std::string name_ = "halvern virtual mouse";
    std::vector<std::uint8_t> longValue_ = [] {
        std::vector<std::uint8_t> v(61);
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(i * 7);
        return v;
    }();
    GattServer server_;
    std::uint16_t longHandle_ = 0, commandHandle_ = 0, eventHandle_ = 0;
    std::vector<std::vector<std::uint8_t>> written_;
    std::uint8_t answer_ = 0;
};

TEST_F(GattServerTest, AHostDiscoversServicesCharacteristicsAndDescriptorsInParts) {
    EXPECT_EQ(ask(Request(att::kExchangeMtuRequest, {517})), (Pdu{att::kExchangeMtuResponse, 23, 0}));

    std::map<std::uint16_t, std::pair<std::uint16_t, std::uint16_t>> services;  // start -> uuid, end
    discover(att::kReadByGroupTypeRequest, {0x00, 0x28}, [&](const Pdu& a) {
        EXPECT_EQ(a[1], 6);
        std::uint16_t last = 0;
        for (std::size_t i = 2; i + 6 <= a.size(); i += 6) {
            services[Get16(a, i)] = {Get16(a, i + 4), Get16(a, i + 2)};
            last = Get16(a, i + 2);
        }
        return last;
    });
    const std::map<std::uint16_t, std::pair<std::uint16_t, std::uint16_t>> expected = {
        {1, {0x1800, 3}}, {4, {0x180A, 6}}, {7, {0x1812, 13}}, {14, {0xFEE0, 19}}};
    EXPECT_EQ(services, expected);

    // Declarations: properties, value handle, UUID.
    std::map<std::uint16_t, std::pair<std::uint8_t, std::uint16_t>>
        characteristics;  // value handle -> properties, uuid
    discover(att::kReadByTypeRequest, {0x03, 0x28}, [&](const Pdu& a) {
        EXPECT_EQ(a[1], 7);
        std::uint16_t last = 0;
        for (std::size_t i = 2; i + 7 <= a.size(); i += 7) {
            characteristics[Get16(a, i + 3)] = {a[i + 2], Get16(a, i + 5)};
            last = Get16(a, i);
        }
        return last;
    });
    EXPECT_EQ(characteristics.size(), 6u);
    EXPECT_EQ(characteristics[commandHandle_], std::make_pair(gatt::kWrite, std::uint16_t{0xFEE3}));
    EXPECT_EQ(characteristics[eventHandle_], std::make_pair(gatt::kNotify, std::uint16_t{0xFEE4}));

    // Every attribute with its type, the descriptors after their values included.
    std::vector<std::uint16_t> types;
    discover(att::kFindInformationRequest, {}, [&](const Pdu& a) {
        EXPECT_EQ(a[1], 1) << "16-bit UUIDs";
        std::uint16_t last = 0;
        for (std::size_t i = 2; i + 4 <= a.size(); i += 4) {
            EXPECT_EQ(Get16(a, i), types.size() + 1);
            types.push_back(Get16(a, i + 2));
            last = Get16(a, i);
        }
        return last;
    });
    ASSERT_EQ(types.size(), 19u);
    EXPECT_EQ(types[11], gatt::kClientConfiguration);
    EXPECT_EQ(types[12], 0x2908);
    EXPECT_EQ(types[18], gatt::kClientConfiguration);

    // A value by its type given as a 128-bit UUID on the base UUID; the HID service by
    // its UUID.
    const std::vector<std::uint8_t> pnp128 = {0xFB, 0x34, 0x9B, 0x5F, 0x80, 0x00, 0x00, 0x80,
                                              0x00, 0x10, 0x00, 0x00, 0x50, 0x2A, 0x00, 0x00};
    EXPECT_EQ(ask(Request(att::kReadByTypeRequest, {1, 0xFFFF}, pnp128)),
              (Pdu{att::kReadByTypeResponse, 9, 6, 0, 0x02, 0x5E, 0x04, 0xEE, 0x00, 0x01, 0x00}));
    EXPECT_EQ(ask(Request(att::kFindByTypeValueRequest, {1, 0xFFFF, 0x2800}, {0x12, 0x18})),
              (Pdu{att::kFindByTypeValueResponse, 7, 0, 13, 0}));
    // Names of a type across services.
    Pdu names = ask(Request(att::kReadByTypeRequest, {1, 0xFFFF}, {0x00, 0x2A}));
    EXPECT_EQ(names[1], 2 + 19) << "a long value is cut to what fits";
}

TEST_F(GattServerTest, LongValuesAreReadInPartsAndWrittenWhole) {
    std::vector<std::uint8_t> read;
    Pdu part = ask(Request(att::kReadRequest, {longHandle_}));
    ASSERT_EQ(part[0], att::kReadResponse);
    ASSERT_EQ(part.size(), att::kMtu);
    while (part.size() == att::kMtu) {
        read.insert(read.end(), part.begin() + 1, part.end());
        part = ask(Request(att::kReadBlobRequest, {longHandle_, static_cast<std::uint16_t>(read.size())}));
        ASSERT_EQ(part[0], att::kReadBlobResponse);
    }
    read.insert(read.end(), part.begin() + 1, part.end());
    EXPECT_EQ(read, longValue_);
    EXPECT_EQ(ask(Request(att::kReadBlobRequest, {longHandle_, 62})),
              Error(att::kReadBlobRequest, longHandle_, att::kInvalidOffset));

    // 40 bytes in parts of 18, then executed: the firmware gets them as one value.
    std::vector<std::uint8_t> command(40);
    for (std::size_t i = 0; i < command.size(); ++i) command[i] = static_cast<std::uint8_t>(0xA0 + i);
    for (std::size_t at = 0; at < command.size(); at += 18) {
        std::vector<std::uint8_t> bytes(command.begin() + at, command.begin() + std::min(at + 18, command.size()));
        Pdu prepare = Request(att::kPrepareWriteRequest, {commandHandle_, static_cast<std::uint16_t>(at)}, bytes);
        Pdu echo = ask(prepare);
        prepare[0] = att::kPrepareWriteResponse;
        EXPECT_EQ(echo, prepare) << "the parts come back as they went";
    }
    EXPECT_TRUE(written_.empty()) << "nothing is written before the execute";
    EXPECT_EQ(ask(Pdu{att::kExecuteWriteRequest, 0x01}), (Pdu{att::kExecuteWriteResponse}));
    ASSERT_EQ(written_.size(), 1u);
    EXPECT_EQ(written_[0], command);

    // A cancelled queue writes nothing; a refused value answers the execute with the
    // firmware's error; a queue does not outlive its connection.
    ask(Request(att::kPrepareWriteRequest, {commandHandle_, 0}, {1, 2, 3}));
    EXPECT_EQ(ask(Pdu{att::kExecuteWriteRequest, 0x00}), (Pdu{att::kExecuteWriteResponse}));
    answer_ = att::kApplicationError;
    ask(Request(att::kPrepareWriteRequest, {commandHandle_, 0}, {4, 5, 6}));
    EXPECT_EQ(ask(Pdu{att::kExecuteWriteRequest, 0x01}),
              Error(att::kExecuteWriteRequest, commandHandle_, att::kApplicationError));
    ask(Request(att::kPrepareWriteRequest, {commandHandle_, 0}, {7, 8, 9}));
    server_.disconnected();
    answer_ = 0;
    EXPECT_EQ(ask(Pdu{att::kExecuteWriteRequest, 0x01}), (Pdu{att::kExecuteWriteResponse}));
    EXPECT_EQ(written_.size(), 2u);
    // Parts with a gap between them are no value.
    ask(Request(att::kPrepareWriteRequest, {commandHandle_, 0}, {1}));
    ask(Request(att::kPrepareWriteRequest, {commandHandle_, 5}, {2}));
    EXPECT_EQ(ask(Pdu{att::kExecuteWriteRequest, 0x01}),
              Error(att::kExecuteWriteRequest, commandHandle_, att::kInvalidOffset));
}

TEST_F(GattServerTest, WritesAndReadsAnswerByTheCharacteristicsProperties) {
    struct Case {
        const char* what;
        Pdu request;
        Pdu answer;
    };
    const std::uint16_t pnp = 6;
    const Case cases[] = {
        {"a short command", Request(att::kWriteRequest, {commandHandle_}, {1, 2}), {att::kWriteResponse}},
        {"a read-only value", Request(att::kWriteRequest, {pnp}, {1}),
         Error(att::kWriteRequest, pnp, att::kWriteNotPermitted)},
        {"a write-only value", Request(att::kReadRequest, {commandHandle_}),
         Error(att::kReadRequest, commandHandle_, att::kReadNotPermitted)},
        {"no such handle", Request(att::kReadRequest, {99}), Error(att::kReadRequest, 99, att::kInvalidHandle)},
        {"a range upside down", Request(att::kFindInformationRequest, {5, 4}),
         Error(att::kFindInformationRequest, 5, att::kInvalidHandle)},
        {"a configuration of one byte",
         Request(att::kWriteRequest, {static_cast<std::uint16_t>(eventHandle_ + 1)}, {1}),
         Error(att::kWriteRequest, static_cast<std::uint16_t>(eventHandle_ + 1), att::kInvalidAttributeValueLength)},
        {"a group other than services", Request(att::kReadByGroupTypeRequest, {1, 0xFFFF}, {0x03, 0x28}),
         Error(att::kReadByGroupTypeRequest, 1, att::kUnsupportedGroupType)},
        {"read multiple", Request(0x0E, {3, 6}), Error(0x0E, 0, att::kRequestNotSupported)},
        {"a truncated request", Pdu{att::kReadRequest, 3}, Error(att::kReadRequest, 0, att::kInvalidPdu)},
    };
    for (const Case& c : cases) EXPECT_EQ(ask(c.request), c.answer) << c.what;
    EXPECT_EQ(written_, (std::vector<std::vector<std::uint8_t>>{{1, 2}}));
    EXPECT_FALSE(server_.receive(Request(att::kWriteCommand, {commandHandle_}, {3}))) << "commands go unanswered";
    EXPECT_EQ(written_.size(), 1u) << "the command characteristic takes requests only";
}

TEST_F(GattServerTest, NotifiesOnlyWhileTheHostAsksAndRemembersAcrossConnections) {
    const std::uint8_t event[4] = {0xEE, 0x10, 0x02, 0x00};
    EXPECT_FALSE(server_.notification(eventHandle_, event));
    const auto ccc = static_cast<std::uint16_t>(eventHandle_ + 1);
    EXPECT_EQ(ask(Request(att::kWriteRequest, {ccc, 0x0001})), (Pdu{att::kWriteResponse}));
    EXPECT_EQ(ask(Request(att::kReadRequest, {ccc})), (Pdu{att::kReadResponse, 1, 0}));
    const Pdu expected = {att::kNotification, static_cast<std::uint8_t>(eventHandle_), 0, 0xEE, 0x10, 0x02, 0x00};
    EXPECT_EQ(server_.notification(eventHandle_, event), expected);
    server_.disconnected();
    EXPECT_EQ(server_.notification(eventHandle_, event), expected) << "a bonded host's choice stays";
    ask(Request(att::kWriteRequest, {ccc, 0x0000}));
    EXPECT_FALSE(server_.notification(eventHandle_, event));
    EXPECT_FALSE(server_.notification(commandHandle_, event)) << "no configuration, no notifications";
}

}  // namespace
}  // namespace halvern::kernel
