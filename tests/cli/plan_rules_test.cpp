// Site plans: every rule broken once and several at once, with the lines they name, and the
// tree a sound plan gives (class A and another ARI class), as text and as DOT.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "plan_file.h"
#include "plan_report.h"
#include "plan_rules.h"

namespace {

const char kBase[] = "[base]\nname = \"Base\"\nrfpi = \"02 5A 3C 81 43\"\n";  // lines 1-3

CheckedPlan Check(const std::string &text) { return CheckPlan(ParsePlan(text)); }

std::string Problems(const CheckedPlan &plan) {
    std::string all;
    for (const PlanProblem &p : plan.problems) all += std::to_string(p.line) + ": " + p.text + "\n";
    return all;
}

TEST(PlanRules, EveryBrokenRuleIsReportedWithItsLine) {
    struct Case {
        const char *name;
        std::string text;
        std::vector<std::pair<int, const char *>> problems;  // line and a part of the text
    };
    const std::string b = kBase;
    const Case cases[] = {
        {"unknown key (a typo)",
         b + "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = 5\nmonitor_bep = true\n",
         {{8, "unknown key \"monitor_bep\" in repeater \"A\""}}},
        {"unknown top-level table", b + "[sites]\nname = \"x\"\n", {{4, "unknown key \"sites\""}}},
        {"no base", "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = 5\n",
         {{1, "no [base] table"}, {3, "parent \"Base\" of \"A\" is neither the base nor a repeater"}}},
        {"malformed base RFPI", "[base]\nname = \"Base\"\nrfpi = \"02 5A 3C 81 4G\"\n",
         {{3, "rfpi \"02 5A 3C 81 4G\" of the base is not five hex bytes"}}},
        {"duplicate name",
         b + "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = 5\n"
             "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = 6\n",
         {{9, "name \"A\" is already used on line 5"}}},
        {"a repeater named like the base",
         b + "[[repeater]]\nname = \"Base\"\nparent = \"Base\"\nrpn = 5\n",
         {{5, "name \"Base\" is already used on line 2"}}},
        {"unknown parent", b + "[[repeater]]\nname = \"A\"\nparent = \"Bse\"\nrpn = 5\n",
         {{6, "parent \"Bse\" of \"A\" is neither the base nor a repeater of the plan"}}},
        {"cycle",
         b + "[[repeater]]\nname = \"A\"\nparent = \"B\"\nrpn = 5\n"
             "[[repeater]]\nname = \"B\"\nparent = \"A\"\nrpn = 6\n"
             "[[repeater]]\nname = \"C\"\nparent = \"B\"\nrpn = 7\n",
         {{6, "\"A\" is its own ancestor: \"A\" -> \"B\" -> \"A\""},
          {10, "\"B\" is its own ancestor"},
          {14, "\"C\" does not lead to the base"}}},
        {"own parent", b + "[[repeater]]\nname = \"A\"\nparent = \"A\"\nrpn = 5\n",
         {{6, "\"A\" is its own ancestor: \"A\" -> \"A\""}}},
        {"rpn beyond class A", b + "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = 8\n",
         {{7, "rpn 8 of \"A\" does not fit ARI class A (0 to 7)"}}},
        {"negative rpn", b + "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = -1\n",
         {{7, "rpn -1 of \"A\" does not fit"}}},
        {"rpn beyond another class",
         "[base]\nname = \"Base\"\nrfpi = \"12 34 56 78 9A\"\n"
         "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = 256\n",
         {{7, "rpn 256 of \"A\" does not fit the base's ARI class (0 to 255)"}}},
        {"rpn equal to the parent's (the base's RPN 3)",
         b + "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = 3\n",
         {{7, "rpn 3 of \"A\" is already the RPN of the base \"Base\": both would transmit the "
              "same RFPI (Repeater RPN cannot be equal to base RPN!)"}}},
        {"rpn equal to a sibling's",
         b + "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = 5\n"
             "[[repeater]]\nname = \"B\"\nparent = \"Base\"\nrpn = 5\n",
         {{11, "rpn 5 of \"B\" is already the RPN of repeater \"A\": both would transmit"}}},
        {"missing and mistyped values",
         b + "[[repeater]]\nname = \"A\"\nrpn = \"5\"\nmonitor_beep = 1\n",
         {{4, "repeater \"A\" has no parent"},
          {6, "rpn of repeater \"A\" must be a whole number"},
          {7, "monitor_beep in repeater \"A\" must be true or false"}}},
        {"empty name and parent",
         b + "[[repeater]]\nname = \"\"\nparent = \"Base\"\nrpn = 5\n"
             "[[repeater]]\nname = \"B\"\nparent = \"\"\nrpn = 6\n",
         {{5, "name in [[repeater]] number 1 must not be empty"},
          {10, "parent in repeater \"B\" must not be empty"}}},
        {"several at once",
         b + "colour = 1\n[[repeater]]\nname = \"A\"\nparent = \"X\"\nrpn = 9\n"
             "[[repeater]]\nparent = \"Base\"\nrpn = 3\n",
         {{4, "unknown key \"colour\""},
          {7, "parent \"X\""},
          {8, "rpn 9"},
          {9, "[[repeater]] number 2 has no name"},
          {11, "rpn 3"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CheckedPlan plan = Check(c.text);
        ASSERT_EQ(plan.problems.size(), c.problems.size()) << Problems(plan);
        for (std::size_t i = 0; i < c.problems.size(); ++i) {
            EXPECT_EQ(plan.problems[i].line, c.problems[i].first) << plan.problems[i].text;
            EXPECT_NE(plan.problems[i].text.find(c.problems[i].second), std::string::npos)
                << plan.problems[i].text;
        }
    }
}

TEST(PlanRules, TextThatIsNotTomlSaysWhere) {
    const PlanReading reading = ParsePlan("[base]\nname = \"Base\nrfpi = 1\n");
    EXPECT_FALSE(reading.isToml);
    EXPECT_EQ(reading.error.rfind("2:", 0), 0u) << reading.error;
}

TEST(PlanRules, TooLargeOrTooDeeplyNestedTextIsRefusedBeforeTheTomlReader) {
    const std::string b = kBase;
    const std::string unit = "[[repeater]]\nname = \"A\"\nparent = \"Base\"\nrpn = 5\n";
    const std::string full = b + unit + "#" + std::string(kMaxPlanSize - b.size() - unit.size() - 2, 'x') + "\n";
    struct Case {
        const char *name;
        std::string text;
        const char *error;  // nullptr: read as TOML
    };
    const Case cases[] = {
        {"64 KiB exactly", full, nullptr},
        {"one byte more", full + " ", "1:1: the plan is larger than 64 KiB"},
        {"a table header of eight parts", b + "[a.b.c.d.e.f.g.h]\n", nullptr},
        {"a table header of nine parts", b + "[a.b.c.d.e.f.g.h.i]\n", "4:18: keys or tables nested more than 8"},
        {"a dotted key of nine parts, quoted and spaced", b + "x.\"b\" . 'c'.d.e.f.g.h.i = 1\n", "4:23: "},
        {"arrays nine deep", b + "x = [[[[[[[[[1]]]]]]]]]\n", "4:13: "},
        {"inline tables and arrays nine deep", b + "x = [{a = [{b = [{c = [{d = [1]}]}]}]}]\n", "4:29: "},
        {"dots and brackets in strings and comments",
         b + "[[repeater]] # [[[[[[[[[[ a.b.c.d.e.f.g.h.i\nname = \"a.b.c.d.e.f.g.h.i.j\"\n"
             "parent = '''Base'''\nrpn = 5 # ]]]]\nmonitor_beep = true\n"
             "[site]\nname = \"\"\"[[[[[[[[[[\n.a.b.c.d.e.f.g.h.i.j \\\" \"\"\"\n",
         nullptr},
        {"numbers and times have two parts", b + "t = 07:32:00.999999\nf = +1.5e-3\n", nullptr},
        // toml++ 3.3 cannot tell most non-ASCII characters from blanks: it is given escapes.
        {"accents in quotes and comments", "[site]\nname = \"Entrep\xC3\xB4t\" # \xC3\xA9t\xC3\xA9\n" + b, nullptr},
        {"an accent first after a line-ending backslash", "[site]\nname = \"\"\"\\  \n\n  \xC3\xA9t\xC3\xA9\"\"\"\n", nullptr},
        {"an accent after a backslash: no escape", "[site]\nname = \"\"\"a\\\xC3\xA9\"\"\"\n", "2:"},
        {"an accent outside quotes", b + "caf\xC3\xA9 = 1\n", "4:4: a character outside quotes"},
        {"an accent in a literal string", b + "[site]\nname = 'caf\xC3\xA9'\n", nullptr},
        {"an accent in a multi-line literal string", b + "[site]\nname = '''\ncaf\xC3\xA9\n'''\n", nullptr},
        {"an accent and a control character in a literal string", b + "[site]\nname = 'caf\xC3\xA9\x01'\n", "5:"},
        {"an accent in an unterminated literal string", b + "[site]\nname = 'caf\xC3\xA9\nx = 1\n", "5:"},
        {"not UTF-8", b + "[site]\nname = \"caf\xE9\"\n", "5:12: not UTF-8 text"},
        {"a line-ending backslash, then quotes", "[site]\nname = \"\"\"a\\\n\"\"\"\n", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PlanReading reading = ParsePlan(c.text);
        if (c.error == nullptr) {
            EXPECT_TRUE(reading.isToml) << reading.error;
        } else {
            EXPECT_FALSE(reading.isToml);
            EXPECT_EQ(reading.error.rfind(c.error, 0), 0u) << reading.error;
        }
    }
    // Marked as UTF-8 by an editor: the same plan; its names read as written, escapes or not.
    const CheckedPlan marked = Check("\xEF\xBB\xBF[site]\nname = \"\"\"Entrep\xC3\xB4t \\\n  \xC3\xA9t\xC3\xA9 \xF0\x9F\x93\xA1\"\"\"\n" +
                                     b + unit);
    ASSERT_TRUE(marked.Holds()) << Problems(marked);
    EXPECT_EQ(marked.siteName, "Entrep\xC3\xB4t \xC3\xA9t\xC3\xA9 \xF0\x9F\x93\xA1");
    EXPECT_EQ(marked.units.size(), 1u);
    // Literal strings with non-ASCII text read as written, backslashes, quotes and the quotes
    // before a multi-line string's end included; the lines after them keep their numbers.
    const PlanReading literal = ParsePlan("[site]\nname = 'Halle S\xC3\xBC" "d \\ \"Nord\"'\n"
                                          "[base]\nname = '''\nB\xC3\xA4se \\n\n'' \"\"\"'''''\n"
                                          "rfpi = \"02 5A 3C 81 43\"\ncolour = 1\n");
    ASSERT_TRUE(literal.isToml) << literal.error;
    EXPECT_EQ(literal.plan.siteName, "Halle S\xC3\xBC" "d \\ \"Nord\"");
    EXPECT_EQ(literal.plan.baseName, "B\xC3\xA4se \\n\n'' \"\"\"''");
    ASSERT_EQ(literal.problems.size(), 1u);
    EXPECT_EQ(literal.problems[0].line, 8) << literal.problems[0].text;
}

// A chain of 30,000 generations and a cycle of 10,000 repeaters: walked without recursion, and
// reported in as many lines as it has repeaters, of a length that does not grow with the cycle.
TEST(PlanRules, LongChainsAndCyclesTakeOneWalk) {
    PlanReading reading;
    reading.isToml = true;
    reading.plan.hasBase = true;
    reading.plan.baseName = "Base";
    reading.plan.baseRfpi = "12 34 56 78 9A";
    auto repeater = [](std::string name, std::string parent) {
        PlanRepeater r;
        r.name = std::move(name);
        r.parent = std::move(parent);
        r.rpn = 1;
        return r;
    };
    constexpr std::size_t kChain = 30000, kCycle = 10000;
    for (std::size_t i = 0; i < kChain; ++i)
        reading.plan.repeaters.push_back(repeater("r" + std::to_string(i), i == 0 ? "Base" : "r" + std::to_string(i - 1)));
    for (std::size_t i = 0; i < kCycle; ++i)
        reading.plan.repeaters.push_back(repeater("c" + std::to_string(i), "c" + std::to_string((i + 1) % kCycle)));
    reading.plan.repeaters.push_back(repeater("below", "c7"));

    const CheckedPlan plan = CheckPlan(reading);
    ASSERT_EQ(plan.units.size(), kChain);
    EXPECT_EQ(plan.units.back().name, "r" + std::to_string(kChain - 1));
    EXPECT_EQ(plan.units.back().depth, static_cast<int>(kChain));
    std::size_t ancestors = 0, below = 0, wholeChains = 0, cycleText = 0;
    for (const PlanProblem &p : plan.problems) {
        if (p.text.find("is its own ancestor") != std::string::npos) {
            ++ancestors;
            cycleText += p.text.size();
            if (p.text.find(": \"c0\" -> \"c1\" -> ") != std::string::npos) ++wholeChains;
        }
        if (p.text == "\"below\" does not lead to the base (its parents form a cycle)") ++below;
    }
    EXPECT_EQ(ancestors, kCycle);
    EXPECT_EQ(wholeChains, 1u) << "the chain is told once, at the first member";
    EXPECT_EQ(below, 1u);
    EXPECT_LT(cycleText, 80 * kCycle) << "linear in the size of the cycle";
}

TEST(PlanRules, EachRepeaterRelaysWhatItsParentTransmits) {
    struct Expected {
        const char *name;
        int depth;
        const char *parentRfpi;
        const char *transmits;
        const char *park;  // nullptr: not checked
    };
    struct Case {
        const char *base;
        unsigned baseRpn;
        bool classA;
        std::vector<std::pair<std::string, unsigned>> chain;  // name, rpn; each the next's parent
        std::vector<Expected> expected;
    };
    const Case cases[] = {
        {"02 5A 3C 81 43", 3, true, {{"A", 5}, {"B", 6}, {"C", 0}},
         {{"A", 1, "02 5A 3C 81 43", "02 5A 3C 81 45", "31 01132171005 5"},
          {"B", 2, "02 5A 3C 81 45", "02 5A 3C 81 46", "31 01132171005 5"},
          {"C", 3, "02 5A 3C 81 46", "02 5A 3C 81 40", nullptr}}},
        // Not class A: the whole last byte is the RPN, and it reaches into the PARK digits.
        {"123456789a", 154, false, {{"A", 200}, {"B", 7}, {"C", 255}},
         {{"A", 1, "12 34 56 78 9A", "12 34 56 78 C8", "31 11064254742 9"},
          {"B", 2, "12 34 56 78 C8", "12 34 56 78 07", nullptr},
          {"C", 3, "12 34 56 78 07", "12 34 56 78 FF", nullptr}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.base);
        std::string text = std::string("[base]\nname = \"Base\"\nrfpi = \"") + c.base + "\"\n";
        std::string parent = "Base";
        for (const auto &[name, rpn] : c.chain) {
            text += "[[repeater]]\nname = \"" + name + "\"\nparent = \"" + parent +
                    "\"\nrpn = " + std::to_string(rpn) + "\n";
            parent = name;
        }
        const CheckedPlan plan = Check(text);
        ASSERT_TRUE(plan.Holds()) << Problems(plan);
        EXPECT_EQ(plan.baseRpn, c.baseRpn);
        EXPECT_EQ(plan.classA, c.classA);
        ASSERT_EQ(plan.units.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const PlannedUnit &u = plan.units[i];
            const Expected &e = c.expected[i];
            EXPECT_EQ(u.name, e.name);
            EXPECT_EQ(u.depth, e.depth);
            EXPECT_EQ(RfpiText(u.parentRfpi), e.parentRfpi) << e.name;
            EXPECT_EQ(RfpiText(u.transmits), e.transmits) << e.name;
            if (e.park) {
                EXPECT_EQ(u.shown.parkPli + " " + u.shown.parkDigits + " " + u.shown.parkCheck, e.park);
            }
        }
    }
}

TEST(PlanRules, TreeListsParentsFirstWithChildrenInFileOrder) {
    // Written children before parents, and two branches.
    const std::string text = std::string(kBase) +
                             "[[repeater]]\nname = \"Deep\"\nparent = \"Hall A\"\nrpn = 6\n"
                             "[[repeater]]\nname = \"Yard\"\nparent = \"Base\"\nrpn = 2\n"
                             "[[repeater]]\nname = \"Hall A\"\nparent = \"Base\"\nrpn = 5\n";
    const CheckedPlan plan = Check(text);
    ASSERT_TRUE(plan.Holds()) << Problems(plan);
    std::vector<std::string> order;
    for (const PlannedUnit &u : plan.units) order.push_back(u.name);
    EXPECT_EQ(order, (std::vector<std::string>{"Yard", "Hall A", "Deep"}));
    EXPECT_EQ(PlanTreeText(plan),
              "Base \"Base\": RFPI 02 5A 3C 81 43, RPN 3, ARI class A (RPN 0 to 7)\n"
              "  Repeater \"Yard\", parent \"Base\"\n"
              "    parent RFPI 02 5A 3C 81 43  PARK 31 01132171005 5  RPN 2  transmits 02 5A 3C 81 42\n"
              "  Repeater \"Hall A\", parent \"Base\"\n"
              "    parent RFPI 02 5A 3C 81 43  PARK 31 01132171005 5  RPN 5  transmits 02 5A 3C 81 45\n"
              "    Repeater \"Deep\", parent \"Hall A\"\n"
              "      parent RFPI 02 5A 3C 81 45  PARK 31 01132171005 5  RPN 6  transmits 02 5A 3C 81 46\n"
              "The plan holds: 3 repeaters, 4 distinct RFPIs.\n");
}

// A small reader of the DOT subset the plan uses: one digraph, node statements with a label,
// edge statements between quoted ids.
TEST(PlanRules, DotIsOneDigraphWithANodePerUnitAndAnEdgePerRepeater) {
    const std::string text = std::string("[site]\nname = \"Ward \\\"7\\\"\"\n") + kBase +
                             "[[repeater]]\nname = \"Hall A\"\nparent = \"Base\"\nrpn = 5\n"
                             "[[repeater]]\nname = \"Hall\\\\B\"\nparent = \"Hall A\"\nrpn = 6\n";
    const CheckedPlan plan = Check(text);
    ASSERT_TRUE(plan.Holds()) << Problems(plan);
    const std::string dot = PlanDot(plan);

    const std::string id = R"("(?:[^"\\]|\\.)*")";
    const std::regex header("digraph " + id + " \\{");
    const std::regex node("  (" + id + ") \\[label=(" + id + ")\\];");
    const std::regex edge("  (" + id + ") -> (" + id + ");");
    std::istringstream lines(dot);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_TRUE(std::regex_match(line, header)) << line;
    std::map<std::string, std::string> labels;
    std::set<std::pair<std::string, std::string>> edges;
    bool closed = false;
    while (std::getline(lines, line)) {
        std::smatch m;
        ASSERT_FALSE(closed) << "text after the closing brace: " << line;
        if (line == "}") closed = true;
        else if (std::regex_match(line, m, node)) labels[m[1]] = m[2];
        else if (std::regex_match(line, m, edge)) edges.insert({m[1], m[2]});
        else if (line != "  node [shape=box];") ADD_FAILURE() << "not a statement: " << line;
    }
    EXPECT_TRUE(closed);
    EXPECT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels["\"Hall A\""], "\"Hall A\\nRPN 5\\n02 5A 3C 81 45\"");
    EXPECT_EQ(labels["\"Hall\\\\B\""], "\"Hall\\\\B\\nRPN 6\\n02 5A 3C 81 46\"");
    EXPECT_EQ(labels["\"Base\""], "\"Base\\nRPN 3\\n02 5A 3C 81 43\"");
    const std::set<std::pair<std::string, std::string>> expected = {
        {"\"Base\"", "\"Hall A\""}, {"\"Hall A\"", "\"Hall\\\\B\""}};
    EXPECT_EQ(edges, expected);
    for (const auto &[from, to] : edges) {
        EXPECT_EQ(labels.count(from), 1u) << from;
        EXPECT_EQ(labels.count(to), 1u) << to;
    }
}

}  // namespace
