#pragma once
// A list of text rows with hover and selection highlighting, wheel scrolling, and a vertical
// scroll bar (a child "scrollV") that exists exactly while the rows do not fit; a click on a row
// other than the selected one selects it and sends KWM_SELECT (3003) {list, index, 0, 0}, and
// every click closes the UI manager's popup.
//
// KelWnd2DPopupMenuCL is a list without a parent shown as the UI manager's popup: it sizes
// itself to its rows, opens at the mouse and closes when a row is clicked.

#include <string>
#include <vector>

#include "KelRect.h"
#include "KelWnd2DBaseCL.h"

class KelWnd2DScrollBarCL;

class KelWnd2DListCL : public KelWnd2DBaseCL
{
public:
    KelWnd2DListCL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h, DWORD style);
    ~KelWnd2DListCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    bool LClickM(WPARAM keys, POINT point) override;
    bool RClickM(WPARAM keys, POINT point) override;
    bool MouseMoveM(WPARAM keys, POINT point) override;
    bool MouseWheelM(WPARAM wparam, POINT point) override;
    bool MouseOutM(WPARAM keys, POINT point) override;

    /* 115 */ virtual void DrawLineM(KelCanvasCL* canvas, int index, const KelRect& row);
    /* 116 */ virtual void AddItemM(const std::string& text);
    /* 117 */ virtual void DeleteItemM(int index);
    /* 118 */ virtual void ClearItemsM();
    /* 119 */ virtual int GetItemCountM();
    /* 120 */ virtual int GetVisibleRowsM();
    /* 121 */ virtual std::string GetItemTextM(int index);
    /* 122 */ virtual int GetRowHeightM();
    /* 123 */ virtual int GetTextWidthM();
    /* 124 */ virtual int GetRowGapM();
    /* 125 */ virtual void SetRowGapM(int gap);
    /* 126 */ virtual void SetSelectIndexM(int index);
    /* 127 */ virtual int GetSelectIndexM();
    /* 128 */ virtual int IndexAtM(int x, int y);
    /* 129 */ virtual void UpdateScrollBarM();

    void SetListBorderColorM(D3DCOLOR color);
    void SetListBackColorM(D3DCOLOR color);
    void SetListTextColorM(D3DCOLOR color);

    int GetTopIndex() const { return m_top; }
    int GetHotIndex() const { return m_hot; }
    KelWnd2DScrollBarCL* GetScrollBar();

protected:
    // The rows' text as the list draws and measures it.
    int RowTextWidth(const std::string& text);
    std::vector<std::string> m_items;

private:
    bool OnClick();
    void OnScroll(KelWndMsg message);
    void MoveBarToTop();

    int m_gap = 6;
    int m_indent = 5;
    int m_top = 0;
    int m_selected = -1;
    int m_hot = -1;
    D3DCOLOR m_border = 0xFF8080FF;
    D3DCOLOR m_fill = 0xFFF0F0F0;
    D3DCOLOR m_text = 0xFF000000;
    D3DCOLOR m_selectedText = 0xFFFFFFFF;
    D3DCOLOR m_selectedFill = 0x640000FF;
    D3DCOLOR m_hotText = 0xFFFFFF64;
    D3DCOLOR m_hotFill = 0x64C8C800;
};

class KelWnd2DPopupMenuCL : public KelWnd2DListCL
{
public:
    KelWnd2DPopupMenuCL();
    ~KelWnd2DPopupMenuCL() override;

    void AddItemM(const std::string& text) override;
    void UpdateScrollBarM() override;

    void ShowPopupM(bool show);
    void SetPlaceM(bool place) { m_place = place; }

private:
    bool m_place = true;
};
