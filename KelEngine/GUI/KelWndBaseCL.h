#pragma once
// A named node of the window tree. A window owns its children (the list order is the z-order:
// the first child is drawn first and lies at the bottom), keeps its state flags and style bits,
// runs the callbacks registered per message code and its interval timers, and decides the order
// of updating, drawing and hit testing.
//
// Windows are not deleted by their creators while they have a parent: CloseM marks them, and
// the parent deletes them at its next update pass, so that a handler may close its own window.
//
// The order of the virtual operations is shared with the host's copy of the engine, which
// calls the module's windows through them; it must not change. Derived classes keep every
// operation at its position and append their own.

#include <list>
#include <map>
#include <string>
#include <vector>

#include <boost/function.hpp>

#include "D3D8/D3D8Types.h"
#include "Win32/WinTypes.h"

class KelCanvasCL;
class KelWndBaseCL;

// The record every handler receives. For mouse messages param1 is the Windows key-state word
// and (param2, param3) the point in the sender's own coordinates; for state notifications
// param1 is the new value.
struct KelWndMsg
{
    KelWndBaseCL* sender = nullptr;
    int param1 = 0;
    int param2 = 0;
    int param3 = 0;
};

using KelWndMsgFun = boost::function<void(KelWndMsg)>;
using KelWndTimerFun = boost::function<void(int)>;

struct KelWndTimer
{
    int id = 0;
    int interval = 0;
    // The engine time (ms) the timer last fired; the time it was added until then.
    int last = 0;
    KelWndTimerFun callback;
};

// Style bits of the base classes; controls define more.
constexpr DWORD KWS_NOTITLE = 0x10;
constexpr DWORD KWS_SELFFONT = 0x20;
constexpr DWORD KWS_BKBUFFER = 0x40;
constexpr DWORD KWS_RAISEONACTIVE = 0x100;

// Message codes of the GUI, all in one place.
enum KelWndMsgCode
{
    KWM_LBUTTONDOWN = 1001,
    KWM_LBUTTONUP = 1002,
    KWM_LCLICK = 1003,
    KWM_LBUTTONDBLCLK = 1004,
    KWM_RBUTTONDOWN = 1005,
    KWM_RBUTTONUP = 1006,
    KWM_RCLICK = 1007,
    KWM_RBUTTONDBLCLK = 1008,
    KWM_MOUSEMOVE = 1009,
    KWM_MOUSEWHEEL = 1010,
    KWM_MOUSEIN = 1011,
    KWM_MOUSEOUT = 1012,
    KWM_SHOWCHANGED = 1013,
    KWM_VISIBLECHANGED = 1014,
    KWM_ENABLECHANGED = 1015,
    KWM_FOCUSCHANGED = 1016,
    KWM_EDITDOWNKEY = 1018,
    KWM_EDITUPKEY = 1019,
    KWM_RETURN = 2000,
    KWM_EDITCHANGE = 2001,
    KWM_CHECKCHANGED = 3000,
    KWM_RADIOCHANGED = 3001,
    KWM_SCROLL = 3002,
    KWM_SELECT = 3003,
    KWM_DLGEND = 3004,
    KWM_DLGMIN = 3005,
    KWM_DLGCANCEL = 3006,
    KWM_DLGOK = 3007,
    KWM_MSGBOXOK = 4001,
    KWM_MSGBOXCANCEL = 4002,
};

class KelWndBaseCL
{
public:
    // Registers with the parent when one is given. A name that the parent already finds is
    // replaced by "<name>_<clock>_<random>" and the window is closed at once: it is added but
    // deleted at the parent's next update pass.
    KelWndBaseCL(const char* name, KelWndBaseCL* parent, DWORD style);
    KelWndBaseCL(const KelWndBaseCL&) = delete;
    KelWndBaseCL& operator=(const KelWndBaseCL&) = delete;

    /* 0 */ virtual ~KelWndBaseCL();
    /* 1 */ virtual void DestroyAllChildM();
    /* 2 */ virtual bool AddChildM(KelWndBaseCL* child);
    /* 3 */ virtual bool DeleteChildM(const char* name);
    /* 4 */ virtual KelWndBaseCL* FindChildM(const char* name);
    /* 5 */ virtual KelWndBaseCL* FindNextChildM(const char* name);
    // A name, or a path of names joined by "\" descending one level per name.
    /* 6 */ virtual KelWndBaseCL* FindWndM(const char* path);
    // Takes the child out without deleting it; the caller then owns it.
    /* 7 */ virtual bool RemoveChildM(const char* name);
    /* 8 */ virtual void BringToTopM();
    /* 9 */ virtual bool HasWndM(const char* name);
    /* 10 */ virtual bool IsChildOfM(const char* name);
    /* 11 */ virtual bool SetTimerM(const KelWndTimer& timer);
    /* 12 */ virtual bool KillTimerM(int id);
    /* 13 */ virtual void ReleaseM();
    /* 14 */ virtual void RenderM(KelCanvasCL* canvas);
    /* 15 */ virtual void DrawTipM(KelCanvasCL* canvas);
    // True to have the children drawn as well.
    /* 16 */ virtual bool DrawM(KelCanvasCL* canvas);
    /* 17 */ virtual void DrawPostM(KelCanvasCL* canvas);
    /* 18 */ virtual void UpDatedataM();
    /* 19 */ virtual void ActiveUpDateM();
    /* 20 */ virtual bool CanDragM(POINT point);
    /* 21 */ virtual bool ChangeWindowSizeM(POINT point, POINT press);
    /* 22 */ virtual bool SendMsgToChildM(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    /* 23 */ virtual bool IsCanSendMsgToChildM(const char* name);
    /* 24 */ virtual bool OnMoveM();
    /* 25 */ virtual void Invalidate();
    /* 26 */ virtual bool ActivateM();
    /* 27 */ virtual bool OnSizeChangeM(KelWndBaseCL* window);
    /* 28 */ virtual bool OnParentSizeM(KelWndBaseCL* window);
    // Marks the window for deletion at the parent's next update pass and drops its handlers.
    /* 29 */ virtual void CloseM();
    /* 30 */ virtual bool LButtonDownM(WPARAM keys, POINT point);
    /* 31 */ virtual bool LButtonUpM(WPARAM keys, POINT point);
    /* 32 */ virtual bool LClickM(WPARAM keys, POINT point);
    /* 33 */ virtual bool LButtonDblClkM(WPARAM keys, POINT point);
    /* 34 */ virtual bool RButtonDownM(WPARAM keys, POINT point);
    /* 35 */ virtual bool RButtonUpM(WPARAM keys, POINT point);
    /* 36 */ virtual bool RClickM(WPARAM keys, POINT point);
    /* 37 */ virtual bool RButtonDblClkM(WPARAM keys, POINT point);
    /* 38 */ virtual bool MouseMoveM(WPARAM keys, POINT point);
    /* 39 */ virtual bool MouseWheelM(WPARAM wparam, POINT point);
    /* 40 */ virtual bool MouseInM(WPARAM keys, POINT point);
    /* 41 */ virtual bool MouseOutM(WPARAM keys, POINT point);
    /* 42 */ virtual bool OnShowM(bool show);
    /* 43 */ virtual bool OnVisibleM(bool visible);
    /* 44 */ virtual bool OnEnableM(bool enable);
    /* 45 */ virtual bool OnFocusM(bool focus);
    /* 46 */ virtual bool InsertTextM(const std::string& text, bool notify);
    /* 47 */ virtual bool KeyDownM(WPARAM wparam, LPARAM lparam);
    /* 48 */ virtual bool KeyUpM(WPARAM wparam, LPARAM lparam);
    /* 49 */ virtual bool OnPosChangeM();
    /* 50 */ virtual bool CanAddChildM(KelWndBaseCL* child);
    /* 51 */ virtual bool IsShowCaretM();
    // True when the message was not consumed.
    /* 52 */ virtual bool PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    /* 53 */ virtual KelWndBaseCL* GetParentM();
    /* 54 */ virtual KelWndBaseCL* SetParentM(KelWndBaseCL* parent);
    /* 55 */ virtual const std::string& GetNameM();
    /* 56 */ virtual void SetNameM(const char* name);
    /* 57 */ virtual bool IsAliveM();
    /* 58 */ virtual bool IsVisibleM();
    /* 59 */ virtual void SetVisibleM(bool visible);
    /* 60 */ virtual bool IsShowM();
    /* 61 */ virtual void ShowM(bool show);
    /* 62 */ virtual bool IsEnableM();
    /* 63 */ virtual void EnableM(bool enable);
    /* 64 */ virtual bool IsFocusM();
    /* 65 */ virtual void SetFocusM(bool focus);
    /* 66 */ virtual void SetColorM(D3DCOLOR color);
    /* 67 */ virtual void SetStyleM(DWORD style);
    /* 68 */ virtual void AddStyleM(DWORD bits);
    /* 69 */ virtual void XorStyleM(DWORD bits);
    /* 70 */ virtual DWORD GetStyleM();
    /* 71 */ virtual bool HasStyleM(DWORD bits);
    /* 72 */ virtual bool TakeRaiseRequestM();
    /* 73 */ virtual void SetTextM(const std::string& text);
    /* 74 */ virtual const std::string& GetTextM();
    /* 75 */ virtual bool IsMouseMsgM(int code);
    /* 76 */ virtual void SendMessageM(int code, KelWndMsg message);
    /* 77 */ virtual void NotifyM(int code);
    /* 78 */ virtual void SetMsgFunM(int code, KelWndMsgFun callback);

    // The children, bottom-most first.
    const std::list<KelWndBaseCL*>& GetChildren() const { return m_children; }
    D3DCOLOR GetColor() const { return m_textColor; }
    bool IsDestroying() const { return m_destroying; }
    size_t GetTimerCount() const { return m_timers.size(); }

protected:
    // Whether the window is (still) one of this window's children.
    bool HoldsChild(KelWndBaseCL* child) const;

    DWORD m_style;
    std::string m_name;
    std::string m_text;
    KelWndBaseCL* m_parent = nullptr;
    std::list<KelWndBaseCL*> m_children;
    bool m_alive = true;
    bool m_visible = true;
    bool m_shown = true;
    bool m_enabled = true;
    bool m_focused = false;
    bool m_destroying = false;
    D3DCOLOR m_textColor = 0xFF000000;
    bool m_raiseRequest = false;
    std::map<int, KelWndMsgFun> m_handlers;
    std::list<KelWndTimer> m_timers;

private:
    // Stores the shown or visible flag, tells the window and its handlers, and redraws only when
    // the flag really changed.
    void ChangeShowing(bool& flag, bool value, bool (KelWndBaseCL::*notify)(bool), int code);
};
