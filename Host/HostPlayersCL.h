#pragma once
// The host's player records and player objects: what the lobby and the table told about each
// player, and what a seat does for him (his sounds, his face and chat bubble over his picture,
// his picture, his media switches, his information and package windows).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HostInterfaces.h"
#include "NetMsgTypes.h"

class KelImageCL;
class KelTextureCL;
class HostPlayersCL;

class HostPlayerCL : public VarnokPlayer
{
public:
    HostPlayerCL(HostPlayersCL& owner, int id);
    ~HostPlayerCL() override;
    HostPlayerCL(const HostPlayerCL&) = delete;
    HostPlayerCL& operator=(const HostPlayerCL&) = delete;

    VarnokPlayerInfo* GetPlayerInfo() override { return &m_info; }
    void PlaySound(const char* name) override;
    int GetCoins() override { return m_info.coins; }
    void SetSoundOn(bool on) override;
    void ShowFace(int face) override;
    void ShowBubble(const char* text) override;
    void OpenFacePicker(int x, int y) override;
    void OpenSpeaker() override;
    void AddFriend(int playerId) override;
    void SetSeatState(int seat, int state, int flag, int reserved) override;
    void PreparePicture() override {}
    void SetPictureMode(int mode) override { m_pictureMode = mode; }
    void SetPictureLayout(int layout) override { m_layout = layout; }
    void DrawPicture(KelCanvasCL* canvas, int layout, int x, int y) override;
    void SetVideoOn(bool on, int playerId) override;
    void SetAudioOn(bool on, int playerId) override;
    void ShowUserInfo() override;
    void ShowPackage() override;
    void ShowPromoter() override;
    void ShowMedia() override;
    void DrawVideo(KelCanvasCL* canvas, int layout, int x, int y) override;
    void StopMedia() override;
    void LeaveTable() override;
    bool CaptureVideo(const char* path) override;
    int GetPropCount() override;
    const VarnokProp* GetProp(int index) override;
    void BuyProp(int propId, int count, int targetId) override;
    bool IsMediaLinked() override;
    void KeepMediaLink() override;
    void ShowFriends() override;

    void SetInfo(const NetPlayerInfo& info);
    // Gives the portrait and the face back to the engine, which must still be running.
    void ReleasePictures();
    int SeatState() const { return m_seatState; }
    bool VideoOn() const { return m_videoOn; }
    bool AudioOn() const { return m_audioOn; }
    // The face shown now (0: none) and the bubble text shown now.
    int ShownFace() const;
    std::string ShownBubble() const;
    // The portrait's picture ID in set "Player".
    std::string PortraitId() const;

private:
    // Names the portrait in the record by the player's id and sex.
    void NamePicture();
    // The portrait, made when first needed.
    KelTextureCL* Portrait();
    void DrawFace(KelCanvasCL* canvas, int x, int y);
    void DrawBubble(KelCanvasCL* canvas, int x, int y);

    HostPlayersCL& m_owner;
    VarnokPlayerInfo m_info;
    int m_seatState = 0;
    int m_pictureMode = 0;
    int m_layout = 0;
    bool m_videoOn = true;
    bool m_audioOn = true;
    int m_face = 0;
    uint32_t m_faceUntil = 0;
    KelImageCL* m_faceImage = nullptr;
    std::string m_bubble;
    uint32_t m_bubbleUntil = 0;
    KelTextureCL* m_portrait = nullptr;
};

class HostPlayersCL : public PlayerService
{
public:
    // How long a face and a chat bubble stay over a seat.
    static constexpr uint32_t kFaceMs = 3000;
    static constexpr uint32_t kBubbleMs = 4000;

    HostPlayersCL();
    ~HostPlayersCL() override;

    int GetSelfID() override { return m_selfId; }
    VarnokPlayerInfo* GetPlayerInfo(int id) override;
    VarnokPlayer* GetPlayer(int id) override;
    void* Malloc(size_t size) override;

    void SetSelf(int id, const NetPlayerInfo& info);
    // A record the server told about (a player at the table or in the lobby); the object is made
    // on first mention and kept while the host runs.
    HostPlayerCL& Update(int id, const NetPlayerInfo& info);
    HostPlayerCL* Find(int id);
    HostPlayerCL* FindByNickname(const std::string& nickname);
    // Every player's pictures go back to the engine before the engine goes down; the records
    // stay.
    void ReleasePictures();
    // Watches the server's room messages for what changes the records (players arriving, the
    // results of a hand), before the module gets them. False for a malformed message, which
    // changes nothing.
    bool Observe(const uint8_t* message, size_t length);

    // The user's sound switch: every seat's sounds are heard only while it is on.
    bool SoundOn() const { return m_soundOn; }
    void SetSoundOn(bool on) { m_soundOn = on; }
    // The user's package: the table's interactive props, which this host gives away (price 0)
    // while its stock lasts. Other players' packages are not the user's to see.
    std::vector<VarnokProp>& Package() { return m_package; }
    // A purchase from the user's package; the answer waits for TakePurchaseAnswers, so that it
    // reaches the module on the next frame rather than inside the module's own call.
    void Buy(int propId, int count, int targetId);
    struct PurchaseAnswer
    {
        int result;
        int propId;
    };
    std::vector<PurchaseAnswer> TakePurchaseAnswers();
    // The faces picked in the face picker the user's object opened (their codes), for the
    // module's chat line on the next frame.
    void PickFace(const std::string& code);
    std::vector<std::string> TakePickedFaces();

    // Sound names heard (or that would be, with sound off: not listed), for scripted checks.
    const std::vector<std::string>& SoundsPlayed() const { return m_soundsPlayed; }
    void NoteSound(const std::string& name) { m_soundsPlayed.push_back(name); }

private:
    int m_selfId = 0;
    bool m_soundOn = true;
    std::map<int, std::unique_ptr<HostPlayerCL>> m_players;
    std::vector<std::string> m_soundsPlayed;
    std::vector<VarnokProp> m_package;
    std::vector<PurchaseAnswer> m_answers;
    std::vector<std::string> m_pickedFaces;
    std::vector<std::unique_ptr<uint8_t[]>> m_allocations;
};
