#include "Win32/Ime.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>

namespace
{
std::mutex g_lock;
Win32ImeState g_state;
std::atomic<unsigned> g_beeps{0};
// What a context handle points to: there is one input method, so one context.
int g_context = 0;
} // namespace

HIMC ImmGetContext(HWND)
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.active ? &g_context : nullptr;
}

BOOL ImmReleaseContext(HWND, HIMC context)
{
    return context == &g_context ? TRUE : FALSE;
}

LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD length)
{
    if (context != &g_context)
        return -1;
    std::lock_guard<std::mutex> guard(g_lock);
    const std::string* text = nullptr;
    if (index == GCS_COMPSTR)
        text = &g_state.composition;
    else if (index == GCS_RESULTSTR)
        text = &g_state.result;
    else if (index == GCS_COMPREADSTR)
        text = &g_state.reading;
    else
        return -1;
    if (buffer == nullptr || length == 0)
        return static_cast<LONG>(text->size());
    const size_t copied = std::min<size_t>(length, text->size());
    std::memcpy(buffer, text->data(), copied);
    // A result is taken once, as the input method hands it over.
    if (index == GCS_RESULTSTR)
        g_state.result.clear();
    return static_cast<LONG>(copied);
}

DWORD ImmGetCandidateListA(HIMC context, DWORD, CANDIDATELIST* list, DWORD length)
{
    if (context != &g_context)
        return 0;
    std::lock_guard<std::mutex> guard(g_lock);
    const size_t count = g_state.candidates.size();
    if (count == 0)
        return 0;
    const size_t header = offsetof(CANDIDATELIST, dwOffset) + count * sizeof(DWORD);
    size_t size = header;
    for (const std::string& candidate : g_state.candidates)
        size += candidate.size() + 1;
    if (list == nullptr || length == 0)
        return static_cast<DWORD>(size);
    if (length < size)
        return 0;
    auto* bytes = reinterpret_cast<char*>(list);
    list->dwSize = static_cast<DWORD>(size);
    list->dwStyle = 0;
    list->dwCount = static_cast<DWORD>(count);
    list->dwSelection = g_state.selection;
    list->dwPageStart = g_state.pageStart;
    list->dwPageSize = g_state.pageSize;
    size_t at = header;
    for (size_t i = 0; i < count; ++i)
    {
        const DWORD offset = static_cast<DWORD>(at);
        std::memcpy(bytes + offsetof(CANDIDATELIST, dwOffset) + i * sizeof(DWORD), &offset, sizeof offset);
        std::memcpy(bytes + at, g_state.candidates[i].c_str(), g_state.candidates[i].size() + 1);
        at += g_state.candidates[i].size() + 1;
    }
    return static_cast<DWORD>(size);
}

UINT ImmGetDescriptionA(HKL, LPSTR description, UINT length)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_state.active || g_state.description.empty())
    {
        if (description != nullptr && length > 0)
            description[0] = '\0';
        return 0;
    }
    if (description == nullptr || length == 0)
        return static_cast<UINT>(g_state.description.size());
    const size_t copied = std::min<size_t>(length - 1, g_state.description.size());
    std::memcpy(description, g_state.description.data(), copied);
    description[copied] = '\0';
    return static_cast<UINT>(copied);
}

HKL GetKeyboardLayout(DWORD)
{
    return &g_context;
}

BOOL ImmIsIME(HKL)
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.active ? TRUE : FALSE;
}

BOOL MessageBeep(UINT)
{
    ++g_beeps;
    return TRUE;
}

void Win32SetImeState(const Win32ImeState& state)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_state = state;
}

Win32ImeState Win32GetImeState()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state;
}

unsigned Win32BeepCount()
{
    return g_beeps.load();
}
