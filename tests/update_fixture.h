#pragma once
// A package tree and a host tree in a fresh scratch folder, with the update
// run's state pointed at them and put back afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"
#include "fileio/pak_writer.h"
#include "test_support.h"
#include "update/update_run.h"

namespace zet::test {

class UpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUpdateRunState();
    ResetFileSlots();
    ResetPakSlots();
    MakeFolders(t / "pkg/RESOURCEN");
    MakeFolders(t / "host/RESOURCEN");
    source = ProgramPath(t, "pkg/RESOURCEN");
    target = ProgramPath(t, "host/RESOURCEN");
    g_SourceRoot = source;
    g_TargetRoot = target;
  }
  void TearDown() override {
    ResetUpdateRunState();
    ResetPakSlots();
    ResetFileSlots();
  }

  // resourcen.pak beside the package, listing the names given.
  void PackageArchive(const std::vector<std::string>& names) {
    std::vector<PakWriteEntry> entries;
    for (const std::string& n : names) entries.push_back({n, "packed " + n, ""});
    std::string error;
    ASSERT_TRUE(WritePak(ProgramPath(t, "pkg/resourcen.pak"), entries, error)) << error;
  }

  void Package(const std::string& relative, const std::string& bytes) {
    WriteBytes(t / ("pkg/RESOURCEN/" + relative), bytes);
  }
  void Host(const std::string& relative, const std::string& bytes) {
    WriteBytes(t / ("host/RESOURCEN/" + relative), bytes);
  }
  std::string HostBytes(const std::string& relative) { return ReadBytes(t / ("host/RESOURCEN/" + relative)); }
  std::string PackageBytes(const std::string& relative) { return ReadBytes(t / ("pkg/RESOURCEN/" + relative)); }

  // Every file below a folder of the scratch tree, relative with '/', sorted.
  std::vector<std::string> FilesBelow(const std::string& relative) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    fs::path root(t / relative);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it) {
      if (!it->is_regular_file()) continue;
      std::string r = fs::relative(it->path(), root).generic_string();
      files.push_back(r);
    }
    std::sort(files.begin(), files.end());
    return files;
  }
  std::vector<std::string> HostFiles() { return FilesBelow("host/RESOURCEN"); }

  // The program's path of a file below the host tree.
  std::string HostPath(const std::string& relative) { return ProgramPath(t, "host/RESOURCEN/" + relative); }

  TempDir t;
  std::string source;
  std::string target;
};

}  // namespace zet::test
