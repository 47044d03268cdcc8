#include "KelFontManagerCL.h"

#include <algorithm>
#include <memory>
#include <string>

#include "KelFontCL.h"
#include "KelGuard.h"
#include "KelSystemCL.h"

namespace
{
// Unused fonts are kept this long (ms of engine time) before a sweep may delete them.
constexpr DWORD kSweepIntervalMs = 30000;

std::string NameOf(const char* name)
{
    return name != nullptr ? name : "";
}
} // namespace

KelFontManagerCL::KelFontManagerCL()
{
    KEL_TRY
    // The debug overlay's font browser counts through whichever font manager is current, so it
    // never holds on to one that is gone.
    KelSystemCL::GetInstance()->SetFontBrowserSource(
        [] { return KelFontManagerCL::GetInstance()->GetFontCount(); },
        [](int index)
        {
            KelFontCL* font = KelFontManagerCL::GetInstance()->GetFontByIndex(index);
            return font != nullptr ? font->GetPageCount() : 0;
        });
    KEL_CATCH
}

KelFontManagerCL::~KelFontManagerCL()
{
    // A destructor must not throw; the guard still logs where the failure came from.
    KEL_TRY
    Destroy();
    KEL_CATCH_RETURN()
}

void KelFontManagerCL::Destroy()
{
    KEL_TRY
    if (!m_fonts.empty())
        ++m_generation;
    // Emptied before the fonts go, so that nothing finds a font half destroyed.
    std::vector<std::unique_ptr<KelFontCL>> fonts;
    fonts.swap(m_fonts);
    fonts.clear();
    KEL_CATCH
}

void KelFontManagerCL::Update()
{
    KEL_TRY
    DWORD now = KelGetElapsedMs();
    if (!m_swept)
    {
        m_swept = true;
        m_lastSweep = now;
        return;
    }
    if (now - m_lastSweep > kSweepIntervalMs)
    {
        Sweep();
        m_lastSweep = now;
    }
    KEL_CATCH
}

void KelFontManagerCL::Sweep()
{
    KEL_TRY
    const auto unused = [](const std::unique_ptr<KelFontCL>& font) { return font->GetReferenceCount() < 0; };
    const auto removed = std::remove_if(m_fonts.begin(), m_fonts.end(), unused);
    if (removed != m_fonts.end())
        ++m_generation;
    m_fonts.erase(removed, m_fonts.end());
    KEL_CATCH
}

KelFontCL* KelFontManagerCL::CreateFont(const char* name, const char* face, int width, int height, int weight,
                                        HWND owner)
{
    KEL_TRY
    const std::string key = NameOf(name);
    for (const std::unique_ptr<KelFontCL>& font : m_fonts)
    {
        if (font->HasName(key.c_str()))
        {
            font->AddReference();
            return font.get();
        }
    }
    auto font = std::make_unique<KelFontCL>();
    // A font whose face could not be made stays registered: its glyphs then come from the
    // device context's own font.
    font->Create(key.c_str(), face, width, height, weight, owner);
    m_fonts.push_back(std::move(font));
    return m_fonts.back().get();
    KEL_CATCH
}

KelFontCL* KelFontManagerCL::GetFontByIndex(int index)
{
    KEL_TRY
    if (index < 0 || index >= static_cast<int>(m_fonts.size()))
        return nullptr;
    return m_fonts[static_cast<size_t>(index)].get();
    KEL_CATCH
}

KelFontCL* KelFontManagerCL::GetFont(const char* name)
{
    KEL_TRY
    const std::string key = NameOf(name);
    if (key.empty())
        return m_fonts.empty() ? nullptr : m_fonts.front().get();
    for (const std::unique_ptr<KelFontCL>& font : m_fonts)
        if (font->HasName(key.c_str()))
            return font.get();
    return nullptr;
    KEL_CATCH
}

int KelFontManagerCL::GetFontCount()
{
    KEL_TRY
    return static_cast<int>(m_fonts.size());
    KEL_CATCH
}

KelFontCL* KelFontManagerCL::LoadImageFont(const char* path)
{
    KEL_TRY
    auto font = std::make_unique<KelFontCL>();
    if (!font->LoadImageFont(path))
        return nullptr;
    for (const std::unique_ptr<KelFontCL>& existing : m_fonts)
        if (existing->HasName(font->GetName().c_str()))
            return existing.get();
    m_fonts.push_back(std::move(font));
    return m_fonts.back().get();
    KEL_CATCH
}

void KelFontManagerCL::DestroyFont(const char* name)
{
    KEL_TRY
    const std::string key = NameOf(name);
    for (auto it = m_fonts.begin(); it != m_fonts.end(); ++it)
    {
        if ((*it)->HasName(key.c_str()))
        {
            ++m_generation;
            m_fonts.erase(it);
            return;
        }
    }
    KEL_CATCH
}

KelFontCL* KelGetFont(const char* name)
{
    return KelFontManagerCL::GetInstance()->GetFont(name);
}
