// The edits of `set`, carried into the image exactly as the window's field exits carry them,
// and the window's preparation before a write.
#pragma once

#include <cstdint>
#include <string>

#include "command_line.h"
#include "image_rules.h"

// The RFPI argument as the window's 14-character field text ("02 5A 3C 81 43"): five hex pairs
// with one blank, one colon or nothing between them (a closing blank is allowed, as `show`
// prints none but the window's hex form has one). false for anything else.
bool RfpiFieldText(const std::string &argument, std::string &fieldText);

// Runs the window's display refresh over the loaded image (as after a Load), then each given
// edit in the order parent RFPI, PARK, base RPN, repeater RPN (each followed by a refresh, as a
// field exit is), then the monitor beep (no refresh follows its exit). ParkLastDigit follows the
// refreshes as in the window. The first refused edit stops with its message.
RuleResult ApplyFieldEdits(uint8_t *image, const FieldEdits &edits, DisplayFields &shown);

// The window's Save preparation over the edited image: the HOP switch as edited, else as the
// last refresh showed it, and the two RPN texts as the last refresh wrote them.
RuleResult PrepareForWrite(uint8_t *image, const FieldEdits &edits, const DisplayFields &shown);

// Whether the edits would be accepted at all, checked on a scratch image before any transfer
// (their acceptance does not depend on the image); the refusal otherwise.
RuleResult CheckFieldEdits(const FieldEdits &edits);
