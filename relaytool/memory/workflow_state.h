// Program-wide state of the Load/Save workflow, shared by every front end.
#pragma once

// True once a Load has read both the identification block and the image without error.
// Nothing sets it false again.
extern bool DataLoaded;

// The twelfth PARK digit, which the window does not show; the display stores it and a PARK edit
// appends it to the eleven edited digits. NUL before the first display (taken as the digit 0).
extern char ParkLastDigit;
