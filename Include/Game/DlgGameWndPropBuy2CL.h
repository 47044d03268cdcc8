#pragma once
// The purchase dialog of a prop: what it is and costs, how many pieces (when the offer lets the
// user choose) and their total. OK sends KWM_DLGOK to the dialog's handler (the seat window),
// which buys GetCount() pieces of the offer.

#include <string>
#include <vector>

#include "DlgGameWndPanelCL.h"

class KelWnd2DEditCL;
class KelWnd2DLabelCL;

struct GamePropOffer
{
    int propId = 0;
    // The player the prop is for (the user himself for a card he keeps).
    int targetId = 0;
    std::string title;
    std::vector<std::string> lines;
    int unitPrice = 0;
    // Whether the user chooses the number of pieces; otherwise it is one.
    bool countable = true;
};

class DlgGameWndPropBuy2CL : public DlgGameWndPanelCL
{
public:
    static constexpr char kName[] = "DlgGameWndPropBuy2CL";
    // At most this many pieces at once.
    static constexpr int kMostPieces = 99;

    explicit DlgGameWndPropBuy2CL(GamePropOffer offer);
    ~DlgGameWndPropBuy2CL() override;

    // The count field changed: the total follows.
    void OnCountChange(KelWndMsg message);

    const GamePropOffer& GetOffer() const { return m_offer; }
    // 0 while the count field holds no number from 1 to kMostPieces.
    int GetCount() const { return m_count; }
    std::string GetTotalText() const;

private:
    GamePropOffer m_offer;
    int m_count = 1;
    // Children of the dialog.
    KelWnd2DEditCL* m_countEdit = nullptr;
    KelWnd2DLabelCL* m_total = nullptr;
};
