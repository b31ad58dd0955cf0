// How an error that escapes a handler reaches the user: a modal box with the error's message,
// the application title as caption, the error icon and a single OK button. The program then
// goes on with the next event.
#pragma once

#include <QString>

#include <exception>
#include <string>

// The application title for an executable path: the file name up to its first ".", its first
// letter in upper case and every letter after it in lower case ("relaytool" -> "Relaytool").
QString ApplicationTitleFor(const QString &executablePath);

// The title of the running program (ApplicationTitleFor of its own path).
QString ApplicationTitle();

// The message as the display shows it: a "." is appended when the last byte has a higher code
// than "." (compared as unsigned bytes); an empty message stays empty.
std::string WithClosingFullStop(const std::string &message);

// Shows message (local 8-bit text) in the exception display and returns when OK was pressed.
void ShowExceptionMessage(const std::string &message);

// The text shown for an error that carries no message of its own.
inline constexpr const char *kUnknownErrorMessage = "Unknown error";

// Runs fn. An exception that escapes it is shown in the exception display and goes no further.
// True when fn completed.
template <typename Fn>
bool RunGuarded(Fn &&fn) {
    try {
        fn();
        return true;
    } catch (const std::exception &error) {
        ShowExceptionMessage(error.what());
    } catch (...) {
        ShowExceptionMessage(kUnknownErrorMessage);
    }
    return false;
}
