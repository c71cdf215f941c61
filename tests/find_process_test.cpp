// FindProcessId against real processes: copies of a small waiting program
// started under the names looked for.

#include "app/find_process.h"

#include <gtest/gtest.h>

#include <string>

#include "running_copy.h"
#include "test_support.h"

#ifndef _WIN32
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
  TempDir dir;
  // Another program on this machine may run as ZET.exe; a name of this
  // test's own tells exactly which process is found.
  std::string own = "ZetProbe" + std::to_string(static_cast<unsigned long>(
#ifdef _WIN32
                                     ::GetCurrentProcessId()
#else
                                     ::getpid()
#endif
                                         )) +
                    ".exe";
  std::string ownLower = own;
  for (char& c : ownLower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);

  EXPECT_EQ(FindProcessId(own.c_str()), -1);
  {
    RunningCopy lower(dir.path(), ownLower);
    ASSERT_GT(lower.pid(), 0);
    EXPECT_EQ(FindSoon(ownLower.c_str(), lower.pid()), lower.pid());
    EXPECT_EQ(FindProcessId(own.c_str()), -1);  // letter case counts
    std::string upper = own;
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    EXPECT_EQ(FindProcessId(upper.c_str()), -1);
  }
  {
    TempDir other;  // names equal but for case are one file on a POSIX path here
    RunningCopy exact(other.path(), own);
    ASSERT_GT(exact.pid(), 0);
    EXPECT_EQ(FindSoon(own.c_str(), exact.pid()), exact.pid());
    EXPECT_EQ(FindProcessId(("x" + own).c_str()), -1);
  }

  TempDir hostDir;
  RunningCopy lowerHost(hostDir.path(), "zet.exe");
  ASSERT_GT(lowerHost.pid(), 0);
  EXPECT_EQ(FindSoon("zet.exe", lowerHost.pid()), lowerHost.pid());
  EXPECT_NE(FindProcessId("ZET.exe"), lowerHost.pid());
  TempDir hostDir2;
  RunningCopy host(hostDir2.path(), "ZET.exe");
  ASSERT_GT(host.pid(), 0);
  EXPECT_GT(FindSoon("ZET.exe", host.pid()), 0);
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
