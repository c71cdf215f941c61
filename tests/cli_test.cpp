// The console program, run as a user runs it: arguments in, exit status,
// standard output and standard error out, the host tree changed or not.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/find_process.h"
#include "host/host_registration.h"
#include "platform/platform.h"
#include "running_copy.h"
#include "update_fixture.h"
#include "zet_version.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zet {
namespace {

using namespace std::chrono_literals;
using test::ReadBytes;
using test::TempDir;
using test::TreeBytes;
using test::WriteBytes;

#ifndef _WIN32
const char kScanRequest[] = "\"Scan\"=dword:00000002\n";
const char kVersion[] = "\"VERSION\"=dword:00040000\n";

// The resource base as a host writes it: a Windows path in other letters,
// with a separator at its end.
const char kResBase[] = "C:\\zet\\Resourcen\\";

// "ResBase" as a line of a registry file.
std::string ResBaseLine(const std::string& path) {
  std::string line = "\"ResBase\"=\"";
  for (char c : path) line += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return line + "\"\n";
}

// The registry's text with one rescan request taken out: equal to the text
// before a run exactly when the run added that request and changed nothing else.
std::string WithoutScanRequest(std::string text) {
  size_t at = text.find(kScanRequest);
  if (at != std::string::npos) text.erase(at, sizeof kScanRequest - 1);
  return text;
}

// A Wine prefix of the test's own (the folder wine), named by $WINEPREFIX for
// the program, with its drive C: at drive_c and a host tree for the resource
// base at C:\ZET\RESOURCEN. Its registry holds keys of others and, once
// Register is called, the host's key between them.
class HostRegistry {
 public:
  explicit HostRegistry(const TempDir& t) : t_(t), prefix_("WINEPREFIX", (t / "wine").c_str()) {
    test::MakeFolders(hostTree());
    test::MakeFolders(t / "wine/dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", t / "wine/dosdevices/c:");
    WriteFiles("");
  }

  std::string hostTree() const { return t_ / "wine/drive_c/ZET/RESOURCEN"; }

  // Registers the host with these lines of values and no others.
  void Register(const std::string& values) {
    WriteFiles("[Software\\\\Classes\\\\Software\\\\Brankor\\\\KORA] 1796583920\n#time=1dd85b4bb82f256\n" + values +
               "\n");
  }

  // Everything the program could change: the registry files byte for byte.
  std::string Snapshot() const {
    return ReadBytes(t_ / "wine/system.reg") + "---- user.reg\n" + ReadBytes(t_ / "wine/user.reg");
  }

 private:
  void WriteFiles(const std::string& hostKey) {
    WriteBytes(t_ / "wine/system.reg",
               "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
               "[Software\\\\Classes\\\\.txt] 1796583917\n#time=1dd85b4bb7e9c12\n@=\"txtfile\"\n"
               "\"Content Type\"=\"text/plain\"\n\n" +
                   hostKey + "[Software\\\\Wine] 1796583917\n\"Version\"=\"wine-8.0\"\n");
    WriteBytes(t_ / "wine/user.reg",
               "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
               "[Software\\\\Wine\\\\Explorer] 1796583917\n\"Desktop\"=\"Default\"\n");
  }
  const TempDir& t_;
  const test::ScopedEnv prefix_;
};
#endif

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& arg) {
#ifdef _WIN32
  return "\"" + arg + "\"";
#else
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
#endif
}

std::string ProgramFile() { return test::BuildTreePath(ZET_CLI_PATH); }

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // The host's registration changes what the program does. Under Wine the
    // test prefix's is removed; a host's own on Windows is left alone. The
    // registration's tests run on the files of a Wine prefix elsewhere.
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    HKEY key = nullptr;
    if (::GetProcAddress(ntdll, "wine_get_version") == nullptr &&
        ::RegOpenKeyExA(HKEY_CLASSES_ROOT, "Software\\Brankor\\KORA", 0, KEY_READ, &key) == ERROR_SUCCESS) {
      ::RegCloseKey(key);
      GTEST_SKIP() << "a host is registered on this system; its registration is left alone";
    }
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "Software\\Brankor");
#endif
    test::MakeFolders(t / "host/RESOURCEN");
    WriteBytes(t / "pkg/RESOURCEN/a.txt", "A");
    // A language file of our own, to see that its texts are the ones shown.
    WriteBytes(lang,
               "[DLG_VELTRAN]\r\nCAPTION = \"Test Caption\"\r\nIDMSG1 = \"Alles erledigt\"\r\n"
               "IDMSG2 = \"Quelle fehlt\"\r\nIDMSG3 = \"Ziel fehlt\"\r\nIDMSG4 = \"Zweimal derselbe Ordner\"\r\n"
               "IDMSG5 = \"Fehler:\"\r\n[DLG_STANDARD_MESSAGE]\r\nIDS_ZETVERSION = \"Falsche ZET-Version\"\r\n"
               "IDS_ZETRUNNING = \"ZET laeuft noch\"\r\n");
  }

  Result Run(const std::vector<std::string>& args) {
    std::string command = Quote(ProgramFile());
    for (const std::string& a : args) command += " " + Quote(a);
    std::string errFile = t / "stderr.txt";
    command += " 2>" + Quote(errFile);
#ifdef _WIN32
    // cmd strips the outer quotes of a command line that starts with one.
    command = "\"" + command + "\"";
#endif
    Result r;
    // Under a loaded Wine the command processor now and then fails to start
    // (no pipe, or -1 from the close with nothing said): that is tried
    // again; the program itself never ends with -1.
    for (int attempt = 0; attempt < 3; ++attempt) {
      r = Result();
      std::remove(errFile.c_str());
#ifdef _WIN32
      FILE* pipe = _popen(command.c_str(), "rb");
#else
      FILE* pipe = popen(command.c_str(), "r");
#endif
      if (pipe == nullptr) continue;
      char buffer[4096];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
#ifdef _WIN32
      r.status = _pclose(pipe);
#else
      int status = pclose(pipe);
      r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
      r.err = ReadBytes(errFile);
      if (r.status != -1 || !r.out.empty() || !r.err.empty()) break;
    }
    // Text on a Windows console ends its lines with CR LF.
    for (std::string* s : {&r.out, &r.err}) s->erase(std::remove(s->begin(), s->end(), '\r'), s->end());
    return r;
  }

  TempDir t;
#ifndef _WIN32
  HostRegistry host{t};
#endif
  const std::string source = t / "pkg/RESOURCEN";
  const std::string target = t / "host/RESOURCEN";
  const std::string lang = t / "test.lng";
  const test::JournalIn journal{t / "journal"};
};

// A path as the program prints it: the system's separators.
std::string Shown(std::string path) {
#ifdef _WIN32
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

// The lines of a text.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

TEST_F(Cli, HelpVersionAndRefusals) {
  Result help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: zetveltran-cli [options] SOURCE [TARGET]\n", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("TARGET defaults to the resource base of the installed host"), std::string::npos);
#ifndef _WIN32
  EXPECT_NE(help.out.find("$WINEPREFIX, else ~/.wine"), std::string::npos) << help.out;
#endif
  Result version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "zetveltran-cli " ZET_VELTRAN_VERSION "\n");

  test::MakeFolders(t / "pkg/RESOURCEN/Inner");
  std::string shouted = source;  // the same folder in other letters: found, and refused as the same
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  struct Case {
    std::vector<std::string> args;
    const char* expected;  // on standard error
  };
  for (const Case& c : std::vector<Case>{
           {{}, "SOURCE is needed\nTry 'zetveltran-cli --help'"},
           {{source, target, target}, "too many arguments: "},
           {{"--frobnicate", source, target}, "unknown option --frobnicate\nTry 'zetveltran-cli --help'"},
           {{source, target, "--lang"}, "--lang needs a file\nTry 'zetveltran-cli --help'"},
           {{"--lang=", "-n", source, target}, "--lang needs a file\nTry 'zetveltran-cli --help'"},
           {{"--overwrite=no", source, target}, "--overwrite takes no value\nTry 'zetveltran-cli --help'"},
           {{"-v", source, target}, "--verbose is for a dry run (--dry-run)\nTry 'zetveltran-cli --help'"},
           {{"--lang", t / "none.lng", source, target}, "none.lng"},
           {{"--lang", lang, "pkg/RESOURCEN", target}, "Quelle fehlt"},
           {{"--lang", lang, source, t / "none/RESOURCEN"}, "Ziel fehlt"},
           {{"--lang", lang, source, "/none/RESOURCEN"}, "Ziel fehlt"},  // a folder, on Windows too
           {{"--lang", lang, source, shouted}, "Zweimal derselbe Ordner"},
           {{"pkg/RESOURCEN", target}, "The package folder does not exist."},  // built-in English
           {{source, source + "/Inner"}, "The target folder lies inside the package folder"},
           // Beyond what Windows programs take: said so, not called missing.
           {{source, target + "/" + std::string(250, 'x')},
            platform::kLongestPath < 260 ? "longer than Windows programs take" : "The target folder does not exist."},
       }) {
    Result r = Run(c.args);
    EXPECT_EQ(r.status, 2) << c.expected;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
  }
  EXPECT_FALSE(test::Exists(target + "/a.txt"));
  EXPECT_FALSE(test::Exists(source + "/Inner/a.txt"));
}

TEST_F(Cli, RunsTheUpdateSummarizesAndListsFailures) {
  WriteBytes(t / "pkg/RESOURCEN/Sub/b.txt", "B");
  WriteBytes(t / "host/RESOURCEN/a.txt", "host A");

  // Separators at the end, as a shell's completion leaves them.
  Result r = Run({"--lang", lang, source + "/", target + "/"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;  // no progress display without a terminal
  EXPECT_EQ(r.out.rfind("Alles erledigt\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("Files copied:              1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Kept, the host has them:   1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Failures:                  0\n"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "host A");
  EXPECT_EQ(ReadBytes(target + "/Sub/b.txt"), "B");

  std::filesystem::remove(target + "/Sub/b.txt");
  test::MakeFolders(target + "/Sub/b.txt");
  r = Run({"-oq", "--no-scan", "--lang", lang, source, target});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("Fehler: 1\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("Failures:                  1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("b.txt: a folder of that name is in the way\n"), std::string::npos) << r.out;
  // And a file where the package has a folder, in the run and the dry run.
  std::filesystem::remove_all(target + "/Sub");
  WriteBytes(target + "/Sub", "a file");
  for (const char* mode : {"-q", "-n"}) {
    r = Run({mode, "--no-scan", source, target});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("b.txt: its folder cannot be created: a file of that name is in the way\n"), std::string::npos)
        << r.out;
  }
#ifndef _WIN32
  EXPECT_NE(r.out.find("  " + target + "/Sub/b.txt: "), std::string::npos) << r.out;  // the system's separators

  // A name that would write on the terminal itself is shown with a '?' for
  // each control character, in the summary and in a preview.
  WriteBytes(t / "pkg/RESOURCEN/x\nFailures: 0\x1b[2J.txt", "X");
  for (const char* mode : {"--quiet", "--dry-run"}) {
    r = Run({mode, "--no-scan", source, target});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("x?Failures: 0?[2J.txt"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\nFailures: 0"), std::string::npos) << r.out;
  }
  // A preview's line names the place in the host, as every other line does.
  EXPECT_NE(r.out.find("\n! x?Failures: 0?[2J.txt  "), std::string::npos) << r.out;
  // Nor does a diff write a catalogue file's control characters.
  WriteBytes(t / "pkg/RESOURCEN/Categories/User.ini", "[User_001_Neu]\r\nPath1\t = \"a\x1b]2;title\x07\"\r\n");
  WriteBytes(target + "/Categories/User.ini", "[User_001_Host]\r\nPath1\t = \"h\"\r\n");
  r = Run({"-nv", "--no-scan", source, target});
  EXPECT_NE(r.out.find("a?]2;title?"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find_first_of("\x1b\x07"), std::string::npos) << r.out;

  // Output that cannot be written (a full disk) is no success.
  const std::string errFile = t / "full.txt";
  for (const std::string& args : {" -n --no-scan " + Quote(source) + " " + Quote(target), " --list-runs " + Quote(target)}) {
    const int status = std::system((Quote(ProgramFile()) + args + " >/dev/full 2>" + Quote(errFile)).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << args << status;
    EXPECT_NE(ReadBytes(errFile).find("the output could not be written: No space left on device"), std::string::npos)
        << ReadBytes(errFile);
  }
#endif
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "A");
}

TEST_F(Cli, OneRunPerHostAndOneFolderHoweverSpelled) {
  const std::string lockPath = platform::HostLockPath(target);
  ASSERT_FALSE(lockPath.empty());
  // Everything but what the test itself keeps of the program's output.
  auto files = [&] {
    auto all = TreeBytes(t.path());
    all.erase("stderr.txt");
    return all;
  };
  {
    // Another run, in another process, holds the host.
    platform::FileLock other;
    ASSERT_EQ(other.Take(lockPath), platform::FileLock::Result::Taken);
    const auto before = files();
    Result busy = Run({source, t / "host/./RESOURCEN"});
    EXPECT_EQ(busy.status, 2) << busy.out << busy.err;
    EXPECT_NE(busy.err.find("Another run is installing into this target folder."), std::string::npos) << busy.err;
    EXPECT_TRUE(files() == before) << "a refused run changed a file";  // the rescan request too
  }
  std::vector<std::string> sameFolder{t / "pkg/./RESOURCEN", t / "pkg/RESOURCEN/../RESOURCEN"};
#ifndef _WIN32
  std::filesystem::create_directory_symlink(source, t / "link");
  sameFolder.push_back(t / "link");
#endif
  for (const std::string& spelling : sameFolder) {
    Result same = Run({"--no-scan", source, spelling});
    EXPECT_EQ(same.status, 2) << spelling;
    EXPECT_NE(same.err.find("are the same"), std::string::npos) << same.err;
  }
  // A folder in the lock file's place: the run and its preview are refused.
  std::filesystem::remove(platform::NativePath(lockPath));
  test::MakeFolders(platform::NativePath(lockPath));
  for (const char* mode : {"-q", "-n"}) {
    Result blocked = Run({mode, "--no-scan", source, target});
    EXPECT_EQ(blocked.status, 2) << mode;
    EXPECT_NE(blocked.err.find("something else stands in the place of its file beside the target folder. Please "
                               "remove it.\n" + platform::ShownPath(lockPath)),
              std::string::npos)
        << blocked.err;
  }
  std::filesystem::remove(platform::NativePath(lockPath));
  Result done = Run({"--no-scan", source, target});
  EXPECT_EQ(done.status, 0) << done.out << done.err;
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "A");
}

// As a terminal user types it: folders relative to the current folder, and
// the shipped German language file, whose summary lines keep one column.
TEST_F(Cli, RelativeFoldersAndTheGermanSummary) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(t.path());
  test::MakeFolders(t / "host/RESOURCEN/Modelle");
  std::filesystem::current_path(t / "host/RESOURCEN/Modelle");
  // From inside the host: its folder is "..", also where ".." ends the path.
  for (const char* host : {"..", "../", "../../RESOURCEN/./Modelle/.."})
    EXPECT_EQ(Run({"-n", "--no-scan", "../../../pkg/RESOURCEN", host}).status, 0) << host;
  std::filesystem::current_path(t.path());
  // A journal folder given relative, not there yet, is made below the current folder.
  const test::JournalIn relative("journal/below");
  Result r = Run({"-q", "--no-scan", "--lang", test::DataPath("../../lang/de/zetveltran.lng"), "pkg/RESOURCEN",
                  "./host/RESOURCEN"});
  std::filesystem::current_path(before);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(test::Exists(t / "journal/below"));
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "A");
  EXPECT_EQ(r.out.rfind("Das Paket wurde installiert.\n\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\nDateien kopiert:               1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nFehler:                        0\n"), std::string::npos) << r.out;
}

// ---------------------------------------------------------------- the host's registration
#ifndef _WIN32

TEST_F(Cli, TheDefaultTargetIsTheHostsResourceBase) {
  const std::string registered = ResBaseLine(kResBase) + kVersion;
  host.Register(registered);
  std::string before = host.Snapshot();

  Result r = Run({"--lang", lang, source});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_EQ(ReadBytes(host.hostTree() + "/a.txt"), "A");
  // The rescan request is the one change to the registry, inside the host's key.
  std::string after = host.Snapshot();
  EXPECT_NE(after.find(kScanRequest), std::string::npos) << after;
  EXPECT_EQ(WithoutScanRequest(after), before);
  size_t hostKey = after.find("[Software\\\\Classes\\\\Software\\\\Brankor\\\\KORA]");
  EXPECT_GT(after.find(kScanRequest), hostKey);
  EXPECT_LT(after.find(kScanRequest), after.find("[", hostKey + 1));

  // With --no-scan the registry stays as it was.
  host.Register(registered);
  WriteBytes(t / "pkg/RESOURCEN/a.txt", "A2");
  r = Run({"-o", "--no-scan", "--lang", lang, source});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(host.hostTree() + "/a.txt"), "A2");
  EXPECT_EQ(host.Snapshot(), before);

  // A registry that cannot take the request: the run goes on, and says so.
  std::filesystem::permissions(t / "wine/system.reg", std::filesystem::perms(0444));
  WriteBytes(t / "pkg/RESOURCEN/a.txt", "A3");
  r = Run({"-o", "--lang", lang, source});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(host.hostTree() + "/a.txt"), "A3");
  EXPECT_NE(r.err.find("rescan request (Scan in HKEY_CLASSES_ROOT\\Software\\Brankor\\KORA of the Wine prefix"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(host.Snapshot(), before);
}

// A refused run changes nothing: no file, and no rescan request.
TEST_F(Cli, ARegistrationTheRunCannotUseIsRefused) {
  const std::string resBase = ResBaseLine(kResBase);
  struct Case {
    std::string values;
    bool ownTarget;
    std::vector<std::string> expected;  // on standard error
  };
  for (const Case& c : std::vector<Case>{
           {kVersion, false, {"names no resource base (ResBase in HKEY_CLASSES_ROOT\\Software\\Brankor\\KORA"}},
           {ResBaseLine(std::string(kResBase) + "Neu") + kVersion, false,
            {"Ziel fehlt", std::string("(the host's resource base ") + kResBase + "Neu)"}},
           // A letter the code page lacks: the host reads another folder's name.
           {ResBaseLine(std::string(kResBase) + "\xC5\x98") + kVersion, false,
            {"names no resource base (ResBase in HKEY_CLASSES_ROOT\\Software\\Brankor\\KORA"}},
           {ResBaseLine("D:\\ZET\\RESOURCEN") + kVersion, false,
            {"the host's resource base D:\\ZET\\RESOURCEN is on no drive of the Wine prefix"}},
           // Another version is refused with the default target and with a TARGET of its own alike.
           {resBase + "\"VERSION\"=dword:00040001\n", false, {"zetveltran-cli: Falsche ZET-Version\n"}},
           {resBase + "\"VERSION\"=\"262144\"\n", true, {"zetveltran-cli: Falsche ZET-Version\n"}},
           {resBase, true, {"zetveltran-cli: Falsche ZET-Version\n"}},
       }) {
    host.Register(c.values);
    std::string before = host.Snapshot();
    Result r = Run(c.ownTarget ? std::vector<std::string>{"--lang", lang, source, target}
                               : std::vector<std::string>{"--lang", lang, source});
    EXPECT_EQ(r.status, 2) << c.expected[0];
    EXPECT_TRUE(r.out.empty()) << r.out;
    for (const std::string& e : c.expected) EXPECT_NE(r.err.find(e), std::string::npos) << r.err;
    EXPECT_EQ(host.Snapshot(), before) << c.expected[0];
  }
  // The built-in texts say what was found.
  Result r = Run({source, target});
  EXPECT_NE(r.err.find("ZET Veltran does not support the installed version of ZET."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("VERSION in HKEY_CLASSES_ROOT\\Software\\Brankor\\KORA"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("is missing or not a number"), std::string::npos) << r.err;
  host.Register(resBase + "\"VERSION\"=dword:00040001\n");
  r = Run({source, target});
  EXPECT_NE(r.err.find("VERSION 0x40001 in HKEY_CLASSES_ROOT\\Software\\Brankor\\KORA"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("(supported: 0x40000)"), std::string::npos) << r.err;
  // A registry file that cannot be read is named, not taken for one that
  // registers no host.
  std::filesystem::remove(t / "wine/system.reg");
  std::filesystem::create_directory(t / "wine/system.reg");
  r = Run({source});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("the registry file " + (t / "wine/system.reg") + " cannot be read"), std::string::npos) << r.err;

  EXPECT_FALSE(test::Exists(host.hostTree() + "/a.txt"));
  EXPECT_FALSE(test::Exists(target + "/a.txt"));
}

TEST_F(Cli, WithoutARegisteredHostTheTargetIsGivenByHand) {
  std::string before = host.Snapshot();
  Result usage = Run({"--lang", lang, source});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err.rfind("zetveltran-cli: TARGET is needed: no host is registered in "
                            "HKEY_CLASSES_ROOT\\Software\\Brankor\\KORA",
                            0),
            0u)
      << usage.err;
  EXPECT_NE(usage.err.find("\nTry 'zetveltran-cli --help' for more information.\n"), std::string::npos) << usage.err;

  Result r = Run({"--lang", lang, source, target});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "A");
  EXPECT_EQ(host.Snapshot(), before);  // no host key made for the request
}

#endif

TEST_F(Cli, ARunningHostIsWarnedAboutAndTheRunGoesOn) {
  TempDir programs;
  test::RunningCopy running(programs.path(), kHostProcessName);
  ASSERT_GT(running.pid(), 0);
  for (int i = 0; i < 100 && FindProcessId(kHostProcessName) <= 0; ++i) std::this_thread::sleep_for(50ms);

  Result r = Run({"--lang", lang, source, target});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "zetveltran-cli: ZET laeuft noch\n");
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "A");
}

// The journal keeps the newest ten runs of a host. A run whose journal
// cannot be opened changes nothing, unless it is asked to run without one.
TEST_F(Cli, TheJournalKeepsTenRunsAndARunWithoutOneIsAskedFor) {
  const Result none = Run({"--undo", "--no-scan", target});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("The journal holds no run on"), std::string::npos) << none.err;
  for (int i = 0; i < 12; ++i) {
    WriteBytes(source + "/a.txt", "A" + std::to_string(i));
    ASSERT_EQ(Run({"-oq", "--no-scan", source, target}).status, 0);
  }
  const std::vector<std::string> runs = LinesOf(Run({"--list-runs", target}).out);
  EXPECT_EQ(runs.size(), 10u);
  EXPECT_NE(runs.back().find("0 new, 1 replaced"), std::string::npos) << runs.back();
  // A run that changes nothing pushes no run out.
  ASSERT_EQ(Run({"-q", "--no-scan", source, target}).status, 0);
  EXPECT_EQ(LinesOf(Run({"--list-runs", target}).out), runs);

  // A run killed before its first change (its manifest's header alone) is
  // listed while its process lives, and not once it is gone: undo passes
  // over it, and takes back the run listed first.
  namespace fs = std::filesystem;
  fs::path newest;
  for (const auto& e : fs::recursive_directory_iterator(t / "journal"))
    if (e.path().filename() == "manifest.txt" && e.path().parent_path() > newest) newest = e.path().parent_path();
  ASSERT_FALSE(newest.empty());
  const fs::path killed = newest.parent_path() / "99999999";
  fs::create_directories(killed / "old");
  const std::string header = ReadBytes((newest / "manifest.txt").string());
  size_t headerEnd = 0;
  for (int line = 0; line < 5; ++line) headerEnd = header.find('\n', headerEnd) + 1;
  WriteBytes((killed / "manifest.txt").string(), header.substr(0, headerEnd) + std::string(4096, '\0'));  // as the log grows
  {
    platform::FileLock live;
    ASSERT_EQ(live.Take((killed / "live.lock").string()), platform::FileLock::Result::Taken);
    const std::vector<std::string> whileLive = LinesOf(Run({"--list-runs", target}).out);
    ASSERT_EQ(whileLive.size(), 11u);
    EXPECT_NE(whileLive[0].find("running        0 new, 0 replaced"), std::string::npos) << whileLive[0];
  }
  EXPECT_EQ(LinesOf(Run({"--list-runs", target}).out), runs);
  const Result undo = Run({"--undo", "--no-scan", target});
  EXPECT_EQ(undo.status, 0) << undo.err;
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "A10");
  EXPECT_NE(LinesOf(Run({"--list-runs", target}).out)[0].find("undone"), std::string::npos);
  // Undone down to the oldest run kept, undo says that what the runs before
  // changed stays.
  for (int i = 0; i < 9; ++i) EXPECT_EQ(Run({"--undo", "--no-scan", target}).status, 0);
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "A1");
  const Result last = Run({"--undo", "--no-scan", target});
  EXPECT_EQ(last.status, 2);
  EXPECT_NE(last.err.find("nothing to undo: every run in the journal of"), std::string::npos) << last.err;
  EXPECT_NE(last.err.find("older runs on this host are no longer in the journal: what they changed stays"),
            std::string::npos)
      << last.err;

  WriteBytes(t / "not-a-folder", "");
  const test::JournalIn nowhere(t / "not-a-folder");
  Result refused = Run({"-oq", "--no-scan", t / "pkg/RESOURCEN", target});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("the run journal cannot be opened"), std::string::npos) << refused.err;
  // A preview ends as the run would, where the run has no journal and where
  // it could make no lock file.
  refused = Run({"-n", "--no-scan", t / "pkg/RESOURCEN", target});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("the run journal cannot be opened"), std::string::npos) << refused.err;
  EXPECT_EQ(Run({"-n", "--no-scan", "--no-journal", t / "pkg/RESOURCEN", target}).status, 0);
  WriteBytes(source + "/a.txt", "B");
  EXPECT_EQ(Run({"-oq", "--no-scan", source, target}).status, 2);
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "A1");  // as the undos above left it
  EXPECT_EQ(Run({"-oq", "--no-scan", "--no-journal", source, target}).status, 0);
  EXPECT_EQ(ReadBytes(target + "/a.txt"), "B");
}

#ifndef _WIN32
// The progress line is drawn within a narrow terminal's width: a line that
// wraps cannot be drawn over, and would leave its pieces behind.
TEST_F(Cli, TheProgressLineFitsTheTerminal) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no program to run a terminal";
  for (int i = 0; i < 300; ++i) WriteBytes(t / ("pkg/RESOURCEN/Modelle/Lang/Datei" + std::to_string(i) + ".mdl"), "x");
  const std::string shell = t / "narrow.sh", typescript = t / "typescript.txt";
  WriteBytes(shell, "stty cols 20\nexec " + Quote(ProgramFile()) + " --no-scan --no-journal " +
                        Quote(t / "pkg/RESOURCEN") + " " + Quote(t / "host/RESOURCEN") + "\n");
  ASSERT_EQ(std::system(("script -qec 'sh " + shell + "' " + Quote(typescript) + " >/dev/null 2>&1").c_str()), 0);
  const std::string seen = ReadBytes(typescript);
  int frames = 0;
  for (size_t from = 0, cut; (cut = seen.find('\r', from)) != std::string::npos; from = cut + 1) {
    const std::string frame = seen.substr(from, cut - from);
    const size_t start = frame.find_last_of('\n');
    const std::string drawn = start == std::string::npos ? frame : frame.substr(start + 1);
    // (The terminal ends a line written with "\r\n".)
    if (drawn.find_first_not_of(' ') == std::string::npos || seen.compare(cut, 2, "\r\n") == 0) continue;
    ++frames;
    EXPECT_LE(drawn.size(), 19u) << drawn;
  }
  EXPECT_GT(frames, 0) << seen;
}

// A host on a full file system, or on one mounted read-only: each failure
// names the cause, as no permission helps there and no room freed helps a
// read-only one (which may say it has none).
TEST_F(Cli, FullAndReadOnlyFileSystemsAreNamedAsSuch) {
  namespace fs = std::filesystem;
  struct Mounted {
    std::string at;
    ~Mounted() { (void)std::system(("umount '" + at + "' 2>/dev/null").c_str()); }
  };
  auto mount = [](const std::string& at, const std::string& options) {
    fs::create_directories(at);
    return ::geteuid() == 0 &&
           std::system(("mount -t tmpfs -o " + options + " zetfs '" + at + "' 2>/dev/null").c_str()) == 0;
  };
  const std::string source = t / "pkg/RESOURCEN", full = t / "full", host = t / "full/host/RESOURCEN";
  WriteBytes(t / "pkg/RESOURCEN/Neu/b.txt", "B");
  if (!mount(full, "size=1m,nr_inodes=4")) GTEST_SKIP() << "no small file system can be mounted here";
  const Mounted fullMount{full};
  fs::create_directories(host);  // with the lock file, every inode is taken
  Result r = Run({"-q", "--no-scan", source, host});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("/a.txt: cannot be written: the disk is full\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("/Neu/b.txt: its folder cannot be created: the disk is full\n"), std::string::npos) << r.out;
  {
    const std::string journal = full + "/journal";
    const test::ScopedEnv there("ZETVELTRAN_JOURNAL_DIR", journal.c_str());
    r = Run({"-q", "--no-scan", source, host});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("cannot be written in " + journal + "/"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(": the disk is full); nothing was changed"), std::string::npos) << r.err;
  }

  ASSERT_EQ(std::system(("mount -o remount,ro '" + full + "'").c_str()), 0);
  r = Run({"-q", "--no-scan", source, host});
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_NE(r.err.find("lies on a file system mounted read-only"), std::string::npos) << r.err;

  // The host's folder alone read-only, and full: the lock is taken beside it.
  const std::string inner = t / "host/RESOURCEN";
  ASSERT_TRUE(mount(inner, "size=64k"));
  const Mounted innerMount{inner};
  std::ofstream(inner + "/filler", std::ios::binary) << std::string(64 << 10, 'f');
  ASSERT_EQ(std::system(("mount -o remount,ro '" + inner + "'").c_str()), 0);
  r = Run({"-q", "--no-scan", source, inner});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("/a.txt: cannot be written: the file system is read-only\n"), std::string::npos) << r.out;
}
#endif

// The sample package of examples/ (files, archive, category files, index
// trees, user categories, both texture lists) into the sample host: first a
// preview, which changes nothing and lists what the run then does; the run;
// a second run, which changes nothing; then both are undone.
TEST_F(Cli, PreviewsInstallsAndUndoesTheSamplePackage) {
  namespace fs = std::filesystem;
  const fs::path examples = fs::path(test::DataPath("")) / ".." / ".." / "examples";
  fs::remove_all(fs::path(t / "pkg"));
  fs::remove_all(fs::path(t / "host"));
  fs::copy(examples / "package", fs::path(t / "pkg"), fs::copy_options::recursive);
  fs::copy(examples / "host", fs::path(t / "host"), fs::copy_options::recursive);
  const auto package = TreeBytes(t / "pkg");
#ifndef _WIN32
  // Undo gives a merged file its permission bits back too.
  fs::permissions(fs::path(target + "/Categories/User.ini"), fs::perms::group_write, fs::perm_options::add);
#endif
  const auto before = TreeBytes(target);
  const std::string beforeTree = test::TreeState(target, false);
  // The host's folder with its parent, where the lock file would go.
  const std::string pristine = test::TreeState(t / "host", true);

  Result preview = Run({"-n", "--lang", lang, source, target});
  EXPECT_EQ(preview.status, 0) << preview.out << preview.err;
  Result diffs = Run({"--dry-run", "--verbose", "--no-scan", source, target});
  EXPECT_EQ(test::TreeState(t / "host", true), pristine) << "a preview changed the host";
  EXPECT_FALSE(test::Exists(t / "journal")) << "a preview kept a journal";
  for (const char* line : {"+ Modelle/Loks/BR218.mdl            new file\n",
                           "= Texturen/Rungenwagen.bmp          left to the archive\n",
                           ". Modelle/Wagen/Kesselwagen.mdl     kept, the host has it\n",
                           "~ Parallels/Texturen.txt            merged: 2 textures added\n",
                           "~ Categories/User.ini               merged: 2 categories added\n"})
    EXPECT_NE(preview.out.find(Shown(line)), std::string::npos) << line << preview.out;
  EXPECT_NE(diffs.out.find("@@ -"), std::string::npos) << diffs.out;
  EXPECT_NE(diffs.out.find("+[User_004_Rungenzug]"), std::string::npos) << diffs.out;

  Result first = Run({"--no-scan", "--lang", lang, source, target});
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_NE(first.out.find("Failures:                  0\n"), std::string::npos) << first.out;
  const auto installed = TreeBytes(target);
  // The catalogue: merged, not overwritten.
  const std::string user = installed.at("Categories/User.ini");
  EXPECT_NE(user.find("[User_002_Kesselzug]"), std::string::npos) << user;
  EXPECT_NE(user.find("[User_004_Rungenzug]"), std::string::npos) << user;
  EXPECT_NE(installed.at("Categories/Rolling_stock/Loks.inf").find("ScanPath2\t = \"Modelle\\Loks\\BR218\""),
            std::string::npos);
  EXPECT_NE(installed.at("Categories/Signals/Index.ini").find("File02\t = \"Ks-Signale\""), std::string::npos);
  EXPECT_EQ(installed.count("Categories/Landscape_elements/Zaeune.inf"), 1u);
  EXPECT_NE(installed.at("Parallels/Texturen.txt").find("name(Schotter)"), std::string::npos);

  // The preview's summary is the run's, and its lines name each file the
  // run wrote and no other.
  const std::string summary = "Files copied:";
  EXPECT_EQ(preview.out.substr(preview.out.find(summary)), first.out.substr(first.out.find(summary)));
  std::set<std::string> listed, written;
  for (const std::string& line : LinesOf(preview.out))
    if (line.size() > 2 && std::string("+>~").find(line[0]) != std::string::npos && line[1] == ' ' &&
        line.find("new folder") == std::string::npos)
      listed.insert(Shown(line.substr(2, line.find("  ", 2) - 2)));
  for (const auto& [path, bytes] : installed)
    if (before.count(path) == 0 || before.at(path) != bytes) written.insert(Shown(path));
  EXPECT_EQ(listed, written);

  Result second = Run({"--no-scan", "--lang", lang, source, target});
  EXPECT_EQ(second.status, 0) << second.out << second.err;
  EXPECT_TRUE(TreeBytes(target) == installed) << "the second run changed the host tree";
  EXPECT_TRUE(TreeBytes(t / "pkg") == package) << "the package tree changed";

  // The journal, newest first: the second run changed nothing and left no
  // run. Undo keeps and names a file changed since, and then has nothing
  // left to undo.
  const std::vector<std::string> runs = LinesOf(Run({"--list-runs", target}).out);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_NE(runs[0].find("completed      11 new, 0 replaced, 7 merged, 5 folders  " + source), std::string::npos);
  WriteBytes(target + "/Readme_BR218.txt", "my notes");
  Result undo = Run({"--undo", "--no-scan", target});
  EXPECT_EQ(undo.status, 1) << undo.out << undo.err;
  EXPECT_NE(undo.out.find("Kept as they are:              1\n  Readme_BR218.txt: changed since the run\n"),
            std::string::npos)
      << undo.out;
  EXPECT_EQ(ReadBytes(target + "/Readme_BR218.txt"), "my notes");
  fs::remove(fs::path(target + "/Readme_BR218.txt"));
  EXPECT_EQ(test::TreeState(target, false), beforeTree);
  Result none = Run({"--undo", "--no-scan", target});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("nothing to undo"), std::string::npos) << none.err;
  EXPECT_NE(Run({"--list-runs", target}).out.find("undone"), std::string::npos);
}

}  // namespace
}  // namespace zet
