#pragma once
// A check box: a box image with the caption (the window text) to its right, toggled by a click
// released over it, reporting KWM_CHECKCHANGED (3000) after each toggle. Six images from the GUI
// configuration's element ("check", or "radio" for the boxes of a radio group), pieces
// "status_0" ... "status_5": normal, hover and pressed when not ticked, then the same ticked.
//
// KelWnd2DRadioGroupCL holds check boxes as its children and keeps exactly the clicked one
// ticked, reporting KWM_RADIOCHANGED (3001) from the group with the clicked box as the sender.

#include <array>
#include <string>
#include <vector>

#include "KelGuiPieces.h"
#include "KelWnd2DBaseCL.h"

class KelWnd2DCheckCL : public KelWnd2DBaseCL
{
public:
    KelWnd2DCheckCL(const char* name, KelWndBaseCL* parent, const char* caption, int x, int y, DWORD style);
    ~KelWnd2DCheckCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    bool LButtonDownM(WPARAM keys, POINT point) override;
    bool LButtonUpM(WPARAM keys, POINT point) override;
    bool MouseInM(WPARAM keys, POINT point) override;
    bool MouseOutM(WPARAM keys, POINT point) override;
    bool MouseMoveM(WPARAM keys, POINT point) override;

    // Sends nothing.
    /* 115 */ virtual void SetCheckM(bool ticked);
    /* 116 */ virtual bool IsCheckM();
    // The box takes image 0's size; a caption with a font widens it by the gap and the text and
    // makes it as high as the taller of the two, moving it up to keep the box centred.
    /* 117 */ virtual void LayoutM(const std::string& caption);
    /* 118 */ virtual void initialDataM(const std::string& element);
    // Takes the texture over (an empty texture or an index outside 0 ... 5 is ignored).
    /* 119 */ virtual void SetImageM(KelTextureCL* texture, int index);

    int GetLook() const { return m_look; }
    int GetCaptionX() const { return m_captionX; }
    KelTextureCL* GetImage(int index) const;

private:
    int m_look = 0;
    bool m_ticked = false;
    std::array<KelTexturePtr, 6> m_images;
    int m_captionX = 0;
    int m_gap = 5;
    bool m_pressed = false;
};

class KelWnd2DRadioGroupCL : public KelWnd2DBaseCL
{
public:
    KelWnd2DRadioGroupCL(const char* name, KelWndBaseCL* parent, int x, int y, DWORD style);
    ~KelWnd2DRadioGroupCL() override;

    // A new box of the group, skinned as a radio button.
    KelWnd2DCheckCL* AddRadioM(const char* name, const char* caption, int x, int y);
    void SelectM(int index);
    // The index of the first ticked box, or -1.
    int GetSelectM();
    void SelectByNameM(const std::string& name);

    // The group's boxes that are still its children, in the order they were added.
    std::vector<KelWnd2DCheckCL*> GetRadios();

private:
    void OnBoxChanged(KelWndMsg message);

    // Not owned: the boxes are children of the group, deleted with the window tree.
    std::vector<KelWnd2DCheckCL*> m_boxes;
};
