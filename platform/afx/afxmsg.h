// Message maps: each class with DECLARE_MESSAGE_MAP has a static table of
// entries and a link to the table of its base class; dispatch walks the
// tables from the most derived class to CCmdTarget.
#pragma once

#include <windows.h>

class CCmdTarget;

// Calls the handler of one entry on the object and returns the message's
// result.
typedef LRESULT (*AFX_MSGTHUNK)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;  // WM_ message
  UINT nCode;     // notification code of a WM_COMMAND entry
  UINT nID;       // first and last control or command id of a WM_COMMAND entry
  UINT nLastID;
  AFX_MSGTHUNK pfnThunk;  // null ends the table
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();  // null for CCmdTarget, the root
  const AFX_MSGMAP_ENTRY* lpEntries;
};

// Notification code of a command from a menu or an accelerator, which is
// also BN_CLICKED.
#define CN_COMMAND 0

// A check box of a CCheckListBox changed by the user's hand.
#define CLBN_CHKCHANGE 40

#define afx_msg

namespace afx_detail {

template <class T>
struct MemberClass;
template <class C, class F>
struct MemberClass<F C::*> {
  typedef C type;
};

// One thunk per handler signature; the call checks the handler's type.
template <auto pfn>
LRESULT ThunkVoid(CCmdTarget* pTarget, WPARAM, LPARAM) {
  typedef typename MemberClass<decltype(pfn)>::type C;
  (static_cast<C*>(pTarget)->*pfn)();
  return 0;
}

template <auto pfn>
LRESULT ThunkQueryDragIcon(CCmdTarget* pTarget, WPARAM, LPARAM) {
  typedef typename MemberClass<decltype(pfn)>::type C;
  HCURSOR hCursor = (static_cast<C*>(pTarget)->*pfn)();
  return (LRESULT)hCursor;
}

template <auto pfn>
LRESULT ThunkTimer(CCmdTarget* pTarget, WPARAM wParam, LPARAM) {
  typedef typename MemberClass<decltype(pfn)>::type C;
  (static_cast<C*>(pTarget)->*pfn)((UINT_PTR)wParam);
  return 0;
}

}  // namespace afx_detail

#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  virtual const AFX_MSGMAP* GetMessageMap() const;

// clang-format off
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                         \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }   \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                   \
    using ThisClass [[maybe_unused]] = theClass;                                      \
    using TheBaseClass = baseClass;                                                   \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                 \
  {0, 0, 0, 0, nullptr}};                                                                 \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                     \
  }
// clang-format on

#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, &afx_detail::ThunkVoid<&ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON() {WM_QUERYDRAGICON, 0, 0, 0, &afx_detail::ThunkQueryDragIcon<&ThisClass::OnQueryDragIcon>},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, &afx_detail::ThunkTimer<&ThisClass::OnTimer>},
#define ON_COMMAND(id, memberFxn) \
  {WM_COMMAND, CN_COMMAND, (UINT)(id), (UINT)(id), &afx_detail::ThunkVoid<&ThisClass::memberFxn>},
#define ON_CONTROL(wNotifyCode, id, memberFxn) \
  {WM_COMMAND, (UINT)(wNotifyCode), (UINT)(id), (UINT)(id), &afx_detail::ThunkVoid<&ThisClass::memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_CLBN_CHKCHANGE(id, memberFxn) ON_CONTROL(CLBN_CHKCHANGE, id, memberFxn)
