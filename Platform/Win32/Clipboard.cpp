#include "Win32/Clipboard.h"

#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "ProcessStateParts.h"

namespace
{
// A global memory block: its bytes and how many times it is locked.
struct GlobalBlock
{
    std::vector<char> bytes;
    int locks = 0;
};

} // namespace

struct Win32ClipboardState
{
    std::mutex lock;
    bool open = false;
    HWND owner = nullptr;
    std::string text;
    bool hasText = false;
    // What GetClipboardData handed out, valid until the clipboard closes.
    std::vector<GlobalBlock*> handedOut;
};

Win32ClipboardState* Win32OwnClipboardState()
{
    static Win32ClipboardState own;
    return &own;
}

Win32ClipboardState* Win32NewClipboardState()
{
    return new Win32ClipboardState;
}

void Win32DeleteClipboardState(Win32ClipboardState* state)
{
    if (state == nullptr)
        return;
    for (GlobalBlock* block : state->handedOut)
        delete block;
    delete state;
}

namespace
{
using Clipboard = Win32ClipboardState;

Clipboard& TheClipboard()
{
    return *Win32CurrentProcessState().clipboard;
}

GlobalBlock* Block(HGLOBAL memory)
{
    return static_cast<GlobalBlock*>(memory);
}

HGLOBAL NewBlock(const std::string& text)
{
    auto* block = new (std::nothrow) GlobalBlock;
    if (block == nullptr)
        return nullptr;
    block->bytes.assign(text.begin(), text.end());
    block->bytes.push_back('\0');
    return block;
}

void ReleaseHandedOut(Clipboard& clipboard)
{
    for (GlobalBlock* block : clipboard.handedOut)
        delete block;
    clipboard.handedOut.clear();
}
} // namespace

HGLOBAL GlobalAlloc(UINT, size_t bytes)
{
    auto* block = new (std::nothrow) GlobalBlock;
    if (block == nullptr)
        return nullptr;
    try
    {
        block->bytes.assign(bytes, '\0');
    }
    catch (const std::bad_alloc&)
    {
        delete block;
        return nullptr;
    }
    return block;
}

void* GlobalLock(HGLOBAL memory)
{
    if (memory == nullptr)
        return nullptr;
    ++Block(memory)->locks;
    return Block(memory)->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL memory)
{
    if (memory == nullptr || Block(memory)->locks == 0)
        return FALSE;
    return --Block(memory)->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL memory)
{
    delete Block(memory);
    return nullptr;
}

size_t GlobalSize(HGLOBAL memory)
{
    return memory != nullptr ? Block(memory)->bytes.size() : 0;
}

BOOL OpenClipboard(HWND owner)
{
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.lock);
    if (clipboard.open)
        return FALSE;
    clipboard.open = true;
    clipboard.owner = owner;
    return TRUE;
}

BOOL CloseClipboard()
{
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.lock);
    if (!clipboard.open)
        return FALSE;
    clipboard.open = false;
    clipboard.owner = nullptr;
    ReleaseHandedOut(clipboard);
    return TRUE;
}

BOOL EmptyClipboard()
{
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.lock);
    if (!clipboard.open)
        return FALSE;
    clipboard.text.clear();
    clipboard.hasText = false;
    return TRUE;
}

BOOL IsClipboardFormatAvailable(UINT format)
{
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.lock);
    return format == CF_TEXT && clipboard.hasText ? TRUE : FALSE;
}

HANDLE GetClipboardData(UINT format)
{
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.lock);
    if (!clipboard.open || format != CF_TEXT || !clipboard.hasText)
        return nullptr;
    HGLOBAL block = NewBlock(clipboard.text);
    if (block != nullptr)
        clipboard.handedOut.push_back(Block(block));
    return block;
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.lock);
    if (!clipboard.open || format != CF_TEXT || data == nullptr)
        return nullptr;
    const std::vector<char>& bytes = Block(data)->bytes;
    clipboard.text.assign(bytes.data(), strnlen(bytes.data(), bytes.size()));
    clipboard.hasText = true;
    delete Block(data);
    return data;
}

void Win32SetClipboardText(const std::string& text)
{
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.lock);
    clipboard.text = text;
    clipboard.hasText = true;
}

std::string Win32GetClipboardText()
{
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.lock);
    return clipboard.hasText ? clipboard.text : std::string();
}
