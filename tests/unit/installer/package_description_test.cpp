// The driver package description: both file sets in their order, the
// dependent-file lists, the fixed records, the set chosen by WindowsKind,
// and the demo package holding every file the description names.
#include <gtest/gtest.h>
#include <strings.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "package_description.h"
#include "windows_kind.h"

namespace {

const char* const kPackageLanguages[] = {"ENG", "SLO", "CRO", "GER", "FRA", "SPA", "ITA", "FIN", "DUT", "POR",
                                         "POL", "HUN", "RUS", "TUR", "SWE", "CHI", "SCH", "TAI", "KOR", "JAP"};
const char* const kMoreLanguages[] = {"CZE", "LIT", "UKR"};

std::vector<std::string> ExpectedTable(const char* suffix) {
  std::vector<std::string> t;
  for (const char* l : kPackageLanguages) t.push_back(std::string("QVR") + l + suffix + ".DLL");
  t.push_back("NDRM7202.BA0");
  t.push_back("NDRM7202.PP0");
  for (const char* l : kMoreLanguages) t.push_back(std::string("QVR") + l + suffix + ".DLL");
  return t;
}

std::vector<std::string> SplitMulti(const char* multi, size_t size) {
  std::vector<std::string> list;
  size_t pos = 0;
  while (pos < size && multi[pos]) {
    list.push_back(multi + pos);
    pos += strlen(multi + pos) + 1;
  }
  // One more zero ends the list, and nothing follows it.
  EXPECT_EQ(size, pos + 1);
  return list;
}

struct SetRow {
  const char* what;
  const PackageFileSet* set;
  const char* suffix;
  const char* environment;
  const char* subDir;
  const char* driver;
  const char* config;
  const char* monitor;
  BOOL monitorInWindowsDir;
};

const SetRow kSets[] = {
    {"x86", &g_setX86, "50", "Windows NT x86", "driver2k\\", "QVRdrv50.dll", "QVRui50.dll", "qpaNLMNT.dll", FALSE},
    {"x64", &g_setX64, "56", "Windows x64", "driver64\\", "QVRdrv56.dll", "QVRui56.dll", "qpaNLM64.dll", TRUE},
};

TEST(PackageDescription, FileTablesInTheirOrder) {
  for (const auto& r : kSets) {
    SCOPED_TRACE(r.what);
    std::vector<std::string> expected = ExpectedTable(r.suffix);
    ASSERT_EQ((size_t)kFileTableSize, expected.size());
    for (int i = 0; i < kFileTableSize; ++i)
      EXPECT_STREQ(expected[i].c_str(), (LPCSTR)r.set->pFiles[i]) << r.what << " entry " << i;
  }
}

TEST(PackageDescription, DependentFilesAreTheFirst22TableEntries) {
  struct Row {
    const char* what;
    const char* list;
    size_t size;
    const CString* table;
  } rows[] = {{"x86", g_dependentFilesX86, g_dependentFilesX86Size, g_filesX86},
              {"x64", g_dependentFilesX64, g_dependentFilesX64Size, g_filesX64}};
  for (const auto& r : rows) {
    std::vector<std::string> names = SplitMulti(r.list, r.size);
    ASSERT_EQ((size_t)kDependentFileCount, names.size()) << r.what;
    for (int i = 0; i < kDependentFileCount; ++i) EXPECT_STREQ((LPCSTR)r.table[i], names[i].c_str()) << r.what << i;
  }
}

// Every field holds its text and zeros behind it to its end.
void ExpectField(const char* field, const char* text, const std::string& what) {
  EXPECT_STREQ(text, field) << what;
  for (size_t i = strlen(text); i < (size_t)kDescriptionFieldSize; ++i) EXPECT_EQ(0, field[i]) << what << " byte " << i;
}

TEST(PackageDescription, DriverRecordsAndMonitorBlock) {
  for (const auto& r : kSets) {
    const DriverDescription* d = r.set->pDriver;
    std::string what = r.what;
    ExpectField(d->szName, "VELKORA KVL-M720", what + " name");
    ExpectField(d->szDriverPath, r.driver, what + " driver");
    ExpectField(d->szDataFile, "NDRM7202.dat", what + " data");
    ExpectField(d->szConfigFile, r.config, what + " config");
    ExpectField(d->szHelpFile, "PRNGUIDE.CHM", what + " help");
    EXPECT_STREQ(r.environment, r.set->pszEnvironment) << what;
    EXPECT_STREQ(r.subDir, r.set->pszSubDir) << what;
    EXPECT_STREQ(r.monitor, r.set->pszMonitorDll) << what;
    EXPECT_EQ(r.monitorInWindowsDir, r.set->bMonitorInWindowsDir) << what;
  }
  ExpectField(g_monitorInfo.szName, "Advanced Language Monitor", "monitor name");
  ExpectField(g_monitorInfo.szDllX86, "qpaNLMNT.dll", "monitor x86");
  ExpectField(g_monitorInfo.szDllX64, "qpaNLM64.dll", "monitor x64");
  EXPECT_STREQ("USB\\Vid_7A3C&Pid_0008", g_szHardwareId);
  EXPECT_EQ(21u, strlen(g_szHardwareId));
  EXPECT_STREQ("velkora_kvl_m7207188", g_szLeftoverDir);
  EXPECT_STREQ("velkora.inf", g_szInfFile);
  EXPECT_STREQ("\\INF\\dravonixvelkora.inf", g_szStaleInf);
  EXPECT_STREQ("\\INF\\dravonixvelkora.pnf", g_szStalePnf);
}

TEST(PackageDescription, SixtyFourBitSetExactlyFor2010) {
  const struct {
    int kind;
    const PackageFileSet* set;
  } rows[] = {{kWindows2000, &g_setX86},  {kWindowsXP, &g_setX86}, {kWindows2003, &g_setX86},
              {kWindowsVista, &g_setX86}, {kWindows7, &g_setX86},  {2008, &g_setX86},
              {kWindows64, &g_setX64},    {2011, &g_setX86},       {kWindowsUnknown, &g_setX86}};
  for (const auto& r : rows) {
    EXPECT_EQ(r.set, &FileSetFor(r.kind)) << r.kind;
    EXPECT_EQ(r.set == &g_setX64, UsesX64Set(r.kind) != FALSE) << r.kind;
  }
}

std::string PackageDir() { return KVL_PACKAGE_DIR; }

bool HasFile(const std::string& dir, const std::string& name) {
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (strcasecmp(e.path().filename().string().c_str(), name.c_str()) == 0) return true;
  return false;
}

TEST(PackageDescription, DemoPackageHoldsEveryFileOfBothSets) {
  for (const auto& r : kSets) {
    std::string dir = PackageDir() + "/" + std::string(r.subDir, strlen(r.subDir) - 1);
    std::vector<std::string> names = {r.driver, r.config, "NDRM7202.dat", "PRNGUIDE.CHM", r.monitor, g_szInfFile};
    for (int i = 0; i < kFileTableSize; ++i) names.push_back((LPCSTR)r.set->pFiles[i]);
    for (const auto& n : names) EXPECT_TRUE(HasFile(dir, n)) << r.what << ": " << n;

    // The INF names the hardware id, the language monitor and every file.
    std::ifstream in(dir + "/velkora.inf", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string inf = text.str();
    EXPECT_NE(std::string::npos, inf.find("Signature=\"$Windows NT$\"")) << r.what;
    EXPECT_NE(std::string::npos, inf.find("Class=Printer")) << r.what;
    EXPECT_NE(std::string::npos, inf.find("{4D36E979-E325-11CE-BFC1-08002BE10318}")) << r.what;
    EXPECT_NE(std::string::npos, inf.find(g_szHardwareId)) << r.what;
    EXPECT_NE(std::string::npos,
              inf.find(std::string("LanguageMonitor=\"Advanced Language Monitor,") + r.monitor + "\""))
        << r.what;
    for (const auto& n : names) {
      if (n == g_szInfFile) continue;
      EXPECT_NE(std::string::npos, inf.find(n)) << r.what << ": " << n;
    }
  }
}

}  // namespace
