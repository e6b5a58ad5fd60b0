#include "Scenario.h"

namespace halvern::emu {

namespace {

using namespace std::chrono_literals;

Scenario One(std::string name, Link link) { return {std::move(name), {{link}}}; }

std::vector<Scenario> AllScenarios() {
    std::vector<Scenario> all;
    all.push_back(One("receiver", Link::Receiver));
    all.push_back(One("cable", Link::Cable));
    all.push_back(One("ble", Link::Ble));
    all.push_back({"receiver and cable", {{Link::Receiver}, {Link::Cable}}});
    {
        Scenario extra = One("receiver with extra collections", Link::Receiver);
        extra.devices[0].extraCollections = true;
        all.push_back(extra);
    }
    // Two receivers, each with its own mouse; neither speaks until told to, so a test
    // decides which one is heard first.
    all.push_back({"two receivers", {{Link::Receiver, 0, true, false}, {Link::Receiver, 1, true, false}}, 2});
    // A receiver whose mouse stays quiet when it is opened.
    all.push_back({"quiet receiver", {{Link::Receiver, 0, true, false}}});
    // A receiver that is not plugged in yet.
    all.push_back({"unplugged receiver", {{Link::Receiver, 0, false}}});
    all.push_back({"unplugged cable", {{Link::Cable, 0, false}}});
    Scenario silent = One("silent mouse", Link::Receiver);
    silent.ack = AckMode::Never;
    all.push_back(silent);
    Scenario late = One("late mouse", Link::Receiver);
    late.ack = AckMode::Late;
    late.ackDelay = 1200ms;
    all.push_back(late);
    Scenario refusing = One("refusing mouse", Link::Receiver);
    refusing.ack = AckMode::Negative;
    all.push_back(refusing);
    return all;
}

}  // namespace

std::optional<Scenario> NamedScenario(std::string_view name) {
    for (Scenario& s : AllScenarios())
        if (s.name == name) return s;
    return std::nullopt;
}

std::optional<Scenario> ScenarioFromLinks(std::string_view links, std::string& error) {
    Scenario s;
    s.name = std::string(links);
    std::size_t start = 0;
    while (start <= links.size()) {
        std::size_t comma = links.find(',', start);
        std::string_view word =
            links.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
        while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
        const std::size_t colon = word.find(':');
        const std::string_view link = word.substr(0, colon);
        const std::string_view state = colon == std::string_view::npos ? std::string_view{} : word.substr(colon + 1);
        const bool locked = state == "locked" && link != "ble";
        const bool silent = state == "silent" && link == "receiver";
        if (!state.empty() && !locked && !silent) {
            error = "unknown link '" + std::string(word) + "' (use receiver, cable or ble)";
            return std::nullopt;
        }
        if (link == "receiver") s.devices.push_back({Link::Receiver});
        else if (link == "cable") s.devices.push_back({Link::Cable});
        else if (link == "ble") s.devices.push_back({Link::Ble});
        else if (!word.empty()) {
            error = "unknown link '" + std::string(word) + "' (use receiver, cable or ble)";
            return std::nullopt;
        }
        if (locked) s.devices.back().locked = true;
        if (silent) s.ack = AckMode::Never;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (s.devices.empty()) {
        error = "no link named (use receiver, cable or ble)";
        return std::nullopt;
    }
    return s;
}

}  // namespace halvern::emu
