// The texts the window shows, in one place. The messages of rejected edits and refused saves are
// the memory layer's (image_rules.h).
#pragma once

#include "load_save.h"

#include <optional>
#include <string>

// The caption of every message of the Load / Save workflow and of the field exits.
inline constexpr const char *kMessageCaption = "Repeater configuration";

inline constexpr const char *kChoosePortMessage = "First choose com port!";
inline constexpr const char *kLoadFirstMessage = "First load data!";
inline constexpr const char *kUnsupportedDeviceMessage = "Unsupported repeater device";
// Followed by TransferErrorText of the failing transfer's code.
inline constexpr const char *kReadErrorMessage = "An error occured while reading from target: ";
inline constexpr const char *kWriteErrorMessage = "An error occured while writing to target: ";

// A changed masked field left with a blank input position (the exception display appends ".").
inline constexpr const char *kInvalidInputMessage = "Invalid input value.  Use escape key to abandon changes";

// The text shown for an error that carries no message of its own.
inline constexpr const char *kUnknownErrorMessage = "Unknown error";

// The message of an outcome the three above do not cover: a Save whose read-back check found
// that the device did not take the image. nullopt for every other outcome.
std::optional<std::string> SaveCheckText(const WorkflowResult &result);
