#include "KelCriticalSectionManagerCL.h"

#include "KelGuard.h"

void KelCriticalSectionManagerCL::SectionDeleter::operator()(CRITICAL_SECTION* section) const
{
    DeleteCriticalSection(section);
    delete section;
}

KelCriticalSectionManagerCL::KelCriticalSectionManagerCL() = default;

KelCriticalSectionManagerCL::~KelCriticalSectionManagerCL()
{
    Destroy();
}

CRITICAL_SECTION* KelCriticalSectionManagerCL::InitialCS(const std::string& name)
{
    KEL_TRY
    std::unique_ptr<CRITICAL_SECTION, SectionDeleter> section(new CRITICAL_SECTION);
    InitializeCriticalSection(section.get());
    CRITICAL_SECTION* result = section.get();
    m_sections[name] = std::move(section);
    return result;
    KEL_CATCH
}

void KelCriticalSectionManagerCL::Destroy()
{
    KEL_TRY
    m_sections.clear();
    KEL_CATCH
}

CRITICAL_SECTION* KelCriticalSectionManagerCL::GetCS(const std::string& name)
{
    KEL_TRY
    auto found = m_sections.find(name);
    if (found != m_sections.end())
        return found->second.get();
    return InitialCS(name);
    KEL_CATCH
}

void KelCriticalSectionManagerCL::Lock(const std::string& name)
{
    KEL_TRY
    EnterCriticalSection(GetCS(name));
    KEL_CATCH
}

void KelCriticalSectionManagerCL::UnLock(const std::string& name)
{
    KEL_TRY
    LeaveCriticalSection(GetCS(name));
    KEL_CATCH
}

void KelLockCS(const std::string& name)
{
    KelCriticalSectionManagerCL::GetInstance()->Lock(name);
}

void KelUnLockCS(const std::string& name)
{
    KelCriticalSectionManagerCL::GetInstance()->UnLock(name);
}
