#include "plan_rules.h"

#include <algorithm>
#include <map>

#include "field_edits.h"
#include "identity_codec.h"
#include "image_layout.h"

namespace {

using Image = std::array<uint8_t, layout::kImageSize>;
constexpr uint8_t kHexMode = 0;

std::string Quoted(const std::string &name) { return "\"" + name + "\""; }

std::string HexFieldText(const Rfpi &rfpi) {
    return FormatIdentity(rfpi.data(), static_cast<int32_t>(rfpi.size()), kHexMode);
}

Rfpi ParentRfpiOf(const Image &image) {
    Rfpi rfpi{};
    std::copy_n(image.begin() + layout::kParentRfpi, rfpi.size(), rfpi.begin());
    return rfpi;
}

// A unit's image after the window's edits: its parent RFPI, then its RPN, each followed by a
// display refresh.
Image UnitImage(const Rfpi &parentRfpi, std::optional<unsigned> rpn, DisplayFields &shown) {
    Image image{};
    ApplyRfpiText(image.data(), HexFieldText(parentRfpi));
    shown = RefreshImageForDisplay(image.data());
    if (rpn) {
        ApplyRepeaterRpnText(image.data(), std::to_string(*rpn));
        shown = RefreshImageForDisplay(image.data());
    }
    return image;
}

PlannedUnit UnitOf(const PlanRepeater &r, const Rfpi &parentRfpi, int depth) {
    PlannedUnit unit;
    unit.name = r.name;
    unit.parent = r.parent;
    unit.depth = depth;
    unit.parentRfpi = parentRfpi;
    unit.rpn = static_cast<unsigned>(r.rpn.value_or(0));
    unit.monitorBeep = r.monitorBeep;
    unit.ignoreHop = r.ignoreHop;
    const Image image = UnitImage(parentRfpi, unit.rpn, unit.shown);
    const std::array<uint8_t, 5> transmits = RepeaterRfpi(image.data());
    std::copy(transmits.begin(), transmits.end(), unit.transmits.begin());
    return unit;
}

using Children = std::multimap<std::string, std::size_t>;  // parent name -> repeaters, file order

// The tree from the base down, parents first, each parent's children in file order, each
// followed by its own descendants. A stack of its own instead of recursion: a chain of
// thousands of generations must not exhaust the program's stack.
std::vector<bool> PlaceTree(const SitePlan &plan, const Children &children, CheckedPlan &checked) {
    std::vector<bool> placed(plan.repeaters.size(), false);
    struct Level {
        Children::const_iterator next, end;
        Rfpi parentRfpi;
        int depth;
    };
    std::vector<Level> stack;
    auto descend = [&](const std::string &parent, const Rfpi &rfpi, int depth) {
        const auto [from, to] = children.equal_range(parent);
        stack.push_back({from, to, rfpi, depth});
    };
    descend(plan.baseName, checked.baseRfpi, 1);
    while (!stack.empty()) {
        Level &level = stack.back();
        if (level.next == level.end) {
            stack.pop_back();
            continue;
        }
        const std::size_t index = (level.next++)->second;
        if (placed[index]) continue;
        placed[index] = true;
        checked.units.push_back(UnitOf(plan.repeaters[index], level.parentRfpi, level.depth));
        const PlannedUnit &unit = checked.units.back();
        descend(unit.name, unit.transmits, unit.depth + 1);  // (level is not used after this)
    }
    return placed;
}

// The repeaters the walk never reached whose parent is known: each cycle of parents is told once
// with its whole chain (at the member that comes first in the file), its other members and the
// repeaters below it in a line each. Every repeater is visited once: linear in the plan's size,
// output included. One that hangs below a repeater with an unknown parent is not told again.
void ReportUnreached(const SitePlan &plan, const std::vector<bool> &placed,
                     std::vector<PlanProblem> &problems) {
    const std::vector<PlanRepeater> &repeaters = plan.repeaters;
    const std::size_t n = repeaters.size();
    std::map<std::string, std::size_t> indexOf;  // the first repeater of each name
    for (std::size_t i = 0; i < n; ++i)
        if (!repeaters[i].name.empty()) indexOf.emplace(repeaters[i].name, i);
    enum class Fate { Unseen, OnPath, OnCycle, BelowCycle, Nowhere };
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<Fate> fate(n, Fate::Unseen);
    std::vector<std::size_t> cycleOf(n, kNone);  // a cycle member: the first member in the file
    std::vector<std::size_t> path;
    for (std::size_t start = 0; start < n; ++start) {
        if (placed[start] || repeaters[start].name.empty() || fate[start] != Fate::Unseen) continue;
        path.clear();
        Fate end = Fate::Nowhere;
        for (std::size_t at = start;;) {
            fate[at] = Fate::OnPath;
            path.push_back(at);
            const auto parent = indexOf.find(repeaters[at].parent);
            if (parent == indexOf.end() || placed[parent->second]) break;
            const std::size_t next = parent->second;
            if (fate[next] == Fate::OnPath) {
                const auto first = std::find(path.begin(), path.end(), next);
                const std::size_t head = *std::min_element(first, path.end());
                for (auto it = first; it != path.end(); ++it) {
                    fate[*it] = Fate::OnCycle;
                    cycleOf[*it] = head;
                }
                path.erase(first, path.end());
                end = Fate::BelowCycle;
                break;
            }
            if (fate[next] != Fate::Unseen) {
                end = fate[next] == Fate::Nowhere ? Fate::Nowhere : Fate::BelowCycle;
                break;
            }
            at = next;
        }
        for (std::size_t at : path) fate[at] = end;
    }

    for (std::size_t i = 0; i < n; ++i) {
        const PlanRepeater &r = repeaters[i];
        if (fate[i] == Fate::BelowCycle) {
            problems.push_back({r.parentLine, Quoted(r.name) +
                                                  " does not lead to the base (its parents form a cycle)"});
        } else if (fate[i] == Fate::OnCycle && cycleOf[i] != i) {
            problems.push_back({r.parentLine, Quoted(r.name) + " is its own ancestor (the cycle told on line " +
                                                  std::to_string(repeaters[cycleOf[i]].parentLine) + ")"});
        } else if (fate[i] == Fate::OnCycle) {
            std::string chain = Quoted(r.name);
            std::size_t at = i;
            do {
                at = indexOf.at(repeaters[at].parent);
                chain += " -> " + Quoted(repeaters[at].name);
            } while (at != i);
            problems.push_back({r.parentLine, Quoted(r.name) + " is its own ancestor: " + chain});
        }
    }
}

}  // namespace

const PlannedUnit *CheckedPlan::Unit(const std::string &name) const {
    for (const PlannedUnit &unit : units)
        if (unit.name == name) return &unit;
    return nullptr;
}

std::string RfpiText(const Rfpi &rfpi) {
    std::string text = HexFieldText(rfpi);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

CheckedPlan CheckPlan(const PlanReading &reading) {
    CheckedPlan checked;
    checked.problems = reading.problems;
    const SitePlan &plan = reading.plan;
    checked.siteName = plan.siteName;
    checked.baseName = plan.baseName;
    std::vector<PlanProblem> &problems = checked.problems;

    // The base: its RFPI through the window's field rules, its class and RPN from the image.
    bool baseKnown = false;
    uint8_t rpnMask = 0xFF;
    if (plan.hasBase && !plan.baseRfpi.empty()) {
        std::string field;
        if (RfpiFieldText(plan.baseRfpi, field)) {
            Image image{};
            ApplyRfpiText(image.data(), field);
            checked.baseRfpi = ParentRfpiOf(image);
            rpnMask = RpnMask(image.data());
            checked.classA = rpnMask == 0x07;
            checked.baseRpn = checked.baseRfpi[4] & rpnMask;
            baseKnown = true;
        } else {
            problems.push_back({plan.baseRfpiLine, "rfpi " + Quoted(plan.baseRfpi) +
                                                       " of the base is not five hex bytes "
                                                       "(such as \"02 5A 3C 81 43\")"});
        }
    }

    // Names: unique, and every parent known.
    std::map<std::string, int> lineOfName;
    if (!plan.baseName.empty()) lineOfName[plan.baseName] = plan.baseNameLine;
    for (const PlanRepeater &r : plan.repeaters) {
        if (r.name.empty()) continue;
        auto [it, added] = lineOfName.emplace(r.name, r.nameLine);
        if (!added) {
            problems.push_back({r.nameLine, "name " + Quoted(r.name) + " is already used on line " +
                                                std::to_string(it->second)});
        }
    }
    for (const PlanRepeater &r : plan.repeaters) {
        if (!r.parent.empty() && lineOfName.count(r.parent) == 0) {
            problems.push_back({r.parentLine, "parent " + Quoted(r.parent) + " of " +
                                                  Quoted(r.name) +
                                                  " is neither the base nor a repeater of the plan"});
        }
    }

    // RPNs: within the class's RPN bits, and pairwise different (the base's included).
    const unsigned rpnMax = rpnMask;
    std::map<int64_t, std::string> holder;  // RPN -> who has it
    if (baseKnown) holder[checked.baseRpn] = "the base " + Quoted(plan.baseName);
    for (const PlanRepeater &r : plan.repeaters) {
        if (!r.rpn) continue;
        if (baseKnown && (*r.rpn < 0 || *r.rpn > static_cast<int64_t>(rpnMax))) {
            problems.push_back({r.rpnLine, "rpn " + std::to_string(*r.rpn) + " of " +
                                               Quoted(r.name) + " " +
                                               (checked.classA ? kRpnBeyondClassAText
                                                               : "does not fit the base's ARI class (0 to 255)")});
            continue;
        }
        auto [it, added] = holder.emplace(*r.rpn, "repeater " + Quoted(r.name));
        if (!added) {
            const bool parentClash = it->second == "the base " + Quoted(r.parent) ||
                                     it->second == "repeater " + Quoted(r.parent);
            problems.push_back({r.rpnLine, "rpn " + std::to_string(*r.rpn) + " of " +
                                               Quoted(r.name) + " is already the RPN of " +
                                               it->second + ": both would transmit the same RFPI" +
                                               (parentClash ? std::string(" (") + kEqualRpnMessage + ")"
                                                            : std::string())});
        }
    }

    // The tree, parents first, from the base down; what it never reached hangs on a cycle.
    Children children;
    for (std::size_t i = 0; i < plan.repeaters.size(); ++i)
        if (!plan.repeaters[i].name.empty()) children.emplace(plan.repeaters[i].parent, i);
    // (With a broken base RFPI the walk still runs, for the cycles; the plan fails anyway.)
    std::vector<bool> placed(plan.repeaters.size(), false);
    if (!plan.baseName.empty()) placed = PlaceTree(plan, children, checked);
    ReportUnreached(plan, placed, problems);

    std::stable_sort(problems.begin(), problems.end(),
                     [](const PlanProblem &a, const PlanProblem &b) { return a.line < b.line; });
    return checked;
}
