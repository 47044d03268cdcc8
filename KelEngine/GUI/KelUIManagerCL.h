#pragma once
// The root of the GUI: owns the desktop window "UIManager_DeskTop", keeps the windows holding
// the keyboard focus, the mouse capture and the hover, the modal windows and one popup, and
// routes every Windows message of the host window to the window that should have it.
//
// The host shares its manager with the module, so the order of the virtual operations must not
// change.

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "KelSingletonCL.h"
#include "Win32/WinTypes.h"

class KelCanvasCL;
class KelImeCL;
class KelWnd2DBaseCL;
class KelWndBaseCL;

class KelUIManagerCL : public KelSingletonCL<KelUIManagerCL>
{
public:
    // Creates the desktop.
    KelUIManagerCL();

    /* 0 */ virtual void Reserved();
    /* 1 */ virtual void DestroyDeskTopM();
    // Origin (0, 0), the tree, the popup, the hover window's tooltip, the caret.
    /* 2 */ virtual void RenderM(KelCanvasCL* canvas);
    /* 3 */ virtual bool SetFocusWndM(KelWndBaseCL* window);
    /* 4 */ virtual KelWndBaseCL* GetFocusWndM();
    /* 5 */ virtual void SetCaptureWndM(KelWndBaseCL* window);
    /* 6 */ virtual KelWndBaseCL* GetCaptureWndM();
    // True when no window consumed the message.
    /* 7 */ virtual bool PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    /* 8 */ virtual KelWnd2DBaseCL* GetDeskTopM();
    /* 9 */ virtual const std::string& GetFocusNameM();
    /* 10 */ virtual const std::string& GetCaptureNameM();
    /* 11 */ virtual void SetHoverWndM(KelWndBaseCL* window);
    /* 12 */ virtual KelWndBaseCL* GetHoverWndM();
    /* 13 */ virtual std::string GetHoverNameM();
    /* 14 */ virtual bool AddModalM(KelWndBaseCL* window);
    /* 15 */ virtual bool RemoveModalM(KelWndBaseCL* window);
    /* 16 */ virtual KelWndBaseCL* GetTopModalM();
    /* 17 */ virtual void SetDeskTopSizeM(int width, int height);
    // The input-method object arrives with the edit box; until then there is none (null) and the
    // input-method switch stays off.
    /* 18 */ virtual KelImeCL* GetImeM();
    /* 19 */ virtual void SetGuiConfigM(const std::string& path);
    /* 20 */ virtual const std::string& GetGuiConfigM();
    /* 21 */ virtual void SetPopupM(KelWndBaseCL* window, bool place);
    /* 22 */ virtual KelWndBaseCL* GetPopupM();
    /* 23 */ virtual void UpDatedataM();
    /* 24 */ virtual bool IsImeOnM();
    /* 25 */ virtual void SetRedrawM(bool redraw);
    /* 26 */ virtual bool GetRedrawM();
    /* 27 */ virtual void DrawTipM(KelCanvasCL* canvas);

    virtual ~KelUIManagerCL();

    const std::list<KelWndBaseCL*>& GetModalList() const { return m_modals; }

    // A window that no parent accepted: the manager owns it and deletes it at its next update
    // pass. A window deleted before then takes itself off the list.
    void AdoptRefusedWindowM(KelWndBaseCL* window);
    void ForgetRefusedWindowM(KelWndBaseCL* window);
    size_t GetRefusedWindowCount() const { return m_refused.size(); }

    // The input-method switch: on, input-method messages go to the input-method object (whose
    // finished text the focus window receives), and the composition and candidates are drawn.
    // The host turns it on when it feeds the desktop's input method.
    void SetImeOnM(bool on);
    POINT GetLastMousePos() const { return m_lastMouse; }

private:
    // Capture, then the top modal window, then the desktop.
    bool RouteMouse(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void DeleteRefusedWindows();
    // An input-method message while the switch is on: the input-method object takes it and its
    // finished text goes to the focus window.
    bool TakeImeMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    std::unique_ptr<KelImeCL> m_ime;
    KelWndBaseCL* m_focus = nullptr;
    KelWndBaseCL* m_capture = nullptr;
    KelWndBaseCL* m_hover = nullptr;
    std::unique_ptr<KelWnd2DBaseCL> m_desktop;
    std::vector<std::unique_ptr<KelWndBaseCL>> m_refused;
    std::list<KelWndBaseCL*> m_modals;
    std::string m_guiConfig;
    KelWndBaseCL* m_popup = nullptr;
    POINT m_lastMouse{0, 0};
    std::string m_emptyName;
    bool m_imeOn = false;
};

// The operations the module calls most, on the current manager.
void KelUIRender(KelCanvasCL* canvas);
bool KelUIPostMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void KelUISetGuiConfig(const std::string& path);
void KelUIDestroyDeskTop();
void KelUIUpdate();
KelWnd2DBaseCL* KelUIGetDeskTop();
