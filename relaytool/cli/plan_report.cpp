#include "plan_report.h"

namespace {

std::string Quoted(const std::string &name) { return "\"" + name + "\""; }

// The inside of a DOT quoted string: backslashes and double quotes escaped, line breaks as
// DOT's \n.
std::string DotEscaped(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// (Built by appending: GCC 12 warns falsely about `"\"" + text` at -O2.)
std::string DotString(const std::string &text) {
    std::string quoted(1, '"');
    quoted += DotEscaped(text);
    quoted += '"';
    return quoted;
}

// Three lines in the node: the name, the RPN, the RFPI.
std::string DotLabel(const std::string &name, unsigned rpn, const Rfpi &rfpi) {
    return DotString(name + "\nRPN " + std::to_string(rpn) + "\n" + RfpiText(rfpi));
}

}  // namespace

std::string PlanTreeText(const CheckedPlan &plan) {
    std::string text;
    if (!plan.siteName.empty()) text += "Site " + Quoted(plan.siteName) + "\n";
    text += "Base " + Quoted(plan.baseName) + ": RFPI " + RfpiText(plan.baseRfpi) + ", RPN " +
            std::to_string(plan.baseRpn) +
            (plan.classA ? ", ARI class A (RPN 0 to 7)\n" : ", not ARI class A (RPN 0 to 255)\n");
    for (const PlannedUnit &unit : plan.units) {
        const std::string indent(2 * static_cast<std::size_t>(unit.depth), ' ');
        const DisplayFields &f = unit.shown;
        text += indent + "Repeater " + Quoted(unit.name) + ", parent " + Quoted(unit.parent) + "\n";
        text += indent + "  parent RFPI " + RfpiText(unit.parentRfpi) + "  PARK " + f.parkPli +
                " " + f.parkDigits + " " + f.parkCheck + "  RPN " + std::to_string(unit.rpn) +
                "  transmits " + RfpiText(unit.transmits) + "\n";
    }
    text += "The plan holds: " + std::to_string(plan.units.size()) +
            (plan.units.size() == 1 ? " repeater, " : " repeaters, ") +
            std::to_string(plan.units.size() + 1) + " distinct RFPIs.\n";
    return text;
}

std::string PlanDot(const CheckedPlan &plan) {
    std::string dot = "digraph " + DotString(plan.siteName.empty() ? "site" : plan.siteName) +
                      " {\n  node [shape=box];\n";
    dot += "  " + DotString(plan.baseName) + " [label=" +
           DotLabel(plan.baseName, plan.baseRpn, plan.baseRfpi) + "];\n";
    for (const PlannedUnit &unit : plan.units)
        dot += "  " + DotString(unit.name) + " [label=" + DotLabel(unit.name, unit.rpn, unit.transmits) + "];\n";
    for (const PlannedUnit &unit : plan.units)
        dot += "  " + DotString(unit.parent) + " -> " + DotString(unit.name) + ";\n";
    return dot + "}\n";
}
