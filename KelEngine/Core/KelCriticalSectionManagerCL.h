#pragma once
// Critical sections looked up by name and created on first use. A thread may enter the same
// name again while it holds it. The registry itself is not thread-safe: create each name from
// one thread before others use it.

#include <map>
#include <memory>
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
    std::map<std::string, std::unique_ptr<CRITICAL_SECTION, SectionDeleter>> m_sections;
};

void KelLockCS(const std::string& name);
void KelUnLockCS(const std::string& name);
