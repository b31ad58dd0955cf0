// Maillink's platform interface over the simulator's device model, on virtual time: writes reach
// the device at once, reads take what the device has sent by now, and every pause or idle poll
// moves the clock on by its length instead of sleeping. A silent line that costs seconds of real
// time costs microseconds here, and the idle polls and pauses are the same as on the POSIX
// backend, so budgets and the time a case takes come out as they would on a real line.
#pragma once

#include <chrono>

#include "device_model.h"

namespace virtualline {

using repeatersim::detail::Time;

struct Counts {
    unsigned opens = 0;   // OpenPort calls that succeeded
    unsigned closes = 0;
};

// A fresh line with a freshly started sample repeater (150 ms EEPROM write, as
// repeatersim::Simulator's default), at a virtual time well after the epoch. Paced, the line runs
// at 9600 baud and every byte to the host comes 16 ms late (a USB adapter's latency timer);
// otherwise bytes cross at once, as on the simulator's default line.
void Reset(bool paced);

repeatersim::detail::DeviceModel &Device();
Time Now();
void Advance(std::chrono::nanoseconds time);

bool IsOpen();
bool IsHungUp();
const Counts &Count();

}  // namespace virtualline
