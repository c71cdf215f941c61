#pragma once
// A copy of the waiting program (helpers/sleeper.cpp), running under a file
// name of the test's choice until the object goes: how tests make a process
// named as the one a program looks for. A test that uses it depends on
// zet_sleeper and defines ZET_SLEEPER_PATH as its file (tests/CMakeLists.txt).

#include <string>

#include "platform/platform.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace zet::test {

class RunningCopy {
 public:
  // Copies the waiting program into folder (made when missing) as name and
  // starts it; pid() is -1 when that failed.
  RunningCopy(const std::string& folder, const std::string& name) {
    MakeFolders(folder);
    std::string path = Join(folder, name);
    if (!platform::CopyFileKeepingTime(BuildTreePath(ZET_SLEEPER_PATH), path, true)) return;
#ifdef _WIN32
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string command = "\"" + path + "\" 120";
    if (::CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process_)) {
      ::CloseHandle(process_.hThread);
      pid_ = static_cast<int>(process_.dwProcessId);
    }
#else
    char seconds[] = "120";
    char* argv[] = {&path[0], seconds, nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) == 0) pid_ = pid;
#endif
  }
  ~RunningCopy() {
    if (pid_ <= 0) return;
#ifdef _WIN32
    ::TerminateProcess(process_.hProcess, 0);
    ::WaitForSingleObject(process_.hProcess, 10000);
    ::CloseHandle(process_.hProcess);
#else
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
#endif
  }
  RunningCopy(const RunningCopy&) = delete;
  RunningCopy& operator=(const RunningCopy&) = delete;

  int pid() const { return pid_; }

 private:
  int pid_ = -1;
#ifdef _WIN32
  PROCESS_INFORMATION process_ = {};
#endif
};

}  // namespace zet::test
