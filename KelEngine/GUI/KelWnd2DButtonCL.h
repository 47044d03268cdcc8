#pragma once
// A push button drawn from four state images (normal, hover, pressed, disabled) of a
// texture-info set: image ID + "_0" ... "_3". A button larger than its image in both directions
// draws the image as a nine-part frame, cut into a 3 x 3 grid whose middle cells repeat, so one
// small image serves any size without stretching; an image as large as the button (in either
// direction) is drawn once. Without images the button is a filled rectangle. The caption (the
// window text) is centred. Pressing plays the click sound (PlaySoundA); the click itself
// (KWM_LCLICK) comes from the base window when the button is released over it.
//
// A width or height of 4095 at construction takes the normal image's width or height.

#include <array>
#include <string>

#include "KelGuiPieces.h"
#include "KelWnd2DBaseCL.h"

class KelWnd2DButtonCL : public KelWnd2DBaseCL
{
public:
    enum State
    {
        kNormal = 0,
        kHover = 1,
        kPressed = 2,
        kDisabled = 3,
    };

    KelWnd2DButtonCL(const char* name, KelWndBaseCL* parent, const char* infoName, const char* imageId, int x,
                     int y, int w = 4095, int h = 4095, DWORD style = 0);
    ~KelWnd2DButtonCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    bool LButtonDownM(WPARAM keys, POINT point) override;
    bool LButtonUpM(WPARAM keys, POINT point) override;
    bool MouseInM(WPARAM keys, POINT point) override;
    bool MouseOutM(WPARAM keys, POINT point) override;
    bool MouseMoveM(WPARAM keys, POINT point) override;
    bool OnEnableM(bool enable) override;

    // Takes the texture over; the old image of that state is deleted. Other states are ignored
    // (and the texture with them).
    /* 115 */ virtual void SetStateImageM(int state, KelTextureCL* texture);
    /* 116 */ virtual void SetSoundM(const std::string& path);
    /* 117 */ virtual void SetSoundOnM(bool on);
    /* 118 */ virtual void initialDataM(const std::string& infoName, const std::string& imageId);

    int GetState() const { return m_state; }
    KelTextureCL* GetStateImage(int state) const;
    const std::string& GetSound() const { return m_sound; }
    bool IsSoundOn() const { return m_soundOn; }

private:
    void ChangeState(int state);
    void DrawNinePart(KelCanvasCL* canvas, KelTextureCL* image);

    int m_state = kNormal;
    std::array<KelTexturePtr, 4> m_images;
    std::string m_sound;
    bool m_soundOn = true;
};

// A button skinned by an element of the GUI configuration (its "file" and "data" attributes);
// null when the configuration does not load or has no such element.
KelWnd2DButtonCL* CreateConfigButton(const char* name, KelWndBaseCL* parent, const char* element, int x,
                                     int y, int w, int h);
