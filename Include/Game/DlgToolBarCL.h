#pragma once
// The table's tool bar at the bottom right: four small buttons that open the host's social
// windows for the user (friends, the user's information, his package, the promoter page). The
// host does the work; without a host object for the user the buttons do nothing.

#include "KelGuiPieces.h"
#include "KelWnd2DBaseCL.h"

class KelWnd2DButtonCL;
class VarnokPlayer;

class DlgToolBarCL : public KelWnd2DBaseCL
{
public:
    static constexpr char kName[] = "DlgToolBarCL";
    static constexpr int kX = 688;
    static constexpr int kY = 578;
    static constexpr int kWidth = 110;
    static constexpr int kHeight = 35;

    explicit DlgToolBarCL(KelWndBaseCL* parent);
    ~DlgToolBarCL() override;

    bool DrawM(KelCanvasCL* canvas) override;

    void OnClickFriend(KelWndMsg message);
    void OnClickUserInfo(KelWndMsg message);
    void OnClickPackage(KelWndMsg message);
    void OnClickTuiguang(KelWndMsg message);

private:
    KelWnd2DButtonCL* AddButton(const char* name, const char* image, int x, int y, const char* tip,
                                void (DlgToolBarCL::*click)(KelWndMsg));
    // The user's own host object; null while the host has none.
    VarnokPlayer* OwnPlayer();

    KelTexturePtr m_back;
    // Children of the bar, which owns them.
    KelWnd2DButtonCL* m_friendBtn = nullptr;
    KelWnd2DButtonCL* m_userInfoBtn = nullptr;
    KelWnd2DButtonCL* m_packageBtn = nullptr;
    KelWnd2DButtonCL* m_tuiguangBtn = nullptr;
};
