// The mouse's side of LE pairing (the Security Manager Protocol, legacy "Just Works"
// pairing, as a mouse without keys or display does it) and the key the link is
// encrypted with afterwards. The mouse answers; the host initiates.
//
// Byte strings are little-endian, as they travel in SMP PDUs and HCI packets.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace halvern::kernel {

using Block = std::array<std::uint8_t, 16>;

// AES-128 of one block, bytes in FIPS-197 order (the first byte is the most
// significant).
Block Aes128Encrypt(const Block& key, const Block& plain);

// Security function e: AES-128 over little-endian key and data.
Block SmpE(const Block& key, const Block& plain);

struct LeAddress {
    std::uint8_t type = 0;  // 0 public, 1 random
    std::array<std::uint8_t, 6> bytes{};
};

// The confirm value function c1 and the key generation function s1 of legacy pairing.
// `preq` and `pres` are the pairing request and response PDUs, opcode included.
Block SmpC1(const Block& k, const Block& r, std::span<const std::uint8_t, 7> preq,
            std::span<const std::uint8_t, 7> pres, const LeAddress& initiator, const LeAddress& responder);
Block SmpS1(const Block& k, const Block& r1, const Block& r2);

namespace smp {
inline constexpr std::uint8_t kPairingRequest = 0x01, kPairingResponse = 0x02, kPairingConfirm = 0x03,
                              kPairingRandom = 0x04, kPairingFailed = 0x05, kEncryptionInformation = 0x06,
                              kMasterIdentification = 0x07;
inline constexpr std::uint8_t kConfirmValueFailed = 0x04, kPairingNotSupported = 0x05, kEncryptionKeySize = 0x06,
                              kUnspecifiedReason = 0x08;
}  // namespace smp

class SmpResponder {
public:
    using Pdu = std::vector<std::uint8_t>;
    // Fills its argument with random bytes; the system's by default.
    using RandomSource = std::function<void(std::span<std::uint8_t>)>;

    SmpResponder();
    explicit SmpResponder(RandomSource random) : random_(std::move(random)) {}

    // A new connection between these two addresses; a pairing under way ends.
    void connected(const LeAddress& initiator, const LeAddress& responder);

    // One SMP PDU from the initiator; returns the PDUs to send back, in order.
    std::vector<Pdu> receive(std::span<const std::uint8_t> pdu);

    // The key the controller asks for to encrypt the link: the short-term key of the
    // pairing under way (EDIV and Rand zero), else the long-term key handed out with
    // this EDIV and Rand; nullopt for a key the mouse does not have.
    std::optional<Block> keyFor(std::uint16_t ediv, std::uint64_t rand) const;

    // The link is encrypted: after a pairing, the keys the mouse hands out (its
    // long-term key, EDIV and Rand), which it keeps for the next connections.
    std::vector<Pdu> encryptionStarted();

    bool bonded() const { return ltk_.has_value(); }

private:
    enum class Step { Idle, WaitConfirm, WaitRandom, WaitEncryption };
    Pdu fail(std::uint8_t reason);

    RandomSource random_;
    Step step_ = Step::Idle;
    LeAddress initiator_, responder_;
    std::array<std::uint8_t, 7> preq_{}, pres_{};
    std::size_t keySize_ = 16;
    bool distributeKey_ = false;
    Block peerConfirm_{}, ownRandom_{};
    std::optional<Block> stk_;
    std::optional<Block> ltk_;
    std::uint16_t ediv_ = 0;
    std::uint64_t rand_ = 0;
};

}  // namespace halvern::kernel
