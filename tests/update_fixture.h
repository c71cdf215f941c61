#pragma once
// The update run's tests: a view that records what the run tells it, and a
// package tree and a host tree in a fresh scratch folder, with the run's
// state pointed at them and put back afterwards.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"
#include "fileio/pak_writer.h"
#include "test_support.h"
#include "update/run_state.h"
#include "update/update_run.h"

namespace zet::test {

using Strings = std::vector<std::string>;

// Every file below root, by its relative path with '/', with its bytes.
inline std::map<std::string, std::string> TreeBytes(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> files;
  std::error_code ec;
  // Stops at a path the system cannot name (the tree copy's deepest test).
  for (fs::recursive_directory_iterator it(fs::path(root), ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) files[it->path().lexically_relative(root).generic_string()] = ReadBytes(it->path().string());
  return files;
}

// Everything below root a run or an undo may change, one line per entry:
// each folder, each file with its permission bits, time and bytes, and with
// folderTimes the folders' times too (an undo gives back the files' times,
// not those of the folders it wrote in).
inline std::string TreeState(const std::string& root, bool folderTimes) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> entries;
  for (fs::recursive_directory_iterator it{fs::path(root)}, end; it != end; ++it) {
    const fs::file_status status = it->symlink_status();
    std::string line = std::to_string(static_cast<int>(status.type())) + " " +
                       std::to_string(static_cast<unsigned>(status.permissions()));
    if (folderTimes || !fs::is_directory(status))
      line += " " + std::to_string(fs::last_write_time(it->path()).time_since_epoch().count());
    if (fs::is_regular_file(status)) line += " " + ReadBytes(it->path().string());
    entries[it->path().lexically_relative(root).generic_string()] = line;
  }
  std::string state;
  for (const auto& [path, line] : entries) state += path + " " + line + "\n";
  return state;
}

// The run journal in a folder of the test's own while it lives: tests never
// write to the user's.
struct JournalIn : ScopedEnv {
  explicit JournalIn(const std::string& folder) : ScopedEnv("ZETVELTRAN_JOURNAL_DIR", folder.c_str()) {}
};

// Lines joined with CR LF, each line ended.
inline std::string Lines(const Strings& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}

// A text as UTF-16 with its mark: a host file from which no section can be read.
inline std::string Utf16(const std::string& text) {
  std::string wide = "\xFF\xFE";
  for (char c : text) wide += std::string(1, c) + '\0';
  return wide;
}

// The name of the last section of a written file.
inline std::string LastSectionName(const std::string& text) {
  const size_t at = text.rfind("\r\n[");
  return text.substr(at + 3, text.find(']', at) - at - 3);
}

// Records what the run tells its view: the phases in order, the units
// found, and the target file the run was handling at each step of the bar.
class RecordingView : public UpdateView {
 public:
  void CountingStarted() override { phases.push_back("counting"); }
  void Counted(int units) override { found = units; }
  void WorkStarted(int units) override {
    phases.push_back("working");
    total = units;
  }
  void Stepped() override { stepped.push_back(g_TargetFile); }
  void RunEnded(const RunReport& report) override {
    phases.push_back("ended");
    message = CompletionMessage(report);
  }

  Strings phases;
  int found = 0;
  int total = 0;
  Strings stepped;  // g_TargetFile at each step
  std::string message;
};

class UpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUpdateRunState();
    ResetFileSlots();
    ResetPakSlots();
    MakeFolders(t / "pkg/RESOURCEN");
    MakeFolders(t / "host/RESOURCEN");
    source = g_SourceRoot = ProgramPath(t, "pkg/RESOURCEN");
    target = g_TargetRoot = ProgramPath(t, "host/RESOURCEN");
  }
  void TearDown() override {
    ResetUpdateRunState();
    ResetPakSlots();
    ResetFileSlots();
  }

  // resourcen.pak beside the package, listing the names given; open as the
  // run's archive when open is set.
  void PackageArchive(const Strings& names, bool open = false) {
    std::vector<PakWriteEntry> entries;
    for (const std::string& n : names) entries.push_back({n, "packed " + n, ""});
    std::string error;
    ASSERT_TRUE(WritePak(ProgramPath(t, "pkg/resourcen.pak"), entries, error)) << error;
    if (open) {
      ASSERT_GE(g_PakHandle = OpenPak(ProgramPath(t, "pkg/resourcen.pak"), kPakFileFlags), 0);
    }
  }

  void Package(const std::string& relative, const std::string& bytes) { WriteBytes(t / ("pkg/RESOURCEN/" + relative), bytes); }
  void Host(const std::string& relative, const std::string& bytes) { WriteBytes(t / ("host/RESOURCEN/" + relative), bytes); }
  std::string HostBytes(const std::string& relative) { return ReadBytes(t / ("host/RESOURCEN/" + relative)); }
  std::string PackageBytes(const std::string& relative) { return ReadBytes(t / ("pkg/RESOURCEN/" + relative)); }
  // The program's path of a file below the host tree.
  std::string HostPath(const std::string& relative) { return ProgramPath(t, "host/RESOURCEN/" + relative); }

  // Every file below a folder of the scratch tree, relative with '/', sorted.
  Strings FilesBelow(const std::string& relative) {
    Strings files;
    for (const auto& file : TreeBytes(t / relative)) files.push_back(file.first);
    return files;
  }
  Strings HostFiles() { return FilesBelow("host/RESOURCEN"); }

  // A step of the run in both its passes, pass(counting), as the run makes
  // them, with a fresh view: the counting pass changes no file, and both
  // count the same units. Returns that count.
  template <class Pass>
  int BothPasses(Pass pass) {
    view = RecordingView();
    g_UpdateDialog = &view;
    g_ProgressCount = 0;
    const auto before = TreeBytes(t.path());
    pass(true);
    const int counted = g_ProgressCount;
    EXPECT_TRUE(TreeBytes(t.path()) == before) << "the counting pass changed a file";
    EXPECT_TRUE(view.stepped.empty()) << "the counting pass stepped the bar";
    g_ProgressCount = 0;
    pass(false);
    EXPECT_EQ(g_ProgressCount, counted) << "the passes disagree";
    return counted;
  }

  TempDir t;
  std::string source;
  std::string target;
  RecordingView view;
};

}  // namespace zet::test
