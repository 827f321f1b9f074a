// A fresh simulated machine in a temporary folder, open for the test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/machine.h"

class SimMachine {
 public:
  // Creates a machine of a kind `winsim new` knows and opens it.
  explicit SimMachine(const std::string& os = "xp");
  ~SimMachine();
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  const std::string& dir() const { return m_dir; }
  std::string Path(const std::string& file) const { return m_dir + "/" + file; }
  // Changes a machine.ini setting and reopens the machine, as a new process
  // would see it. Check it with ASSERT_TRUE.
  ::testing::AssertionResult SetIni(const std::string& section, const std::string& key, const std::string& value);
  // Writes the machine back and opens it again: a process exit and a start.
  void Restart();
  // The whole content of a file of the machine directory.
  std::string ReadFile(const std::string& file) const;

 private:
  std::string m_dir;
};

// Makes a fresh temporary folder and returns its path.
std::string MakeTempDir();
void RemoveTree(const std::string& path);
