#include "Win32/Ime.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>

#include "ProcessStateParts.h"

struct Win32ImeStore
{
    std::mutex lock;
    Win32ImeState state;
    std::atomic<unsigned> beeps{0};
    // What a context handle points to: there is one input method, so one context.
    int context = 0;
};

Win32ImeStore* Win32OwnImeStore()
{
    static Win32ImeStore own;
    return &own;
}

Win32ImeStore* Win32NewImeStore()
{
    return new Win32ImeStore;
}

void Win32DeleteImeStore(Win32ImeStore* state)
{
    delete state;
}

namespace
{
Win32ImeStore& Store()
{
    return *Win32CurrentProcessState().ime;
}
} // namespace

HIMC ImmGetContext(HWND)
{
    std::lock_guard<std::mutex> guard(Store().lock);
    return Store().state.active ? &Store().context : nullptr;
}

BOOL ImmReleaseContext(HWND, HIMC context)
{
    return context == &Store().context ? TRUE : FALSE;
}

LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD length)
{
    if (context != &Store().context)
        return -1;
    std::lock_guard<std::mutex> guard(Store().lock);
    const std::string* text = nullptr;
    if (index == GCS_COMPSTR)
        text = &Store().state.composition;
    else if (index == GCS_RESULTSTR)
        text = &Store().state.result;
    else if (index == GCS_COMPREADSTR)
        text = &Store().state.reading;
    else
        return -1;
    if (buffer == nullptr || length == 0)
        return static_cast<LONG>(text->size());
    const size_t copied = std::min<size_t>(length, text->size());
    std::memcpy(buffer, text->data(), copied);
    // A result is taken once, as the input method hands it over.
    if (index == GCS_RESULTSTR)
        Store().state.result.clear();
    return static_cast<LONG>(copied);
}

DWORD ImmGetCandidateListA(HIMC context, DWORD, CANDIDATELIST* list, DWORD length)
{
    if (context != &Store().context)
        return 0;
    std::lock_guard<std::mutex> guard(Store().lock);
    const size_t count = Store().state.candidates.size();
    if (count == 0)
        return 0;
    const size_t header = offsetof(CANDIDATELIST, dwOffset) + count * sizeof(DWORD);
    size_t size = header;
    for (const std::string& candidate : Store().state.candidates)
        size += candidate.size() + 1;
    if (list == nullptr || length == 0)
        return static_cast<DWORD>(size);
    if (length < size)
        return 0;
    auto* bytes = reinterpret_cast<char*>(list);
    list->dwSize = static_cast<DWORD>(size);
    list->dwStyle = 0;
    list->dwCount = static_cast<DWORD>(count);
    list->dwSelection = Store().state.selection;
    list->dwPageStart = Store().state.pageStart;
    list->dwPageSize = Store().state.pageSize;
    size_t at = header;
    for (size_t i = 0; i < count; ++i)
    {
        const DWORD offset = static_cast<DWORD>(at);
        std::memcpy(bytes + offsetof(CANDIDATELIST, dwOffset) + i * sizeof(DWORD), &offset, sizeof offset);
        std::memcpy(bytes + at, Store().state.candidates[i].c_str(), Store().state.candidates[i].size() + 1);
        at += Store().state.candidates[i].size() + 1;
    }
    return static_cast<DWORD>(size);
}

UINT ImmGetDescriptionA(HKL, LPSTR description, UINT length)
{
    std::lock_guard<std::mutex> guard(Store().lock);
    if (!Store().state.active || Store().state.description.empty())
    {
        if (description != nullptr && length > 0)
            description[0] = '\0';
        return 0;
    }
    if (description == nullptr || length == 0)
        return static_cast<UINT>(Store().state.description.size());
    const size_t copied = std::min<size_t>(length - 1, Store().state.description.size());
    std::memcpy(description, Store().state.description.data(), copied);
    description[copied] = '\0';
    return static_cast<UINT>(copied);
}

HKL GetKeyboardLayout(DWORD)
{
    return &Store().context;
}

BOOL ImmIsIME(HKL)
{
    std::lock_guard<std::mutex> guard(Store().lock);
    return Store().state.active ? TRUE : FALSE;
}

BOOL MessageBeep(UINT)
{
    ++Store().beeps;
    return TRUE;
}

void Win32SetImeState(const Win32ImeState& state)
{
    std::lock_guard<std::mutex> guard(Store().lock);
    Store().state = state;
}

Win32ImeState Win32GetImeState()
{
    std::lock_guard<std::mutex> guard(Store().lock);
    return Store().state;
}

unsigned Win32BeepCount()
{
    return Store().beeps.load();
}
