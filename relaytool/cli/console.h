// Where relaycfg writes (the result to out, progress and messages to err) and, for the commands
// that ask, where the answers come from.
#pragma once

#include <ostream>

class PromptInput;

struct Console {
    std::ostream &out;
    std::ostream &err;
    bool liveProgress;           // err is a terminal: the mail counter counts up in place
    PromptInput *in = nullptr;   // the answers to prompts (plan_prompt.h); none: every prompt
                                 // reads as the end of the input
};
