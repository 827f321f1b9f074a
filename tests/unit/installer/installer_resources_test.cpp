// The installer's compiled resources, read from the bytes windres produced
// for the program and held against the product's tables: every string of
// the string table, both dialog templates control by control, the icon
// group and the version block.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/resources.h"
#include "resource_reader.h"

using namespace resource_reader;

namespace {

class InstallerResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_res.Load("installer.res")) << m_res.Error(); }
  ResFile m_res;
};

TEST_F(InstallerResourcesTest, StringTable) {
  const std::map<UINT, std::string> expected = {
      {1, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720"},
      {3, "KVL-M720"},
      {6, "VELKORA KVL-M720  Windows Driver V4.6.64"},
      {7, "\\KVL-M720\\KVLM720_Uninstaller.exe"},
      {8, "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720"},
      {10, "VELKORA KVL-M720 Installation Progress"},
      {11, "VELKORA KVL-M720"},
      {12, "Driver Version: V4.6.64"},
      {13, "KVLM720_Uninstaller.exe"},
      {14, "SOFTWARE\\VELKORA_LABEL_PRINTER"},
      {15, "HKLM\\SOFTWARE\\VELKORA_LABEL_PRINTER"},
      {19, "PRNGUIDE.chm"},
      {20, "QVRui50.dll"},
      {21, "NDRM7202.dat"},
      {22, "QVRdrv50.dll"},
      {23, "qpaNLMNT.dll"},
      {30, "qpaNLM64.dll"},
      {31, "QVRUI56.DLL"},
      {32, "QVRDRV56.DLL"},
      {35, "KVLM720_Uninstaller_vista.exe"},
      {36, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VELKORA KVL-M720\\VersionData"},
  };
  EXPECT_EQ(expected, m_res.Strings(kLangEnglishUS));
}

TEST_F(InstallerResourcesTest, ProgressWindow) {
  Dialog d;
  ASSERT_TRUE(m_res.DialogTemplate(102, &d)) << m_res.Error();
  EXPECT_TRUE(d.extended);
  EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), d.style);
  EXPECT_EQ((DWORD)WS_EX_APPWINDOW, d.exStyle);
  EXPECT_EQ((std::vector<int>{0, 0, 231, 112}), d.rect);
  EXPECT_EQ("", d.title);
  EXPECT_EQ("MS Sans Serif", d.font);
  EXPECT_EQ(8, d.pointSize);
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const std::vector<Control> expected = {
      {1000, "msctls_progress32", "Progress1", child | WS_BORDER | 0x01 /* PBS_SMOOTH */, {14, 79, 195, 13}},
      {1003, "STATIC", "", child | WS_GROUP | SS_LEFT, {76, 63, 133, 8}},
      {-1, "BUTTON", "", child | BS_GROUPBOX, {4, 0, 223, 110}},
      {-1, "STATIC", "Progress Status :", child | WS_GROUP | SS_LEFT, {14, 63, 62, 8}},
      {1001, "STATIC", "", child | WS_GROUP | SS_LEFT, {9, 16, 129, 8}},
      {1002, "STATIC", "", child | WS_GROUP | SS_LEFT, {42, 33, 133, 8}},
      {-1, "BUTTON", "", child | BS_GROUPBOX, {8, 50, 213, 50}},
  };
  EXPECT_EQ(expected, d.controls);
}

TEST_F(InstallerResourcesTest, PortDialog) {
  Dialog d;
  ASSERT_TRUE(m_res.DialogTemplate(130, &d)) << m_res.Error();
  EXPECT_EQ((DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), d.style);
  EXPECT_EQ(0u, d.style & WS_VISIBLE);
  EXPECT_EQ((std::vector<int>{0, 0, 174, 98}), d.rect);
  EXPECT_EQ("Select Port Type", d.title);
  EXPECT_EQ("MS Sans Serif", d.font);
  EXPECT_EQ(8, d.pointSize);
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const DWORD radio = child | BS_AUTORADIOBUTTON;
  const std::vector<Control> expected = {
      {IDOK, "BUTTON", "&Next", child | WS_TABSTOP | BS_DEFPUSHBUTTON, {112, 65, 52, 24}},
      {-1, "BUTTON", "Serial Port", child | BS_GROUPBOX, {7, 7, 100, 51}},
      {1006, "BUTTON", "COM1", radio | WS_GROUP, {15, 23, 37, 12}},
      {1008, "BUTTON", "COM2", radio, {15, 38, 39, 12}},
      {1009, "BUTTON", "COM3", radio, {59, 23, 39, 12}},
      {1011, "BUTTON", "COM4", radio, {59, 38, 38, 12}},
      {-1, "BUTTON", "Parallel Port", child | BS_GROUPBOX, {111, 7, 56, 51}},
      {1007, "BUTTON", "LPT1", radio, {121, 24, 37, 12}},
      {1010, "BUTTON", "LPT2", radio, {121, 39, 39, 12}},
      {-1, "BUTTON", "USB Port", child | BS_GROUPBOX, {7, 59, 100, 33}},
      {1000, "BUTTON", "USB", radio, {13, 73, 48, 8}},
  };
  EXPECT_EQ(expected, d.controls);
}

TEST_F(InstallerResourcesTest, IconGroup) {
  std::vector<IconImage> images;
  ASSERT_TRUE(m_res.IconGroup(128, &images)) << m_res.Error();
  ASSERT_EQ(2u, images.size());
  for (const IconImage& image : images) {
    SCOPED_TRACE(image.width);
    EXPECT_EQ(image.width, image.height);
    EXPECT_EQ(24, image.bitCount);
    EXPECT_TRUE(image.imagePresent) << "RT_ICON " << image.id;
    EXPECT_EQ(24, image.headerBitCount);
    EXPECT_EQ(image.width, image.headerWidth);
  }
  EXPECT_EQ(32, images[0].width);
  EXPECT_EQ(16, images[1].width);
}

TEST_F(InstallerResourcesTest, VersionBlock) {
  VersionInfo v;
  ASSERT_TRUE(m_res.Version(&v)) << m_res.Error();
  EXPECT_EQ((std::vector<WORD>{4, 6, 64, 0}), v.fileVersion);
  EXPECT_EQ((std::vector<WORD>{4, 6, 64, 0}), v.productVersion);
  EXPECT_EQ(kVosWindows32, v.fileOs);
  EXPECT_EQ(kVftApp, v.fileType);
  EXPECT_EQ(0u, v.fileSubtype);
  EXPECT_EQ(0x3Fu, v.flagsMask);
  EXPECT_EQ(0u, v.flags);
  const std::map<std::string, std::string> strings = {
      {"CompanyName", "VELKORA"},           {"FileDescription", "VELKORA Printer Driver Installer"},
      {"FileVersion", "4.6.64.0"},          {"InternalName", "VELKORA Printer Driver Installer"},
      {"OriginalFilename", "drvsetup.exe"}, {"ProductName", "VELKORA KVL-M720 Printer Driver"},
      {"ProductVersion", "4.6.64.0"},
  };
  EXPECT_EQ("040904e4", v.stringTable);
  EXPECT_EQ(strings, v.strings);
  EXPECT_EQ((std::vector<DWORD>{0x04E40409}), v.translations);
}

}  // namespace
