#include "core/key_security.h"

#include <cstdlib>
#include <cstring>

#include "core/machine.h"

namespace winsim {

namespace {

struct WellKnownSid {
  const char* trustee;
  uint8_t authority;
  uint8_t count;
  uint32_t sub[5];
};

// The machine's own accounts take the domain part of a made-up machine SID.
const WellKnownSid kSids[] = {
    {"Everyone", 1, 1, {0}},
    {"CREATOR OWNER", 3, 1, {0}},
    {"SYSTEM", 5, 1, {18}},
    {"Authenticated Users", 5, 1, {11}},
    {"Administrators", 5, 2, {32, 544}},
    {"Users", 5, 2, {32, 545}},
    {"Power Users", 5, 2, {32, 547}},
    {"User", 5, 5, {21, 1004336348, 1177238915, 682003330, 1000}},
};

const size_t kAclHeader = 8;  // AclRevision, Sbz1, AclSize, AceCount, Sbz2
const size_t kAceHeader = 8;  // AceType, AceFlags, AceSize, Mask
const uint8_t kAclRevision = 2;

void PutWord(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
}

uint32_t GetWord(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= (uint32_t)p[i] << (8 * i);
  return v;
}

bool InCurrentUser(const RegKey& key) {
  const RegKey* k = &key;
  while (k->parent()) k = k->parent();
  return k->name() == "HKEY_CURRENT_USER";
}

}  // namespace

const char* CanonicalTrustee(const std::string& name) {
  static const char* const kNames[] = {"Everyone",    "Administrators",      "SYSTEM", "Users", "CREATOR OWNER",
                                       "Power Users", "Authenticated Users", "User"};
  std::string bare = name;
  size_t slash = name.find('\\');
  if (slash != std::string::npos) {
    std::string domain = name.substr(0, slash);
    bare = name.substr(slash + 1);
    const char* host = getenv("WINSIM_COMPUTERNAME");
    std::string computer = host && *host ? host : "WINSIM";
    bool ok = false;
    if (SameKeyName(domain, "BUILTIN"))
      ok = SameKeyName(bare, "Administrators") || SameKeyName(bare, "Users") || SameKeyName(bare, "Power Users");
    else if (SameKeyName(domain, "NT AUTHORITY"))
      ok = SameKeyName(bare, "SYSTEM") || SameKeyName(bare, "Authenticated Users");
    else if (SameKeyName(domain, computer))
      ok = SameKeyName(bare, "User");
    if (!ok) return nullptr;
  }
  if (SameKeyName(bare, "CURRENT_USER") && slash == std::string::npos) return "User";
  for (const char* n : kNames)
    if (SameKeyName(bare, n)) return n;
  return nullptr;
}

bool InheritedAce(const RegAce& parentAce, RegAce* childAce) {
  DWORD flags = parentAce.inheritance;
  bool noPropagate = (flags & NO_PROPAGATE_INHERIT_ACE) != 0;
  *childAce = parentAce;
  if (flags & CONTAINER_INHERIT_ACE) {
    childAce->inheritance = INHERITED_ACE | (noPropagate ? 0 : (flags & (CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE)));
    return true;
  }
  if ((flags & OBJECT_INHERIT_ACE) && !noPropagate) {
    // Passed on to the objects below, never effective on a key.
    childAce->inheritance = INHERITED_ACE | OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;
    return true;
  }
  return false;
}

bool KeySecurityEnabled() { return Machine::Current().os().IsNT(); }

bool TokenHolds(const std::string& trustee) {
  if (trustee == "Administrators") return Machine::Current().userIsAdmin();
  return trustee == "Everyone" || trustee == "Authenticated Users" || trustee == "Users" || trustee == "User";
}

ACCESS_MASK MapGenericKeyRights(ACCESS_MASK mask) {
  ACCESS_MASK m = mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  if (mask & GENERIC_READ) m |= KEY_READ;
  if (mask & GENERIC_WRITE) m |= KEY_WRITE;
  if (mask & GENERIC_EXECUTE) m |= KEY_EXECUTE;
  if (mask & GENERIC_ALL) m |= KEY_ALL_ACCESS;
  return m;
}

bool CheckKeyAccess(const RegKey& key, ACCESS_MASK desired, ACCESS_MASK* granted) {
  bool maximum = (desired & MAXIMUM_ALLOWED) != 0;
  ACCESS_MASK want = MapGenericKeyRights(desired) & ~(MAXIMUM_ALLOWED | KEY_WOW64_RES);
  if (!KeySecurityEnabled() || key.nullDacl()) {
    *granted = want | (maximum ? (ACCESS_MASK)KEY_ALL_ACCESS : 0);
    return true;
  }
  ACCESS_MASK allowed = 0, denied = 0;
  for (const auto& ace : key.dacl()) {
    if ((ace.inheritance & INHERIT_ONLY_ACE) || !TokenHolds(ace.trustee)) continue;
    ACCESS_MASK m = MapGenericKeyRights(ace.mask);
    if (ace.deny)
      denied |= m & ~allowed;
    else
      allowed |= m & ~denied;
  }
  if (want & ~allowed) return false;
  *granted = want | (maximum ? allowed : 0);
  return true;
}

std::vector<uint8_t> TrusteeSid(const std::string& trustee) {
  for (const auto& s : kSids) {
    if (trustee != s.trustee) continue;
    std::vector<uint8_t> sid(8 + 4 * s.count, 0);
    sid[0] = 1;  // revision
    sid[1] = s.count;
    sid[7] = s.authority;  // the 48-bit authority, big-endian
    for (int i = 0; i < s.count; ++i) PutWord(sid, 8 + 4 * i, s.sub[i], 4);
    return sid;
  }
  return {};
}

const char* SidTrustee(const void* sid, size_t available) {
  const uint8_t* p = (const uint8_t*)sid;
  if (!p || available < 8 || p[0] != 1) return nullptr;
  size_t size = 8 + 4 * (size_t)p[1];
  if (size > available) return nullptr;
  for (const auto& s : kSids) {
    std::vector<uint8_t> known = TrusteeSid(s.trustee);
    if (known.size() == size && memcmp(known.data(), p, size) == 0) return s.trustee;
  }
  return nullptr;
}

std::vector<uint8_t> EncodeAcl(const std::vector<RegAce>& entries) {
  std::vector<uint8_t> acl(kAclHeader, 0);
  for (const auto& ace : entries) {
    std::vector<uint8_t> sid = TrusteeSid(ace.trustee);
    size_t at = acl.size();
    acl.resize(at + kAceHeader + sid.size(), 0);
    acl[at] = ace.deny ? 1 : 0;
    acl[at + 1] = (uint8_t)ace.inheritance;
    PutWord(acl, at + 2, (uint32_t)(kAceHeader + sid.size()), 2);
    PutWord(acl, at + 4, ace.mask, 4);
    memcpy(acl.data() + at + kAceHeader, sid.data(), sid.size());
  }
  acl[0] = kAclRevision;
  PutWord(acl, 2, (uint32_t)acl.size(), 2);
  PutWord(acl, 4, (uint32_t)entries.size(), 2);
  return acl;
}

DWORD DecodeAcl(const ACL* acl, std::vector<RegAce>* entries) {
  entries->clear();
  const uint8_t* p = (const uint8_t*)acl;
  if (!p) return ERROR_INVALID_ACL;
  uint32_t size = GetWord(p + 2, 2), count = GetWord(p + 4, 2);
  if ((p[0] != 2 && p[0] != 4) || size < kAclHeader) return ERROR_INVALID_ACL;
  size_t at = kAclHeader;
  for (uint32_t i = 0; i < count; ++i) {
    if (at + kAceHeader > size) return ERROR_INVALID_ACL;
    uint32_t aceSize = GetWord(p + at + 2, 2);
    if (aceSize < kAceHeader + 8 || at + aceSize > size || (p[at] != 0 && p[at] != 1)) return ERROR_INVALID_ACL;
    const char* trustee = SidTrustee(p + at + kAceHeader, aceSize - kAceHeader);
    if (!trustee) return ERROR_INVALID_SID;
    entries->push_back(RegAce{trustee, GetWord(p + at + 4, 4), p[at] == 1, p[at + 1]});
    at += aceSize;
  }
  return 0;
}

Json AclJson(const ACL* acl) {
  if (!acl) return Json();
  std::vector<RegAce> entries;
  const uint8_t* p = (const uint8_t*)acl;
  Json j = Json::Object()
               .Set("AclRevision", (unsigned)p[0])
               .Set("AclSize", GetWord(p + 2, 2))
               .Set("AceCount", GetWord(p + 4, 2));
  if (DecodeAcl(acl, &entries) != 0) return j;
  Json aces = Json::Array();
  for (const auto& e : entries)
    aces.Add(Json::Object()
                 .Set("AceType", e.deny ? 1 : 0)
                 .Set("AceFlags", (unsigned)e.inheritance)
                 .Set("Mask", (unsigned)e.mask)
                 .Set("Sid", e.trustee));
  j.Set("Aces", aces);
  return j;
}

SecurityDescriptorLayout BuildSecurityDescriptor(const RegKey& key, SECURITY_INFORMATION info) {
  // SECURITY_DESCRIPTOR_RELATIVE: Revision, Sbz1, Control, then the offsets
  // of owner, group, SACL and DACL.
  const uint16_t kSelfRelative = 0x8000, kDaclPresent = 0x0004, kDaclAutoInherited = 0x0400, kDaclProtected = 0x1000;
  SecurityDescriptorLayout sd;
  sd.bytes.assign(20, 0);
  sd.bytes[0] = 1;
  uint16_t control = kSelfRelative;
  if (info & OWNER_SECURITY_INFORMATION) {
    std::vector<uint8_t> owner = TrusteeSid(InCurrentUser(key) ? "User" : "Administrators");
    sd.ownerOffset = sd.bytes.size();
    PutWord(sd.bytes, 4, (uint32_t)sd.ownerOffset, 4);
    sd.bytes.insert(sd.bytes.end(), owner.begin(), owner.end());
  }
  if (info & GROUP_SECURITY_INFORMATION) {
    std::vector<uint8_t> group = TrusteeSid("SYSTEM");
    sd.groupOffset = sd.bytes.size();
    PutWord(sd.bytes, 8, (uint32_t)sd.groupOffset, 4);
    sd.bytes.insert(sd.bytes.end(), group.begin(), group.end());
  }
  if (info & DACL_SECURITY_INFORMATION) {
    control |= kDaclPresent | kDaclAutoInherited;
    if (key.daclProtected() || !key.parent()) control |= kDaclProtected;
    if (!key.nullDacl()) {
      std::vector<uint8_t> acl = EncodeAcl(key.dacl());
      sd.daclOffset = sd.bytes.size();
      PutWord(sd.bytes, 16, (uint32_t)sd.daclOffset, 4);
      sd.bytes.insert(sd.bytes.end(), acl.begin(), acl.end());
    }
  }
  PutWord(sd.bytes, 2, control, 2);
  return sd;
}

}  // namespace winsim
