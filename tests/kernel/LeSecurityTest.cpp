// The mouse's side of LE pairing in the test guest: a slip here and bluetoothd's
// pairing fails, and the guest's failures would point at halvern's Bluetooth code.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "LeSecurity.h"

namespace halvern::kernel {
namespace {

// A block from hex digits written most significant first, as the specifications print
// their sample data; stored least significant first unless `asWritten`.
Block B(const std::string& hex, bool asWritten = false) {
    Block b{};
    for (std::size_t i = 0; i < 16; ++i) b[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    if (!asWritten) std::reverse(b.begin(), b.end());
    return b;
}

TEST(LeSecurity, FunctionsMatchThePublishedSamples) {
    // FIPS-197 appendix C.1; the Core specification's samples of c1 and s1 (legacy
    // pairing), with iat 1, rat 0, ia A1A2A3A4A5A6, ra B1B2B3B4B5B6.
    EXPECT_EQ(Aes128Encrypt(B("000102030405060708090a0b0c0d0e0f", true), B("00112233445566778899aabbccddeeff", true)),
              B("69c4e0d86a7b0430d8cdb78070b4c55a", true));
    const std::array<std::uint8_t, 7> preq = {0x01, 0x01, 0x00, 0x00, 0x10, 0x07, 0x07};
    const std::array<std::uint8_t, 7> pres = {0x02, 0x03, 0x00, 0x00, 0x08, 0x00, 0x05};
    const LeAddress ia{1, {0xA6, 0xA5, 0xA4, 0xA3, 0xA2, 0xA1}};
    const LeAddress ra{0, {0xB6, 0xB5, 0xB4, 0xB3, 0xB2, 0xB1}};
    EXPECT_EQ(SmpC1(Block{}, B("5783D52156AD6F0E6388274EC6702EE0"), preq, pres, ia, ra),
              B("1e1e3fef878988ead2a74dc5bef13b86"));
    EXPECT_EQ(SmpS1(Block{}, B("000F0E0D0C0B0A091122334455667788"), B("010203040506070899AABBCCDDEEFF00")),
              B("9a1fe1f0e8b0f49b5b4216ae796da062"));
}

// The host's side of a pairing, as the kernel does it as initiator.
class Pairing : public ::testing::Test {
protected:
    Pairing()
        : mouse_([this](std::span<std::uint8_t> out) {
              for (auto& b : out) b = static_cast<std::uint8_t>(++counter_ * 37);
          }) {
        mouse_.connected(host_, self_);
    }

    // Request, confirm, random; returns the STK the host derives, or nullopt when the
    // mouse failed the pairing (its last PDU in `last`).
    std::optional<Block> pair(std::uint8_t maxKeySize = 16, bool honestConfirm = true) {
        const std::array<std::uint8_t, 7> preq = {smp::kPairingRequest, 0x04, 0x00, 0x2D, maxKeySize, 0x0F, 0x0F};
        auto out = mouse_.receive(preq);
        if (out.size() != 1 || out[0].size() != 7) return fail(out);
        std::array<std::uint8_t, 7> pres;
        std::copy(out[0].begin(), out[0].end(), pres.begin());
        EXPECT_EQ(pres[1], 0x03) << "no input, no output";
        EXPECT_EQ(pres[3], 0x01) << "bonding, no MITM, no secure connections";
        EXPECT_EQ(pres[5], 0x00) << "takes no keys";
        EXPECT_EQ(pres[6], 0x01) << "hands out its encryption key only";

        const Block hostRandom = B("00112233445566778899aabbccddeeff");
        Block confirm = SmpC1(Block{}, hostRandom, preq, pres, host_, self_);
        if (!honestConfirm) confirm[0] ^= 1;
        out = mouse_.receive(Pdu(smp::kPairingConfirm, confirm));
        if (out.size() != 1 || out[0][0] != smp::kPairingConfirm) return fail(out);
        const Block mouseConfirm = Tail(out[0]);
        out = mouse_.receive(Pdu(smp::kPairingRandom, hostRandom));
        if (out.size() != 1 || out[0][0] != smp::kPairingRandom) return fail(out);
        const Block mouseRandom = Tail(out[0]);
        EXPECT_EQ(SmpC1(Block{}, mouseRandom, preq, pres, host_, self_), mouseConfirm) << "the mouse's confirm holds";
        Block stk = SmpS1(Block{}, mouseRandom, hostRandom);
        std::fill(stk.begin() + maxKeySize, stk.end(), 0);
        return stk;
    }
    std::optional<Block> fail(const std::vector<SmpResponder::Pdu>& out) {
        last_ = out.empty() ? SmpResponder::Pdu{} : out.back();
        return std::nullopt;
    }
    static SmpResponder::Pdu Pdu(std::uint8_t code, const Block& b) {
        SmpResponder::Pdu p{code};
        p.insert(p.end(), b.begin(), b.end());
        return p;
    }
    static Block Tail(const SmpResponder::Pdu& p) {
        Block b{};
        std::copy(p.begin() + 1, p.end(), b.begin());
        return b;
    }

    int counter_ = 0;
    LeAddress host_{0, {0x00, 0x00, 0x00, 0x01, 0xAA, 0x00}};
    LeAddress self_{0, {0x01, 0x00, 0x01, 0x01, 0xAA, 0x00}};
    SmpResponder mouse_;
    SmpResponder::Pdu last_;
};

TEST_F(Pairing, JustWorksGivesBothSidesOneKeyAndTheMouseBondsWithItsOwn) {
    const std::optional<Block> stk = pair();
    ASSERT_TRUE(stk);
    EXPECT_EQ(mouse_.keyFor(0, 0), stk) << "the short-term key encrypts the link first";

    const auto keys = mouse_.encryptionStarted();
    ASSERT_EQ(keys.size(), 2u);
    ASSERT_EQ(keys[0].size(), 17u);
    ASSERT_EQ(keys[1].size(), 11u);
    EXPECT_EQ(keys[0][0], smp::kEncryptionInformation);
    EXPECT_EQ(keys[1][0], smp::kMasterIdentification);
    const Block ltk = Tail(keys[0]);
    const auto ediv = static_cast<std::uint16_t>(keys[1][1] | keys[1][2] << 8);
    std::uint64_t rand = 0;
    for (int i = 0; i < 8; ++i) rand |= std::uint64_t{keys[1][3 + i]} << (8 * i);
    EXPECT_TRUE(mouse_.bonded());
    EXPECT_TRUE(mouse_.encryptionStarted().empty()) << "keys are handed out once";

    // The next connection: the host asks for the key it was given.
    mouse_.connected(host_, self_);
    EXPECT_EQ(mouse_.keyFor(ediv, rand), ltk);
    EXPECT_FALSE(mouse_.keyFor(0, 0)) << "no pairing under way";
    EXPECT_FALSE(mouse_.keyFor(static_cast<std::uint16_t>(ediv + 1), rand));
}

TEST_F(Pairing, RefusesWhatItCannotDo) {
    struct Case {
        const char* what;
        std::uint8_t maxKeySize;
        bool honestConfirm;
        std::uint8_t reason;
    };
    const Case cases[] = {
        {"a key shorter than 7 bytes", 6, true, smp::kEncryptionKeySize},
        {"a confirm the host's random does not match", 16, false, smp::kConfirmValueFailed},
    };
    for (const Case& c : cases) {
        mouse_.connected(host_, self_);
        EXPECT_FALSE(pair(c.maxKeySize, c.honestConfirm)) << c.what;
        EXPECT_EQ(last_, (SmpResponder::Pdu{smp::kPairingFailed, c.reason})) << c.what;
        EXPECT_FALSE(mouse_.keyFor(0, 0)) << c.what;
    }
    // Out of turn: a random before any request.
    mouse_.connected(host_, self_);
    const auto out = mouse_.receive(Pdu(smp::kPairingRandom, Block{}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0][0], smp::kPairingFailed);
}

TEST_F(Pairing, AShorterKeyKeepsItsLeastSignificantBytes) {
    const std::optional<Block> stk = pair(7);
    ASSERT_TRUE(stk);
    EXPECT_EQ(mouse_.keyFor(0, 0), stk);
    const auto keys = mouse_.encryptionStarted();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_TRUE(std::all_of(keys[0].begin() + 8, keys[0].end(), [](std::uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace halvern::kernel
