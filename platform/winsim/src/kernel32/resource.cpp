// The program's resources as KERNEL32 hands them out: FindResourceA,
// LoadResource, LockResource and SizeofResource.
#include "core/journal.h"
#include "core/resources.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::NameJson;
using winsim::ResId;
using winsim::ResourceEntry;
using winsim::Resources;

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  ApiCall call("FindResourceA", {HandleJson(hModule), NameJson(lpName), NameJson(lpType)});
  if (call.Fault()) return call.Ret((HRSRC) nullptr);
  if (!lpName || !lpType) return call.Fail(ERROR_INVALID_PARAMETER, (HRSRC) nullptr);
  if (!Resources::IsProgram(hModule)) return call.Fail(ERROR_RESOURCE_DATA_NOT_FOUND, (HRSRC) nullptr);
  DWORD error = 0;
  const ResourceEntry* e = Resources::Find(ResId::From(lpType), ResId::From(lpName), &error);
  if (!e) return call.Fail(error, (HRSRC) nullptr);
  return call.Ret((HRSRC)e);
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
  ApiCall call("LoadResource", {HandleJson(hModule), HandleJson(hResInfo)});
  if (call.Fault()) return call.Ret((HGLOBAL) nullptr);
  if (!Resources::IsProgram(hModule) || !Resources::IsEntry(hResInfo))
    return call.Fail(ERROR_INVALID_HANDLE, (HGLOBAL) nullptr);
  // A module's resources are mapped with its image: the handle is the data.
  return call.Ret((HGLOBAL)((const ResourceEntry*)hResInfo)->data);
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
  ApiCall call("LockResource", {HandleJson(hResData)});
  return call.Ret((LPVOID)hResData);
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  ApiCall call("SizeofResource", {HandleJson(hModule), HandleJson(hResInfo)});
  if (call.Fault()) return call.Ret((DWORD)0);
  if (!Resources::IsProgram(hModule) || !Resources::IsEntry(hResInfo)) return call.Fail(ERROR_INVALID_HANDLE, (DWORD)0);
  return call.Ret(((const ResourceEntry*)hResInfo)->size);
}

}  // extern "C"
