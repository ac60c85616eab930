// The application object: shows the main window modally and ends the process with it.
#pragma once

#include "framework/CWinApp.h"

class CMainApp : public CWinApp {
public:
    CMainApp();
    ~CMainApp() override;

    // Runs the main window; returns FALSE so that the process ends when it closes.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CMainApp theApp;
