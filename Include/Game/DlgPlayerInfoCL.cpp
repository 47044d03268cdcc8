#include "DlgPlayerInfoCL.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>

#include <boost/bind/bind.hpp>

#include "HostInterfaces.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelTextureCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"

namespace
{
using boost::placeholders::_1;

constexpr D3DCOLOR kWhite = 0xFFFFFFFF;
constexpr D3DCOLOR kScoreColour = 0xFFFFD860;
constexpr D3DCOLOR kSelectedFill = 0x804080C0;
constexpr D3DCOLOR kHotFill = 0x40FFFFFF;
// The portrait pictures are this large; the rows and the summary draw them smaller.
constexpr int kPortraitWidth = 90;
constexpr int kPortraitHeight = 110;
constexpr float kRowPortraitScale = 0.3f;
constexpr float kOwnPortraitScale = 0.68f;
// Where the background has its fields: the list, the chosen player's details, the own picture.
constexpr int kListX = 10;
constexpr int kListY = 128;
constexpr int kListWidth = 220;
constexpr int kListHeight = 3 * DlgPlayerInfoLstCL::kRowHeight;
constexpr int kLinesX = 18;
constexpr int kLinesY = 270;
constexpr int kLineStep = 19;
constexpr int kOwnPictureX = 10;
constexpr int kOwnPictureY = 10;
constexpr int kOwnPictureWidth = 86;
constexpr int kOwnPictureHeight = 78;
} // namespace

// The list.

DlgPlayerInfoLstCL::DlgPlayerInfoLstCL(KelWndBaseCL* parent, int x, int y, int w, int h)
    : KelWnd2DListCL(kName, parent, x, y, w, h, 0)
{
    KEL_TRY
    // The rows lie on the window's own dark field.
    SetListBackColorM(0x00000000);
    SetListBorderColorM(0x00000000);
    SetListTextColorM(kWhite);
    m_menu = std::make_unique<KelWnd2DPopupMenuCL>();
    m_menu->SetMsgFunM(KWM_SELECT, boost::bind(&DlgPlayerInfoLstCL::ClickUseItem, this, _1));
    KEL_CATCH
}

DlgPlayerInfoLstCL::~DlgPlayerInfoLstCL() = default;

int DlgPlayerInfoLstCL::GetRowHeightM()
{
    return kRowHeight;
}

const PlayerInfoRow* DlgPlayerInfoLstCL::RowAt(int index) const
{
    return index >= 0 && index < static_cast<int>(m_rows.size()) ? &m_rows[static_cast<size_t>(index)]
                                                                 : nullptr;
}

int DlgPlayerInfoLstCL::RowOf(int playerId) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].playerId == playerId)
            return static_cast<int>(i);
    return -1;
}

void DlgPlayerInfoLstCL::SetPlayerM(int playerId, const NetPlayerInfo& info)
{
    KEL_TRY
    if (UpdatePlayerM(playerId, info))
        return;
    m_rows.push_back(PlayerInfoRow{playerId, info});
    AddItemM(info.nickname);
    assert(m_rows.size() == static_cast<size_t>(GetItemCountM()));
    KEL_CATCH
}

bool DlgPlayerInfoLstCL::UpdatePlayerM(int playerId, const NetPlayerInfo& info)
{
    KEL_TRY
    const int index = RowOf(playerId);
    if (index < 0)
        return false;
    m_rows[static_cast<size_t>(index)].info = info;
    m_items[static_cast<size_t>(index)] = info.nickname;
    Invalidate();
    return true;
    KEL_CATCH
}

void DlgPlayerInfoLstCL::RemovePlayerM(int playerId)
{
    KEL_TRY
    const int index = RowOf(playerId);
    if (index < 0)
        return;
    // The selection stays on the same player, or goes when it was his row.
    const int selected = GetSelectIndexM();
    m_rows.erase(m_rows.begin() + index);
    DeleteItemM(index);
    if (selected == index)
        SetSelectIndexM(-1);
    else if (selected > index)
        SetSelectIndexM(selected - 1);
    KEL_CATCH
}

void DlgPlayerInfoLstCL::ClearPlayersM()
{
    KEL_TRY
    m_rows.clear();
    ClearItemsM();
    if (KelUIManagerCL::GetInstance()->GetPopupM() == m_menu.get())
        KelUIManagerCL::GetInstance()->SetPopupM(nullptr, false);
    KEL_CATCH
}

bool DlgPlayerInfoLstCL::RClickM(WPARAM keys, POINT point)
{
    KEL_TRY
    // The click selects the row under the mouse first, as a left click would.
    const bool result = KelWnd2DListCL::RClickM(keys, point);
    if (const PlayerInfoRow* row = RowAt(IndexAtM(point.x, point.y)))
        OpenMenu(*row);
    return result;
    KEL_CATCH
}

void DlgPlayerInfoLstCL::OpenMenu(const PlayerInfoRow& row)
{
    m_menuTarget = row.playerId;
    m_menu->ClearItemsM();
    m_menu->AddItemM(kMenuInfo);
    // Nobody asks himself to be his friend.
    if (row.playerId != TableApp()->GetSelfID())
        m_menu->AddItemM(kMenuFriend);
    m_menu->ShowPopupM(true);
}

void DlgPlayerInfoLstCL::ClickUseItem(KelWndMsg message)
{
    KEL_TRY
    const std::string chosen = m_menu->GetItemTextM(message.param1);
    VGameCardBaseCL* app = TableApp();
    if (RowOf(m_menuTarget) < 0)
        return;
    if (chosen == kMenuInfo)
    {
        if (VarnokPlayer* player = app->GetVarnokPlayer(m_menuTarget))
            player->ShowUserInfo();
        else
            KelLogPrintf("player list: the host has no player %d", m_menuTarget);
    }
    else if (chosen == kMenuFriend && m_menuTarget != app->GetSelfID())
    {
        if (VarnokPlayer* own = TableUserPlayer())
            own->AddFriend(m_menuTarget);
    }
    KEL_CATCH
}

KelTextureCL* DlgPlayerInfoLstCL::Portrait(int playerId)
{
    VGameCardBaseCL* app = TableApp();
    const VarnokPlayerInfo* record = app->GetVarnokPlayerInfo(playerId);
    const std::string picture =
        record != nullptr ? std::string(record->picture, strnlen(record->picture, sizeof record->picture))
                          : "";
    KelTexturePtr& portrait = m_portraits[picture];
    if (portrait == nullptr)
    {
        // The portraits are the host's pictures, in the frame's image directory.
        app->UseFrameImagePath();
        if (!picture.empty())
            portrait = KelCreateGuiTexture("Player", "Player_" + picture);
        if (portrait == nullptr)
        {
            const std::string path =
                KelTextureInfoManagerCL::GetInstance()->GetImageDirectory() + "\\Role\\malemask.tga";
            portrait = KelTexturePtr(new KelTextureCL(path.c_str(), true));
        }
    }
    return portrait.get();
}

void DlgPlayerInfoLstCL::DrawLineM(KelCanvasCL* canvas, int index, const KelRect& row)
{
    KEL_TRY
    const PlayerInfoRow* player = RowAt(index);
    if (canvas == nullptr || player == nullptr)
        return;
    if (index == GetSelectIndexM())
        canvas->FillRect(2, row.top + 1, row.right, row.bottom - 1, kSelectedFill);
    else if (index == GetHotIndex())
        canvas->FillRect(2, row.top + 1, row.right, row.bottom - 1, kHotFill);
    if (KelTextureCL* portrait = Portrait(player->playerId))
    {
        portrait->SetScale(kRowPortraitScale, kRowPortraitScale);
        KelDrawTextureAt(canvas, portrait, 4, row.top + (kRowHeight - portrait->GetHeight()) / 2);
    }
    const int textX = 8 + static_cast<int>(kPortraitWidth * kRowPortraitScale);
    const KelRect clip(textX, row.top, row.right, row.bottom);
    canvas->SetTextColor(kWhite);
    canvas->DrawText(player->info.nickname.c_str(), textX, row.top + 4, &clip, false, 0);
    char score[48];
    std::snprintf(score, sizeof score, "积分:%d", player->info.values[NET_INFO_SCORE]);
    canvas->SetTextColor(kScoreColour);
    canvas->DrawText(score, textX, row.top + 21, &clip, false, 0);
    KEL_CATCH
}

// The window.

DlgPlayerInfoCL::DlgPlayerInfoCL(KelWndBaseCL* parent, int x, int y) : KelWnd2DBaseCL(kName, parent, 0)
{
    KEL_TRY
    SetPosM(x, y);
    TableApp()->UseFrameImagePath();
    m_back = KelCreateGuiTexture("gameWnd", "playerInfo_back");
    if (m_back != nullptr)
        SetSizeM(m_back->GetWidth(), m_back->GetHeight());
    else
        KelLogPrintf("player list: no picture playerInfo_back in gameWnd");
    m_list = new DlgPlayerInfoLstCL(this, kListX, kListY, kListWidth, kListHeight);
    m_list->SetMsgFunM(KWM_SELECT, boost::bind(&DlgPlayerInfoCL::OnClickSelectChange, this, _1));
    m_duihuanBtn = new KelWnd2DButtonCL("btn_duihuanbb", this, "gameWndEX", "duihuanbb", 206, 92);
    m_duihuanBtn->SetTipM("兑换宝贝");
    m_duihuanBtn->SetMsgFunM(KWM_LCLICK, boost::bind(&DlgPlayerInfoCL::OnClickDuihuan, this, _1));
    KEL_CATCH
}

DlgPlayerInfoCL::~DlgPlayerInfoCL() = default;

void DlgPlayerInfoCL::OnPlayerIn(int playerId, const NetPlayerInfo& info)
{
    KEL_TRY
    m_list->SetPlayerM(playerId, info);
    ShowSelected();
    KEL_CATCH
}

void DlgPlayerInfoCL::OnPlayerOut(int playerId)
{
    KEL_TRY
    // The user leaving the table leaves nobody to list.
    if (playerId == TableApp()->GetSelfID())
        DestroyPlayerLst();
    else
        m_list->RemovePlayerM(playerId);
    ShowSelected();
    KEL_CATCH
}

void DlgPlayerInfoCL::OnRecv_OnBaseRecPlayerInfoChanged(int playerId, const NetPlayerInfo& info)
{
    KEL_TRY
    if (!m_list->UpdatePlayerM(playerId, info))
    {
        KelLogPrintf("player list: information of player %d, who is not at the table", playerId);
        return;
    }
    ShowSelected();
    KEL_CATCH
}

void DlgPlayerInfoCL::DestroyPlayerLst()
{
    KEL_TRY
    m_list->ClearPlayersM();
    m_selectedLines.clear();
    KEL_CATCH
}

void DlgPlayerInfoCL::OnClickSelectChange(KelWndMsg)
{
    KEL_TRY
    ShowSelected();
    KEL_CATCH
}

void DlgPlayerInfoCL::OnClickDuihuan(KelWndMsg)
{
    KEL_TRY
    // The user's package is where his props are exchanged.
    if (VarnokPlayer* own = TableUserPlayer())
        own->ShowPackage();
    KEL_CATCH
}

void DlgPlayerInfoCL::ShowSelected()
{
    m_selectedLines.clear();
    const PlayerInfoRow* row = m_list->RowAt(m_list->GetSelectIndexM());
    if (row == nullptr)
        return;
    const int32_t* v = row->info.values;
    const int games = v[NET_INFO_GAMES];
    const auto line = [this](const char* format, int value)
    {
        char text[128];
        std::snprintf(text, sizeof text, format, value);
        m_selectedLines.push_back(text);
    };
    m_selectedLines.push_back("昵称:" + row->info.nickname);
    line("等级:%d", v[NET_INFO_LEVEL]);
    line("积分:%d", v[NET_INFO_SCORE]);
    m_selectedLines.push_back(std::string("称号:") + TableApp()->GetScoreTitle(v[NET_INFO_SCORE]));
    line("胜率:%d％", games > 0 ? static_cast<int>(v[NET_INFO_WINS] * 100LL / games) : 0);
    line("对战次数:%d", games);
    line("逃跑率:%d％", v[NET_INFO_ESCAPE_RATE]);
}

bool DlgPlayerInfoCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return true;
    KelDrawTextureAt(canvas, m_back.get(), 0, 0);
    if (const PlayerInfoRow* own = m_list->RowAt(m_list->RowOf(TableApp()->GetSelfID())))
        DrawOwnSummary(canvas, *own);
    canvas->SetTextColor(kWhite);
    for (size_t i = 0; i < m_selectedLines.size(); ++i)
        canvas->DrawText(m_selectedLines[i].c_str(), kLinesX, kLinesY + static_cast<int>(i) * kLineStep,
                         nullptr, false, 0);
    return true;
    KEL_CATCH
}

void DlgPlayerInfoCL::DrawOwnSummary(KelCanvasCL* canvas, const PlayerInfoRow& own)
{
    canvas->SetTextColor(kWhite);
    canvas->DrawText(own.info.nickname.c_str(), 160, 27, nullptr, false, 0);
    canvas->DrawText(std::to_string(own.info.values[NET_INFO_SCORE]).c_str(), 160, 49, nullptr, false, 0);
    canvas->DrawText("普通用户", 160, 72, nullptr, false, 0);
    canvas->DrawText(std::to_string(own.info.values[NET_INFO_COINS]).c_str(), 62, 96, nullptr, false, 0);
    if (KelTextureCL* portrait = m_list->Portrait(own.playerId))
    {
        portrait->SetScale(kOwnPortraitScale, kOwnPortraitScale);
        const int w = static_cast<int>(kPortraitWidth * kOwnPortraitScale);
        const int h = static_cast<int>(kPortraitHeight * kOwnPortraitScale);
        KelDrawTextureAt(canvas, portrait, kOwnPictureX + (kOwnPictureWidth - w) / 2,
                         kOwnPictureY + (kOwnPictureHeight - h) / 2);
    }
}
