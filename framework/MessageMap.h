// Message maps: per-class tables that bind window messages to member functions.
//
//   // in the class body
//   DECLARE_MESSAGE_MAP()
//   // in the source file
//   BEGIN_MESSAGE_MAP(CMainDlg, CDialog)
//       ON_WM_SIZE()
//       ON_BN_CLICKED(IDC_START, &CMainDlg::OnStart)
//       ON_REGISTERED_MESSAGE(g_uDialerStateMsg, &CMainDlg::OnDialerState)
//   END_MESSAGE_MAP()
//
// A map is searched in declaration order and then its base class's map; the first matching entry
// handles the message. Each entry holds a small function (a thunk) made for that exact member
// function, so a handler of the wrong signature does not compile, and the call needs no cast of
// member pointers (it stays correct with multiple inheritance).
#pragma once

#include "platform/Windows.h"

#include <type_traits>

class CCmdTarget;

using AFX_PMSG_THUNK = LRESULT (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;            // the message; WM_COMMAND entries also match nCode and nID
    UINT nCode;               // WM_COMMAND: notification code (BN_CLICKED, ...)
    UINT nID;                 // WM_COMMAND: control or command id
    const UINT* pnRegistered; // registered message: the variable holding its id, read per dispatch
    AFX_PMSG_THUNK pfn;       // calls the handler; null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)(); // null for the root map
    const AFX_MSGMAP_ENTRY* lpEntries;
};

namespace kobalt::framework::detail {

template <class M> struct MemberOf;
template <class C, class F> struct MemberOf<F C::*> { using Class = C; };

// Thunks: `T` is the class whose map holds the entry; `Fn` a member of T or of one of its bases.
template <class T, auto Fn> LRESULT VoidThunk(CCmdTarget* target, WPARAM, LPARAM) {
    using C = typename MemberOf<decltype(Fn)>::Class;
    static_assert(std::is_base_of_v<C, T>, "handler must be a member of the class or a base");
    constexpr void (C::*handler)() = Fn; // handler must be `void fn()`
    (static_cast<T*>(target)->*handler)();
    return 0;
}

template <class T, auto Fn> LRESULT SizeThunk(CCmdTarget* target, WPARAM wParam, LPARAM lParam) {
    using C = typename MemberOf<decltype(Fn)>::Class;
    static_assert(std::is_base_of_v<C, T>, "handler must be a member of the class or a base");
    constexpr void (C::*handler)(UINT, int, int) = Fn; // `void OnSize(UINT, int, int)`
    const auto bits = static_cast<std::uintptr_t>(lParam);
    (static_cast<T*>(target)->*handler)(static_cast<UINT>(wParam), static_cast<int>(bits & 0xFFFF),
                                        static_cast<int>((bits >> 16) & 0xFFFF));
    return 0;
}

template <class T, auto Fn> LRESULT MessageThunk(CCmdTarget* target, WPARAM wParam, LPARAM lParam) {
    using C = typename MemberOf<decltype(Fn)>::Class;
    static_assert(std::is_base_of_v<C, T>, "handler must be a member of the class or a base");
    constexpr LRESULT (C::*handler)(WPARAM, LPARAM) = Fn; // `LRESULT fn(WPARAM, LPARAM)`
    return (static_cast<T*>(target)->*handler)(wParam, lParam);
}

} // namespace kobalt::framework::detail

// In the class body. Classes using it mark their own overrides `override` (clang checks that
// overrides in one class are marked consistently).
#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                              \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        using TheBaseClass = baseClass;                                                            \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, nullptr, nullptr }                                                                  \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &entries[0]};          \
    return &messageMap;                                                                            \
    }

// WM_COMMAND with BN_CLICKED from control `id` -> `void memberFxn()`.
#define ON_BN_CLICKED(id, memberFxn)                                                               \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), nullptr,                                       \
     &::kobalt::framework::detail::VoidThunk<ThisClass, memberFxn>},

// WM_COMMAND with code 0 (a command, or a button click) for `id` -> `void memberFxn()`.
#define ON_COMMAND(id, memberFxn)                                                                  \
    {WM_COMMAND, 0, static_cast<UINT>(id), nullptr,                                                \
     &::kobalt::framework::detail::VoidThunk<ThisClass, memberFxn>},

// WM_SIZE -> `void OnSize(UINT nType, int cx, int cy)`.
#define ON_WM_SIZE()                                                                               \
    {WM_SIZE, 0, 0, nullptr,                                                                       \
     &::kobalt::framework::detail::SizeThunk<ThisClass, &ThisClass::OnSize>},

// WM_DESTROY -> `void OnDestroy()`.
#define ON_WM_DESTROY()                                                                            \
    {WM_DESTROY, 0, 0, nullptr,                                                                    \
     &::kobalt::framework::detail::VoidThunk<ThisClass, &ThisClass::OnDestroy>},

// Any fixed message (the WM_APP range) -> `LRESULT memberFxn(WPARAM, LPARAM)`.
#define ON_MESSAGE(message, memberFxn)                                                             \
    {static_cast<UINT>(message), 0, 0, nullptr,                                                    \
     &::kobalt::framework::detail::MessageThunk<ThisClass, memberFxn>},

// The registered message whose id is in the UINT variable `nMessageVariable`, read when a
// message is dispatched (the variable is filled during static initialisation, possibly after
// the map was built) -> `LRESULT memberFxn(WPARAM, LPARAM)`.
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)                                         \
    {0, 0, 0, &(nMessageVariable),                                                                 \
     &::kobalt::framework::detail::MessageThunk<ThisClass, memberFxn>},
