// The system's text for a Windows error code, as the messages of relaycfg and of its files quote it.
#pragma once

#include <windows.h>

#include <string>

// FormatMessageA's text without its closing period and line end; "error N" when it has none.
std::string SystemText(DWORD code);
