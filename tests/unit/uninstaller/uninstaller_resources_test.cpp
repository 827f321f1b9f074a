// The uninstaller's compiled resources, read from the bytes windres produced
// for both program files and held against the product's tables: the string
// table, the window's template control by control, the icon group, the
// version block, and the manifest that only the file for Vista and later
// carries.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "resource_reader.h"

using namespace resource_reader;

namespace {

TEST(UninstallerResourcesTest, StringTable) {
  ResFile res;
  ASSERT_TRUE(res.Load("uninstaller.res")) << res.Error();
  const std::map<UINT, std::string> expected = {
      {2, "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720"},
      {3, "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720"},
      {4, "VELKORA KVL-M720"},
      {7, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720"},
      {10, "VELKORA KVL-M720 Uninstaller"},
      {18, "NDRM7202.dat"},
      {19, "NDRM7202.BA0"},
      {20, "NDRM7202.PP0"},
      {21, "QVRdrv50.dll"},
      {22, "QVRdrv56.dll"},
      {23, "QVRui50.dll"},
      {24, "QVRui56.dll"},
      {25, "PRNGUIDE.chm"},
  };
  EXPECT_EQ(expected, res.Strings(kLangEnglishUS));
}

TEST(UninstallerResourcesTest, Window) {
  ResFile res;
  ASSERT_TRUE(res.Load("uninstaller.res")) << res.Error();
  Dialog d;
  ASSERT_TRUE(res.DialogTemplate(102, &d)) << res.Error();
  EXPECT_TRUE(d.extended);
  EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), d.style);
  EXPECT_EQ((DWORD)WS_EX_APPWINDOW, d.exStyle);
  EXPECT_EQ((std::vector<int>{0, 0, 243, 150}), d.rect);
  EXPECT_EQ("", d.title);
  EXPECT_EQ("MS Sans Serif", d.font);
  EXPECT_EQ(8, d.pointSize);
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const std::vector<Control> expected = {
      {1001, "BUTTON", "Uninstall", child | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_DISABLED, {2, 128, 50, 19}},
      {IDCANCEL, "BUTTON", "Cancel", child | BS_PUSHBUTTON | WS_TABSTOP, {191, 128, 50, 19}},
      {1006,
       "LISTBOX",
       "",
       child | LBS_NOTIFY | LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_BORDER |
           WS_VSCROLL | WS_TABSTOP,
       {1, 9, 240, 75}},
      {-1, "STATIC", "Progress Status :", child | SS_LEFT | WS_GROUP, {3, 94, 60, 9}},
      {1000, "STATIC", "", child | SS_LEFT | WS_GROUP, {65, 94, 115, 8}},
      {1002, "msctls_progress32", "Progress1", child | 0x01 /* PBS_SMOOTH */ | WS_BORDER, {2, 109, 239, 16}},
  };
  EXPECT_EQ(expected, d.controls);
}

TEST(UninstallerResourcesTest, IconGroupAndVersion) {
  ResFile res;
  ASSERT_TRUE(res.Load("uninstaller.res")) << res.Error();
  std::vector<IconImage> images;
  ASSERT_TRUE(res.IconGroup(128, &images)) << res.Error();
  ASSERT_EQ(2u, images.size());
  EXPECT_EQ(32, images[0].width);
  EXPECT_EQ(16, images[1].width);
  for (const IconImage& image : images) {
    SCOPED_TRACE(image.width);
    EXPECT_EQ(image.width, image.height);
    EXPECT_EQ(24, image.bitCount);
    EXPECT_TRUE(image.imagePresent);
    EXPECT_EQ(24, image.headerBitCount);
  }
  VersionInfo v;
  ASSERT_TRUE(res.Version(&v)) << res.Error();
  EXPECT_EQ((std::vector<WORD>{0, 0, 0, 0}), v.fileVersion);
  EXPECT_EQ((std::vector<WORD>{0, 0, 0, 0}), v.productVersion);
  EXPECT_EQ(kVosWindows32, v.fileOs);
  EXPECT_EQ(kVftApp, v.fileType);
  EXPECT_EQ(0u, v.fileSubtype);
  EXPECT_EQ(0x3Fu, v.flagsMask);
  EXPECT_EQ(0u, v.flags);
  const std::map<std::string, std::string> strings = {
      {"FileDescription", "VELKORA Printer Driver Uninstaller"},
      {"FileVersion", "0.0.0.0"},
      {"InternalName", "VELKORA Printer Driver Uninstaller"},
      {"ProductVersion", "0.0.0.0"},
  };
  EXPECT_EQ("040904e4", v.stringTable);
  EXPECT_EQ(strings, v.strings);
  EXPECT_EQ((std::vector<DWORD>{0x04E40409}), v.translations);
}
// Both program files carry the same resources and the legacy removal
// library; only the one for Vista and later adds the manifest that asks for
// administrator rights.
TEST(UninstallerResourcesTest, BothFilesCarryTheLibraryOnlyTheVistaFileTheManifest) {
  ResFile plain, vista;
  ASSERT_TRUE(plain.LoadPath(KVL_UNINSTALLER_RES_DIR "/KVLM720_Uninstaller_uninstaller.res")) << plain.Error();
  ASSERT_TRUE(vista.LoadPath(KVL_UNINSTALLER_RES_DIR "/KVLM720_Uninstaller_vista_uninstaller_vista.res"))
      << vista.Error();
  std::string manifest;
  EXPECT_FALSE(plain.Manifest(1, &manifest));
  ASSERT_TRUE(vista.Manifest(1, &manifest)) << vista.Error();
  for (const char* text : {"<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
                           "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>",
                           "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>"})
    EXPECT_NE(std::string::npos, manifest.find(text)) << text;
  EXPECT_EQ(plain.Strings(kLangEnglishUS), vista.Strings(kLangEnglishUS));
  // Both carry the 32-bit legacy removal library as it was built.
  std::ifstream in(KVL_LEGACY_DLL, std::ios::binary);
  const std::string dll((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(dll.empty()) << KVL_LEGACY_DLL;
  for (ResFile* res : {&plain, &vista}) {
    std::string bin;
    ASSERT_TRUE(res->Raw("BIN", 130, kLangEnglishUS, &bin)) << res->Error();
    EXPECT_TRUE(bin == dll) << "BIN 130 differs from " << KVL_LEGACY_DLL;
  }
  Dialog a, b;
  ASSERT_TRUE(plain.DialogTemplate(102, &a));
  ASSERT_TRUE(vista.DialogTemplate(102, &b));
  EXPECT_EQ(a.controls, b.controls);
}

}  // namespace
