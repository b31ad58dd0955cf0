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

struct Walk {
    const SitePlan &plan;
    CheckedPlan &checked;
    std::multimap<std::string, std::size_t> children;  // parent name -> repeaters, file order
    std::vector<bool> placed;

    void Place(const std::string &parent, const Rfpi &parentRfpi, int depth) {
        auto [from, to] = children.equal_range(parent);
        for (auto it = from; it != to; ++it) {
            const PlanRepeater &r = plan.repeaters[it->second];
            if (placed[it->second]) continue;
            placed[it->second] = true;
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
            checked.units.push_back(unit);
            Place(r.name, unit.transmits, depth + 1);
        }
    }
};

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
                                               Quoted(r.name) + " does not fit " +
                                               (checked.classA ? "ARI class A (0 to 7)"
                                                               : "the base's ARI class (0 to 255)")});
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

    // The tree, parents first, from the base down.
    Walk walk{plan, checked, {}, std::vector<bool>(plan.repeaters.size(), false)};
    for (std::size_t i = 0; i < plan.repeaters.size(); ++i)
        if (!plan.repeaters[i].name.empty())
            walk.children.emplace(plan.repeaters[i].parent, i);
    // (With a broken base RFPI the walk still runs, for the cycles; the plan fails anyway.)
    if (!plan.baseName.empty()) walk.Place(plan.baseName, checked.baseRfpi, 1);
    {
        // A repeater the walk never reached hangs on a cycle of parents.
        for (std::size_t i = 0; i < plan.repeaters.size(); ++i) {
            const PlanRepeater &r = plan.repeaters[i];
            if (walk.placed[i] || r.name.empty() || lineOfName.count(r.parent) == 0) continue;
            std::string chain = Quoted(r.name);
            std::string at = r.parent;
            bool onCycle = false;
            for (std::size_t step = 0; step <= plan.repeaters.size(); ++step) {
                chain += " -> " + Quoted(at);
                if (at == r.name) {
                    onCycle = true;
                    break;
                }
                const auto parent = std::find_if(plan.repeaters.begin(), plan.repeaters.end(),
                                                 [&](const PlanRepeater &p) { return p.name == at; });
                if (parent == plan.repeaters.end()) break;
                at = parent->parent;
            }
            problems.push_back({r.parentLine,
                                onCycle ? Quoted(r.name) + " is its own ancestor: " + chain
                                        : Quoted(r.name) + " does not lead to the base (its parents form a cycle)"});
        }
    }

    std::stable_sort(problems.begin(), problems.end(),
                     [](const PlanProblem &a, const PlanProblem &b) { return a.line < b.line; });
    return checked;
}
