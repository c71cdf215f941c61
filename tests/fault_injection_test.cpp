// Writes that fail part way, and runs that end part way. The console program
// runs in a child process whose files may not grow beyond a given size
// (RLIMIT_FSIZE, with SIGXFSZ ignored, so that a write past the limit fails
// instead of ending the process). Limits are chosen just below and at half of
// the size of every file the run writes, so that each write fails once at its
// end and once in its middle. Whatever the limit, every host file must hold
// either its old bytes or the bytes a run without a limit gives it, no
// temporary file may be left behind, the run must end with its summary, and
// every file it left undone must be listed there with exit status 1.
//
// Then the program is ended from outside at many points of a large run: by
// SIGKILL, by SIGINT (a stop between files, with the summary), and by a file
// size limit with SIGXFSZ at its default action, which the program sets
// aside so that the write fails and is listed. No name may ever hold part of
// a file; an undo then
// gives the host tree back as it was (files, folders, permission bits), and
// the next run completes the install.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
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

struct Ending {
  int signal = 0;     // sent after delay; none when 0
  std::chrono::microseconds delay{0};
  bool fileSizeSignal = false;  // SIGXFSZ at its default action: a write past the limit ends the process
};

// Runs the console program with a limit on the size of the files it writes
// (none when limit < 0), ended from outside as asked.
Outcome RunLimited(const std::vector<std::string>& args, long limit, const Ending& ending = {}) {
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
      ::signal(SIGXFSZ, ending.fileSizeSignal ? SIG_DFL : SIG_IGN);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeEnds[1]);
  if (ending.signal != 0 && pid > 0) {
    std::this_thread::sleep_for(ending.delay);
    ::kill(pid, ending.signal);
  }
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
  // The journal's own writes are not the subject here.
  Outcome unlimited = RunLimited({"--quiet", "--no-scan", "--no-journal", package, full}, -1);
  ASSERT_EQ(unlimited.status, 0) << unlimited.output;
  const Snapshot done = TreeBytes(full);
  const std::set<long> limits = Limits(before, done);
  ASSERT_GE(limits.size(), 10u);

  int failedRuns = 0;
  for (long limit : limits) {
    SCOPED_TRACE("file size limit " + std::to_string(limit));
    const std::string host = t / ("run" + std::to_string(limit) + "/RESOURCEN");
    CopyTree(pristine, host);
    Outcome run = RunLimited({"--quiet", "--no-scan", "--no-journal", package, host}, limit);
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

// The host's files that are the program's temporary ones.
std::vector<std::string> Temporaries(const Snapshot& tree) {
  std::vector<std::string> found;
  for (const auto& entry : tree)
    if (platform::IsOwnTemporaryName(FileName(entry.first))) found.push_back(entry.first);
  return found;
}

TEST(FaultInjection, ARunEndedAtAnyPointLeavesWholeFilesIsUndoneAndTheNextRunCompletesIt) {
  test::TempDir t;
  const std::string package = t / "package/RESOURCEN";
  const std::string pristine = t / "pristine/RESOURCEN";
  MakeTrees(package, pristine);
  const test::JournalIn journal(t / "journal");
  // A few thousand small files, and big ones among them.
  for (int i = 0; i < 2000; ++i) {
    const std::string folder = package + "/Mass/F" + std::to_string(i % 10);
    if (i < 10) fs::create_directories(folder);
    std::ofstream(folder + "/file" + std::to_string(i) + ".txt") << "file " << i;
  }
  for (int i = 0; i < 2; ++i)
    WriteBytes(package + "/Mass/F" + std::to_string(i * 5) + "/big" + std::to_string(i) + ".bmp",
               std::string(4 << 20, static_cast<char>('x' + i)));
  const Snapshot before = TreeBytes(pristine);

  const std::string full = t / "full/RESOURCEN";
  CopyTree(pristine, full);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunLimited({"--quiet", "--no-scan", package, full}, -1).status, 0);
  const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  const Snapshot done = TreeBytes(full);

  struct Case {
    Ending ending;
    long limit;
  };
  std::vector<Case> cases;
  for (int k = 0; k < 6; ++k) cases.push_back({{SIGKILL, whole * (2 * k + 1) / 12}, -1});
  for (int k = 0; k < 3; ++k) cases.push_back({{SIGINT, whole * (2 * k + 1) / 6}, -1});
  cases.push_back({{0, {}, true}, 2 << 20});
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("signal " + std::to_string(c.ending.signal) + " after " + std::to_string(c.ending.delay.count()) +
                 " us, file size limit " + std::to_string(c.limit));
    const std::string host = t / ("run" + std::to_string(n++) + "/RESOURCEN");
    CopyTree(pristine, host);
    const std::string start = test::TreeState(host, false);
    Outcome ended = RunLimited({"--quiet", "--no-scan", package, host}, c.limit, c.ending);
    if (c.ending.fileSizeSignal) {
      EXPECT_EQ(ended.status, 1) << "not ended by the signal, with its summary";
    }
    const Snapshot after = TreeBytes(host);
    for (const auto& [path, bytes] : after) {
      if (platform::IsOwnTemporaryName(FileName(path))) continue;
      auto old = before.find(path), made = done.find(path);
      EXPECT_TRUE((old != before.end() && old->second == bytes) || (made != done.end() && made->second == bytes))
          << path << " holds neither its old bytes nor all of the new ones";
    }
    if (ended.status >= 0) {
      // It ended by itself: a stop between files, with the summary.
      EXPECT_TRUE(Temporaries(after).empty()) << Temporaries(after).front();
      EXPECT_NE(ended.output.find("Failures:"), std::string::npos) << ended.output;
      if (c.ending.signal == SIGINT && ended.status == 1) {
        EXPECT_NE(ended.output.find("stopped by the user"), std::string::npos) << ended.output;
        EXPECT_EQ(ended.output.rfind("The run was stopped: what it had not done yet is not installed.\n", 0), 0u)
            << ended.output;
        // The journal calls it stopped, not completed (or holds no run, when
        // the stop came before its first change).
        const Outcome runs = RunLimited({"--list-runs", host}, -1);
        EXPECT_EQ(runs.output.find("completed"), std::string::npos) << runs.output;
      }
    }
    // Nothing to undo only when the run ended before it changed anything.
    Outcome undo = RunLimited({"--undo", "--no-scan", host}, -1);
    EXPECT_TRUE(undo.status == 0 || undo.status == 2) << undo.output;
    // A kill that came after the install was whole may have found the run
    // ended; one that came before it always finds the run interrupted.
    if (undo.status == 0 && ended.status < 0 && !(after == done)) {
      EXPECT_NE(undo.output.find("An earlier run on this host was interrupted at"), std::string::npos) << undo.output;
    }
    EXPECT_EQ(test::TreeState(host, false), start) << "the undo did not give the host back\n" << undo.output;
    Outcome next = RunLimited({"--quiet", "--no-scan", package, host}, -1);
    EXPECT_EQ(next.status, 0) << next.output;
    EXPECT_TRUE(TreeBytes(host) == done) << "the next run did not complete the install";
    fs::remove_all(fs::path(host).parent_path());
  }
}

}  // namespace
}  // namespace zet
