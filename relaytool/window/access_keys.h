// Access keys as dialogs have them: Alt+letter clicks the button whose caption underlines that
// letter (Qt does this for "&Load"), and while the focus is on a button or a check box, which
// take no text, the plain letter does the same. A disabled or hidden button does not react.
//
// An access key does not move the focus, so before its click the control that holds the focus
// is committed as leaving it would commit it (commitFocused); when that refuses, the key does
// nothing. Without this, a value typed into a field and not yet committed would be lost: the
// click would act on the old value and the display that follows would show the old value again.
#pragma once

#include <functional>

class QWidget;

// Lets every button and check box of window answer access keys, committing the focused control
// first through commitFocused (true: go on with the click).
void InstallAccessKeys(QWidget *window, std::function<bool()> commitFocused);
