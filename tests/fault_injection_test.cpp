// Writes that fail part way. The console program runs in a child process
// whose files may not grow beyond a given size (RLIMIT_FSIZE, with SIGXFSZ
// ignored, so that a write past the limit fails instead of ending the
// process). Limits are chosen just below and at half of the size of every
// file the run writes, so that each write fails once at its end and once in
// its middle. Whatever the limit, every host file must hold either its old
// bytes or the bytes a run without a limit gives it, no temporary file may be
// left behind, the run must end with its summary, and every file it left
// undone must be listed there with exit status 1.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "update_fixture.h"

namespace zet {
namespace {

namespace fs = std::filesystem;
using test::WriteBytes;

using test::TreeBytes;
using Snapshot = std::map<std::string, std::string>;

void CopyTree(const std::string& from, const std::string& to) {
  fs::create_directories(fs::path(to).parent_path());
  fs::copy(from, to, fs::copy_options::recursive);
}

struct Outcome {
  int status = -1;  // exit status; -1 when the program did not exit by itself
  std::string output;
};

// Runs the console program with a limit on the size of the files it writes
// (none when limit < 0).
Outcome RunLimited(const std::vector<std::string>& args, long limit) {
  const std::string program = test::BuildTreePath(ZET_CLI_PATH);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeEnds[1], 1);
    ::dup2(pipeEnds[1], 2);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    if (limit >= 0) {
      struct rlimit r = {static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
      ::setrlimit(RLIMIT_FSIZE, &r);
      ::signal(SIGXFSZ, SIG_IGN);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeEnds[1]);
  Outcome outcome;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) outcome.output.append(buffer, n);
  ::close(pipeEnds[0]);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  return outcome;
}

// The sample package of examples/ (plain files, its archive, category files,
// index trees, user categories, both texture lists) and the sample host, which
// has some of the catalogue files to merge into and lacks others; and a large
// plain file.
void MakeTrees(const std::string& package, const std::string& host) {
  const std::string examples = std::string(ZET_SOURCE_DIR) + "/examples";
  fs::copy(examples + "/package", fs::path(package).parent_path(), fs::copy_options::recursive);
  fs::copy(examples + "/host", fs::path(host).parent_path(), fs::copy_options::recursive);
  WriteBytes(package + "/Modelle/Loks/BR218_big.bmp", std::string(40000, 'b'));
}

// The limits: just below and at half of the length of every file that a
// run writes, and none at all.
std::set<long> Limits(const Snapshot& before, const Snapshot& after) {
  std::set<long> limits{0, 1};
  for (const auto& [path, bytes] : after) {
    auto old = before.find(path);
    if (old != before.end() && old->second == bytes) continue;
    limits.insert(static_cast<long>(bytes.size()) - 1);
    limits.insert(static_cast<long>(bytes.size()) / 2);
  }
  return limits;
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

TEST(FaultInjection, EveryHostFileIsOldOrNewWhereverWritesFail) {
  test::TempDir t;
  const std::string package = t / "package/RESOURCEN";
  const std::string pristine = t / "pristine/RESOURCEN";
  MakeTrees(package, pristine);
  const Snapshot before = TreeBytes(pristine);

  // What a run without a limit makes of the host.
  const std::string full = t / "full/RESOURCEN";
  CopyTree(pristine, full);
  Outcome unlimited = RunLimited({"--quiet", "--no-scan", package, full}, -1);
  ASSERT_EQ(unlimited.status, 0) << unlimited.output;
  const Snapshot done = TreeBytes(full);
  const std::set<long> limits = Limits(before, done);
  ASSERT_GE(limits.size(), 10u);

  int failedRuns = 0;
  for (long limit : limits) {
    SCOPED_TRACE("file size limit " + std::to_string(limit));
    const std::string host = t / ("run" + std::to_string(limit) + "/RESOURCEN");
    CopyTree(pristine, host);
    Outcome run = RunLimited({"--quiet", "--no-scan", package, host}, limit);
    ASSERT_TRUE(run.status == 0 || run.status == 1) << run.output;
    EXPECT_NE(run.output.find("Failures:"), std::string::npos) << run.output;

    const Snapshot after = TreeBytes(host);
    std::vector<std::string> undone;
    std::set<std::string> paths;
    for (const Snapshot* s : {&before, &done, &after})
      for (const auto& entry : *s) paths.insert(entry.first);
    for (const std::string& path : paths) {
      auto now = after.find(path), old = before.find(path), made = done.find(path);
      const bool asOld = now == after.end() ? old == before.end() : old != before.end() && now->second == old->second;
      const bool asNew = now == after.end() ? made == done.end() : made != done.end() && now->second == made->second;
      EXPECT_TRUE(asOld || asNew) << path << " is neither the host's old file nor the run's new one";
      if (!asNew) undone.push_back(path);
    }
    if (undone.empty()) {
      EXPECT_EQ(run.status, 0) << run.output;
      continue;
    }
    ++failedRuns;
    EXPECT_EQ(run.status, 1) << run.output;
    for (const std::string& path : undone)
      EXPECT_NE(run.output.find(FileName(path)), std::string::npos) << path << " left undone but not reported\n"
                                                                     << run.output;
    fs::remove_all(fs::path(host).parent_path());
  }
  EXPECT_GE(failedRuns, static_cast<int>(limits.size()) - 2);
}

}  // namespace
}  // namespace zet
