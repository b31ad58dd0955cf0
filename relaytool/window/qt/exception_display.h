// The exception display of the Qt window for errors that escape outside the form core's
// handlers (event delivery, start-up): the same box the core asks for, with the rules of
// display_rules.h.
#pragma once

#include "form_messages.h"
#include "guarded_call.h"

#include <QString>

#include <exception>
#include <string>
#include <utility>

// The title of the running program (ApplicationTitleFor of its own path).
QString ApplicationTitle();

// The exception display: a modal box with the text (local 8-bit, shown as given), caption, the
// error icon and a single OK button; returns when OK was pressed.
void ShowExceptionDisplay(const std::string &text, const QString &caption);
// The same box for an error message: the full stop rule applied, the application title as caption.
void ShowExceptionMessage(const std::string &message);

// Runs fn. An exception that escapes it is shown in the exception display and goes no further.
// True when fn completed.
template <typename Fn>
bool RunGuarded(Fn &&fn) {
    return RunShowingErrors(std::forward<Fn>(fn), [](const std::string &message) { ShowExceptionMessage(message); });
}
