// The AVRCP remote control: each button sends one command to the connected phone's media player.
// The opener makes sure of the AVRCP connection; the dialog itself never connects and never
// reports anything.
#pragma once

#include "framework/CDialog.h"
#include "res/resource.h"

class A2DP : public CDialog {
    DECLARE_DYNAMIC(A2DP)

public:
    enum { IDD = IDD_A2DP };

    explicit A2DP(CWnd* pParent = nullptr);
    ~A2DP() override;

protected:
    // One entry point each; results are not looked at.
    void OnBnClickedPlay();
    void OnBnClickedPause();
    void OnBnClickedStop();
    void OnBnClickedNext();
    void OnBnClickedPrevious();
    void OnBnClickedVolumeDown();
    void OnBnClickedVolumeUp();
    void OnBnClickedQuit();

    DECLARE_MESSAGE_MAP()
};
