#include "core/faults.h"
#include "sim_machine.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/journal.h"

std::string MakeTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "winsim-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  return tmpl;
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  // Read-only files and folders of the simulation are owner-write-less; the
  // host removes them anyway.
  std::filesystem::remove_all(path, ec);
}

SimMachine::SimMachine(const std::string& os) {
  m_dir = MakeTempDir() + "/machine";
  winsim::Faults::Set("");
  winsim::Machine::Create(m_dir, os);
  winsim::Machine::Open(m_dir);
}

SimMachine::~SimMachine() {
  winsim::Machine::Close(false);
  winsim::Faults::Set("");
  RemoveTree(m_dir.substr(0, m_dir.rfind('/')));
}

::testing::AssertionResult SimMachine::SetIni(const std::string& section, const std::string& key,
                                              const std::string& value) {
  winsim::Machine::Close(true);
  winsim::IniFile ini;
  std::string error;
  if (!ini.Load(m_dir + "/machine.ini", &error)) return ::testing::AssertionFailure() << error;
  ini.Set(section, key, value);
  if (!ini.Save(m_dir + "/machine.ini"))
    return ::testing::AssertionFailure() << "cannot write " << m_dir << "/machine.ini";
  winsim::Machine::Open(m_dir);
  return ::testing::AssertionSuccess();
}

void SimMachine::Restart() {
  winsim::Machine::Close(true);
  winsim::Machine::Open(m_dir);
}

std::string SimMachine::ReadFile(const std::string& file) const {
  winsim::Journal::Flush();
  std::ifstream in(m_dir + "/" + file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
