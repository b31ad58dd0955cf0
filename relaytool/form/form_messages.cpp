#include "form_messages.h"

// The memory layer reports a Save that did not take with its own outcome and text; until it
// does, there is no such outcome and nothing to show here.
std::optional<std::string> SaveCheckText(const WorkflowResult &) { return std::nullopt; }
