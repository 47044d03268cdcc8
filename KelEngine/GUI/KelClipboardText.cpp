#include "KelClipboardText.h"

#include <algorithm>
#include <cstring>

#include "Win32/Clipboard.h"
#include "Win32/Keyboard.h"

std::string KelReadClipboardText()
{
    std::string text;
    if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT))
    {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data)))
            text.assign(bytes, strnlen(bytes, GlobalSize(data)));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void KelWriteClipboardText(const std::string& text)
{
    if (!OpenClipboard(nullptr))
        return;
    EmptyClipboard();
    if (HGLOBAL block = GlobalAlloc(GHND, text.size() + 1))
    {
        if (char* bytes = static_cast<char*>(GlobalLock(block)))
            std::copy(text.begin(), text.end(), bytes);
        GlobalUnlock(block);
        if (SetClipboardData(CF_TEXT, block) == nullptr)
            GlobalFree(block);
    }
    CloseClipboard();
}

bool KelCtrlHeld()
{
    return (GetAsyncKeyState(VK_CONTROL) & 0xFF00) != 0;
}
