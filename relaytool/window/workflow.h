// The Load and Save workflow of the window: the port choice, the check before a write and the
// display of the image. The transfers and the image rules themselves are the memory layer's
// (load_save.h, image_rules.h); this maps them to the window's controls and messages.
#pragma once

class TFormMain;

inline constexpr const char *kChoosePortMessage = "First choose com port!";
inline constexpr const char *kLoadFirstMessage = "First load data!";
inline constexpr const char *kUnsupportedDeviceMessage = "Unsupported repeater device";
inline constexpr const char *kReadErrorMessage = "An error occured while reading from target: ";
inline constexpr const char *kWriteErrorMessage = "An error occured while writing to target: ";

// Load and Save start here. Without a selected port entry, shows kChoosePortMessage and answers
// false with nothing changed. Otherwise disables Load, Save and Quit (the caller must end in
// RefreshDisplay), takes the port number from the port list's text into PortSettings and
// answers true.
bool ChoosePort(TFormMain &window);

// Prepares ConfigImage for a write from the HOP switch and the two RPN texts; false (after
// showing the reason) when the image must not be written.
bool ValidateBeforeSave(TFormMain &window);

// Fills every field from ConfigImage (which the display updates: byte 2 under RpnMask, byte 67
// 0xA8), keeps the twelfth PARK digit in ParkLastDigit and enables Load, Save and Quit.
void RefreshDisplay(TFormMain &window);
