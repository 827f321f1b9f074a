// Dialogs from the program's templates (plain and extended), their
// controls, radio groups, the progress bar and timers.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <iterator>

#include "core/resources.h"
#include "core/script.h"
#include "journal_query.h"
#include "sim_machine.h"

namespace {

INT_PTR CALLBACK QuietProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(PROBE_RES, std::ios::binary);
    ASSERT_TRUE(in) << PROBE_RES;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    winsim::Resources::UseForTests(bytes);
    winsim::Script::UseForTests("");
  }
  void TearDown() override { winsim::Resources::UseForTests({}); }
  HWND Create(int id) {
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(id), nullptr, QuietProc, 0);
  }
  SimMachine machine;
};

struct ControlRow {
  int id;
  const char* cls;
  const char* text;
  RECT rect;  // pixels in the dialog's client area
};

TEST_F(DialogTest, PlainTemplateControls) {
  HWND dlg = Create(102);
  ASSERT_NE(nullptr, dlg);
  char text[64];
  GetWindowTextA(dlg, text, sizeof text);
  EXPECT_STREQ("Pick one", text);
  // MS Sans Serif 8: x * 6 / 4 and y * 13 / 8, rounded; position and size
  // are converted each on its own.
  const ControlRow rows[] = {
      {IDOK, "Button", "&Next", {135, 98, 210, 121}},
      {1020, "Button", "A", {15, 24, 75, 40}},
      {1022, "Button", "C", {15, 89, 75, 105}},
  };
  for (const auto& row : rows) {
    HWND c = GetDlgItem(dlg, row.id);
    ASSERT_NE(nullptr, c) << row.id;
    GetClassNameA(c, text, sizeof text);
    EXPECT_STREQ(row.cls, text) << row.id;
    GetWindowTextA(c, text, sizeof text);
    EXPECT_STREQ(row.text, text) << row.id;
    RECT r, d;
    GetWindowRect(c, &r);
    GetWindowRect(dlg, &d);
    POINT origin = {0, 0};
    ClientToScreen(dlg, &origin);
    EXPECT_EQ(row.rect.left, r.left - origin.x) << row.id;
    EXPECT_EQ(row.rect.top, r.top - origin.y) << row.id;
    EXPECT_EQ(row.rect.right, r.right - origin.x) << row.id;
    EXPECT_EQ(row.rect.bottom, r.bottom - origin.y) << row.id;
    EXPECT_EQ(row.id, GetDlgCtrlID(c)) << row.id;
  }
  RECT client;
  GetClientRect(dlg, &client);
  EXPECT_EQ(225, client.right);
  EXPECT_EQ(146, client.bottom);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(nullptr, GetDlgItem(dlg, 4242));
  EXPECT_EQ((DWORD)ERROR_CONTROL_ID_NOT_FOUND, GetLastError());
  DestroyWindow(dlg);
  EXPECT_FALSE(IsWindow(dlg));
}

// Destroying a window destroys the windows it owns first, even when one of
// them destroys another owned window on its way out.
HWND g_destroyWithMe = nullptr;
INT_PTR CALLBACK DestroysAnotherProc(HWND, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_DESTROY && g_destroyWithMe) DestroyWindow(g_destroyWithMe);
  return msg == WM_INITDIALOG;
}

TEST_F(DialogTest, OwnedWindowsGoWithTheirOwnerWhateverTheyDestroy) {
  HWND owner = Create(102);
  HWND first = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(102), owner, DestroysAnotherProc, 0);
  HWND second = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(102), owner, QuietProc, 0);
  ASSERT_TRUE(owner && first && second);
  g_destroyWithMe = second;
  EXPECT_TRUE(DestroyWindow(owner));
  g_destroyWithMe = nullptr;
  EXPECT_FALSE(IsWindow(owner));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_FALSE(IsWindow(second));
}

LRESULT CALLBACK ModuleAProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(h, msg, wp, lp); }
LRESULT CALLBACK ModuleBProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(h, msg, wp, lp); }
LRESULT CALLBACK GlobalProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(h, msg, wp, lp); }

HINSTANCE const kModuleA = (HINSTANCE)(uintptr_t)0x10000000;
HINSTANCE const kModuleB = (HINSTANCE)(uintptr_t)0x20000000;

ATOM Register(const char* name, HINSTANCE instance, WNDPROC proc, UINT style = 0) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.lpszClassName = name;
  return RegisterClassA(&wc);
}

// A class a module registers for itself is found by its name and that
// module's instance; a global class (CS_GLOBALCLASS) by its name from any
// module, after the module's own; the system's classes last.
struct ClassRow {
  const char* name;
  HINSTANCE instance;
  WNDPROC proc;  // the class found, null for none
};

TEST(WindowClasses, LocalClassesBelongToTheirModule) {
  SimMachine machine;
  WNDCLASSA system;
  ASSERT_TRUE(GetClassInfoA(nullptr, "Static", &system));
  ASSERT_NE(0, Register("Label", kModuleA, ModuleAProc));
  ASSERT_NE(0, Register("Label", kModuleB, ModuleBProc));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0, Register("label", kModuleA, ModuleBProc));
  EXPECT_EQ((DWORD)ERROR_CLASS_ALREADY_EXISTS, GetLastError());
  ASSERT_NE(0, Register("OnlyA", kModuleA, ModuleAProc));
  ASSERT_NE(0, Register("Shared", kModuleA, GlobalProc, CS_GLOBALCLASS));
  ASSERT_NE(0, Register("Shared", kModuleB, ModuleBProc));
  ASSERT_NE(0, Register("Static", kModuleA, ModuleAProc));
  const ClassRow rows[] = {
      {"Label", kModuleA, ModuleAProc},  {"LABEL", kModuleB, ModuleBProc},
      {"Label", nullptr, nullptr},       {"OnlyA", kModuleB, nullptr},
      {"OnlyA", kModuleA, ModuleAProc},  {"Shared", kModuleA, GlobalProc},
      {"Shared", kModuleB, ModuleBProc}, {"Shared", nullptr, GlobalProc},
      {"Static", kModuleA, ModuleAProc}, {"Static", kModuleB, system.lpfnWndProc},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.name << " of " << r.instance);
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    SetLastError(0xdeadbeef);
    BOOL found = GetClassInfoA(r.instance, r.name, &wc);
    EXPECT_EQ(r.proc != nullptr, found != FALSE);
    if (found) {
      EXPECT_EQ(r.proc, wc.lpfnWndProc);
    } else {
      EXPECT_EQ((DWORD)ERROR_CLASS_DOES_NOT_EXIST, GetLastError());
    }
    SetLastError(0xdeadbeef);
    HWND h = CreateWindowExA(0, r.name, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, r.instance, nullptr);
    EXPECT_EQ(r.proc != nullptr, h != nullptr);
    if (h) {
      EXPECT_EQ((LONG_PTR)r.proc, GetWindowLongPtrA(h, GWLP_WNDPROC));
      DestroyWindow(h);
    } else {
      EXPECT_EQ((DWORD)ERROR_CANNOT_FIND_WND_CLASS, GetLastError());
    }
  }
  // Only the module that registered a class removes it.
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(UnregisterClassA("OnlyA", kModuleB));
  EXPECT_EQ((DWORD)ERROR_CLASS_DOES_NOT_EXIST, GetLastError());
  EXPECT_TRUE(UnregisterClassA("Label", kModuleB));
  WNDCLASSA wc;
  EXPECT_TRUE(GetClassInfoA(kModuleA, "Label", &wc));
  EXPECT_FALSE(GetClassInfoA(kModuleB, "Label", &wc));
}

TEST_F(DialogTest, ExtendedTemplateControls) {
  HWND dlg = Create(101);
  ASSERT_NE(nullptr, dlg);
  EXPECT_TRUE(GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  HWND go = GetDlgItem(dlg, 1010);
  ASSERT_NE(nullptr, go);
  EXPECT_FALSE(IsWindowEnabled(go)) << "WS_DISABLED of the template";
  EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(go, GWL_STYLE) & BS_TYPEMASK);
  char cls[32];
  GetClassNameA(GetDlgItem(dlg, 1000), cls, sizeof cls);
  EXPECT_STREQ("msctls_progress32", cls);
  EXPECT_EQ(0, SendDlgItemMessageA(dlg, 1000, PBM_GETPOS, 0, 0));
  EXPECT_EQ(10, SendDlgItemMessageA(dlg, 1000, PBM_GETSTEP, 0, 0));
  DestroyWindow(dlg);
}

TEST_F(DialogTest, AutoRadioGroupRunsToTheNextGroupStart) {
  HWND dlg = Create(102);
  ASSERT_NE(nullptr, dlg);
  struct {
    int click;
    UINT a, b, c;
  } rows[] = {{1020, 1, 0, 0}, {1021, 0, 1, 0}, {1022, 0, 0, 1}, {1020, 1, 0, 0}};
  for (const auto& row : rows) {
    SendDlgItemMessageA(dlg, row.click, BM_CLICK, 0, 0);
    EXPECT_EQ(row.a, IsDlgButtonChecked(dlg, 1020)) << "click " << row.click;
    EXPECT_EQ(row.b, IsDlgButtonChecked(dlg, 1021)) << "click " << row.click;
    EXPECT_EQ(row.c, IsDlgButtonChecked(dlg, 1022)) << "click " << row.click;
  }
  // The group boxes between the radio buttons belong to the group; after its
  // last control the group starts over at the WS_GROUP control.
  EXPECT_EQ(65535, GetDlgCtrlID(GetNextDlgGroupItem(dlg, GetDlgItem(dlg, 1021), FALSE)));
  EXPECT_EQ(GetDlgItem(dlg, 1020), GetNextDlgGroupItem(dlg, GetDlgItem(dlg, 1022), FALSE));
  EXPECT_EQ(GetDlgItem(dlg, 1022), GetNextDlgGroupItem(dlg, GetDlgItem(dlg, 1020), TRUE));
  DestroyWindow(dlg);
}

struct ProgressBarStepRow {
  const char* what;
  int low, high, step, start;
  int after;
};

TEST_F(DialogTest, ProgressStepItWrapsPastTheTop) {
  HWND dlg = Create(101);
  HWND bar = GetDlgItem(dlg, 1000);
  const ProgressBarStepRow rows[] = {
      {"seven steps of 11", 0, 100, 11, 66, 77},        {"exactly the top stays", 0, 100, 10, 90, 100},
      {"past the top starts over", 0, 100, 11, 99, 10}, {"range not from 0", 10, 50, 15, 45, 20},
      {"empty range does not move", 5, 5, 3, 5, 5},
  };
  for (const auto& row : rows) {
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(row.low, row.high));
    SendMessageA(bar, PBM_SETSTEP, (WPARAM)row.step, 0);
    SendMessageA(bar, PBM_SETPOS, (WPARAM)row.start, 0);
    EXPECT_EQ(row.start, SendMessageA(bar, PBM_STEPIT, 0, 0)) << row.what;
    EXPECT_EQ(row.after, SendMessageA(bar, PBM_GETPOS, 0, 0)) << row.what;
  }
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageA(bar, PBM_SETPOS, 150, 0);
  EXPECT_EQ(100, SendMessageA(bar, PBM_GETPOS, 0, 0)) << "PBM_SETPOS clamps";
  DestroyWindow(dlg);
}

TEST_F(DialogTest, TimersArriveOnlyFromTheMessageLoopWhenDue) {
  HWND dlg = Create(101);
  ASSERT_EQ((UINT_PTR)1, SetTimer(dlg, 1, 1, nullptr));
  MSG msg;
  // Not due yet (the shortest interval is 10 ms), and nothing sends it.
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  Sleep(10);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(dlg, msg.hwnd);
  EXPECT_EQ((WPARAM)1, msg.wParam);
  // GetMessage waits on the virtual clock for the next one.
  uint64_t before = GetTickCount();
  ASSERT_TRUE(GetMessageA(&msg, nullptr, WM_TIMER, WM_TIMER));
  EXPECT_EQ((DWORD)WM_TIMER, msg.message);
  EXPECT_EQ(before + 10, GetTickCount());
  EXPECT_TRUE(KillTimer(dlg, 1));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(KillTimer(dlg, 1));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
  DestroyWindow(dlg);
}

TEST_F(DialogTest, ListBoxSortsAndKeepsItemData) {
  HWND dlg = Create(101);
  HWND list = GetDlgItem(dlg, 1006);
  const char* names[] = {"Zeta", "alpha", "Beta"};
  for (const char* n : names) SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)n);
  const char* sorted[] = {"alpha", "Beta", "Zeta"};
  ASSERT_EQ(3, SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < 3; ++i) {
    char buf[16];
    EXPECT_EQ((LRESULT)strlen(sorted[i]), SendMessageA(list, LB_GETTEXTLEN, (WPARAM)i, 0)) << i;
    SendMessageA(list, LB_GETTEXT, (WPARAM)i, (LPARAM)buf);
    EXPECT_STREQ(sorted[i], buf) << i;
  }
  EXPECT_EQ(TRUE, SendMessageA(list, LB_SETITEMDATA, 1, 77));
  EXPECT_EQ(77, SendMessageA(list, LB_GETITEMDATA, 1, 0));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LB_ERR, SendMessageA(list, LB_SETITEMDATA, 3, 1));
  EXPECT_EQ((DWORD)ERROR_INVALID_INDEX, GetLastError());
  EXPECT_EQ(LB_ERR, SendMessageA(list, LB_GETTEXTLEN, 5, 0));
  EXPECT_EQ(LB_ERR, SendMessageA(list, LB_SETSEL, TRUE, 0)) << "single selection list";
  EXPECT_EQ(2, SendMessageA(list, LB_DELETESTRING, 0, 0));
  EXPECT_EQ(0, SendMessageA(list, LB_RESETCONTENT, 0, 0));
  EXPECT_EQ(0, SendMessageA(list, LB_GETCOUNT, 0, 0));
  DestroyWindow(dlg);
}

TEST_F(DialogTest, TextChangesAndIconsAreJournaled) {
  HWND dlg = Create(101);
  SetDlgItemTextA(dlg, 1003, "Copy files...\r\n");
  SetDlgItemTextA(dlg, 1003, "Copy files...\r\n");
  SetWindowTextA(dlg, "Caption");
  EXPECT_EQ(nullptr, (HICON)SendMessageA(dlg, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(nullptr, IDI_APPLICATION)));
  JournalQuery journal(machine);
  JournalLines texts = journal.Ui("text").With({{"dialog", 101}, {"id", 1003}, {"text", "Copy files...\r\n"}});
  ASSERT_FALSE(texts.empty()) << journal;
  EXPECT_EQ(1u, texts.size()) << "an unchanged text is no change";
  EXPECT_FALSE(journal.Ui("caption").With({{"dialog", 101}, {"text", "Caption"}}).empty());
  DestroyWindow(dlg);
}

}  // namespace
