#pragma once
// Critical sections looked up by name and created on first use. A thread may enter the same
// name again while it holds it.
//
// Threads. Any thread may look up, lock and unlock names at any time: the map is guarded by
// m_lock, which is held only to find or store an entry, never while a section is entered, so a
// thread waiting for a section does not keep others from the registry. Every thread that asks
// for a name gets the same section. A section lives until Destroy or the registry's end, which
// must therefore wait until no thread holds or waits for any of its names. InitialCS replaces
// (and frees) a section already stored under the name; it is meant for new names, which GetCS
// creates through it.

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "KelSingletonCL.h"
#include "Win32/Sync.h"

class KelCriticalSectionManagerCL : public KelSingletonCL<KelCriticalSectionManagerCL>
{
public:
    KelCriticalSectionManagerCL();

    virtual CRITICAL_SECTION* InitialCS(const std::string& name);
    virtual void Destroy();
    virtual CRITICAL_SECTION* GetCS(const std::string& name);
    virtual void Lock(const std::string& name);
    virtual void UnLock(const std::string& name);

    virtual ~KelCriticalSectionManagerCL();

private:
    struct SectionDeleter
    {
        void operator()(CRITICAL_SECTION* section) const;
    };

    // Makes a new section and stores it under the name; m_lock is held by the caller.
    CRITICAL_SECTION* StoreNewSection(const std::string& name);

    // Guards m_sections.
    std::mutex m_lock;
    std::map<std::string, std::unique_ptr<CRITICAL_SECTION, SectionDeleter>> m_sections;
};

void KelLockCS(const std::string& name);
void KelUnLockCS(const std::string& name);
