#include "KelFontManagerCL.h"

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
        [](int index) {
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
    for (KelFontCL* font : m_fonts)
        delete font;
    m_fonts.clear();
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
    std::vector<KelFontCL*> kept;
    for (KelFontCL* font : m_fonts)
    {
        if (font->GetReferenceCount() < 0)
        {
            ++m_generation;
            delete font;
        }
        else
            kept.push_back(font);
    }
    m_fonts.swap(kept);
    KEL_CATCH
}

KelFontCL* KelFontManagerCL::CreateFont(const char* name, const char* face, int width, int height, int weight,
                                        HWND owner)
{
    KEL_TRY
    const std::string key = NameOf(name);
    for (KelFontCL* font : m_fonts)
    {
        if (font->HasName(key.c_str()))
        {
            font->AddReference();
            return font;
        }
    }
    auto font = std::make_unique<KelFontCL>();
    // A font whose face could not be made stays registered: its glyphs then come from the
    // device context's own font.
    font->Create(key.c_str(), face, width, height, weight, owner);
    m_fonts.push_back(font.get());
    return font.release();
    KEL_CATCH
}

KelFontCL* KelFontManagerCL::GetFontByIndex(int index)
{
    KEL_TRY
    if (index < 0 || index >= static_cast<int>(m_fonts.size()))
        return nullptr;
    return m_fonts[static_cast<size_t>(index)];
    KEL_CATCH
}

KelFontCL* KelFontManagerCL::GetFont(const char* name)
{
    KEL_TRY
    const std::string key = NameOf(name);
    if (key.empty())
        return m_fonts.empty() ? nullptr : m_fonts.front();
    for (KelFontCL* font : m_fonts)
        if (font->HasName(key.c_str()))
            return font;
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
    for (KelFontCL* existing : m_fonts)
        if (existing->HasName(font->GetName().c_str()))
            return existing;
    m_fonts.push_back(font.get());
    return font.release();
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
            delete *it;
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
