#include "station_queue.h"

#include <algorithm>

bool HoldsEntry(const std::array<uint8_t, layout::kImageSize> &image, const PlannedUnit &unit) {
    const auto switchOn = [&image](std::size_t at) {
        return (image[at] & layout::kSwitchBit) != 0;
    };
    return std::equal(unit.parentRfpi.begin(), unit.parentRfpi.end(),
                      image.begin() + layout::kParentRfpi) &&
           (image[layout::kRepeaterRpn] & RpnMask(image.data())) == unit.rpn &&
           (!unit.monitorBeep || switchOn(layout::kMonitorBeep) == *unit.monitorBeep) &&
           (!unit.ignoreHop || switchOn(layout::kHopControl) == *unit.ignoreHop);
}

StationQueue::StationQueue(std::vector<const PlannedUnit *> units) {
    for (const PlannedUnit *unit : units) entries_.push_back({unit});
}

std::optional<std::size_t> StationQueue::HeldBy(
    const std::array<uint8_t, layout::kImageSize> &image) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (HoldsEntry(image, *entries_[i].unit)) return i;
    return std::nullopt;
}

std::optional<std::size_t> StationQueue::Take() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].state != State::Pending) continue;
        entries_[i].state = State::Writing;
        return i;
    }
    return std::nullopt;
}

void StationQueue::MarkWritten(std::size_t entry) { entries_[entry].state = State::Written; }

bool StationQueue::MarkHeld(std::size_t entry) {
    if (entries_[entry].state != State::Pending) return false;
    entries_[entry].state = State::Held;
    return true;
}

void StationQueue::GiveBack(std::size_t entry) {
    if (entries_[entry].state == State::Writing) entries_[entry].state = State::Pending;
}

bool StationQueue::AllDone() const {
    return std::all_of(entries_.begin(), entries_.end(), [](const Entry &e) {
        return e.state == State::Written || e.state == State::Held;
    });
}

std::vector<std::string> StationQueue::NotDone() const {
    std::vector<std::string> names;
    for (const Entry &e : entries_)
        if (e.state == State::Pending || e.state == State::Writing) names.push_back(e.unit->name);
    return names;
}
