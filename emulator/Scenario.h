// Declarations of virtual mice and the devices they come through, picked by name in
// tests ("receiver", "two receivers", "silent mouse", ...) or built from the
// comma-separated links of HALVERN_EMULATOR.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "VirtualMouse.h"
#include "device/DeviceEvent.h"

namespace halvern::emu {

struct ScenarioDevice {
    Link link = Link::Receiver;
    int mouse = 0;         // which mouse of the scenario it carries
    bool plugged = true;   // present from the start
    bool announce = true;  // the mouse reports its battery whenever the device is opened
    bool locked = false;   // its nodes refuse to open: permission denied
    // A receiver or cable that also shows a collection of usage 1 on each of its two
    // pages, as some firmware does; they carry nothing and must be passed over.
    bool extraCollections = false;
};

struct Scenario {
    std::string name;
    std::vector<ScenarioDevice> devices;
    int mice = 1;
    AckMode ack = AckMode::Immediate;
    std::chrono::milliseconds ackDelay{0};
};

// The scenarios by name; nullopt for an unknown name.
std::optional<Scenario> NamedScenario(std::string_view name);

// One mouse on each listed link ("receiver", "cable", "ble"), e.g. "receiver,cable".
// A link written "receiver:locked" (or "cable:locked") is there but may not be opened,
// as without the udev rule; "receiver:silent" is a receiver whose mouse never
// acknowledges a command. nullopt and `error` set for an empty list or an unknown
// word.
std::optional<Scenario> ScenarioFromLinks(std::string_view links, std::string& error);

}  // namespace halvern::emu
