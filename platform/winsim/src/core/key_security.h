// Key security of the simulated machine: the trustee names it knows, how a
// key's entries pass to its subkeys, the user's token, the access check of a
// key's DACL, and the binary ACL and security descriptor that
// GetSecurityInfo hands out and SetEntriesInAclA and SetSecurityInfo read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/json.h"
#include "core/registry_tree.h"
#include "windows.h"

namespace winsim {

// The canonical spelling of a trustee name the simulated machine knows
// ("Everyone", "Administrators", "SYSTEM", "Users", "CREATOR OWNER",
// "Power Users", "Authenticated Users" and the user "User"), or nullptr.
// Accepts any letter case and the BUILTIN\, NT AUTHORITY\ and computer
// name prefixes, as LookupAccountName does.
const char* CanonicalTrustee(const std::string& name);

// The entry a child key inherits from an ACE of its parent; false when it
// inherits nothing from it.
bool InheritedAce(const RegAce& parentAce, RegAce* childAce);

// Windows 9x has no key security: every access is granted there.
bool KeySecurityEnabled();

// The groups and the user of the process's token: Everyone, Authenticated
// Users, Users, the user "User", and Administrators when the user is one.
bool TokenHolds(const std::string& trustee);

// GENERIC_* rights mapped to key rights.
ACCESS_MASK MapGenericKeyRights(ACCESS_MASK mask);

// Evaluates the key's DACL for the token: deny entries count where they
// stand, MAXIMUM_ALLOWED asks for everything the DACL allows. False when a
// right asked for is not granted; else the granted rights.
bool CheckKeyAccess(const RegKey& key, ACCESS_MASK desired, ACCESS_MASK* granted);

// The SID of a canonical trustee name (see CanonicalTrustee).
std::vector<uint8_t> TrusteeSid(const std::string& trustee);
// The canonical trustee of a SID, or nullptr for one the machine does not know.
const char* SidTrustee(const void* sid, size_t available);

// ACL <-> entries. ACEs are ACCESS_ALLOWED (type 0) and ACCESS_DENIED
// (type 1) with the trustee's SID, as Windows lays them out.
std::vector<uint8_t> EncodeAcl(const std::vector<RegAce>& entries);
// 0, ERROR_INVALID_ACL or ERROR_INVALID_SID.
DWORD DecodeAcl(const ACL* acl, std::vector<RegAce>* entries);
// The ACL for the journal: header fields and its entries by trustee name.
Json AclJson(const ACL* acl);

// A self-relative security descriptor with the parts asked for, and where
// its DACL and owner lie in it.
struct SecurityDescriptorLayout {
  std::vector<uint8_t> bytes;
  size_t daclOffset = 0;  // 0: no DACL (null DACL or not asked for)
  size_t ownerOffset = 0;
  size_t groupOffset = 0;
};
SecurityDescriptorLayout BuildSecurityDescriptor(const RegKey& key, SECURITY_INFORMATION info);

}  // namespace winsim
