// Access keys as dialogs have them: Alt+letter clicks the button whose caption underlines that
// letter (Qt does this for "&Load"), and while the focus is on a button or a check box, which
// take no text, the plain letter does the same. A disabled or hidden button does not react.
#pragma once

class QWidget;

// Lets every button and check box of window answer plain-letter access keys.
void InstallPlainLetterAccessKeys(QWidget *window);
