// Granting access on a registry key, and deleting the printer's device key.
//
// A key is named by a path ("HKLM\SOFTWARE\VELKORA_LABEL_PRINTER",
// "\\machine\HKLM\...") and the access by a permission specification
// "/P<mode>:<trustee>:<rights>": mode G grants, S sets, D denies, R revokes;
// rights are two-letter codes Fc (full control), Rd (read), Wr (write).
// The routines return a Windows error code: 0, ERROR_NOT_ENOUGH_MEMORY when
// a work buffer cannot be had, ERROR_INVALID_PARAMETER for text that does
// not parse or does not fit its 512-byte buffer, or the failed call's own.
#pragma once

#include <windows.h>
#include <aclapi.h>

// The access mask of a rights text. Unknown codes add nothing and make the
// status 87; a text of odd length gives mask 0 and 87.
long ParseAccessRights(const char* pszRights, DWORD* pdwMask);
// Opens the key a path names, on another machine when the path says so,
// with the rights needed to rewrite its DACL. A path of a root alone gives
// the root's own handle.
long OpenRegistryPath(const char* pszPath, HKEY* phKey);
// Merges one access entry into the key's DACL.
long ApplyAccessEntry(HKEY hKey, EXPLICIT_ACCESS_A* pEntry);

// Merges one entry, inherited by sub-keys, into the DACL of the key.
long GrantRegistryAccess(const char* pszPath, const char* pszPermissions);
// The installer's form: full control for everyone.
long GrantRegistryAccess(const char* pszPath);

// Grants everyone full control on the key pszPath names, then deletes the
// printer's device key under USBPRINT with everything below it. Neither
// result is examined: what cannot be deleted stays.
void DeleteRegistryTree(const char* pszPath);
