#pragma once
// The row of action buttons in the middle of the table: ready between hands, the four bid
// buttons while bidding, and play, pass and hint in the user's turn. It keeps no game state: it
// shows the buttons the play window asks for, in their places, and turns clicks into the room's
// ready request, the game's bid requests, or the play window's own actions.
//
// The bar has no size of its own: its origin is the centre line of the row, where the play
// window puts it each frame, and the buttons are laid out left and right of it.

#include <array>
#include <cstdint>

#include "KelWnd2DBaseCL.h"

class KelWnd2DButtonCL;
class TablePlayWindow;

class CDlgFunctionBarCL : public KelWnd2DBaseCL
{
public:
    // Builds the eight buttons, hidden, as a child of the play window.
    explicit CDlgFunctionBarCL(KelWndBaseCL* parent);
    ~CDlgFunctionBarCL() override;

    // Shows or hides every button at once.
    void ShowFunc(bool show);
    // The ready button alone, centred.
    void ShowReady(bool show);
    // Play, pass and hint; a user who leads a new round cannot pass, so play stands alone.
    void ShowOutCard(bool show, bool passAllowed);
    // The bids above the highest bid of the seats so far, and no bid. The bids are read from the
    // play window, so the second argument is not needed; without a play window nothing changes.
    void ShowCall(bool show, int highestBid);
    // Whether the last of ShowFunc and ShowOutCard showed the buttons.
    bool GetShowState() const { return m_showState != 0; }
    // Whether the user has pressed ready since the bar was built.
    bool HasClickedReady() const { return m_readyNotClicked == 0; }

private:
    void OnClickReady(KelWndMsg message);
    void OnClickCallScore1(KelWndMsg message);
    void OnClickCallScore2(KelWndMsg message);
    void OnClickCallScore3(KelWndMsg message);
    void OnClickCallNo(KelWndMsg message);
    void OnClickOutCard(KelWndMsg message);
    void OnClickUnOutCard(KelWndMsg message);
    void OnClickHint(KelWndMsg message);

    std::array<KelWnd2DButtonCL*, 8> Buttons() const;
    // Sends the bid request (0 = 1 point ... 2 = 3 points, 3 = no bid) and hides the bar.
    void SendBid(int code);
    // Hands a play, pass or hint to the play window, which hides the bar when the action is done.
    static void PlayWindowAction(int kind);
    static TablePlayWindow* PlayWindow();

    // The buttons are the bar's children: the window tree owns and deletes them.
    KelWnd2DButtonCL* m_ready = nullptr;
    KelWnd2DButtonCL* m_callScore1 = nullptr;
    KelWnd2DButtonCL* m_callScore2 = nullptr;
    KelWnd2DButtonCL* m_callScore3 = nullptr;
    KelWnd2DButtonCL* m_callNo = nullptr;
    KelWnd2DButtonCL* m_outCard = nullptr;
    KelWnd2DButtonCL* m_unOutCard = nullptr;
    KelWnd2DButtonCL* m_hint = nullptr;
    uint8_t m_showState = 0;
    uint8_t m_readyNotClicked = 1;
};
