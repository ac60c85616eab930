#include "framework/CWinApp.h"

#include "framework/CWnd.h"

#include <atomic>
#include <climits>
#include <unistd.h>

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

namespace {

std::atomic<CWinApp*> g_pApp{nullptr};

// "/usr/bin/KOBALTDemo" -> "KOBALTDemo"; "" when the link cannot be read.
std::u16string ExecutableName() {
    char path[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) {
        return {};
    }
    std::string name(path, static_cast<std::size_t>(length));
    name = name.substr(name.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    const int count = ::MultiByteToWideChar(CP_UTF8, 0, name.c_str(), -1, nullptr, 0);
    if (count <= 0) {
        return {};
    }
    std::u16string wide(static_cast<std::size_t>(count), u'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, name.c_str(), -1, wide.data(), count);
    wide.resize(static_cast<std::size_t>(count - 1));
    return wide;
}

} // namespace

CWinApp::CWinApp(LPCWSTR lpszAppName)
    : m_appName(lpszAppName ? std::u16string(lpszAppName) : ExecutableName()) {
    m_pszAppName = m_appName.c_str();
    CWinApp* expected = nullptr;
    g_pApp.compare_exchange_strong(expected, this);
}

CWinApp::~CWinApp() {
    CWinApp* self = this;
    g_pApp.compare_exchange_strong(self, nullptr);
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void CWinApp::SetRegistryKey(LPCWSTR) {}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return ::LoadIconW(m_hInstance, static_cast<int>(nIDResource));
}

CWinApp* AfxGetApp() {
    return g_pApp.load();
}

LPCWSTR AfxGetAppName() {
    if (CWinApp* app = AfxGetApp()) {
        return app->m_pszAppName;
    }
    static const std::u16string name = ExecutableName();
    return name.c_str();
}

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return -1;
    }
    if (!app->InitInstance()) {
        // The main window lived inside InitInstance; callers must not reach it any more.
        app->m_pMainWnd = nullptr;
        return 0;
    }
    return app->Run();
}
