// SHLWAPI's key-tree deletion.
#include "core/journal.h"
#include "core/key_security.h"
#include "core/registry_handles.h"
#include "windows.h"
#include "shlwapi.h"

using winsim::ApiCall;
using winsim::HandleJson;

namespace {

// As SHLWAPI does it: open the key for reading, delete its subkeys one by
// one (the first of the sorted list each time), then the key itself. The
// first failure ends the walk and is the result; each key deleted needs its
// own DELETE right.
LONG DeleteTree(const std::string& logical, REGSAM view) {
  HKEY h = nullptr;
  if (LONG e = winsim::OpenKeyAt(logical, KEY_READ | view, &h)) return e;
  LONG e = ERROR_SUCCESS;
  while (e == ERROR_SUCCESS) {
    winsim::OpenKey k;
    if ((e = winsim::ResolveKey(h, &k)) != ERROR_SUCCESS) break;
    const winsim::RegKey* first = nullptr;
    for (const auto& c : k.key->children())
      if (!first || winsim::FoldedKeyName(c->name()) < winsim::FoldedKeyName(first->name())) first = c.get();
    if (!first) break;
    e = DeleteTree(logical + "\\" + first->name(), view);
  }
  winsim::CloseKey(h);
  if (e == ERROR_SUCCESS) e = winsim::DeleteKeyAt(logical, view);
  return e;
}

}  // namespace

extern "C" {

DWORD WINAPI SHDeleteKeyA(HKEY hkey, LPCSTR pszSubKey) {
  ApiCall call("SHDeleteKeyA", {HandleJson(hkey), pszSubKey});
  if (unsigned e = call.Fault()) return call.Ret((DWORD)e);
  winsim::OpenKey parent;
  if (LONG e = winsim::ResolveKey(hkey, &parent)) return call.Ret((DWORD)e);
  REGSAM view = winsim::ViewBelow(parent, 0);
  std::string logical;
  if (LONG e = winsim::SubKeyPath(parent, pszSubKey, &logical)) return call.Ret((DWORD)e);
  return call.Ret((DWORD)DeleteTree(logical, view));
}

}  // extern "C"
