// The window's panels: a surface in the button-face colour with a raised frame one pixel wide,
// holding labels and controls of its own. What its controls report goes to the window.
#pragma once

#include <windows.h>

inline constexpr const char *kPanelClass = "RelayPanel";

void RegisterPanelClass(HINSTANCE instance);
