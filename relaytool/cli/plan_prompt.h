// The prompt of `plan apply --all` before each unit, and where its answers come from.
//
//   Connect repeater "Hall A" to COM1 and press Enter (s skips, q stops)
//
// Enter alone programs the unit, s or skip skips it, q or quit stops the run (any letter case,
// blanks around ignored); anything else asks again. The end of the input stops the run too.
// Keys typed before the prompt appears (while the previous unit was being programmed) are thrown
// away on a terminal, so that an Enter pressed twice cannot answer for the next unit.
#pragma once

#include <string>
#include <string_view>

#include "console.h"

// Where the answers come from: standard input, or a test's script.
class PromptInput {
public:
    virtual ~PromptInput() = default;
    // Drops what was typed before the prompt (on a terminal; the lines of a file or pipe are
    // answers given in advance and stay).
    virtual void DiscardTypedAhead() = 0;
    // The next line without its line end; false at the end of the input.
    virtual bool ReadLine(std::string &line) = 0;
};

// Standard input, read through the system (no stream buffer of its own that could keep keys
// typed ahead).
class StandardInput : public PromptInput {
public:
    void DiscardTypedAhead() override;
    bool ReadLine(std::string &line) override;

private:
    std::string pending_;  // read but not yet taken as a line
};

enum class PromptReply { Go, Skip, Stop, Unclear };

PromptReply ReplyOf(std::string_view line);

// Asks until the answer is clear (or the input ends: Stop).
PromptReply AskToConnect(const std::string &name, const std::string &port, Console io);

// ---- The platform's part ----------------------------------------------------------------------

// Whether standard input is a terminal (a console on Windows).
bool StandardInputIsTerminal();
// Throws away what was typed on it and not read yet (tcflush, FlushConsoleInputBuffer).
void FlushTerminalInput();
// Reads what is there, waiting for at least one byte: the count, 0 at the end of the input.
std::size_t ReadStandardInput(char *buffer, std::size_t size);
