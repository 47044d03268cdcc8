#pragma once
// The exception guard around operation bodies. When anything escapes the body, the log gets an
// entry with the source file, the line and the operation's qualified name, the log is flushed
// so that the entry is on disk whatever happens next, and the exception travels on:
//
//     bool KelThingCL::Load(const char* path)
//     {
//         KEL_TRY
//         ...
//         KEL_CATCH
//     }
//
// Message entry points, which must not let anything out, end with KEL_CATCH_RETURN(false).

// Writes "File:%s  Line:%d  Function:%s" and flushes the log. Never throws.
void KelLogGuardFailure(const char* file, int line, const char* prettyFunction) noexcept;

// Copies "Class::Operation" out of a compiler function signature such as
// "bool KelThingCL::Load(const char*)" into `out` (always terminated). Never throws.
void KelQualifiedName(const char* prettyFunction, char* out, unsigned size) noexcept;

#define KEL_TRY \
    try         \
    {
#define KEL_CATCH                                                        \
    }                                                                    \
    catch (...)                                                          \
    {                                                                    \
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);     \
        throw;                                                           \
    }
#define KEL_CATCH_RETURN(result)                                         \
    }                                                                    \
    catch (...)                                                          \
    {                                                                    \
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);     \
        return result;                                                   \
    }
