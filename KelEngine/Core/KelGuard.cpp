#include "KelGuard.h"

#include <cstring>

#include "KelLogCL.h"

void KelQualifiedName(const char* prettyFunction, char* out, unsigned size) noexcept
{
    if (out == nullptr || size == 0)
        return;
    out[0] = '\0';
    if (prettyFunction == nullptr)
        return;
    // The name ends where the parameter list opens; it starts after the last blank before that
    // which is not inside template brackets (the return type ends there).
    const char* end = strchr(prettyFunction, '(');
    if (end == nullptr)
        end = prettyFunction + strlen(prettyFunction);
    const char* begin = prettyFunction;
    int depth = 0;
    for (const char* p = prettyFunction; p < end; ++p)
    {
        if (*p == '<')
            ++depth;
        else if (*p == '>' && depth > 0)
            --depth;
        else if (*p == ' ' && depth == 0)
            begin = p + 1;
    }
    unsigned length = static_cast<unsigned>(end - begin);
    if (length >= size)
        length = size - 1;
    memcpy(out, begin, length);
    out[length] = '\0';
}

void KelLogGuardFailure(const char* file, int line, const char* prettyFunction) noexcept
{
    char function[256];
    KelQualifiedName(prettyFunction, function, sizeof(function));
    KelLogCL* log = KelLogCL::GetInstance();
    log->Printf("File:%s  Line:%d  Function:%s", file != nullptr ? file : "", line, function);
    // Flushed, not reopened: other threads may be writing entries at this very moment.
    log->Flush();
}
