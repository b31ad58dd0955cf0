// The window's messages: a modal box with a fixed text, the caption "Repeater configuration",
// the error icon and a single OK button. The answer is not used.
#pragma once

#include <string>

class QWidget;

inline constexpr const char *kMessageCaption = "Repeater configuration";

// Shows text (8-bit) over parent and returns when OK was pressed.
void ShowMessage(QWidget *parent, const std::string &text);
