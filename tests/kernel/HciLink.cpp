#include "HciLink.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace halvern::kernel {

namespace {

// From the kernel's Bluetooth headers, which the build machine need not have.
constexpr int kAfBluetooth = 31;
constexpr int kBtProtoHci = 1;
constexpr unsigned short kHciChannelUser = 1;
struct SockaddrHci {
    sa_family_t family;
    unsigned short dev;
    unsigned short channel;
};

constexpr std::uint8_t kCommandPacket = 0x01, kAclPacket = 0x02, kEventPacket = 0x04;

namespace op {
constexpr std::uint16_t kDisconnect = 0x0406, kSetEventMask = 0x0C01, kReset = 0x0C03, kReadBufferSize = 0x1005,
                        kReadBdAddr = 0x1009, kLeReadBufferSize = 0x2002, kLeSetAdvertisingParameters = 0x2006,
                        kLeSetAdvertisingData = 0x2008, kLeSetScanResponseData = 0x2009, kLeSetAdvertiseEnable = 0x200A,
                        kLeLtkReply = 0x201A, kLeLtkNegativeReply = 0x201B;
}
namespace ev {
constexpr std::uint8_t kDisconnectionComplete = 0x05, kEncryptionChange = 0x08, kCommandComplete = 0x0E,
                       kCommandStatus = 0x0F, kNumberOfCompletedPackets = 0x13, kKeyRefreshComplete = 0x30,
                       kLeMeta = 0x3E;
constexpr std::uint8_t kLeConnectionComplete = 0x01, kLeLtkRequest = 0x05, kLeEnhancedConnectionComplete = 0x0A;
}  // namespace ev

std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

std::vector<std::uint8_t> Padded(std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(std::min<std::size_t>(data.size(), 31))};
    out.insert(out.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(out[0]));
    out.resize(32, 0);
    return out;
}

}  // namespace

HciLink::~HciLink() {
    if (fd_ >= 0) ::close(fd_);
}

bool HciLink::open(int index, Advertisement advertisement, Handlers handlers, std::string& error) {
    handlers_ = std::move(handlers);
    fd_ = ::socket(kAfBluetooth, SOCK_RAW | SOCK_CLOEXEC, kBtProtoHci);
    if (fd_ < 0) {
        error = std::string("no Bluetooth sockets: ") + std::strerror(errno);
        return false;
    }
    const SockaddrHci address{static_cast<sa_family_t>(kAfBluetooth), static_cast<unsigned short>(index),
                              kHciChannelUser};
    // The kernel sets a new controller up for a moment; it cannot be taken meanwhile.
    int tries = 0;
    while (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if ((errno != EBUSY && errno != ENODEV) || ++tries == 100) {
            error = "cannot take hci" + std::to_string(index) + ": " + std::strerror(errno);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    const std::uint8_t eventMask[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x1F, 0x00, 0x20};  // the default, and LE events
    if (!commandNow(op::kReset, {}, error) || !commandNow(op::kSetEventMask, eventMask, error)) return false;
    auto bdaddr = commandNow(op::kReadBdAddr, {}, error);
    if (!bdaddr || bdaddr->size() < 7) return false;
    std::copy_n(bdaddr->begin() + 1, 6, self_.bytes.begin());
    auto buffers = commandNow(op::kLeReadBufferSize, {}, error);
    if (!buffers || buffers->size() < 4) return false;
    aclMtu_ = Le16(*buffers, 1);
    aclBuffers_ = (*buffers)[3];
    if (aclMtu_ == 0 || aclBuffers_ == 0) {
        // The controller shares its BR/EDR buffers with LE.
        buffers = commandNow(op::kReadBufferSize, {}, error);
        if (!buffers || buffers->size() < 8) return false;
        aclMtu_ = Le16(*buffers, 1);
        aclBuffers_ = Le16(*buffers, 4);
    }
    aclMtu_ = std::max<std::size_t>(aclMtu_, 27);
    aclFree_ = aclBuffers_;

    // Connectable undirected advertising every 20 to 30 ms on all three channels.
    const std::uint8_t parameters[15] = {0x20, 0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0x07, 0x00};
    if (!commandNow(op::kLeSetAdvertisingParameters, parameters, error) ||
        !commandNow(op::kLeSetAdvertisingData, Padded(advertisement.data), error) ||
        !commandNow(op::kLeSetScanResponseData, Padded(advertisement.response), error))
        return false;
    const std::uint8_t enable = 1;
    return commandNow(op::kLeSetAdvertiseEnable, std::span(&enable, 1), error).has_value();
}

bool HciLink::write(std::uint8_t type, std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> packet{type};
    packet.insert(packet.end(), bytes.begin(), bytes.end());
    return ::write(fd_, packet.data(), packet.size()) == static_cast<ssize_t>(packet.size());
}

std::optional<HciLink::Packet> HciLink::read() {
    std::uint8_t buffer[1100];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 1) return std::nullopt;
    return Packet{buffer[0], std::vector<std::uint8_t>(buffer + 1, buffer + n)};
}

std::optional<std::vector<std::uint8_t>> HciLink::commandNow(std::uint16_t opcode, std::span<const std::uint8_t> params,
                                                             std::string& error) {
    std::vector<std::uint8_t> command;
    PutLe16(command, opcode);
    command.push_back(static_cast<std::uint8_t>(params.size()));
    command.insert(command.end(), params.begin(), params.end());
    char name[32];
    std::snprintf(name, sizeof name, "HCI command %04x", opcode);
    if (!write(kCommandPacket, command)) {
        error = std::string(name) + ": " + std::strerror(errno);
        return std::nullopt;
    }
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 3000) <= 0) {
            error = std::string(name) + ": no answer";
            return std::nullopt;
        }
        std::optional<Packet> packet = read();
        if (!packet || packet->type != kEventPacket || packet->bytes.size() < 2) continue;
        const auto& e = packet->bytes;
        if (e[0] == ev::kCommandComplete && e.size() >= 6 && Le16(e, 3) == opcode) {
            std::vector<std::uint8_t> parameters(e.begin() + 5, e.end());
            if (parameters[0] != 0) {
                error = std::string(name) + ": status " + std::to_string(parameters[0]);
                return std::nullopt;
            }
            return parameters;
        }
        if (e[0] == ev::kCommandStatus && e.size() >= 6 && Le16(e, 4) == opcode) {
            if (e[2] != 0) {
                error = std::string(name) + ": status " + std::to_string(e[2]);
                return std::nullopt;
            }
            return std::vector<std::uint8_t>{0};
        }
    }
}

void HciLink::command(std::uint16_t opcode, std::vector<std::uint8_t> params) {
    commands_.emplace_back(opcode, std::move(params));
    flushCommands();
}

void HciLink::flushCommands() {
    while (commandCredits_ > 0 && !commands_.empty()) {
        auto [opcode, params] = std::move(commands_.front());
        commands_.pop_front();
        std::vector<std::uint8_t> command;
        PutLe16(command, opcode);
        command.push_back(static_cast<std::uint8_t>(params.size()));
        command.insert(command.end(), params.begin(), params.end());
        if (write(kCommandPacket, command)) --commandCredits_;
    }
}

void HciLink::advertise() { command(op::kLeSetAdvertiseEnable, {1}); }

bool HciLink::disconnect() {
    if (!connection_) return false;
    std::vector<std::uint8_t> params;
    PutLe16(params, *connection_);
    params.push_back(0x13);  // remote user terminated the connection
    command(op::kDisconnect, std::move(params));
    return true;
}

bool HciLink::send(std::uint16_t channel, std::span<const std::uint8_t> payload) {
    if (!connection_) return false;
    std::vector<std::uint8_t> frame;
    PutLe16(frame, static_cast<std::uint16_t>(payload.size()));
    PutLe16(frame, channel);
    frame.insert(frame.end(), payload.begin(), payload.end());
    // In parts the controller's buffers take: the first part flagged as a start.
    for (std::size_t at = 0; at < frame.size(); at += aclMtu_) {
        const std::size_t n = std::min(aclMtu_, frame.size() - at);
        std::vector<std::uint8_t> packet;
        PutLe16(packet, static_cast<std::uint16_t>(*connection_ | (at == 0 ? 0x0000 : 0x1000)));
        PutLe16(packet, static_cast<std::uint16_t>(n));
        packet.insert(packet.end(), frame.begin() + static_cast<std::ptrdiff_t>(at),
                      frame.begin() + static_cast<std::ptrdiff_t>(at + n));
        acl_.push_back(std::move(packet));
    }
    flushAcl();
    return true;
}

void HciLink::flushAcl() {
    while (aclFree_ > 0 && !acl_.empty()) {
        if (!write(kAclPacket, acl_.front())) break;
        acl_.pop_front();
        --aclFree_;
    }
}

void HciLink::handle() {
    std::optional<Packet> packet = read();
    if (!packet) return;
    if (packet->type == kEventPacket && packet->bytes.size() >= 2) onEvent(packet->bytes);
    else if (packet->type == kAclPacket && packet->bytes.size() >= 4) onAcl(packet->bytes);
}

void HciLink::onEvent(std::span<const std::uint8_t> e) {
    const auto p = e.subspan(2);
    switch (e[0]) {
        case ev::kCommandComplete:
            if (p.size() >= 3) {
                commandCredits_ = p[0];
                if (p.size() >= 4 && p[3] != 0)
                    std::fprintf(stderr, "halvern-ble: HCI command %04x: status %u\n", Le16(p, 1), p[3]);
            }
            flushCommands();
            break;
        case ev::kCommandStatus:
            if (p.size() >= 4) {
                commandCredits_ = p[1];
                if (p[0] != 0) std::fprintf(stderr, "halvern-ble: HCI command %04x: status %u\n", Le16(p, 2), p[0]);
            }
            flushCommands();
            break;
        case ev::kDisconnectionComplete:
            if (p.size() >= 4 && p[0] == 0 && connection_ && Le16(p, 1) == *connection_) ended(p[3]);
            break;
        case ev::kEncryptionChange:
            if (p.size() >= 4 && p[0] == 0 && p[3] != 0 && connection_ && Le16(p, 1) == *connection_) {
                encrypted_ = true;
                if (handlers_.encrypted) handlers_.encrypted();
            }
            break;
        case ev::kKeyRefreshComplete:
            if (p.size() >= 3 && p[0] == 0 && encrypted_ && handlers_.encrypted) handlers_.encrypted();
            break;
        case ev::kNumberOfCompletedPackets:
            if (!p.empty()) {
                for (std::size_t i = 0; i < p[0] && 1 + 4 * i + 3 < p.size(); ++i) aclFree_ += Le16(p, 1 + 4 * i + 2);
                aclFree_ = std::min(aclFree_, aclBuffers_);
            }
            flushAcl();
            break;
        case ev::kLeMeta:
            if (!p.empty()) onLeEvent(p);
            break;
        default: break;
    }
}

void HciLink::onLeEvent(std::span<const std::uint8_t> e) {
    if ((e[0] == ev::kLeConnectionComplete && e.size() >= 19) ||
        (e[0] == ev::kLeEnhancedConnectionComplete && e.size() >= 31)) {
        if (e[1] != 0 || e[4] != 0x01) return;  // failed, or not as the peripheral
        connection_ = static_cast<std::uint16_t>(Le16(e, 2) & 0x0FFF);
        encrypted_ = false;
        LeAddress host;
        host.type = e[5] & 0x01;  // identity address types count as their base type
        std::copy_n(e.begin() + 6, 6, host.bytes.begin());
        if (handlers_.connected) handlers_.connected(host, self_);
    } else if (e[0] == ev::kLeLtkRequest && e.size() >= 13) {
        const std::uint16_t handle = Le16(e, 1);
        std::uint64_t rand = 0;
        for (std::size_t i = 0; i < 8; ++i) rand |= std::uint64_t{e[3 + i]} << (8 * i);
        std::optional<Block> key = handlers_.keyRequested ? handlers_.keyRequested(Le16(e, 11), rand) : std::nullopt;
        std::vector<std::uint8_t> params;
        PutLe16(params, handle);
        if (key) params.insert(params.end(), key->begin(), key->end());
        command(key ? op::kLeLtkReply : op::kLeLtkNegativeReply, std::move(params));
    }
}

void HciLink::onAcl(std::span<const std::uint8_t> acl) {
    const std::uint16_t header = Le16(acl, 0);
    const std::size_t length = Le16(acl, 2);
    if (!connection_ || (header & 0x0FFF) != *connection_ || acl.size() < 4 + length) return;
    const auto data = acl.subspan(4, length);
    if ((header & 0x3000) == 0x1000) reassembly_.insert(reassembly_.end(), data.begin(), data.end());
    else reassembly_.assign(data.begin(), data.end());
    if (reassembly_.size() < 4) return;
    const std::size_t frameLength = Le16(reassembly_, 0);
    if (reassembly_.size() < 4 + frameLength) return;
    std::vector<std::uint8_t> frame;
    frame.swap(reassembly_);
    const std::uint16_t channel = Le16(frame, 2);
    const auto payload = std::span(frame).subspan(4, frameLength);
    if (channel == l2cap::kSignalingChannel) onSignaling(payload);
    else if (handlers_.received) handlers_.received(channel, payload);
}

void HciLink::onSignaling(std::span<const std::uint8_t> payload) {
    // The mouse opens no channels of its own and takes none (no Enhanced ATT): every
    // request on the signaling channel is answered "command not understood".
    if (payload.size() < 4) return;
    const std::uint8_t code = payload[0];
    const bool request = code == 0x06 || code == 0x0A || code == 0x12 || code == 0x14 || code == 0x17 || code == 0x19;
    if (!request) return;
    const std::uint8_t reject[] = {0x01, payload[1], 0x02, 0x00, 0x00, 0x00};
    send(l2cap::kSignalingChannel, reject);
}

void HciLink::ended(std::uint8_t reason) {
    connection_.reset();
    encrypted_ = false;
    acl_.clear();
    aclFree_ = aclBuffers_;
    reassembly_.clear();
    if (handlers_.disconnected) handlers_.disconnected(reason);
    advertise();
}

}  // namespace halvern::kernel
