#include "profiles/A2DP.h"

#include "sdk/SdkApi.h"

IMPLEMENT_DYNAMIC(A2DP, CDialog)

// clang-format off
BEGIN_MESSAGE_MAP(A2DP, CDialog)
    ON_BN_CLICKED(IDC_A2DP_PLAY, &A2DP::OnBnClickedPlay)
    ON_BN_CLICKED(IDC_A2DP_PAUSE, &A2DP::OnBnClickedPause)
    ON_BN_CLICKED(IDC_A2DP_STOP, &A2DP::OnBnClickedStop)
    ON_BN_CLICKED(IDC_A2DP_NEXT, &A2DP::OnBnClickedNext)
    ON_BN_CLICKED(IDC_A2DP_PREVIOUS, &A2DP::OnBnClickedPrevious)
    ON_BN_CLICKED(IDC_A2DP_VOLUME_DOWN, &A2DP::OnBnClickedVolumeDown)
    ON_BN_CLICKED(IDC_A2DP_VOLUME_UP, &A2DP::OnBnClickedVolumeUp)
    ON_BN_CLICKED(IDC_A2DP_QUIT, &A2DP::OnBnClickedQuit)
    ON_WM_DESTROY()
END_MESSAGE_MAP()
// clang-format on

A2DP::A2DP(CWnd* pParent) : CDialog(IDD, pParent) {}

A2DP::~A2DP() = default;

void A2DP::OnBnClickedPlay() {
    g_SdkApi.KOBALT_AVRCPPlay();
}

void A2DP::OnBnClickedPause() {
    g_SdkApi.KOBALT_AVRCPPause();
}

void A2DP::OnBnClickedStop() {
    g_SdkApi.KOBALT_AVRCPStop();
}

void A2DP::OnBnClickedNext() {
    g_SdkApi.KOBALT_AVRCPPlayNext();
}

// The library calls the previous track "PlayLast".
void A2DP::OnBnClickedPrevious() {
    g_SdkApi.KOBALT_AVRCPPlayLast();
}

void A2DP::OnBnClickedVolumeDown() {
    g_SdkApi.KOBALT_AVRCPVolumeDown();
}

void A2DP::OnBnClickedVolumeUp() {
    g_SdkApi.KOBALT_AVRCPVolumeUP();
}

void A2DP::OnBnClickedQuit() {
    CDialog::OnCancel();
}
