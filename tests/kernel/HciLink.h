// The mouse's radio: one Bluetooth controller taken over whole through the kernel's
// HCI user channel, so that no host stack of the machine (neither the kernel's nor
// bluetoothd) drives it, as none drives the controller inside a real mouse. It
// advertises as a connectable LE peripheral, carries L2CAP's fixed channels over the
// connection and answers the controller's requests for the encryption key; ATT and
// SMP themselves are the caller's.
//
// Single-threaded: handle() is called when fd() is readable, and calls back from
// within.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "LeSecurity.h"

namespace halvern::kernel {

namespace l2cap {
inline constexpr std::uint16_t kAttChannel = 0x0004, kSignalingChannel = 0x0005, kSmpChannel = 0x0006;
}

class HciLink {
public:
    struct Handlers {
        // A host connected: its address and the one it reached.
        std::function<void(const LeAddress& host, const LeAddress& self)> connected;
        std::function<void(std::uint8_t reason)> disconnected;
        // A whole L2CAP frame's payload on a fixed channel other than signaling.
        std::function<void(std::uint16_t channel, std::span<const std::uint8_t> payload)> received;
        // The controller needs the key for this EDIV and Rand; nullopt refuses.
        std::function<std::optional<Block>(std::uint16_t ediv, std::uint64_t rand)> keyRequested;
        // The link is encrypted (first time, or with a refreshed key).
        std::function<void()> encrypted;
    };

    struct Advertisement {
        std::vector<std::uint8_t> data;      // AD structures, at most 31 bytes
        std::vector<std::uint8_t> response;  // the scan response, at most 31 bytes
    };

    HciLink() = default;
    ~HciLink();
    HciLink(const HciLink&) = delete;
    HciLink& operator=(const HciLink&) = delete;

    // Takes controller `index` (waiting a few seconds while the kernel still sets it
    // up), resets it and starts advertising. False with `error` set on failure.
    bool open(int index, Advertisement advertisement, Handlers handlers, std::string& error);
    int fd() const { return fd_; }
    // Reads and handles what the controller sent; call when fd() is readable.
    void handle();

    // One L2CAP frame on a fixed channel of the connection; false when there is none.
    bool send(std::uint16_t channel, std::span<const std::uint8_t> payload);
    // Ends the connection (the mouse advertises again once it has ended).
    bool disconnect();

    bool connected() const { return connection_.has_value(); }
    bool encrypted() const { return encrypted_; }
    const LeAddress& address() const { return self_; }

private:
    struct Packet {
        std::uint8_t type;
        std::vector<std::uint8_t> bytes;  // after the type
    };
    bool write(std::uint8_t type, std::span<const std::uint8_t> bytes);
    std::optional<Packet> read();
    // A command during setup: sent, then its completion awaited (other events are not
    // expected before the first connection and are dropped). Its return parameters.
    std::optional<std::vector<std::uint8_t>> commandNow(std::uint16_t opcode, std::span<const std::uint8_t> params,
                                                        std::string& error);
    // A command while running: sent when the controller takes commands.
    void command(std::uint16_t opcode, std::vector<std::uint8_t> params);
    void flushCommands();
    void flushAcl();
    void onEvent(std::span<const std::uint8_t> event);
    void onLeEvent(std::span<const std::uint8_t> event);
    void onAcl(std::span<const std::uint8_t> acl);
    void onSignaling(std::span<const std::uint8_t> payload);
    void ended(std::uint8_t reason);
    void advertise();

    int fd_ = -1;
    Handlers handlers_;
    LeAddress self_;
    std::optional<std::uint16_t> connection_;
    bool encrypted_ = false;
    // Command flow control: how many commands the controller takes now.
    int commandCredits_ = 1;
    std::deque<std::pair<std::uint16_t, std::vector<std::uint8_t>>> commands_;
    // ACL flow control: the controller's buffers for LE data.
    std::size_t aclMtu_ = 27;
    int aclBuffers_ = 1;
    int aclFree_ = 1;
    std::deque<std::vector<std::uint8_t>> acl_;
    std::vector<std::uint8_t> reassembly_;  // an L2CAP frame arriving in parts
};

}  // namespace halvern::kernel
