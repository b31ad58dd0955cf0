// The rules a site plan must keep, and what each unit of a sound plan will be given. The RFPI,
// PARK and RPN arithmetic is the memory layer's (image_rules.h): every unit is worked out on an
// image of its own, as the window would show it after the edits.
//   - names are unique; every parent names the base or a repeater; no cycles;
//   - the base's rfpi is five hex bytes in the window's form (blanks optional);
//   - a repeater's parent RFPI is what its parent transmits (the base's RFPI, or the parent
//     repeater's parent RFPI with the RPN bits replaced by the parent's rpn);
//   - every rpn fits the RPN bits of the base's ARI class (0 to 7 for class A, else 0 to 255);
//   - the base's RPN and every repeater's rpn are pairwise different, so that no two radio
//     fixed parts of the site transmit the same RFPI.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image_rules.h"
#include "plan_file.h"

using Rfpi = std::array<uint8_t, 5>;

struct PlannedUnit {
    std::string name;
    std::string parent;
    int depth = 1;           // 1: relays the base
    Rfpi parentRfpi{};       // what it is given
    DisplayFields shown;     // the window's fields for it (PARK, RPNs, RFPIs)
    unsigned rpn = 0;
    Rfpi transmits{};        // its own RFPI
    std::optional<bool> monitorBeep;
    std::optional<bool> ignoreHop;
};

struct CheckedPlan {
    std::vector<PlanProblem> problems;  // every broken rule, by line
    std::string siteName;
    std::string baseName;
    Rfpi baseRfpi{};
    unsigned baseRpn = 0;
    bool classA = true;
    std::vector<PlannedUnit> units;  // parents first; children in file order

    bool Holds() const { return problems.empty(); }
    const PlannedUnit *Unit(const std::string &name) const;
};

CheckedPlan CheckPlan(const PlanReading &reading);

// "02 5A 3C 81 43": the window's hex form without its closing blank.
std::string RfpiText(const Rfpi &rfpi);
