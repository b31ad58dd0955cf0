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

// The end of the refusal of an RPN beyond the three RPN bits of ARI class A, shared by `set`
// ("Repeater RPN 9 does not fit ...") and the plan rules ("rpn 9 of "Hall A" does not fit ...").
inline constexpr const char *kRpnBeyondClassAText = "does not fit ARI class A (0 to 7)";

// An RPN edit that the parent's ARI class cannot hold (above 7 for class A, whose RPN has three
// bits): refused, where the window would keep the low bits. image is the edited image, whose
// parent RFPI gives the class.
RuleResult CheckRpnClass(const uint8_t *image, const FieldEdits &edits);

// Whether the edits would be accepted at all, checked on a scratch image before any transfer
// (their acceptance does not depend on the image); the refusal otherwise.
RuleResult CheckFieldEdits(const FieldEdits &edits);
