#pragma once
// Helpers shared by the tests: scratch folders and whole-file reads and writes.
// Paths are the program's own (backslash inside, see platform.h).

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace zet::test {

// A fresh folder for one test, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() joined with a relative path written with '/' or '\'.
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

// Writes bytes to a file, creating its folders.
void WriteBytes(const std::string& path, const std::string& bytes);
// The whole file, or "<missing>" when it cannot be read.
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
void MakeFolders(const std::string& path);

// A fixture file of tests/data, as a path the program under test can open.
std::string DataPath(const std::string& relative);

// A file of the build tree (a program the test starts, say), as a path the
// program under test can use: under Wine, the Linux path seen through Z:.
std::string BuildTreePath(const std::string& path);

// dir's path joined with a relative path written with '/', spelled as the
// program spells paths (backslash separators).
std::string ProgramPath(const TempDir& dir, const std::string& relative);

// Joins with the program's separator.
std::string Join(const std::string& a, const std::string& b);

// UTF-16LE bytes of the text, without a byte-order mark.
std::string Utf16Le(const std::u16string& text);

// The names in a folder, sorted: to see that no temporary file is left.
std::vector<std::string> Listing(const std::string& folder);

// An environment variable set to value (unset for null) while this lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, saved_;
  bool had_ = false;
};

// A test of the file and archive slots: every slot is closed and both hooks
// are the defaults before and after it. RecordFailures() installs a failure
// hook that logs each report in calls_ and asks for a retry of the first
// `retries` of them.
class SlotTest : public ::testing::Test {
 protected:
  using Call = std::tuple<int, std::string, std::string>;
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset();
  void RecordFailures(int retries = 0);
  // The program's own spelling of a path below dir_.
  std::string P(const std::string& relative) const { return ProgramPath(dir_, relative); }

  TempDir dir_;
  std::vector<Call> calls_;
  int retries_ = 0;
};

}  // namespace zet::test
