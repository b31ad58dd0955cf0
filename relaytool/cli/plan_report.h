// What `plan check` prints for a sound plan: the tree as text, or as Graphviz DOT.
#pragma once

#include <string>

#include "plan_rules.h"

// The base, then every repeater under its parent (indented by depth), parents first, each with
// the parent RFPI it will be given, its PARK (PLI, digits, check), its RPN and the RFPI it
// will transmit.
std::string PlanTreeText(const CheckedPlan &plan);

// The same tree as a DOT digraph: one node per unit (named by the unit, labelled with its RPN
// and the RFPI it transmits), one edge from each parent to its repeater.
std::string PlanDot(const CheckedPlan &plan);
