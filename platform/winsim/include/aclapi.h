// DACL functions of ADVAPI32 in the simulated Windows.
#pragma once

#include "windows.h"
#include "accctrl.h"

extern "C" {

DWORD WINAPI GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                             PSID* ppsidOwner, PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                             PSECURITY_DESCRIPTOR* ppSecurityDescriptor);
DWORD WINAPI SetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                             PSID psidOwner, PSID psidGroup, PACL pDacl, PACL pSacl);
void WINAPI BuildExplicitAccessWithNameA(PEXPLICIT_ACCESS_A pExplicitAccess, LPSTR pTrusteeName,
                                         DWORD AccessPermissions, ACCESS_MODE AccessMode, DWORD Inheritance);
DWORD WINAPI SetEntriesInAclA(ULONG cCountOfExplicitEntries, PEXPLICIT_ACCESS_A pListOfExplicitEntries, PACL OldAcl,
                              PACL* NewAcl);

}  // extern "C"
