#include "host/VirtualMouseControl.h"

#include <charconv>
#include <optional>
#include <vector>

#include "VirtualDevices.h"
#include "host/DeviceStack.h"
#include "protocol/CommandReports.h"

namespace halvern {

namespace {

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(text.find(' ', start), text.size());
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

std::optional<Link> LinkNamed(std::string_view word) {
    if (word == "receiver") return Link::Receiver;
    if (word == "cable") return Link::Cable;
    if (word == "ble") return Link::Ble;
    return std::nullopt;
}

// Word `i` as a number in min..max; nullopt when missing, malformed or out of range.
std::optional<int> Number(const std::vector<std::string_view>& words, std::size_t i, int min, int max) {
    if (i >= words.size()) return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(words[i].data(), words[i].data() + words[i].size(), value);
    if (error != std::errc() || end != words[i].data() + words[i].size() || value < min || value > max)
        return std::nullopt;
    return value;
}

}  // namespace

std::string ActOnVirtualMouse(DeviceStack* stack, std::string_view action) {
    emu::VirtualDevices* world = stack ? stack->virtualDevices() : nullptr;
    if (!world) return "error no virtual mouse (HALVERN_EMULATOR)";
    const std::vector<std::string_view> words = Words(action);
    if (words.empty()) return "error mouse takes an action";
    const std::string_view verb = words[0];
    if (verb == "plug" || verb == "unplug") {
        const std::optional<Link> link = words.size() > 1 ? LinkNamed(words[1]) : std::nullopt;
        const int device = link ? world->deviceOf(*link) : -1;
        if (device < 0) return "error the virtual mouse has no such link";
        const bool done = verb == "plug" ? world->plug(device) : world->unplug(device);
        return done ? "ok" : verb == "plug" ? "error already plugged" : "error already unplugged";
    }
    // The mouse speaks on the first of its links that is plugged in.
    std::optional<Link> speaking;
    for (Link link : {Link::Cable, Link::Receiver, Link::Ble}) {
        const int device = world->deviceOf(link);
        if (device >= 0 && world->plugged(device)) {
            speaking = link;
            break;
        }
    }
    if (!speaking) return "error no link of the virtual mouse is plugged in";
    emu::VirtualMouse& mouse = world->mouse(0);
    if (verb == "dpi") {
        const std::optional<int> level = Number(words, 1, 1, 8);
        if (!level) return "error dpi takes 1..8";
        mouse.raise(*speaking, DeviceEvent{0x10EE, static_cast<std::uint16_t>(*level)});
        return "ok";
    }
    if (verb == "polling") {
        const std::optional<int> rate = Number(words, 1, 0, 3);
        if (!rate) return "error polling takes 0..3";
        mouse.setPollingInterval(*speaking, *PollingIntervalMs(*rate));
        return "ok";
    }
    if (verb == "light") {
        const std::optional<int> effect = Number(words, 1, 0, 15);
        if (!effect) return "error light takes 0..15";
        mouse.setLightEffect(*speaking, *effect);
        return "ok";
    }
    if (verb == "battery") {
        const std::optional<int> status = Number(words, 1, 0, 255);
        const std::optional<int> level = Number(words, 2, 0, 255);
        if (!status || !level) return "error battery takes STATUS LEVEL";
        mouse.setBattery(*speaking, *level, *status);
        return "ok";
    }
    return "error unknown mouse action " + std::string(verb);
}

}  // namespace halvern
