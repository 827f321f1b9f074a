// Access-control types of ADVAPI32 in the simulated Windows.
#pragma once

#include "windef.h"

typedef enum _SE_OBJECT_TYPE { SE_FILE_OBJECT = 1, SE_REGISTRY_KEY = 4, SE_REGISTRY_WOW64_32KEY = 12 } SE_OBJECT_TYPE;

typedef enum _TRUSTEE_TYPE { TRUSTEE_IS_UNKNOWN = 0 } TRUSTEE_TYPE;

typedef enum _TRUSTEE_FORM { TRUSTEE_IS_SID = 0, TRUSTEE_IS_NAME = 1 } TRUSTEE_FORM;

typedef enum _MULTIPLE_TRUSTEE_OPERATION { NO_MULTIPLE_TRUSTEE = 0 } MULTIPLE_TRUSTEE_OPERATION;

typedef struct _TRUSTEE_A {
  struct _TRUSTEE_A* pMultipleTrustee;
  MULTIPLE_TRUSTEE_OPERATION MultipleTrusteeOperation;
  TRUSTEE_FORM TrusteeForm;
  TRUSTEE_TYPE TrusteeType;
  LPSTR ptstrName;
} TRUSTEE_A;

typedef enum _ACCESS_MODE {
  NOT_USED_ACCESS = 0,
  GRANT_ACCESS = 1,
  SET_ACCESS = 2,
  DENY_ACCESS = 3,
  REVOKE_ACCESS = 4
} ACCESS_MODE;

typedef struct _EXPLICIT_ACCESS_A {
  DWORD grfAccessPermissions;
  ACCESS_MODE grfAccessMode;
  DWORD grfInheritance;
  TRUSTEE_A Trustee;
} EXPLICIT_ACCESS_A, *PEXPLICIT_ACCESS_A;
