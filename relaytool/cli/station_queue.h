// The entries of a run of plan apply at several stations: every repeater of the plan, parents
// first, then in the plan's order, and where each stands. A station's unit takes the first entry
// that no station has written or is writing; a failed write puts its entry back in its place.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image_layout.h"
#include "plan_rules.h"

// Whether an image holds the entry already: its repeater RPN (under the RPN mask of its parent's
// ARI class) and parent RFPI, and each switch the plan gives.
bool HoldsEntry(const std::array<uint8_t, layout::kImageSize> &image, const PlannedUnit &unit);

class StationQueue {
public:
    explicit StationQueue(std::vector<const PlannedUnit *> units);

    std::size_t Size() const { return entries_.size(); }
    const PlannedUnit &Unit(std::size_t entry) const { return *entries_[entry].unit; }

    // The entry the image holds already, if any (whatever its state).
    std::optional<std::size_t> HeldBy(const std::array<uint8_t, layout::kImageSize> &image) const;
    // The first pending entry, now being written; nullopt when none is pending.
    std::optional<std::size_t> Take();
    void MarkWritten(std::size_t entry);
    // A pending entry found on a unit: done without a write. false when it was not pending.
    bool MarkHeld(std::size_t entry);
    // A write that did not succeed: the entry is pending again.
    void GiveBack(std::size_t entry);

    // Every entry written or held.
    bool AllDone() const;
    // The names of the entries neither written nor held, in the queue's order.
    std::vector<std::string> NotDone() const;

private:
    enum class State { Pending, Writing, Written, Held };
    struct Entry {
        const PlannedUnit *unit;
        State state = State::Pending;
    };
    std::vector<Entry> entries_;
};
