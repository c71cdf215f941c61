// The console program, run as a user runs it: arguments in, exit status,
// standard output and standard error out, the host tree changed or not.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "test_support.h"

namespace zet {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

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
    test::MakeFolders(t / "pkg/RESOURCEN");
    test::MakeFolders(t / "host/RESOURCEN");
    source = t / "pkg/RESOURCEN";
    target = t / "host/RESOURCEN";
  }

  Result Run(const std::vector<std::string>& args) {
    std::string command = Quote(ProgramFile());
    for (const std::string& a : args) command += " " + Quote(a);
    std::string errFile = t / "stderr.txt";
    command += " 2>" + Quote(errFile);
#ifdef _WIN32
    // cmd strips the outer quotes of a command line that starts with one.
    command = "\"" + command + "\"";
    FILE* pipe = _popen(command.c_str(), "rb");
#else
    FILE* pipe = popen(command.c_str(), "r");
#endif
    Result r;
    if (pipe == nullptr) return r;
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
    // Text on a Windows console ends its lines with CR LF.
    for (std::string* s : {&r.out, &r.err}) {
      std::string clean;
      for (char c : *s)
        if (c != '\r') clean += c;
      *s = clean;
    }
    return r;
  }

  // A language file of our own, to see that its texts are the ones shown.
  std::string Language() {
    std::string path = t / "test.lng";
    WriteBytes(path,
               "[DLG_VELTRAN]\r\n"
               "CAPTION = \"Test Caption\"\r\n"
               "IDMSG1 = \"Alles erledigt\"\r\n"
               "IDMSG2 = \"Quelle fehlt\"\r\n"
               "IDMSG3 = \"Ziel fehlt\"\r\n"
               "IDMSG4 = \"Zweimal derselbe Ordner\"\r\n"
               "IDMSG5 = \"Fehler:\"\r\n");
    return path;
  }

  TempDir t;
  std::string source;
  std::string target;
};

TEST_F(Cli, HelpVersionAndUsageErrors) {
  Result help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: zetveltran-cli", 0), 0u) << help.out;

  Result version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "zetveltran-cli 1.0.0\n");

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {source}, {source, target, target}, {"--frobnicate", source, target},
        {source, target, "--lang"}}) {
    Result r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("Usage:"), std::string::npos) << r.err;
  }

  Result badLang = Run({"--lang", t / "none.lng", source, target});
  EXPECT_EQ(badLang.status, 2);
  EXPECT_NE(badLang.err.find("none.lng"), std::string::npos) << badLang.err;
}

TEST_F(Cli, RefusesFoldersAsTheDialogDoes) {
  WriteBytes(t / "pkg/RESOURCEN/a.txt", "A");
  std::string lang = Language();

  Result relative = Run({"--lang", lang, "pkg/RESOURCEN", target});
  EXPECT_EQ(relative.status, 2);
  EXPECT_NE(relative.err.find("Quelle fehlt"), std::string::npos) << relative.err;

  Result missing = Run({"--lang", lang, source, t / "none/RESOURCEN"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("Ziel fehlt"), std::string::npos) << missing.err;

  // The same folder in other letters: found as a folder, refused as the same.
  std::string shouted = source;
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Result same = Run({"--lang", lang, source, shouted});
  EXPECT_EQ(same.status, 2);
  EXPECT_NE(same.err.find("Zweimal derselbe Ordner"), std::string::npos) << same.err;

  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/a.txt"));

  // Built-in English when no language file is found.
  Result english = Run({"pkg/RESOURCEN", target});
  EXPECT_EQ(english.status, 2);
  EXPECT_NE(english.err.find("The package folder does not exist."), std::string::npos) << english.err;
}

TEST_F(Cli, RunsTheUpdateAndSummarizes) {
  WriteBytes(t / "pkg/RESOURCEN/a.txt", "A");
  WriteBytes(t / "pkg/RESOURCEN/Sub/b.txt", "B");
  WriteBytes(t / "host/RESOURCEN/a.txt", "host A");

  // Separators at the end, as a shell's completion leaves them.
  Result r = Run({"--lang", Language(), source + "/", target + "/"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;  // no progress display without a terminal
  EXPECT_EQ(r.out.rfind("Alles erledigt\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("Files copied:              1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Kept, the host has them:   1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Failures:                  0\n"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/a.txt"), "host A");
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Sub/b.txt"), "B");

  Result again = Run({"-oq", "--no-scan", "--lang", Language(), source, target});
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/a.txt"), "A");
}

TEST_F(Cli, FailuresAreListedAndExitWithOne) {
  WriteBytes(t / "pkg/RESOURCEN/a.txt", "A");
  WriteBytes(t / "pkg/RESOURCEN/b.txt", "B");
  test::MakeFolders(t / "host/RESOURCEN/a.txt");

  Result r = Run({"--lang", Language(), "-o", source, target});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("Fehler: 1\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("Failures:                  1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("a.txt: a folder of that name is in the way\n"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/b.txt"), "B");
}

// Every file below a folder with its bytes, by relative path.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(fs::path(folder)); it != fs::recursive_directory_iterator(); ++it)
    if (it->is_regular_file())
      files[fs::relative(it->path(), fs::path(folder)).generic_string()] = ReadBytes(it->path().string());
  return files;
}

// The sample package of examples/ (files, archive, category files, index
// trees, user categories, both texture lists) into the sample host, twice.
TEST_F(Cli, InstallsTheSamplePackageAndASecondRunChangesNothing) {
  namespace fs = std::filesystem;
  const fs::path examples = fs::path(test::DataPath("")) / ".." / ".." / "examples";
  fs::remove_all(fs::path(t / "pkg"));
  fs::remove_all(fs::path(t / "host"));
  fs::copy(examples / "package", fs::path(t / "pkg"), fs::copy_options::recursive);
  fs::copy(examples / "host", fs::path(t / "host"), fs::copy_options::recursive);
  const auto package = Snapshot(t / "pkg");

  Result first = Run({"--lang", Language(), source, target});
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_NE(first.out.find("Failures:                  0\n"), std::string::npos) << first.out;
  const auto installed = Snapshot(target);
  // The catalogue: merged, not overwritten.
  const std::string user = installed.at("Categories/User.ini");
  EXPECT_NE(user.find("[User_002_Kesselzug]"), std::string::npos) << user;
  EXPECT_NE(user.find("[User_004_Rungenzug]"), std::string::npos) << user;
  EXPECT_NE(installed.at("Categories/Rolling_stock/Loks.inf").find("ScanPath2\t = \"Modelle\\Loks\\BR218\""),
            std::string::npos);
  EXPECT_NE(installed.at("Categories/Signals/Index.ini").find("File02\t = \"Ks-Signale\""), std::string::npos);
  EXPECT_EQ(installed.count("Categories/Landscape_elements/Zaeune.inf"), 1u);
  EXPECT_NE(installed.at("Parallels/Texturen.txt").find("name(Schotter)"), std::string::npos);

  Result second = Run({"--lang", Language(), source, target});
  EXPECT_EQ(second.status, 0) << second.out << second.err;
  EXPECT_TRUE(Snapshot(target) == installed) << "the second run changed the host tree";
  EXPECT_TRUE(Snapshot(t / "pkg") == package) << "the package tree changed";
}

}  // namespace
}  // namespace zet
