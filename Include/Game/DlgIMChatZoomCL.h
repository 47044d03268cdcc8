#pragma once
// A player's video frame enlarged in a window of its own on the desktop, opened by the zoom
// button of his seat. Each update copies the newest frame as the host's player object draws it
// into an image of the window; the drawing stretches that image over the window. The function
// button of the title bar switches between the zoom steps; the close button closes the window.
// One window for the table (the desktop holds one window of a name): another player's zoom
// button shows his video in it. The window closes itself when its player, or the table, is gone.

#include <memory>
#include <utility>

#include "KelWnd2DDialogCL.h"

class KelCameraCL;
class KelImageCL;
class VarnokPlayer;

class DlgIMChatZoomCL : public KelWnd2DDialogCL
{
public:
    static constexpr char kName[] = "DlgIMChatZoom";
    // How many times the frame is enlarged, step by step.
    static constexpr int kZooms[] = {2, 3};
    static constexpr int kZoomCount = 2;

    // Opens the zoom window for the player with its top-left corner near (x, y) (desktop
    // coordinates), or shows him in the open one and brings it to the front; null without a
    // desktop.
    static DlgIMChatZoomCL* OpenFor(int playerId, VarnokPlayer* player, int x, int y);
    // The open zoom window, or null.
    static DlgIMChatZoomCL* FindOpen();

    DlgIMChatZoomCL(KelWndBaseCL* desktop, int playerId, VarnokPlayer* player, int x, int y);
    ~DlgIMChatZoomCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    void UpDatedataM() override;
    void CloseM() override;

    void OnZoomM(KelWndMsg message);
    // Shows the player's video from the next update on.
    void ShowPlayer(int playerId, VarnokPlayer* player);

    int GetPlayerId() const { return m_playerId; }
    int GetZoom() const { return kZooms[m_zoomStep]; }
    // The frame's size as drawn, and the part of the image the frame fills.
    std::pair<int, int> GetDrawnSize() const { return {m_Width, m_Height}; }
    std::pair<float, float> GetTexCoords() const { return {m_fU, m_fV}; }

private:
    // The frame's image, made on the first copy.
    bool MakeFrameImage();
    void RecomputeTexCoords();
    void CopyFrame();
    // Sizes the window to the zoomed frame and keeps it on the desktop.
    void FitWindow();
    // Whether the player still sits at the table the window was opened from.
    bool PlayerIsAtTable();

    int m_playerId;
    // The host keeps its player objects while it runs.
    VarnokPlayer* m_player;
    int m_zoomStep = 0;
    // The image holds a reference of this window's, given back by the destructor.
    KelImageCL* m_frame = nullptr;
    std::unique_ptr<KelCameraCL> m_camera;
    bool m_copied = false;
    float m_fU = 0.0f;
    float m_fV = 0.0f;
    int m_Width = 0;
    int m_Height = 0;
};
