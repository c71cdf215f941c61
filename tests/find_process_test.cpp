// FindProcessId against real processes: copies of a small waiting program
// started under the names looked for.

#include "host/find_process.h"

#include <gtest/gtest.h>

#include <string>

#include "running_copy.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#endif

namespace zet {
namespace {

using test::RunningCopy;
using test::TempDir;

// A started process shows in the process list after a moment.
int FindSoon(const char* name, int expected) {
  int found = -1;
  for (int i = 0; i < 100; ++i) {
    found = FindProcessId(name);
    if (found == expected) break;
#ifdef _WIN32
    ::Sleep(50);
#else
    ::usleep(50000);
#endif
  }
  return found;
}

TEST(FindProcessId, FindsARunningProgramByItsExactName) {
  // Named as the host, in the wrong letters: found under that name only.
  TempDir lowerDir, hostDir;
  RunningCopy lower(lowerDir.path(), "zet.exe");
  ASSERT_GT(lower.pid(), 0);
  EXPECT_EQ(FindSoon("zet.exe", lower.pid()), lower.pid());
  EXPECT_NE(FindProcessId("ZET.exe"), lower.pid());
  EXPECT_NE(FindProcessId("ZET.EXE"), lower.pid());

  RunningCopy host(hostDir.path(), "ZET.exe");
  ASSERT_GT(host.pid(), 0);
  EXPECT_GT(FindSoon("ZET.exe", host.pid()), 0);  // another program may run as ZET.exe too
  EXPECT_EQ(FindProcessId("xZET.exe"), -1);       // a whole name, not a part of one
  EXPECT_EQ(FindProcessId(nullptr), -1);
}

#ifdef _WIN32
// Wine lists the caller first in the process list; it is found all the same.
TEST(FindProcessId, FindsEveryEntryOfTheProcessListIncludingTheFirst) {
  char path[MAX_PATH];
  DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::string own(path, length);
  own = own.substr(own.find_last_of('\\') + 1);
  EXPECT_EQ(FindProcessId(own.c_str()), static_cast<int>(::GetCurrentProcessId()));
}
#else
// A program that has ended and not been waited for runs no more.
TEST(FindProcessId, AnEndedProcessIsNotRunning) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::prctl(PR_SET_NAME, "zet-ended.exe");
    ::_exit(0);
  }
  ::usleep(100000);
  EXPECT_EQ(FindProcessId("zet-ended.exe"), -1);
  ::waitpid(child, nullptr, 0);
}

// What /proc shows of a program that Wine runs, built in a folder of our own.
TEST(FindProcessId, AProgramUnderWineIsKnownByItsWindowsName) {
  namespace fs = std::filesystem;
  TempDir dir;
  auto fakeProcess = [&](const std::string& name, const std::string& exe, const std::string& cmdline,
                         const std::string& comm) {
    std::string folder = dir / name;
    test::MakeFolders(folder);
    if (!exe.empty()) fs::create_symlink(exe, fs::path(folder) / "exe");
    test::WriteBytes(folder + "/cmdline", cmdline);
    test::WriteBytes(folder + "/comm", comm);
    return folder;
  };
  using std::string;
  EXPECT_EQ(ProcessExecutableName(fakeProcess("a", "/usr/lib/wine/wine64", string("/tmp/x/ZET.exe\0\0\0", 17),
                                              "ZET.exe\n")),
            "ZET.exe");
  EXPECT_EQ(ProcessExecutableName(fakeProcess("b", "/usr/bin/wine64-preloader",
                                              string("C:\\windows\\system32\\winedevice.exe\0", 35), "wine\n")),
            "winedevice.exe");
  // A native program is known by its executable, whatever its first argument.
  EXPECT_EQ(ProcessExecutableName(fakeProcess("c", "/opt/ZET.exe (deleted)", string("-bash\0", 6), "x\n")),
            "ZET.exe");
  // No link to read: the first argument, else the short name.
  EXPECT_EQ(ProcessExecutableName(fakeProcess("d", "", string("/srv/Host/ZET.exe\0", 18), "ZET.exe\n")), "ZET.exe");
  EXPECT_EQ(ProcessExecutableName(fakeProcess("e", "", "", "kworker/0:1\n")), "kworker/0:1");
}
#endif

}  // namespace
}  // namespace zet
