#include "LeSecurity.h"

#include <sys/random.h>

#include <algorithm>
#include <cstring>

namespace halvern::kernel {

namespace {

constexpr std::array<std::uint8_t, 256> kSbox = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76, 0xca, 0x82, 0xc9,
    0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0, 0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f,
    0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15, 0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07,
    0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75, 0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3,
    0x29, 0xe3, 0x2f, 0x84, 0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58,
    0xcf, 0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8, 0x51, 0xa3,
    0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2, 0xcd, 0x0c, 0x13, 0xec, 0x5f,
    0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73, 0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88,
    0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb, 0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac,
    0x62, 0x91, 0x95, 0xe4, 0x79, 0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a,
    0xae, 0x08, 0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a, 0x70,
    0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e, 0xe1, 0xf8, 0x98, 0x11,
    0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf, 0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42,
    0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16,
};

std::uint8_t Double(std::uint8_t b) { return static_cast<std::uint8_t>((b << 1) ^ ((b & 0x80) ? 0x1b : 0)); }

Block Reversed(const Block& b) {
    Block r;
    std::reverse_copy(b.begin(), b.end(), r.begin());
    return r;
}

Block Xor(const Block& a, const Block& b) {
    Block r;
    for (std::size_t i = 0; i < r.size(); ++i) r[i] = a[i] ^ b[i];
    return r;
}

void SystemRandom(std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::getrandom(out.data() + done, out.size() - done, 0);
        if (n > 0) done += static_cast<std::size_t>(n);
    }
}

template <typename T>
T Little(std::span<const std::uint8_t> bytes) {
    T v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v = static_cast<T>(v | static_cast<T>(bytes[i]) << (8 * i));
    return v;
}

}  // namespace

Block Aes128Encrypt(const Block& key, const Block& plain) {
    // The round keys, then ten rounds over the state (bytes column by column).
    std::array<std::uint8_t, 176> w{};
    std::copy(key.begin(), key.end(), w.begin());
    std::uint8_t rcon = 1;
    for (std::size_t i = 16; i < w.size(); i += 4) {
        std::uint8_t t[4] = {w[i - 4], w[i - 3], w[i - 2], w[i - 1]};
        if (i % 16 == 0) {
            const std::uint8_t first = t[0];
            t[0] = static_cast<std::uint8_t>(kSbox[t[1]] ^ rcon);
            t[1] = kSbox[t[2]];
            t[2] = kSbox[t[3]];
            t[3] = kSbox[first];
            rcon = Double(rcon);
        }
        for (std::size_t j = 0; j < 4; ++j) w[i + j] = w[i - 16 + j] ^ t[j];
    }
    Block s;
    for (std::size_t i = 0; i < 16; ++i) s[i] = plain[i] ^ w[i];
    for (std::size_t round = 1; round <= 10; ++round) {
        Block t;
        for (std::size_t c = 0; c < 4; ++c)
            for (std::size_t r = 0; r < 4; ++r) t[r + 4 * c] = kSbox[s[r + 4 * ((c + r) % 4)]];
        if (round < 10) {
            for (std::size_t c = 0; c < 4; ++c) {
                const std::uint8_t* a = &t[4 * c];
                const std::uint8_t all = a[0] ^ a[1] ^ a[2] ^ a[3];
                const std::uint8_t a0 = a[0];
                s[4 * c + 0] = a[0] ^ all ^ Double(a[0] ^ a[1]);
                s[4 * c + 1] = a[1] ^ all ^ Double(a[1] ^ a[2]);
                s[4 * c + 2] = a[2] ^ all ^ Double(a[2] ^ a[3]);
                s[4 * c + 3] = a[3] ^ all ^ Double(a[3] ^ a0);
            }
        } else {
            s = t;
        }
        for (std::size_t i = 0; i < 16; ++i) s[i] ^= w[16 * round + i];
    }
    return s;
}

Block SmpE(const Block& key, const Block& plain) { return Reversed(Aes128Encrypt(Reversed(key), Reversed(plain))); }

Block SmpC1(const Block& k, const Block& r, std::span<const std::uint8_t, 7> preq,
            std::span<const std::uint8_t, 7> pres, const LeAddress& initiator, const LeAddress& responder) {
    // p1 = pres || preq || rat || iat and p2 = padding || ia || ra, most significant
    // first; here least significant first.
    Block p1{}, p2{};
    p1[0] = initiator.type;
    p1[1] = responder.type;
    std::copy(preq.begin(), preq.end(), p1.begin() + 2);
    std::copy(pres.begin(), pres.end(), p1.begin() + 9);
    std::copy(responder.bytes.begin(), responder.bytes.end(), p2.begin());
    std::copy(initiator.bytes.begin(), initiator.bytes.end(), p2.begin() + 6);
    return SmpE(k, Xor(SmpE(k, Xor(r, p1)), p2));
}

Block SmpS1(const Block& k, const Block& r1, const Block& r2) {
    // The least significant halves: r1's above r2's.
    Block r{};
    std::copy_n(r2.begin(), 8, r.begin());
    std::copy_n(r1.begin(), 8, r.begin() + 8);
    return SmpE(k, r);
}

SmpResponder::SmpResponder() : random_(SystemRandom) {}

void SmpResponder::connected(const LeAddress& initiator, const LeAddress& responder) {
    initiator_ = initiator;
    responder_ = responder;
    step_ = Step::Idle;
    stk_.reset();
}

SmpResponder::Pdu SmpResponder::fail(std::uint8_t reason) {
    step_ = Step::Idle;
    stk_.reset();
    return {smp::kPairingFailed, reason};
}

std::vector<SmpResponder::Pdu> SmpResponder::receive(std::span<const std::uint8_t> pdu) {
    if (pdu.empty()) return {};
    const std::uint8_t code = pdu[0];
    if (code == smp::kPairingRequest) {
        if (pdu.size() != 7) return {fail(smp::kUnspecifiedReason)};
        const std::uint8_t maxKeySize = pdu[4];
        if (maxKeySize < 7 || maxKeySize > 16) return {fail(smp::kEncryptionKeySize)};
        std::copy(pdu.begin(), pdu.end(), preq_.begin());
        keySize_ = maxKeySize;
        // No keys, no display, no out-of-band data: Just Works. Bonding when asked;
        // the mouse hands out its encryption key and takes none.
        const std::uint8_t bonding = pdu[3] & 0x03;
        distributeKey_ = (pdu[6] & 0x01) != 0;
        pres_ = {smp::kPairingResponse,
                 0x03,
                 0x00,
                 bonding,
                 static_cast<std::uint8_t>(keySize_),
                 0x00,
                 static_cast<std::uint8_t>(distributeKey_ ? 0x01 : 0x00)};
        step_ = Step::WaitConfirm;
        stk_.reset();
        return {Pdu(pres_.begin(), pres_.end())};
    }
    if (code == smp::kPairingConfirm) {
        if (step_ != Step::WaitConfirm || pdu.size() != 17) return {fail(smp::kUnspecifiedReason)};
        std::copy(pdu.begin() + 1, pdu.end(), peerConfirm_.begin());
        random_(ownRandom_);
        const Block confirm = SmpC1(Block{}, ownRandom_, preq_, pres_, initiator_, responder_);
        step_ = Step::WaitRandom;
        Pdu out{smp::kPairingConfirm};
        out.insert(out.end(), confirm.begin(), confirm.end());
        return {out};
    }
    if (code == smp::kPairingRandom) {
        if (step_ != Step::WaitRandom || pdu.size() != 17) return {fail(smp::kUnspecifiedReason)};
        Block peerRandom;
        std::copy(pdu.begin() + 1, pdu.end(), peerRandom.begin());
        if (SmpC1(Block{}, peerRandom, preq_, pres_, initiator_, responder_) != peerConfirm_)
            return {fail(smp::kConfirmValueFailed)};
        Block stk = SmpS1(Block{}, ownRandom_, peerRandom);
        // A shorter key keeps its least significant bytes.
        std::fill(stk.begin() + static_cast<std::ptrdiff_t>(keySize_), stk.end(), 0);
        stk_ = stk;
        step_ = Step::WaitEncryption;
        Pdu out{smp::kPairingRandom};
        out.insert(out.end(), ownRandom_.begin(), ownRandom_.end());
        return {out};
    }
    if (code == smp::kPairingFailed) {
        step_ = Step::Idle;
        stk_.reset();
    }
    // The initiator's own keys (none were asked for) and anything else: no answer.
    return {};
}

std::optional<Block> SmpResponder::keyFor(std::uint16_t ediv, std::uint64_t rand) const {
    if (ediv == 0 && rand == 0) return stk_;
    if (ltk_ && ediv == ediv_ && rand == rand_) return ltk_;
    return std::nullopt;
}

std::vector<SmpResponder::Pdu> SmpResponder::encryptionStarted() {
    if (step_ != Step::WaitEncryption) return {};
    step_ = Step::Idle;
    stk_.reset();
    if (!distributeKey_) return {};
    Block ltk;
    random_(ltk);
    std::fill(ltk.begin() + static_cast<std::ptrdiff_t>(keySize_), ltk.end(), 0);
    std::array<std::uint8_t, 10> id;
    random_(id);
    ltk_ = ltk;
    ediv_ = Little<std::uint16_t>(std::span(id).first(2));
    rand_ = Little<std::uint64_t>(std::span(id).subspan(2));
    Pdu info{smp::kEncryptionInformation};
    info.insert(info.end(), ltk.begin(), ltk.end());
    Pdu ident{smp::kMasterIdentification};
    ident.insert(ident.end(), id.begin(), id.end());
    return {info, ident};
}

}  // namespace halvern::kernel
