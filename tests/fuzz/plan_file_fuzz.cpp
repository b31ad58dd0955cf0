// The plan reader and the plan rules with arbitrary text, as `relaycfg plan check` meets it.
// Nothing may crash or run out of stack, however large or deeply nested the text (the size and
// nesting limits keep the TOML reader's recursion in check). Checked: a text over the size limit
// is refused unread; every problem names a line; a plan that holds places every repeater once,
// after its parent and one level below it, with RPNs that differ from each other and from the
// base's, at most 255 of them, and gives its tree and DOT; the names it holds come back the same
// through TomlString; a UTF-8 byte order mark in front changes nothing.
//
// Input: the plan's text.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "plan_file.h"
#include "plan_report.h"
#include "plan_rules.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void CheckSoundPlan(const PlanReading &reading, const CheckedPlan &plan) {
    CHECK(plan.units.size() == reading.plan.repeaters.size());
    CHECK(plan.units.size() <= 255);
    std::map<std::string, int> depthOf = {{plan.baseName, 0}};
    std::set<unsigned> rpns = {plan.baseRpn};
    for (const PlannedUnit &unit : plan.units) {
        const auto parent = depthOf.find(unit.parent);
        CHECK(parent != depthOf.end());
        CHECK(unit.depth == parent->second + 1);
        CHECK(depthOf.emplace(unit.name, unit.depth).second);
        CHECK(rpns.insert(unit.rpn).second);
        CHECK(unit.rpn <= (plan.classA ? 7u : 255u));
        CHECK(plan.Unit(unit.name) == &unit);
        // The name back through the text relaycfg writes for it (plan capture).
        const PlanReading named = ParsePlan("[base]\nname = " + TomlString(unit.name) + "\n");
        CHECK(named.isToml && named.plan.baseName == unit.name);
    }
    CHECK(!PlanTreeText(plan).empty());
    CHECK(!PlanDot(plan).empty());
}

}  // namespace

// libFuzzer and the corpus replay both hand over a heap block of exactly the input's size, so
// AddressSanitizer reports any read beyond the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    const PlanReading reading = ParsePlan(text);
    if (size > kMaxPlanSize) CHECK(!reading.isToml);
    if (!text.starts_with(kByteOrderMark) && size + kByteOrderMark.size() <= kMaxPlanSize) {
        const PlanReading marked = ParsePlan(std::string(kByteOrderMark) + std::string(text));
        CHECK(marked.isToml == reading.isToml && marked.error == reading.error);
        CHECK(marked.problems.size() == reading.problems.size());
    }
    if (!reading.isToml) {
        CHECK(!reading.error.empty());
        return 0;
    }
    const CheckedPlan plan = CheckPlan(reading);
    for (const PlanProblem &problem : plan.problems) CHECK(problem.line >= 1 && !problem.text.empty());
    if (plan.Holds()) CheckSoundPlan(reading, plan);
    return 0;
}
