// The short warning sound of a refused key or a refused field.
#pragma once

// What Beep() plays; tests put a counter here (the offscreen platform has no sound).
using BeepFunction = void (*)();
extern BeepFunction BeepSound;

void Beep();
