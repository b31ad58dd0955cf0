// The window is laid out in pixels for 96 pixels per inch and must not be scaled for other
// screen settings.
#pragma once

// Turns off Qt's scaling for screen density (environment and attributes). Call before the
// application object is created.
void FixPixelScaling();
