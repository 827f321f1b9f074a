// The Wine runs' eyes inside the prefix, one tab-separated line an item.
//
// e2e_probe.exe [--values LABEL KEY]... [--key LABEL KEY]...: what the
// spooler and the plug-and-play manager hold, and the keys of HKLM named
//   printer <name> <driver> <port>
//   driver <name> <driver module>      (environment "Windows x64", or
//                                      "Windows NT x86" when built 32-bit)
//   monitor <name> <module>
//   device <instance id> <first hardware id>     (the USB enumerator's)
//   value <label> <name> <data>        each value of KEY by name, numbers
//                                      in decimal (--values)
//   key <label> present|absent         whether KEY is there (--key)
// e2e_probe.exe devices: the device lines alone
// e2e_probe.exe device-add INSTANCE_ID HARDWARE_ID: registers a device node
//   of the USB class, as plug and play leaves one for a connected device
// e2e_probe.exe watch TITLE[=CONTROL_ID]... [--until FILE]: "watching",
//   then what the programs show, polled every 30 ms, until FILE exists
//   (without --until: until the first TITLE's window has come and gone):
//   status <text>              a new text of a static control of a window
//                              TITLE (only the control CONTROL_ID if given)
//                              that two polls in a row found, or that
//                              stood when a message box came up
//   box <caption> <text>       a message box of another process
//   Carriage returns, line feeds and tabs inside texts are written \r, \n, \t.
// Exits 1 when a list cannot be read or a call fails.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winspool.h>
#include <setupapi.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

// Calls fill(buffer, size, &needed, &count) with a buffer grown to what the
// spooler asks for; returns the buffer (free() it) or NULL.
template <typename Fill>
static BYTE* ReadList(Fill fill, DWORD* pCount) {
  DWORD needed = 0;
  *pCount = 0;
  fill(NULL, 0, &needed, pCount);
  if (needed == 0) needed = 1;
  BYTE* buffer = static_cast<BYTE*>(calloc(needed, 1));
  if (!buffer) return NULL;
  if (!fill(buffer, needed, &needed, pCount)) {
    fprintf(stderr, "error %lu\n", GetLastError());
    free(buffer);
    return NULL;
  }
  return buffer;
}

static const char* Text(const char* text) { return text ? text : ""; }

static const char* BaseName(const char* path) {
  const char* slash = path ? strrchr(path, '\\') : NULL;
  return slash ? slash + 1 : Text(path);
}

static int Usage() {
  fprintf(stderr,
          "usage: e2e_probe.exe [--values LABEL KEY]... [--key LABEL KEY]...\n"
          "       e2e_probe.exe devices | device-add INSTANCE_ID HARDWARE_ID\n"
          "       e2e_probe.exe watch TITLE[=CONTROL_ID]... [--until FILE]\n");
  return 2;
}

static int ListSpooler() {
  DWORD count = 0;
  BYTE* printers = ReadList(
      [](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, size, needed, returned);
      },
      &count);
  if (!printers) return 1;
  const PRINTER_INFO_2A* printer = reinterpret_cast<PRINTER_INFO_2A*>(printers);
  for (DWORD i = 0; i < count; i++)
    printf("printer\t%s\t%s\t%s\n", Text(printer[i].pPrinterName), Text(printer[i].pDriverName),
           Text(printer[i].pPortName));
  free(printers);

#ifdef _WIN64
  char environment[] = "Windows x64";
#else
  char environment[] = "Windows NT x86";
#endif
  BYTE* drivers = ReadList(
      [&environment](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrinterDriversA(NULL, environment, 2, buffer, size, needed, returned);
      },
      &count);
  if (!drivers) return 1;
  const DRIVER_INFO_2A* driver = reinterpret_cast<DRIVER_INFO_2A*>(drivers);
  for (DWORD i = 0; i < count; i++) printf("driver\t%s\t%s\n", Text(driver[i].pName), BaseName(driver[i].pDriverPath));
  free(drivers);

  BYTE* monitors = ReadList([](BYTE* buffer, DWORD size, DWORD* needed,
                               DWORD* returned) { return EnumMonitorsA(NULL, 2, buffer, size, needed, returned); },
                            &count);
  if (!monitors) return 1;
  const MONITOR_INFO_2A* monitor = reinterpret_cast<MONITOR_INFO_2A*>(monitors);
  for (DWORD i = 0; i < count; i++) printf("monitor\t%s\t%s\n", Text(monitor[i].pName), Text(monitor[i].pDLLName));
  free(monitors);
  return 0;
}

// The values of HKLM\<path> (path given with or without "HKLM\"), sorted by
// name; *pFound tells whether the key is there.
static std::vector<std::string> KeyValues(const char* label, const char* path, bool* pFound) {
  std::vector<std::string> lines;
  if (_strnicmp(path, "HKLM\\", 5) == 0) path += 5;
  HKEY key = NULL;
  *pFound = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (!*pFound) return lines;
  for (DWORD i = 0;; ++i) {
    char name[256];
    BYTE data[2048];
    DWORD cchName = sizeof name, cbData = sizeof data - 1, type = 0;
    LONG status = RegEnumValueA(key, i, name, &cchName, NULL, &type, data, &cbData);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) continue;
    data[cbData] = 0;
    std::string line = std::string("value\t") + label + "\t" + name + "\t";
    if (type == REG_DWORD && cbData == 4) {
      DWORD number = 0;
      memcpy(&number, data, 4);
      line += std::to_string(number);
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
      // Bytes outside printable ASCII as \xNN: what a failed call left in a
      // buffer may be anything.
      static const char kDigits[] = "0123456789ABCDEF";
      for (const BYTE* p = data; *p; ++p) {
        if (*p >= 0x20 && *p < 0x7F) {
          line += static_cast<char>(*p);
        } else {
          line += "\\x";
          line += kDigits[*p >> 4];
          line += kDigits[*p & 15];
        }
      }
    } else {
      line += "(type " + std::to_string(type) + ")";
    }
    lines.push_back(line);
  }
  RegCloseKey(key);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The USB device setup class.
static const GUID kUsbClass = {0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

static int Failed(const char* what) {
  fprintf(stderr, "%s failed: error %lu\n", what, GetLastError());
  return 1;
}

static int AddDevice(const char* instanceId, const char* hardwareId) {
  HDEVINFO set = SetupDiCreateDeviceInfoList(&kUsbClass, NULL);
  if (set == INVALID_HANDLE_VALUE) return Failed("SetupDiCreateDeviceInfoList");
  SP_DEVINFO_DATA data;
  memset(&data, 0, sizeof data);
  data.cbSize = sizeof data;
  int status = 0;
  // The hardware id as a multi-string: the id, then the closing empty string.
  std::string ids(hardwareId);
  ids.append(2, '\0');
  if (!SetupDiCreateDeviceInfoA(set, instanceId, &kUsbClass, NULL, NULL, 0, &data))
    status = Failed("SetupDiCreateDeviceInfoA");
  else if (!SetupDiSetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                                              static_cast<DWORD>(ids.size())))
    status = Failed("SetupDiSetDeviceRegistryPropertyA");
  else if (!SetupDiRegisterDeviceInfo(set, &data, 0, NULL, NULL, NULL))
    status = Failed("SetupDiRegisterDeviceInfo");
  SetupDiDestroyDeviceInfoList(set);
  return status;
}

static int ListDevices() {
  HDEVINFO set = SetupDiGetClassDevsA(NULL, "USB", NULL, DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) return Failed("SetupDiGetClassDevsA");
  int status = 0;
  for (DWORD i = 0;; ++i) {
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInfo(set, i, &data)) {
      if (GetLastError() != ERROR_NO_MORE_ITEMS) status = Failed("SetupDiEnumDeviceInfo");
      break;
    }
    char instance[256] = "";
    BYTE ids[1024] = {0};
    DWORD type = 0;
    if (!SetupDiGetDeviceInstanceIdA(set, &data, instance, sizeof instance, NULL))
      status = Failed("SetupDiGetDeviceInstanceIdA");
    // A node without hardware ids is listed with an empty one.
    if (!SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, &type, ids, sizeof ids - 2, NULL)) ids[0] = 0;
    printf("device\t%s\t%s\n", instance, reinterpret_cast<const char*>(ids));
  }
  SetupDiDestroyDeviceInfoList(set);
  return status;
}

// Text with its line ends and tabs made visible.
static std::string Visible(const char* text) {
  std::string s;
  for (const char* p = text; *p; ++p) {
    if (*p == '\r')
      s += "\\r";
    else if (*p == '\n')
      s += "\\n";
    else if (*p == '\t')
      s += "\\t";
    else
      s += *p;
  }
  return s;
}

static std::string WindowText(HWND window) {
  char text[2048] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

static std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

// A text counts as shown once two polls in a row have found it: one that
// stands for less (replaced at once, or its window going with its process)
// is not seen, unless a message box came up over it.
struct ControlText {
  std::string shown;
  std::string candidate;
  int polls = 0;
};

// A window watched for its status texts, and what its controls showed.
struct Watched {
  std::string title;
  int control;  // -1: every static control
  std::map<int, ControlText> controls;
};

struct StaticTexts {
  const Watched* watched;
  std::vector<std::pair<int, std::string>> texts;
};

static BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
  StaticTexts* found = reinterpret_cast<StaticTexts*>(param);
  int id = GetDlgCtrlID(child);
  if (lstrcmpiA(ClassOf(child).c_str(), "Static") == 0 &&
      (found->watched->control < 0 || id == found->watched->control))
    found->texts.push_back(std::make_pair(id, WindowText(child)));
  return TRUE;
}

// A message box: a shown top-level dialog of another process with a caption,
// holding only statics and buttons, its text in the static 0xFFFF.
struct BoxLook {
  bool otherControl;
  bool hasText;
  std::string text;
};

static BOOL CALLBACK LookAtBoxChild(HWND child, LPARAM param) {
  BoxLook* look = reinterpret_cast<BoxLook*>(param);
  std::string name = ClassOf(child);
  if (lstrcmpiA(name.c_str(), "Static") == 0) {
    if ((GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF) {
      look->hasText = true;
      look->text = WindowText(child);
    }
  } else if (lstrcmpiA(name.c_str(), "Button") != 0) {
    look->otherControl = true;
  }
  return TRUE;
}

struct Boxes {
  std::vector<std::pair<HWND, std::string>> found;
};

static BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
  Boxes* boxes = reinterpret_cast<Boxes*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() || !IsWindowVisible(window) || ClassOf(window) != "#32770") return TRUE;
  std::string caption = WindowText(window);
  if (caption.empty()) return TRUE;
  BoxLook look = {false, false, std::string()};
  EnumChildWindows(window, LookAtBoxChild, reinterpret_cast<LPARAM>(&look));
  if (look.hasText && !look.otherControl && !look.text.empty())
    boxes->found.push_back(std::make_pair(window, Visible(caption.c_str()) + "\t" + Visible(look.text.c_str())));
  return TRUE;
}

static void Show(ControlText* c) {
  if (c->candidate == c->shown) return;
  c->shown = c->candidate;
  if (!c->shown.empty()) printf("status\t%s\n", Visible(c->shown.c_str()).c_str());
}

// Reads the watched controls; with bBoxCame, what they hold now counts as
// shown (it stood when the box came up).
static void PrintNewStatus(std::vector<Watched>* watched, bool bBoxCame) {
  for (Watched& w : *watched) {
    HWND window = FindWindowA(NULL, w.title.c_str());
    if (!window) {
      // The next window of the title belongs to another run.
      w.controls.clear();
      continue;
    }
    StaticTexts found = {&w, {}};
    EnumChildWindows(window, CollectStatic, reinterpret_cast<LPARAM>(&found));
    for (const auto& t : found.texts) {
      ControlText& c = w.controls[t.first];
      if (t.second == c.candidate) {
        ++c.polls;
      } else {
        c.candidate = t.second;
        c.polls = 1;
      }
      if (c.polls >= 2 || bBoxCame) Show(&c);
    }
  }
}

static int Watch(int argc, char** argv) {
  std::vector<Watched> watched;
  const char* until = NULL;
  for (int i = 2; i < argc; ++i) {
    if (strcmp(argv[i], "--until") == 0 && i + 1 < argc) {
      until = argv[++i];
      continue;
    }
    Watched w;
    w.title = argv[i];
    w.control = -1;
    size_t equals = w.title.rfind('=');
    if (equals != std::string::npos) {
      w.control = atoi(w.title.c_str() + equals + 1);
      w.title.resize(equals);
    }
    watched.push_back(w);
  }
  if (watched.empty()) return Usage();
  // The caller waits for this line before it starts the program.
  printf("watching\n");
  fflush(stdout);
  std::set<HWND> boxesShown;
  bool seen = false;
  for (;;) {
    bool stop = until ? GetFileAttributesA(until) != INVALID_FILE_ATTRIBUTES : false;
    // The boxes first, the statics after: a text set before a box came up
    // is then printed before the box.
    Boxes boxes;
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&boxes));
    bool boxCame = false;
    for (const auto& b : boxes.found) boxCame = boxCame || boxesShown.count(b.first) == 0;
    PrintNewStatus(&watched, boxCame);
    std::set<HWND> now;
    for (const auto& b : boxes.found) {
      now.insert(b.first);
      if (boxesShown.count(b.first) == 0) printf("box\t%s\n", b.second.c_str());
    }
    boxesShown.swap(now);
    fflush(stdout);
    if (!until) {
      bool there = FindWindowA(NULL, watched[0].title.c_str()) != NULL;
      stop = seen && !there;
      seen = seen || there;
    }
    if (stop) return 0;
    Sleep(30);
  }
}

static int ListAll(int argc, char** argv) {
  for (int i = 1; i < argc; i += 3)
    if (i + 2 >= argc || (strcmp(argv[i], "--values") != 0 && strcmp(argv[i], "--key") != 0)) return Usage();
  if (ListSpooler() != 0 || ListDevices() != 0) return 1;
  for (int i = 1; i < argc; i += 3) {
    bool found = false;
    std::vector<std::string> lines = KeyValues(argv[i + 1], argv[i + 2], &found);
    if (strcmp(argv[i], "--key") == 0)
      printf("key\t%s\t%s\n", argv[i + 1], found ? "present" : "absent");
    else
      for (const std::string& line : lines) printf("%s\n", line.c_str());
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 1) return ListSpooler();
  if (strncmp(argv[1], "--", 2) == 0) return ListAll(argc, argv);
  if (strcmp(argv[1], "devices") == 0 && argc == 2) return ListDevices();
  if (strcmp(argv[1], "device-add") == 0 && argc == 4) return AddDevice(argv[2], argv[3]);
  if (strcmp(argv[1], "watch") == 0) return Watch(argc, argv);
  return Usage();
}
