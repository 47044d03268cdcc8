#pragma once
// The text clipboard as the text controls use it: read the CF_TEXT text (empty when there is none
// or the clipboard cannot be opened) and replace it with a text.

#include <string>

std::string KelReadClipboardText();
void KelWriteClipboardText(const std::string& text);
// Whether Ctrl is held, as the controls' shortcut keys ask it.
bool KelCtrlHeld();
