// The texts only the window shows, in one place. The messages of rejected edits and refused saves
// are the memory layer's (image_rules.h), and so are the transfer messages that relaycfg shows
// too (memory_transfer.h: kReadFailureText, kWriteFailureText, kUnsupportedDeviceText) and the
// text of a Save that did not take (load_save.h: SaveCheckMessage).
#pragma once

// The caption of every message of the Load / Save workflow and of the field exits.
inline constexpr const char *kMessageCaption = "Repeater configuration";

inline constexpr const char *kChoosePortMessage = "First choose com port!";
inline constexpr const char *kLoadFirstMessage = "First load data!";

// A changed masked field left with a blank input position (the exception display appends ".").
inline constexpr const char *kInvalidInputMessage = "Invalid input value.  Use escape key to abandon changes";

// The text shown for an error that carries no message of its own.
inline constexpr const char *kUnknownErrorMessage = "Unknown error";
