#include "HostPlayersCL.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "D3D8/D3DX8.h"
#include "HostFacePickerCL.h"
#include "KelCanvasCL.h"
#include "KelImageCL.h"
#include "KelLogCL.h"
#include "KelMessageBoxCL.h"
#include "KelResourceManagerCL.h"
#include "KelSoundEngineCL.h"
#include "KelSystemCL.h"
#include "KelTextureCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "NetMsgReaderCL.h"

namespace
{
// A message box on the desktop (which owns it) in place of an open one of the same name. Texts
// are GBK, as the literals of every source are compiled.
void ShowBox(const char* name, const char* title, const std::string& text)
{
    KelWndBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM();
    if (desktop == nullptr)
        return;
    if (KelWndBaseCL* open = desktop->FindChildM(name))
        open->CloseM();
    new KelMessageBoxCL(name, title, text.c_str(), KWS_MB_OK);
}
} // namespace

HostPlayerCL::HostPlayerCL(HostPlayersCL& owner, int id) : m_owner(owner)
{
    m_info.id = id;
    NamePicture();
}

HostPlayerCL::~HostPlayerCL()
{
    ReleasePictures();
}

void HostPlayerCL::ReleasePictures()
{
    if (m_faceImage != nullptr)
        m_faceImage->ReleaseReference();
    m_faceImage = nullptr;
    m_face = 0;
    if (m_portrait != nullptr)
        m_portrait->Release();
    m_portrait = nullptr;
}

void HostPlayerCL::SetInfo(const NetPlayerInfo& info)
{
    std::memset(m_info.nickname, 0, sizeof m_info.nickname);
    std::strncpy(m_info.nickname, info.nickname.c_str(), sizeof m_info.nickname - 1);
    m_info.sex = info.values[NET_INFO_SEX];
    m_info.score = info.values[NET_INFO_SCORE];
    m_info.coins = info.values[NET_INFO_COINS];
    m_info.level = info.values[NET_INFO_LEVEL];
    m_info.wins = info.values[NET_INFO_WINS];
    m_info.losses = info.values[NET_INFO_LOSSES];
    m_info.draws = info.values[NET_INFO_DRAWS];
    m_info.escapes = info.extra;
    NamePicture();
}

void HostPlayerCL::PlaySound(const char* name)
{
    if (name == nullptr || *name == '\0' || !m_owner.SoundOn())
        return;
    m_owner.NoteSound(name);
    if (KelSoundEngineCL* sounds = KelSoundEngineCL::GetInstance())
        sounds->Play2DEffect(name, false);
}

void HostPlayerCL::SetSoundOn(bool on)
{
    // Only the user's own object carries the switch; it is the host's, for every seat.
    if (m_info.id == m_owner.GetSelfID())
        m_owner.SetSoundOn(on);
}

void HostPlayerCL::ShowFace(int face)
{
    if (face < 1 || face > 18)
    {
        KelLogPrintf("host: face %d does not exist", face);
        return;
    }
    if (m_faceImage != nullptr)
        m_faceImage->ReleaseReference();
    const std::string path = KelGetModuleDirectory() + "\\image\\face\\" + std::to_string(face) + ".zip";
    m_faceImage = KelResourceManagerCL::GetInstance()->LoadZipAnimationM(path.c_str(), nullptr);
    m_face = face;
    m_faceUntil = KelGetElapsedMs() + HostPlayersCL::kFaceMs;
}

void HostPlayerCL::ShowBubble(const char* text)
{
    m_bubble = text != nullptr ? text : "";
    m_bubbleUntil = KelGetElapsedMs() + HostPlayersCL::kBubbleMs;
}

int HostPlayerCL::ShownFace() const
{
    return m_face != 0 && KelGetElapsedMs() < m_faceUntil ? m_face : 0;
}

std::string HostPlayerCL::ShownBubble() const
{
    return !m_bubble.empty() && KelGetElapsedMs() < m_bubbleUntil ? m_bubble : std::string();
}

void HostPlayerCL::OpenFacePicker(int x, int y)
{
    KelWndBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM();
    if (desktop == nullptr)
        return;
    if (KelWndBaseCL* open = desktop->FindChildM("HostFacePicker"))
        open->CloseM();
    // The desktop owns the picker; it closes itself when a face is picked. The face goes back to
    // the module on the host's next frame, not inside the click.
    new HostFacePickerCL(x, y, [this](const std::string& code) { m_owner.PickFace(code); });
}

void HostPlayerCL::OpenSpeaker()
{
    ShowBox("HostSpeaker", "小喇叭", "本服务器没有小喇叭频道。");
}

void HostPlayerCL::AddFriend(int playerId)
{
    KelLogPrintf("host: friend request for player %d", playerId);
    ShowBox("HostFriend", "好友系统", "本服务器没有好友系统。");
}

void HostPlayerCL::ShowFriends()
{
    ShowBox("HostFriend", "好友系统", "本服务器没有好友系统。");
}

void HostPlayerCL::SetSeatState(int seat, int state, int flag, int reserved)
{
    (void)seat;
    (void)flag;
    (void)reserved;
    m_seatState = state;
}

void HostPlayerCL::NamePicture()
{
    // Odd portraits are men, even ones women; the id picks one of each four.
    const int k = (m_info.id % 4 + 4) % 4;
    std::snprintf(m_info.picture, sizeof m_info.picture, "%d", m_info.sex == 1 ? 2 * k + 2 : 2 * k + 1);
}

std::string HostPlayerCL::PortraitId() const
{
    return std::string("Player_") + m_info.picture;
}

KelTextureCL* HostPlayerCL::Portrait()
{
    if (m_portrait == nullptr)
        m_portrait = KelTextureInfoManagerCL::GetInstance()->CreateTexture("Player", PortraitId(), true);
    return m_portrait;
}

void HostPlayerCL::DrawPicture(KelCanvasCL* canvas, int layout, int x, int y)
{
    if (canvas == nullptr)
        return;
    (void)layout;
    if (KelTextureCL* portrait = Portrait())
    {
        canvas->Translate(static_cast<float>(x), static_cast<float>(y));
        portrait->Render(canvas);
        canvas->Translate(static_cast<float>(-x), static_cast<float>(-y));
    }
    DrawFace(canvas, x, y);
    DrawBubble(canvas, x, y);
}

void HostPlayerCL::DrawVideo(KelCanvasCL* canvas, int layout, int x, int y)
{
    (void)layout;
    KelTextureCL* portrait = canvas != nullptr ? Portrait() : nullptr;
    if (portrait == nullptr)
        return;
    // Without a camera the video frame is the picture itself: the frame marks it as the live
    // one, and a video that is switched off shows as a dimmed picture.
    const int right = x + portrait->GetWidth();
    const int bottom = y + portrait->GetHeight();
    if (!m_videoOn)
        canvas->FillRect(x, y, right, bottom, 0x80000000u);
    canvas->DrawRect(x - 1, y - 1, right + 1, bottom + 1, m_videoOn ? 0xFF60D060u : 0xFF808080u);
}

bool HostPlayerCL::CaptureVideo(const char* path)
{
    KelTextureCL* portrait = Portrait();
    KelImageCL* image = portrait != nullptr ? portrait->GetImage() : nullptr;
    IDirect3DSurface8* surface = image != nullptr ? image->GetSurfaceM() : nullptr;
    if (path == nullptr || surface == nullptr)
        return false;
    const KelRect area = portrait->GetRect();
    const RECT rect{area.left, area.top, area.right, area.bottom};
    // The image keeps its surface; it is not ours to release.
    const HRESULT written = D3DXSaveSurfaceToFileA(path, D3DXIFF_BMP, surface, nullptr, &rect);
    if (FAILED(written))
    {
        KelLogPrintf("host: the video frame of player %d was not written to %s", m_info.id, path);
        return false;
    }
    return true;
}

void HostPlayerCL::DrawFace(KelCanvasCL* canvas, int x, int y)
{
    if (ShownFace() == 0 || m_faceImage == nullptr)
        return;
    m_faceImage->Render(canvas, static_cast<float>(x + 13), static_cast<float>(y + 20));
}

void HostPlayerCL::DrawBubble(KelCanvasCL* canvas, int x, int y)
{
    const std::string text = ShownBubble();
    if (text.empty())
        return;
    const int width = canvas->GetTextWidth(text.c_str()) + 12;
    const int height = canvas->GetFontHeight() + 8;
    const int top = y - height - 6;
    canvas->FillRect(x, top, x + width, top + height, 0xF0FFFFF0u);
    canvas->DrawRect(x, top, x + width, top + height, 0xFF806040u);
    canvas->SetTextColor(0xFF202020u);
    canvas->DrawText(text.c_str(), x + 6, top + 4, nullptr, false, 0);
}

void HostPlayerCL::SetVideoOn(bool on, int playerId)
{
    (void)playerId;
    m_videoOn = on;
}

void HostPlayerCL::SetAudioOn(bool on, int playerId)
{
    (void)playerId;
    m_audioOn = on;
}

void HostPlayerCL::ShowUserInfo()
{
    char text[512];
    std::snprintf(text, sizeof text, "昵称:%s\n积分:%d  金币:%d  等级:%d\n胜:%d 负:%d 平:%d  逃跑:%d",
                  m_info.nickname, m_info.score, m_info.coins, m_info.level, m_info.wins, m_info.losses,
                  m_info.draws, m_info.escapes);
    ShowBox("HostUserInfo", "玩家信息", text);
}

void HostPlayerCL::ShowPackage()
{
    ShowBox("HostPackage", "包裹", "包裹是空的。");
}

void HostPlayerCL::ShowPromoter()
{
    ShowBox("HostPromoter", "推广员", "本服务器没有推广活动。");
}

void HostPlayerCL::ShowMedia()
{
    ShowBox("HostMedia", "视频", "本机没有摄像头，视频窗口显示玩家头像。");
}

void HostPlayerCL::StopMedia()
{
    m_videoOn = false;
    m_audioOn = false;
}

void HostPlayerCL::LeaveTable()
{
    // Whatever the player showed at the table goes with him; his media are on again for the
    // next table.
    m_face = 0;
    m_bubble.clear();
    m_videoOn = true;
    m_audioOn = true;
    m_seatState = 0;
}

int HostPlayerCL::GetPropCount()
{
    return m_info.id == m_owner.GetSelfID() ? static_cast<int>(m_owner.Package().size()) : 0;
}

const VarnokProp* HostPlayerCL::GetProp(int index)
{
    if (index < 0 || index >= GetPropCount())
        return nullptr;
    return &m_owner.Package()[static_cast<size_t>(index)];
}

void HostPlayerCL::BuyProp(int propId, int count, int targetId)
{
    if (m_info.id != m_owner.GetSelfID())
    {
        KelLogPrintf("host: player %d cannot buy for the user", m_info.id);
        return;
    }
    m_owner.Buy(propId, count, targetId);
}

bool HostPlayerCL::IsMediaLinked()
{
    // This host sends no video or sound between players (the pictures stand in for video), so
    // there is no link that could drop.
    return true;
}

void HostPlayerCL::KeepMediaLink()
{
    KelLogPrintf("host: player %d has no media link to keep", m_info.id);
}

HostPlayersCL::HostPlayersCL()
{
    // The interactive props of the table, free while the stock lasts.
    const char* const names[] = {"闪烁红心", "鲜花", "便便", "板砖"};
    for (int i = 0; i < 4; ++i)
    {
        VarnokProp prop;
        prop.id = i + 1;
        std::strncpy(prop.name, names[i], sizeof prop.name - 1);
        prop.count = 20;
        m_package.push_back(prop);
    }
}

void HostPlayersCL::Buy(int propId, int count, int targetId)
{
    const auto prop = std::find_if(m_package.begin(), m_package.end(),
                                   [propId](const VarnokProp& p) { return p.id == propId; });
    int result = VARNOK_BUY_DONE;
    if (prop == m_package.end() || count < 1 || count > prop->count)
        result = VARNOK_BUY_NO_STOCK;
    else if (static_cast<int64_t>(prop->price) * count >
             (Find(m_selfId) != nullptr ? Find(m_selfId)->GetCoins() : 0))
        result = VARNOK_BUY_NO_MONEY;
    else
        prop->count -= count;
    KelLogPrintf("host: %d of prop %d for player %d: %d", count, propId, targetId, result);
    m_answers.push_back({result, propId});
}

std::vector<HostPlayersCL::PurchaseAnswer> HostPlayersCL::TakePurchaseAnswers()
{
    return std::exchange(m_answers, {});
}

void HostPlayersCL::PickFace(const std::string& code)
{
    m_pickedFaces.push_back(code);
}

std::vector<std::string> HostPlayersCL::TakePickedFaces()
{
    return std::exchange(m_pickedFaces, {});
}
HostPlayersCL::~HostPlayersCL() = default;

VarnokPlayerInfo* HostPlayersCL::GetPlayerInfo(int id)
{
    HostPlayerCL* player = Find(id);
    return player != nullptr ? player->GetPlayerInfo() : nullptr;
}

VarnokPlayer* HostPlayersCL::GetPlayer(int id)
{
    return Find(id);
}

void* HostPlayersCL::Malloc(size_t size)
{
    // The module never gives this memory back; it lives as long as the host's records.
    m_allocations.push_back(std::make_unique<uint8_t[]>(size == 0 ? 1 : size));
    return m_allocations.back().get();
}

void HostPlayersCL::SetSelf(int id, const NetPlayerInfo& info)
{
    m_selfId = id;
    Update(id, info);
}

HostPlayerCL& HostPlayersCL::Update(int id, const NetPlayerInfo& info)
{
    std::unique_ptr<HostPlayerCL>& player = m_players[id];
    if (player == nullptr)
        player = std::make_unique<HostPlayerCL>(*this, id);
    player->SetInfo(info);
    return *player;
}

HostPlayerCL* HostPlayersCL::Find(int id)
{
    const auto found = m_players.find(id);
    return found == m_players.end() ? nullptr : found->second.get();
}

void HostPlayersCL::ReleasePictures()
{
    for (auto& [id, player] : m_players)
        player->ReleasePictures();
}

HostPlayerCL* HostPlayersCL::FindByNickname(const std::string& nickname)
{
    for (const auto& [id, player] : m_players)
        if (nickname == player->GetPlayerInfo()->nickname)
            return player.get();
    return nullptr;
}

bool HostPlayersCL::Observe(const uint8_t* message, size_t length)
{
    uint16_t category = 0;
    uint16_t type = 0;
    if (!NetMsgReaderCL::ReadHeader(message, length, category, type) || category != NET_CATEGORY_ROOM)
        return true;
    try
    {
        NetMsgReaderCL reader(message + 4, static_cast<int>(length) - 4);
        if (type == ROOM_PLAYER_IN)
        {
            const int id = reader.ReadI32();
            reader.ReadI32(); // seat
            reader.ReadI32(); // state
            Update(id, reader.ReadPlayerInfo());
        }
        else if (type == ROOM_PLAYER_INFO)
        {
            const int id = reader.ReadI32();
            Update(id, reader.ReadPlayerInfo());
        }
        return true;
    }
    catch (const std::exception& error)
    {
        KelLogPrintf("host: malformed room message %u (%zu bytes): %s", type, length, error.what());
        return false;
    }
}
