#pragma once
// The answer to a purchase the user's coins do not cover, with a button that opens the
// platform's payment page in the browser.

#include "KelMessageBoxCL.h"

class DlgGameWndPropMoneyCL : public KelMessageBoxCL
{
public:
    static constexpr char kName[] = "DlgGameWndPropMoneyCL";
    // The payment page of the platform's web site.
    static constexpr char kPaymentPage[] = "http://www.varnok.example/epay/default.html";

    DlgGameWndPropMoneyCL();
    ~DlgGameWndPropMoneyCL() override;

    void OnClickRecharge(KelWndMsg message);
};
