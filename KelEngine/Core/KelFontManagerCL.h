#pragma once
// The fonts of the engine by name, in creation order. Creating a font under a name that exists
// returns that font with one more reference; unused fonts (count below 0) are deleted by a sweep
// at most every 30 s of engine time.

#include <memory>
#include <string>
#include <vector>

#include "KelSingletonCL.h"
#include "Win32/WinTypes.h"

class KelFontCL;

class KelFontManagerCL : public KelSingletonCL<KelFontManagerCL>
{
public:
    KelFontManagerCL();

    // Deletes every font.
    virtual void Destroy();
    // Sweeps when at least 30001 ms of engine time have passed since the last sweep; the first
    // call only records the time.
    virtual void Update();
    // Deletes the fonts whose reference count is below 0.
    virtual void Sweep();
    virtual KelFontCL* CreateFont(const char* name, const char* face, int width, int height, int weight,
                                  HWND owner);
    virtual KelFontCL* GetFontByIndex(int index);
    // An empty name gives the first font; otherwise the first of exactly that name, or null.
    virtual KelFontCL* GetFont(const char* name);
    virtual int GetFontCount();
    virtual KelFontCL* LoadImageFont(const char* path);
    virtual void DestroyFont(const char* name);

    virtual ~KelFontManagerCL();

    // Grows whenever a font is deleted: whoever keeps a font pointer looks it up again when the
    // number has moved on, instead of using a font that is gone.
    unsigned GetGeneration() const { return m_generation; }

private:
    std::vector<std::unique_ptr<KelFontCL>> m_fonts;
    unsigned m_generation = 0;
    DWORD m_lastSweep = 0;
    bool m_swept = false;
};

KelFontCL* KelGetFont(const char* name);
