// Icons and cursors: the program's icon groups and the system's icons and
// cursors, as shared handles whose names the journal shows.
#include "user32/icon.h"

#include <vector>

#include "core/journal.h"
#include "core/machine.h"
#include "core/resources.h"
#include "user32/window.h"

namespace winsim {

namespace {

struct IconState {
  std::vector<std::string> names;  // handle = base + 4 * index
};

IconState& I() {
  static IconState s;
  return s;
}

ProcessState g_icons(83, [] { I() = IconState(); });

const uintptr_t kIconBase = 0x00300010;

HICON Shared(const std::string& name) {
  auto& names = I().names;
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return (HICON)(kIconBase + 4 * i);
  names.push_back(name);
  return (HICON)(kIconBase + 4 * (names.size() - 1));
}

struct SystemName {
  WORD id;
  const char* name;
};

const SystemName kSystemIcons[] = {
    {32512, "IDI_APPLICATION"}, {32513, "IDI_HAND"},    {32514, "IDI_QUESTION"}, {32515, "IDI_EXCLAMATION"},
    {32516, "IDI_ASTERISK"},    {32517, "IDI_WINLOGO"}, {32518, "IDI_SHIELD"},
};

const SystemName kSystemCursors[] = {
    {32512, "IDC_ARROW"},    {32513, "IDC_IBEAM"},  {32514, "IDC_WAIT"},        {32515, "IDC_CROSS"},
    {32516, "IDC_UPARROW"},  {32640, "IDC_SIZE"},   {32641, "IDC_ICON"},        {32642, "IDC_SIZENWSE"},
    {32643, "IDC_SIZENESW"}, {32644, "IDC_SIZEWE"}, {32645, "IDC_SIZENS"},      {32646, "IDC_SIZEALL"},
    {32648, "IDC_NO"},       {32649, "IDC_HAND"},   {32650, "IDC_APPSTARTING"}, {32651, "IDC_HELP"},
};

template <size_t N>
const char* SystemLookup(const SystemName (&table)[N], LPCSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  for (const auto& s : table)
    if (s.id == (WORD)(uintptr_t)name) return s.name;
  return nullptr;
}

// The program's group resource of this type, or the system's, as a handle.
HANDLE Load(HINSTANCE inst, LPCSTR name, WORD groupType, const char* prefix, const char* system, DWORD* error) {
  if (!name) {
    *error = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  if (!inst) {
    if (system) return Shared(system);
    *error = ERROR_RESOURCE_NAME_NOT_FOUND;
    return nullptr;
  }
  if (!Resources::IsProgram((HMODULE)inst)) {
    *error = ERROR_RESOURCE_DATA_NOT_FOUND;
    return nullptr;
  }
  ResId type;
  type.number = groupType;
  ResId id = ResId::From(name);
  if (!Resources::Find(type, id, error)) return nullptr;
  return Shared(std::string(prefix) + id.ToString());
}

}  // namespace

std::string IconName(HICON icon) {
  uintptr_t v = (uintptr_t)icon;
  if (v < kIconBase || (v - kIconBase) % 4) return "";
  size_t i = (v - kIconBase) / 4;
  return i < I().names.size() ? I().names[i] : "";
}

}  // namespace winsim

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::NameJson;

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  ApiCall call("LoadIconA", {HandleJson(hInstance), NameJson(lpIconName)});
  if (call.Fault()) return call.Ret((HICON) nullptr);
  DWORD error = 0;
  HICON h = (HICON)winsim::Load(hInstance, lpIconName, 14 /* RT_GROUP_ICON */, "",
                                winsim::SystemLookup(winsim::kSystemIcons, lpIconName), &error);
  if (!h) SetLastError(error);
  call.Extra("icon", h ? Json(winsim::IconName(h)) : Json());
  return call.Ret(h);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  ApiCall call("LoadCursorA", {HandleJson(hInstance), NameJson(lpCursorName)});
  if (call.Fault()) return call.Ret((HCURSOR) nullptr);
  DWORD error = 0;
  HCURSOR h = (HCURSOR)winsim::Load(hInstance, lpCursorName, 12 /* RT_GROUP_CURSOR */, "cursor ",
                                    winsim::SystemLookup(winsim::kSystemCursors, lpCursorName), &error);
  if (!h) SetLastError(error);
  call.Extra("cursor", h ? Json(winsim::IconName(h)) : Json());
  return call.Ret(h);
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  ApiCall call("SetCursor", {HandleJson(hCursor)});
  HCURSOR old = winsim::Windows::cursor;
  if (hCursor != old) {
    winsim::Windows::cursor = hCursor;
    winsim::Journal::Ui("cursor", Json::Object().Set("cursor", hCursor ? Json(winsim::IconName(hCursor)) : Json()));
  }
  return call.Ret(old);
}

BOOL WINAPI DestroyIcon(HICON hIcon) {
  ApiCall call("DestroyIcon", {HandleJson(hIcon)});
  // Icons from LoadIcon are shared and stay.
  return call.Ret((BOOL)!winsim::IconName(hIcon).empty());
}

}  // extern "C"
