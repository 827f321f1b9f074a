// The DACL functions of ADVAPI32 for registry keys: reading and writing a
// key's DACL, and building a new ACL from explicit access entries.
#include <cstring>

#include "core/journal.h"
#include "core/key_security.h"
#include "core/machine.h"
#include "core/registry_handles.h"
#include "windows.h"
#include "aclapi.h"

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::RegAce;

namespace {

// winnt.h values our headers do not carry.
const DWORD kProtectedDacl = 0x80000000;    // PROTECTED_DACL_SECURITY_INFORMATION
const DWORD kUnprotectedDacl = 0x20000000;  // UNPROTECTED_DACL_SECURITY_INFORMATION
const ACCESS_MASK kAccessSystemSecurity = 0x01000000;
const DWORD kAceInheritanceFlags =
    OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE | INHERIT_ONLY_ACE;

bool IsRegistryObject(SE_OBJECT_TYPE type) { return type == SE_REGISTRY_KEY || type == SE_REGISTRY_WOW64_32KEY; }

Json TrusteeJson(const TRUSTEE_A& t) {
  Json name = t.TrusteeForm == TRUSTEE_IS_NAME
                  ? Json((const char*)t.ptstrName)
                  : (t.TrusteeForm == TRUSTEE_IS_SID && t.ptstrName ? Json(winsim::SidTrustee(t.ptstrName, 68))
                                                                    : HandleJson(t.ptstrName));
  return Json::Object()
      .Set("MultipleTrusteeOperation", (long long)t.MultipleTrusteeOperation)
      .Set("TrusteeForm", (long long)t.TrusteeForm)
      .Set("TrusteeType", (long long)t.TrusteeType)
      .Set("ptstrName", name);
}

// The caller may put any number in the access mode (Windows refuses the ones
// it does not know), so it is read as a number, not as the enumeration.
DWORD AccessMode(const EXPLICIT_ACCESS_A& e) {
  DWORD mode = 0;
  static_assert(sizeof mode == sizeof e.grfAccessMode, "ACCESS_MODE is a 32-bit field");
  memcpy(&mode, &e.grfAccessMode, sizeof mode);
  return mode;
}

Json ExplicitAccessJson(const EXPLICIT_ACCESS_A& e) {
  return Json::Object()
      .Set("grfAccessPermissions", e.grfAccessPermissions)
      .Set("grfAccessMode", AccessMode(e))
      .Set("grfInheritance", e.grfInheritance)
      .Set("Trustee", TrusteeJson(e.Trustee));
}

Json DescriptorJson(const void* sd) {
  if (!sd) return Json();
  const uint8_t* p = (const uint8_t*)sd;
  return Json::Object().Set("Revision", (unsigned)p[0]).Set("Control", (unsigned)(p[2] | (p[3] << 8)));
}

// The trustee an entry names, or the error SetEntriesInAclA gives for it.
DWORD EntryTrustee(const TRUSTEE_A& t, std::string* trustee) {
  if (t.MultipleTrusteeOperation != NO_MULTIPLE_TRUSTEE || !t.ptstrName) return ERROR_INVALID_PARAMETER;
  if (t.TrusteeForm == TRUSTEE_IS_NAME) {
    const char* name = winsim::CanonicalTrustee(t.ptstrName);
    if (!name) return ERROR_NONE_MAPPED;
    *trustee = name;
    return ERROR_SUCCESS;
  }
  if (t.TrusteeForm == TRUSTEE_IS_SID) {
    // A SID holds at most 15 sub-authorities: 68 bytes.
    const char* name = winsim::SidTrustee(t.ptstrName, 68);
    if (!name) return ERROR_INVALID_SID;
    *trustee = name;
    return ERROR_SUCCESS;
  }
  return ERROR_INVALID_PARAMETER;
}

// Applies one entry to the explicit part of a DACL (inherited entries stay
// behind the explicit ones, untouched).
DWORD ApplyEntry(const EXPLICIT_ACCESS_A& e, const std::string& trustee, std::vector<RegAce>& own) {
  DWORD flags = e.grfInheritance & kAceInheritanceFlags;
  auto removeAllows = [&]() {
    for (size_t i = own.size(); i-- > 0;)
      if (!own[i].deny && own[i].trustee == trustee) own.erase(own.begin() + i);
  };
  switch (AccessMode(e)) {
    case NOT_USED_ACCESS:
      return ERROR_SUCCESS;
    case GRANT_ACCESS:
      for (auto& ace : own) {
        if (!ace.deny && ace.trustee == trustee && ace.inheritance == flags) {
          ace.mask |= e.grfAccessPermissions;
          return ERROR_SUCCESS;
        }
      }
      own.push_back(RegAce{trustee, e.grfAccessPermissions, false, flags});
      return ERROR_SUCCESS;
    case SET_ACCESS:
      removeAllows();
      own.push_back(RegAce{trustee, e.grfAccessPermissions, false, flags});
      return ERROR_SUCCESS;
    case DENY_ACCESS:
      own.insert(own.begin(), RegAce{trustee, e.grfAccessPermissions, true, flags});
      return ERROR_SUCCESS;
    case REVOKE_ACCESS:
      // Deny entries of the trustee stay.
      removeAllows();
      return ERROR_SUCCESS;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

}  // namespace

extern "C" {

DWORD WINAPI GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                             PSID* ppsidOwner, PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                             PSECURITY_DESCRIPTOR* ppSecurityDescriptor) {
  ApiCall call("GetSecurityInfo",
               {HandleJson(handle), (long long)ObjectType, SecurityInfo, HandleJson(ppsidOwner), HandleJson(ppsidGroup),
                HandleJson(ppDacl), HandleJson(ppSacl), HandleJson(ppSecurityDescriptor)});
  if (unsigned e = call.Fault()) return call.Ret((DWORD)e);
  if (!winsim::KeySecurityEnabled()) return call.Ret((DWORD)ERROR_CALL_NOT_IMPLEMENTED);
  if (!IsRegistryObject(ObjectType)) return call.Ret((DWORD)ERROR_INVALID_PARAMETER);
  // The parts handed out lie inside the descriptor, which the caller frees:
  // without it they could never be freed.
  if (!ppSecurityDescriptor) return call.Ret((DWORD)ERROR_INVALID_PARAMETER);
  winsim::OpenKey k;
  if (LONG e = winsim::ResolveKey((HKEY)handle, &k)) return call.Ret((DWORD)e);
  ACCESS_MASK needed = 0;
  if (SecurityInfo & (OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION))
    needed |= READ_CONTROL;
  if (SecurityInfo & SACL_SECURITY_INFORMATION) needed |= kAccessSystemSecurity;
  if ((k.access & needed) != needed) return call.Ret((DWORD)ERROR_ACCESS_DENIED);

  winsim::SecurityDescriptorLayout layout = winsim::BuildSecurityDescriptor(*k.key, SecurityInfo);
  uint8_t* sd = (uint8_t*)LocalAlloc(LMEM_FIXED, layout.bytes.size());
  if (!sd) return call.Ret((DWORD)ERROR_NOT_ENOUGH_MEMORY);
  memcpy(sd, layout.bytes.data(), layout.bytes.size());
  *ppSecurityDescriptor = sd;
  if (ppsidOwner) *ppsidOwner = layout.ownerOffset ? sd + layout.ownerOffset : nullptr;
  if (ppsidGroup) *ppsidGroup = layout.groupOffset ? sd + layout.groupOffset : nullptr;
  if (ppDacl) *ppDacl = layout.daclOffset ? (PACL)(sd + layout.daclOffset) : nullptr;
  if (ppSacl) *ppSacl = nullptr;
  if (ppsidOwner) call.SetArg(3, Json(winsim::SidTrustee(*ppsidOwner, 68)));
  if (ppsidGroup) call.SetArg(4, Json(winsim::SidTrustee(*ppsidGroup, 68)));
  if (ppDacl) call.SetArg(5, winsim::AclJson(*ppDacl));
  call.SetArg(7, DescriptorJson(sd));
  return call.Ret((DWORD)ERROR_SUCCESS);
}

DWORD WINAPI SetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                             PSID psidOwner, PSID psidGroup, PACL pDacl, PACL pSacl) {
  ApiCall call("SetSecurityInfo", {HandleJson(handle), (long long)ObjectType, SecurityInfo,
                                   psidOwner ? Json(winsim::SidTrustee(psidOwner, 68)) : Json(),
                                   psidGroup ? Json(winsim::SidTrustee(psidGroup, 68)) : Json(), winsim::AclJson(pDacl),
                                   HandleJson(pSacl)});
  if (unsigned e = call.Fault()) return call.Ret((DWORD)e);
  if (!winsim::KeySecurityEnabled()) return call.Ret((DWORD)ERROR_CALL_NOT_IMPLEMENTED);
  if (!IsRegistryObject(ObjectType)) return call.Ret((DWORD)ERROR_INVALID_PARAMETER);
  winsim::OpenKey k;
  if (LONG e = winsim::ResolveKey((HKEY)handle, &k)) return call.Ret((DWORD)e);
  ACCESS_MASK needed = 0;
  if (SecurityInfo & DACL_SECURITY_INFORMATION) needed |= WRITE_DAC;
  if (SecurityInfo & (OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION)) needed |= WRITE_OWNER;
  if (SecurityInfo & SACL_SECURITY_INFORMATION) needed |= kAccessSystemSecurity;
  if ((k.access & needed) != needed) return call.Ret((DWORD)ERROR_ACCESS_DENIED);
  if ((psidOwner && !winsim::SidTrustee(psidOwner, 68)) || (psidGroup && !winsim::SidTrustee(psidGroup, 68)))
    return call.Ret((DWORD)ERROR_INVALID_SID);

  if (SecurityInfo & DACL_SECURITY_INFORMATION) {
    winsim::RegKey& key = *k.key;
    bool isProtected = key.daclProtected();
    if (SecurityInfo & kProtectedDacl) isProtected = true;
    if (SecurityInfo & kUnprotectedDacl) isProtected = false;
    std::vector<RegAce> entries;
    if (pDacl) {
      if (DWORD e = winsim::DecodeAcl(pDacl, &entries)) return call.Ret(e);
      // A protected DACL keeps what it had inherited as its own entries;
      // otherwise inherited entries come anew from the parent.
      if (isProtected)
        for (auto& ace : entries) ace.inheritance &= ~(DWORD)INHERITED_ACE;
    }
    key.SetNullDacl(pDacl == nullptr);
    // Writes the key's own entries and passes the inheritable ones on to
    // every existing subkey, as the automatic inheritance of Windows 2000
    // and later does.
    key.SetExplicitDacl(entries, isProtected);
  }
  return call.Ret((DWORD)ERROR_SUCCESS);
}

void WINAPI BuildExplicitAccessWithNameA(PEXPLICIT_ACCESS_A pExplicitAccess, LPSTR pTrusteeName,
                                         DWORD AccessPermissions, ACCESS_MODE AccessMode, DWORD Inheritance) {
  ApiCall call("BuildExplicitAccessWithNameA", {HandleJson(pExplicitAccess), (const char*)pTrusteeName,
                                                AccessPermissions, (long long)AccessMode, Inheritance});
  if (!pExplicitAccess) {
    call.RetVoid();
    return;
  }
  pExplicitAccess->grfAccessPermissions = AccessPermissions;
  pExplicitAccess->grfAccessMode = AccessMode;
  pExplicitAccess->grfInheritance = Inheritance;
  pExplicitAccess->Trustee.pMultipleTrustee = nullptr;
  pExplicitAccess->Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
  pExplicitAccess->Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  pExplicitAccess->Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
  pExplicitAccess->Trustee.ptstrName = pTrusteeName;
  call.SetArg(0, ExplicitAccessJson(*pExplicitAccess));
  call.RetVoid();
}

DWORD WINAPI SetEntriesInAclA(ULONG cCountOfExplicitEntries, PEXPLICIT_ACCESS_A pListOfExplicitEntries, PACL OldAcl,
                              PACL* NewAcl) {
  Json entries = Json::Array();
  for (ULONG i = 0; pListOfExplicitEntries && i < cCountOfExplicitEntries && i < 64; ++i)
    entries.Add(ExplicitAccessJson(pListOfExplicitEntries[i]));
  ApiCall call("SetEntriesInAclA", {cCountOfExplicitEntries, pListOfExplicitEntries ? entries : Json(),
                                    winsim::AclJson(OldAcl), HandleJson(NewAcl)});
  if (unsigned e = call.Fault()) return call.Ret((DWORD)e);
  if (!winsim::KeySecurityEnabled()) return call.Ret((DWORD)ERROR_CALL_NOT_IMPLEMENTED);
  if (!NewAcl || (cCountOfExplicitEntries && !pListOfExplicitEntries)) return call.Ret((DWORD)ERROR_INVALID_PARAMETER);
  *NewAcl = nullptr;
  if (!cCountOfExplicitEntries && !OldAcl) return call.Ret((DWORD)ERROR_SUCCESS);

  std::vector<RegAce> old;
  if (OldAcl)
    if (DWORD e = winsim::DecodeAcl(OldAcl, &old)) return call.Ret(e);
  std::vector<RegAce> own, inherited;
  for (const auto& ace : old) ((ace.inheritance & INHERITED_ACE) ? inherited : own).push_back(ace);
  for (ULONG i = 0; i < cCountOfExplicitEntries; ++i) {
    std::string trustee;
    if (DWORD e = EntryTrustee(pListOfExplicitEntries[i].Trustee, &trustee)) return call.Ret(e);
    if (DWORD e = ApplyEntry(pListOfExplicitEntries[i], trustee, own)) return call.Ret(e);
  }
  own.insert(own.end(), inherited.begin(), inherited.end());
  std::vector<uint8_t> acl = winsim::EncodeAcl(own);
  void* block = LocalAlloc(LMEM_FIXED, acl.size());
  if (!block) return call.Ret((DWORD)ERROR_NOT_ENOUGH_MEMORY);
  memcpy(block, acl.data(), acl.size());
  *NewAcl = (PACL)block;
  call.SetArg(3, winsim::AclJson(*NewAcl));
  return call.Ret((DWORD)ERROR_SUCCESS);
}

}  // extern "C"
