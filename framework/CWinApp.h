// The application object: one per process, constructed during static initialisation.
#pragma once

#include "common/AtomicPtr.h"
#include "framework/CCmdTarget.h"

#include <string>

class CWnd;

class CWinApp : public CCmdTarget {
    DECLARE_DYNAMIC(CWinApp)

public:
    // Registers this object as the application (AfxGetApp). With no name, the application's
    // name is the executable's file name without its extension.
    explicit CWinApp(LPCWSTR lpszAppName = nullptr);
    ~CWinApp() override;

    // FALSE ends the program without a message loop.
    virtual BOOL InitInstance();
    // The message loop: until WM_QUIT, whose exit code it returns.
    virtual int Run();

    // Accepted and ignored: nothing is kept in a registry.
    void SetRegistryKey(LPCWSTR lpszRegistryKey);
    HICON LoadIcon(UINT nIDResource) const;

    // Set by the user-interface thread before other threads start; read from any thread.
    AtomicPtr<CWnd*> m_pMainWnd;
    LPCWSTR m_pszAppName; // points into this object
    HINSTANCE m_hInstance = nullptr;

private:
    std::u16string m_appName;
};

// The application object, or null when none exists.
CWinApp* AfxGetApp();
// The application's name; the executable's name when there is no application object.
LPCWSTR AfxGetAppName();
// Runs the application: InitInstance, then (when it returned TRUE) Run. Returns the exit code.
int AfxWinMain();
