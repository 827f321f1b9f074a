#include "language_modules.h"

#include <stdio.h>

namespace {

const char* const kLanguageCodes[kLanguageModuleCount] = {"ENG", "SLO", "CRO", "GER", "FRA", "SPA", "ITA",
                                                          "FIN", "DUT", "POR", "POL", "HUN", "RUS", "TUR",
                                                          "SWE", "CHI", "SCH", "TAI", "KOR", "JAP"};

CString* g_pModulesX86 = NULL;
CString* g_pModulesX64 = NULL;

CString* BuildSet(LPCSTR pszSuffix) {
  CString* pTable = new CString[kLanguageModuleCount];
  if (!pTable) return NULL;  // the framework's operator new answers NULL
  for (int i = 0; i < kLanguageModuleCount; ++i) {
    char szName[16];
    snprintf(szName, sizeof szName, "QVR%s%s", kLanguageCodes[i], pszSuffix);
    pTable[i] = szName;
  }
  return pTable;
}

}  // namespace

void BuildLanguageModules() {
  // A table that could not be had stays null (the reader then skips it).
  if (!g_pModulesX86) g_pModulesX86 = BuildSet("50.DLL");
  if (!g_pModulesX64) g_pModulesX64 = BuildSet("56.DLL");
}

void ReleaseLanguageModules() {
  delete[] g_pModulesX86;
  delete[] g_pModulesX64;
  g_pModulesX86 = NULL;
  g_pModulesX64 = NULL;
}

const CString* LanguageModules(BOOL bSecondSet) { return bSecondSet ? g_pModulesX64 : g_pModulesX86; }
