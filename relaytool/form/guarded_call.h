// The one rule for an exception that escapes a handler: it is shown and goes no further. The form
// core's handlers and a view's own entry points (start-up, event delivery) all run through it.
#pragma once

#include "form_messages.h"

#include <exception>

// Runs fn. An exception that escapes it is handed to show as its message (kUnknownErrorMessage
// for one that carries none) and goes no further. True when fn completed.
template <typename Fn, typename Show>
bool RunShowingErrors(Fn &&fn, Show &&show) {
    try {
        fn();
        return true;
    } catch (const std::exception &error) {
        show(error.what());
    } catch (...) {
        show(kUnknownErrorMessage);
    }
    return false;
}
