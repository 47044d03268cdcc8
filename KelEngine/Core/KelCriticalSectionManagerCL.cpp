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

CRITICAL_SECTION* KelCriticalSectionManagerCL::StoreNewSection(const std::string& name)
{
    std::unique_ptr<CRITICAL_SECTION, SectionDeleter> section(new CRITICAL_SECTION);
    InitializeCriticalSection(section.get());
    CRITICAL_SECTION* result = section.get();
    m_sections[name] = std::move(section);
    return result;
}

CRITICAL_SECTION* KelCriticalSectionManagerCL::InitialCS(const std::string& name)
{
    KEL_TRY
    std::lock_guard<std::mutex> lock(m_lock);
    return StoreNewSection(name);
    KEL_CATCH
}

void KelCriticalSectionManagerCL::Destroy()
{
    KEL_TRY
    std::lock_guard<std::mutex> lock(m_lock);
    m_sections.clear();
    KEL_CATCH
}

CRITICAL_SECTION* KelCriticalSectionManagerCL::GetCS(const std::string& name)
{
    KEL_TRY
    // Looked up and created under one hold of the lock: two threads asking for a new name at
    // once must not each make a section of their own.
    std::lock_guard<std::mutex> lock(m_lock);
    auto found = m_sections.find(name);
    if (found != m_sections.end())
        return found->second.get();
    return StoreNewSection(name);
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
