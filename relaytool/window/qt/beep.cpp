#include "beep.h"

#include <QApplication>

namespace {
void SystemBeep() { QApplication::beep(); }
}  // namespace

BeepFunction BeepSound = SystemBeep;

void Beep() {
    if (BeepSound) BeepSound();
}
