// The OS boundary: streams with CR LF text mode, NTFS-order listings,
// case-insensitive paths on POSIX, copies keeping the time, and rewrites
// that never leave a half-written file.

#include "platform/platform.h"
#include "platform/file_state.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#endif
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "test_support.h"

namespace zet {
namespace {

namespace fs = std::filesystem;
using platform::DirEntry;
using platform::PathKind;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The program's own spelling of a path below the scratch folder.
std::string P(const TempDir& t, const std::string& rel) { return test::ProgramPath(t, rel); }

void SetReadOnly(const std::string& path, bool readOnly) {
  fs::permissions(fs::path(path), readOnly ? fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write
                                           : fs::perms::owner_write,
                  readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

TEST(Stream, BinaryModeKeepsBytesAndSeeks) {
  TempDir t;
  platform::Stream s;
  const std::string bytes("a\r\nb\0c\n", 7);
  ASSERT_TRUE(s.Open(P(t, "b.bin"), "wb"));
  ASSERT_TRUE(s.Write(bytes));
  EXPECT_EQ(s.Length(), 7);
  ASSERT_TRUE(s.Close());
  EXPECT_EQ(ReadBytes(t / "b.bin"), bytes);
  ASSERT_TRUE(s.Open(P(t, "b.bin"), "rb"));
  char c = 0;
  ASSERT_TRUE(s.Seek(5, 0));
  EXPECT_EQ(s.Read(&c, 1), 1u);
  EXPECT_EQ(c, 'c');
  EXPECT_EQ(s.Tell(), 6);
  ASSERT_TRUE(s.Seek(-3, 1));
  EXPECT_EQ(s.Read(&c, 1), 1u);
  EXPECT_EQ(c, 'b');

  EXPECT_FALSE(s.Open(t.path(), "rb")) << "a folder";
  EXPECT_FALSE(s.Open(P(t, "missing.txt"), "rb"));
  EXPECT_FALSE(s.Open(P(t, "nofolder\\x.txt"), "wb"));
}

TEST(Stream, AFailedReadIsToldApartFromTheEnd) {
  TempDir t;
  WriteBytes(t / "a.bin", std::string(100000, 'x'));
  platform::Stream s;
  ASSERT_TRUE(s.Open(P(t, "a.bin"), "rb"));
  std::string all(200000, '\0');
  EXPECT_EQ(s.Read(&all[0], all.size()), 100000u);
  EXPECT_FALSE(s.ReadFailed());
  std::string whole;
  EXPECT_TRUE(platform::ReadWholeFile(P(t, "a.bin"), whole));
  EXPECT_EQ(whole, std::string(100000, 'x'));
  EXPECT_FALSE(platform::ReadWholeFile(P(t, "missing.bin"), whole));
#ifndef _WIN32
  EXPECT_FALSE(platform::ReadWholeFile("/proc/self/mem", whole));
  // Reading this process's memory at address 0 fails with an error.
  ASSERT_TRUE(s.Open("/proc/self/mem", "rb"));
  char c;
  EXPECT_EQ(s.Read(&c, 1), 0u);
  EXPECT_TRUE(s.ReadFailed());
  ASSERT_TRUE(s.Open("/proc/self/mem", "rb"));
  EXPECT_EQ(s.Read(&all[0], all.size()), 0u) << "a read past the buffer";
  EXPECT_TRUE(s.ReadFailed());
#endif
}

TEST(Stream, TextModeTranslatesEveryLineAcrossBuffers) {
  // Lines that straddle the buffer's end, written whole, piece by piece,
  // and bare LFs: every LF becomes CR LF, nothing else changes; a text
  // read gives them back.
  TempDir t;
  std::string text, expected;
  for (int i = 0; i < 30000; ++i) {
    text += "line" + std::to_string(i) + (i % 7 ? "\n" : "\n\n");
    expected += "line" + std::to_string(i) + (i % 7 ? "\r\n" : "\r\n\r\n");
  }
  platform::Stream s;
  ASSERT_TRUE(s.Open(P(t, "whole.txt"), "wt"));
  ASSERT_TRUE(s.Write(text));
  ASSERT_TRUE(s.Close());
  EXPECT_EQ(ReadBytes(t / "whole.txt"), expected);
  ASSERT_TRUE(s.Open(P(t, "whole.txt"), "r"));
  std::string got(expected.size(), '\0');
  got.resize(s.Read(got.data(), got.size()));
  EXPECT_EQ(got, text);
  ASSERT_TRUE(s.Open(P(t, "pieces.txt"), "w"));
  for (size_t at = 0; at < text.size(); at += 1000) ASSERT_TRUE(s.Write(text.data() + at, std::min<size_t>(1000, text.size() - at)));
  ASSERT_TRUE(s.Close());
  EXPECT_EQ(ReadBytes(t / "pieces.txt"), expected);
  ASSERT_TRUE(s.Open(P(t, "pieces.bin"), "wb"));
  for (size_t at = 0; at < text.size(); at += 1000) ASSERT_TRUE(s.Write(text.data() + at, std::min<size_t>(1000, text.size() - at)));
  ASSERT_TRUE(s.Close());
  EXPECT_EQ(ReadBytes(t / "pieces.bin"), text);
}

TEST(Folders, ListingIsInNtfsOrderWithKindsAndSizes) {
  TempDir t;
  WriteBytes(t / "b.txt", "12345");
  WriteBytes(t / "A.txt", "");
  WriteBytes(t / "a_b", "x");
  WriteBytes(t / "AB", "xy");
  test::MakeFolders(t / "Sub");
  std::vector<DirEntry> entries;
  ASSERT_TRUE(platform::ListFolder(t.path(), entries));
  std::string seen;
  for (const DirEntry& e : entries) seen += e.name + (e.isFolder ? "/ " : ":" + std::to_string(e.size) + " ");
  // '_' sorts after the upper-case letters, as NTFS compares upper-cased names.
  EXPECT_EQ(seen, "A.txt:0 AB:2 a_b:1 b.txt:5 Sub/ ");
  EXPECT_FALSE(platform::ListFolder(P(t, "missing"), entries));
  EXPECT_TRUE(entries.empty());

  EXPECT_TRUE(platform::CreateFolder(P(t, "one")));
  EXPECT_FALSE(platform::CreateFolder(P(t, "one")));
  EXPECT_FALSE(platform::CreateFolder(P(t, "two\\three"))) << "one level only";
  EXPECT_EQ(platform::GetPathKind(P(t, "one")), PathKind::Folder);
  EXPECT_EQ(platform::GetPathKind(P(t, "two")), PathKind::None);
}

TEST(Paths, AbsolutePaths) {
#ifndef _WIN32
  EXPECT_TRUE(platform::IsAbsolutePath("/home/x"));
  for (const char* relative : {"home/x", "C:\\x", ""}) EXPECT_FALSE(platform::IsAbsolutePath(relative)) << relative;
  // Without "." and doubled or closing separators, absolute or not.
  for (const char* given : {"/home/./x/.", "//home//x/", "/home/x"}) EXPECT_EQ(platform::AbsolutePath(given), "/home/x");
  EXPECT_EQ(platform::AbsolutePath("x/./y/"), platform::AbsolutePath("x") + "/y");
  EXPECT_EQ(platform::AbsolutePath("/."), "/");
#else
  EXPECT_TRUE(platform::IsAbsolutePath("C:\\x"));
  EXPECT_TRUE(platform::IsAbsolutePath("\\\\srv\\share"));
  for (const char* relative : {"x\\y", "C:"}) EXPECT_FALSE(platform::IsAbsolutePath(relative)) << relative;
  // A folder given in either separator, with "." and "..", a separator at
  // the end or the long-path prefix: one spelling.
  const std::string here = platform::AbsolutePath("x");
  ASSERT_TRUE(platform::IsAbsolutePath(here)) << here;
  for (const std::string given : {std::string("x/y/"), std::string("x\\.\\z\\..\\y\\"), "\\\\?\\" + here + "\\y", here + "/y//"})
    EXPECT_EQ(platform::AbsolutePath(given), here + "\\y") << given;
  EXPECT_EQ(platform::AbsolutePath("C:\\"), "C:\\");
#endif
}

#ifndef _WIN32
TEST(Paths, ExistingComponentsAreFoundInAnyLetterCase) {
  TempDir t;
  WriteBytes(t / "MODELS/loks/Zug.3dm", "model");
  EXPECT_EQ(platform::GetPathKind(P(t, "Models\\Loks\\ZUG.3DM")), PathKind::File);
  uint64_t len = 0;
  ASSERT_TRUE(platform::GetFileLength(P(t, "models\\LOKS\\zug.3dm"), len));
  EXPECT_EQ(len, 5u);
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListFolder(P(t, "models\\LOKS"), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "Zug.3dm");

  // A new component is created as spelled, inside the existing folder.
  EXPECT_TRUE(platform::CreateFolder(P(t, "Models\\Loks\\Neu")));
  EXPECT_TRUE(test::Exists(t / "MODELS/loks/Neu"));
  EXPECT_FALSE(test::Exists(t / "Models"));
  platform::Stream s;
  ASSERT_TRUE(s.Open(P(t, "models\\loks\\neu\\Wagen.txt"), "wb"));
  ASSERT_TRUE(s.Close());
  EXPECT_TRUE(test::Exists(t / "MODELS/loks/Neu/Wagen.txt"));
  EXPECT_EQ(platform::GetPathKind(P(t, "MODELS\\LOKS\\NEU\\WAGEN.TXT")), PathKind::File) << "known at once";

#ifndef _WIN32
  // UTF-8 names fold letter by letter in every script; bytes that are no
  // UTF-8 stay as they are.
  WriteBytes(t / "MODELS/G\u00fcterwagen-\u03b1.3dm", "wagon");
  EXPECT_EQ(platform::NativePath(P(t, "models\\G\u00dcTERWAGEN-\u0391.3DM")),
            t / "MODELS/G\u00fcterwagen-\u03b1.3dm");
  EXPECT_EQ(platform::FoldedName("stra\u00dfe \u00ff\xff\xc3"), "STRA\u00dfE \u0178\xff\xc3");
  // Shown, control characters are '?', the C1 ones of UTF-8 and stray such
  // bytes too; letters stay.
  EXPECT_EQ(platform::ShownText("a\x1b[2J\xc2\x9b" "2J\x9b\u00fc\u20ac\x7f"), "a?[2J?2J?\u00fc\u20ac?");
#endif
}

TEST(Paths, LetterCaseLookupsSeeChangesMadeByOthersAtOnce) {
  TempDir t;
  platform::Stream s;
  ASSERT_TRUE(s.Open(P(t, "ours.ini"), "wb"));
  ASSERT_TRUE(s.Close());
  // Another program writes beside our new file within the same moment.
  WriteBytes(t / "Theirs.ini", "x");
  EXPECT_EQ(platform::NativePath(P(t, "THEIRS.INI")), t / "Theirs.ini");
  fs::rename(fs::path(t / "Theirs.ini"), fs::path(t / "moved.ini"));
  EXPECT_EQ(platform::NativePath(P(t, "THEIRS.INI")), t / "THEIRS.INI");
  EXPECT_EQ(platform::NativePath(P(t, "Moved.INI")), t / "moved.ini");
  // Of two names equal but for case, the one left after a delete is found.
  WriteBytes(t / "a.txt", "1");
  WriteBytes(t / "A.TXT", "2");
  fs::remove(fs::path(t / "a.txt"));
  EXPECT_EQ(platform::NativePath(P(t, "a.Txt")), t / "A.TXT");
  // While two such names stand, each spelled exactly names itself.
  WriteBytes(t / "b.txt", "1");
  WriteBytes(t / "B.TXT", "2");
  EXPECT_EQ(platform::NativePath(P(t, "b.txt")), t / "b.txt");
  EXPECT_EQ(platform::NativePath(P(t, "B.TXT")), t / "B.TXT");
}

TEST(Paths, DuringARunLetterCaseLookupsFollowTheRunsOwnChanges) {
  TempDir t;
  WriteBytes(t / "Data/Zug.txt", "z");
  platform::TemporarySweep run;  // a run holds the host: its folders are read once
  EXPECT_EQ(platform::NativePath(P(t, "DATA\\ZUG.TXT")), t / "Data/Zug.txt");
  // Every way the run makes, moves or removes a name is seen at once.
  ASSERT_TRUE(platform::CopyFileKeepingTime(P(t, "data\\zug.txt"), P(t, "Data\\Neu.txt"), true));
  EXPECT_EQ(platform::NativePath(P(t, "DATA\\NEU.TXT")), t / "Data/Neu.txt");
  ASSERT_TRUE(platform::MoveFileReplacing(P(t, "data\\neu.txt"), P(t, "Data\\Alt.txt")));
  EXPECT_EQ(platform::NativePath(P(t, "DATA\\NEU.TXT")), t / "Data/NEU.TXT");
  EXPECT_EQ(platform::NativePath(P(t, "data\\alt.TXT")), t / "Data/Alt.txt");
  ASSERT_TRUE(platform::RemoveFile(P(t, "DATA\\ZUG.TXT")));
  EXPECT_EQ(platform::NativePath(P(t, "data\\zug.txt")), t / "Data/zug.txt");
  ASSERT_TRUE(platform::CreateFolder(P(t, "data\\Sub")));
  ASSERT_TRUE(platform::CopyFileKeepingTime(P(t, "data\\alt.txt"), P(t, "DATA\\SUB\\x.txt"), true));
  EXPECT_EQ(platform::NativePath(P(t, "data\\sub\\X.TXT")), t / "Data/Sub/x.txt");
  // A name the run itself replaces keeps its spelling.
  ASSERT_TRUE(platform::CopyFileKeepingTime(P(t, "data\\alt.txt"), P(t, "DATA\\SUB\\X.TXT"), false));
  EXPECT_EQ(test::Listing(t / "Data/Sub"), (std::vector<std::string>{"x.txt"}));
}
#endif

TEST(Copy, KeepsTimeRefusesOrReplacesAsAskedAndLeavesNoTemporaryFile) {
  TempDir t;
  WriteBytes(t / "src.dat", "new content");
  WriteBytes(t / "dst.dat", "old");
  auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  fs::last_write_time(fs::path(t / "src.dat"), old);

  EXPECT_FALSE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, "dst.dat"), true));
  EXPECT_EQ(ReadBytes(t / "dst.dat"), "old");
  EXPECT_TRUE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, "dst.dat"), false));
  EXPECT_EQ(ReadBytes(t / "dst.dat"), "new content");
  EXPECT_TRUE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, "fresh.dat"), true));
  EXPECT_EQ(ReadBytes(t / "fresh.dat"), "new content");
  EXPECT_LT(std::chrono::abs(fs::last_write_time(fs::path(t / "fresh.dat")) - old), std::chrono::seconds(2));

  EXPECT_FALSE(platform::CopyFileKeepingTime(P(t, "missing.dat"), P(t, "x.dat"), false));
  EXPECT_FALSE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, "nofolder\\x.dat"), true));
  EXPECT_EQ(test::Listing(t.path()), (std::vector<std::string>{"dst.dat", "fresh.dat", "src.dat"}));

#ifndef _WIN32
  // While a copy is made, new or replacing, the folder holds no name of it
  // where the system can make a file without one: a run killed then leaves
  // nothing behind, whatever its journal names yet.
  struct Looking : platform::CopyWatcher {
    std::string folder;
    std::vector<std::vector<std::string>> seen;
    void Bytes(const char*, size_t) override { seen.push_back(test::Listing(folder)); }
    bool Placing() override {
      seen.push_back(test::Listing(folder));
      return true;
    }
  } looking;
  looking.folder = t.path();
  const std::vector<std::string> before = test::Listing(t.path());
  for (const char* to : {"dst.dat", "newer.dat"}) {
    looking.seen.clear();
    ASSERT_TRUE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, to), false, &looking));
    for (const auto& listing : looking.seen) EXPECT_EQ(listing, before) << to;
  }
#endif
}

TEST(Files, WritabilityAndRealPaths) {
  TempDir t;
  WriteBytes(t / "open.reg", "x");
  WriteBytes(t / "locked.reg", "x");
  SetReadOnly(t / "locked.reg", true);
  EXPECT_TRUE(platform::CanWriteFile(P(t, "open.reg")));
  EXPECT_FALSE(platform::CanWriteFile(P(t, "locked.reg")));
  EXPECT_FALSE(platform::CanWriteFile(P(t, "missing.reg")));
  EXPECT_FALSE(platform::CanWriteFile(t.path()));
  SetReadOnly(t / "locked.reg", false);
  // Room on the disk, as a failed write is explained.
  EXPECT_FALSE(platform::NoRoomIn(t.path(), 1));
  EXPECT_TRUE(platform::NoRoomIn(t.path(), uint64_t{1} << 62));
  // Memory, as a merge of a huge catalogue file is refused before it starts.
  EXPECT_TRUE(platform::MemoryFor(1 << 20));
#ifndef _WIN32
  EXPECT_FALSE(platform::MemoryFor(uint64_t{1} << 62));
#endif

  WriteBytes(t / "Sub/file.txt", "x");
  std::string real = platform::RealPath(P(t, "Sub\\file.txt"));
  EXPECT_TRUE(platform::IsAbsolutePath(real)) << real;
  EXPECT_EQ(platform::GetPathKind(real), PathKind::File);
  EXPECT_EQ(platform::RealPath(P(t, "missing")), "");
#ifdef _WIN32
  // As the system spells it, whatever the spelling it was reached by.
  EXPECT_NE(real.find("Sub\\file.txt"), std::string::npos) << real;
  EXPECT_EQ(platform::RealPath(P(t, "SUB\\FILE.TXT")), real);
#else
  fs::create_directory_symlink(t / "Sub", t / "link");
  EXPECT_EQ(platform::RealPath(P(t, "link\\FILE.TXT")), real);
  EXPECT_EQ(platform::RealPath(P(t, "link")).find("link"), std::string::npos);
#endif

  std::string program = platform::ExecutablePath();
  ASSERT_TRUE(platform::IsAbsolutePath(program)) << program;
  EXPECT_EQ(platform::GetPathKind(program), PathKind::File);
  EXPECT_NE(program.find("platform_test"), std::string::npos) << program;
  // The Windows build's tests run under Wine, which sets its prefix.
#ifdef _WIN32
  EXPECT_EQ(platform::RunsUnderWine(), std::getenv("WINEPREFIX") != nullptr);
  // A name with a letter the code page lacks is listed with a '?' for it,
  // never as the look-alike name of another file; so is an environment
  // variable's value told apart.
  fs::create_directories(fs::path(t.path()) / "cp");
  std::ofstream(fs::path(t.path()) / "cp" / L"\u0159eka.txt") << "x";
  std::vector<platform::DirEntry> listed;
  ASSERT_TRUE(platform::ListFolder(P(t, "cp"), listed));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, "?eka.txt");
  ::SetEnvironmentVariableW(L"ZET_TEST_FOLDER", L"C:\\\u0142");
  EXPECT_FALSE(platform::EnvironmentFitsCodePage("ZET_TEST_FOLDER"));
  ::SetEnvironmentVariableW(L"ZET_TEST_FOLDER", L"C:\\l");
  EXPECT_TRUE(platform::EnvironmentFitsCodePage("ZET_TEST_FOLDER"));
  EXPECT_EQ(platform::ArgumentOutsideCodePage(), "");
#else
  EXPECT_FALSE(platform::RunsUnderWine());
#endif
}

TEST(Files, RewritesReplaceWholeKeepPermissionsAndSpareReadOnlyFiles) {
  TempDir t;
  EXPECT_TRUE(platform::WriteFileReplacing(P(t, "new.ini"), "a\nb\n", true));
  EXPECT_EQ(ReadBytes(t / "new.ini"), "a\r\nb\r\n");
  WriteBytes(t / "host.ini", "old");
  EXPECT_TRUE(platform::WriteFileReplacing(P(t, "HOST.INI"), "new", false));
  EXPECT_EQ(ReadBytes(t / "host.ini"), "new");

  WriteBytes(t / "locked.ini", "old");
  SetReadOnly(t / "locked.ini", true);
  EXPECT_FALSE(platform::WriteFileReplacing(P(t, "locked.ini"), "new", false));
  EXPECT_EQ(ReadBytes(t / "locked.ini"), "old");
  SetReadOnly(t / "locked.ini", false);
  test::MakeFolders(t / "folder.ini");
  EXPECT_FALSE(platform::WriteFileReplacing(P(t, "folder.ini"), "new", false));
#ifndef _WIN32
  fs::permissions(fs::path(t / "host.ini"), fs::perms(0640), fs::perm_options::replace);
  ASSERT_TRUE(platform::WriteFileReplacing(P(t, "host.ini"), "newer", false));
  EXPECT_EQ(fs::status(fs::path(t / "host.ini")).permissions(), fs::perms(0640));
  fs::create_symlink(t / "host.ini", t / "link.ini");
  ASSERT_TRUE(platform::WriteFileReplacing(P(t, "link.ini"), "through the link", false));
  EXPECT_TRUE(fs::is_symlink(fs::path(t / "link.ini")));
  EXPECT_EQ(ReadBytes(t / "host.ini"), "through the link");
#endif
  // A rewrite that is given up leaves the old bytes and no temporary file.
  platform::Replacement replacement;
  ASSERT_TRUE(platform::BeginReplacement(P(t, "new.ini"), replacement));
  WriteBytes(replacement.temporary, "half");
  EXPECT_FALSE(platform::FinishReplacement(replacement, false));
  EXPECT_EQ(ReadBytes(t / "new.ini"), "a\r\nb\r\n");
  for (const std::string& name : test::Listing(t.path())) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST(Files, TemporaryNamesAreShortOfTheirOwnPatternAndSweptOnlyWhenTheirs) {
  TempDir t;
  // Beside a name of 250 bytes: the temporary name does not grow with it.
  const std::string longName(250, 'n');
  WriteBytes(t / longName, "old");
  const std::string temporary = platform::TemporaryPathBeside(P(t, longName));
  const std::string name = temporary.substr(temporary.find_last_of("\\/") + 1);
  EXPECT_EQ(name.size(), 16u) << name;
  EXPECT_TRUE(platform::IsOwnTemporaryName(name)) << name;
  EXPECT_EQ(ReadBytes(t / name), "");  // made, so no other writer takes the name
  WriteBytes(t / "src.dat", "new");
  EXPECT_TRUE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, longName), false));
  EXPECT_EQ(ReadBytes(t / longName), "new");
  // Where no file can be made, the search for a name ends.
  EXPECT_EQ(platform::TemporaryPathBeside(P(t, "missing\\x.txt")), "");

  EXPECT_TRUE(platform::IsOwnTemporaryName("~zvt0123abcd.tmp"));
  // Look-alikes in other letters are a user's.
  for (const char* other : {"~zvt0123abc.tmp", "~zvt0123abcg.tmp", "x~zvt0123abcd.tmp", "~zvt0123abcd.tmp.bak", "a.tmp",
                            "~ZVT0123ABCD.TMP", "~zvt0123abcD.tmp"})
    EXPECT_FALSE(platform::IsOwnTemporaryName(other)) << other;
  WriteBytes(t / "Sub/~zvt0123abcd.tmp", "left by a killed run");
  WriteBytes(t / "Sub/~zvt0123abcd.tmp.bak", "the user's");
  std::vector<std::string> left{"~zvt0123abcd.tmp.bak"};
#ifndef _WIN32
  // Only files are the program's: a pipe or a link of the name is not.
  ASSERT_EQ(::mkfifo((t / "Sub/~zvt0123abce.tmp").c_str(), 0644), 0);
  fs::create_symlink(t / "src.dat", t / "Sub/~zvt0123abcf.tmp");
  left = {"~zvt0123abcd.tmp.bak", "~zvt0123abce.tmp", "~zvt0123abcf.tmp"};
#endif
  platform::RemoveOwnTemporaries(P(t, "Sub"));
  EXPECT_EQ(test::Listing(t / "Sub"), left);
}

TEST(Folders, SamenessAndContainmentGoByIdentityNotSpelling) {
  TempDir t;
  test::MakeFolders(t / "a/RESOURCEN/Inner");
  const std::string folder = P(t, "a\\RESOURCEN");
  EXPECT_TRUE(platform::SameFolder(folder, P(t, "a\\.\\RESOURCEN")));
  EXPECT_TRUE(platform::SameFolder(folder, P(t, "a\\RESOURCEN\\Inner\\..")));
  EXPECT_FALSE(platform::SameFolder(folder, P(t, "a\\RESOURCEN\\Inner")));
  EXPECT_FALSE(platform::SameFolder(folder, P(t, "a\\none")));
  EXPECT_TRUE(platform::IsInsideFolder(P(t, "a\\.\\RESOURCEN\\Inner"), folder));
  EXPECT_TRUE(platform::IsInsideFolder(folder, folder));
  EXPECT_FALSE(platform::IsInsideFolder(P(t, "a"), folder));
#ifndef _WIN32
  fs::create_directory_symlink(t / "a/RESOURCEN", t / "link");
  EXPECT_TRUE(platform::SameFolder(folder, t / "link"));
  EXPECT_TRUE(platform::SameFolder(folder, t.path() + "//a/RESOURCEN/"));
  // Two folders whose names differ only in letter case are two folders here.
  test::MakeFolders(t / "a/resourcen");
  EXPECT_FALSE(platform::SameFolder(folder, P(t, "a\\resourcen")));
#endif

  // One lock per folder however spelled, beside it, not in it; one taker at a time.
  const std::string lockPath = platform::HostLockPath(P(t, "a\\.\\RESOURCEN\\"));
  EXPECT_EQ(lockPath, platform::HostLockPath(folder));
  EXPECT_NE(lockPath.find("zetveltran-RESOURCEN.lock"), std::string::npos) << lockPath;
  EXPECT_EQ(platform::HostLockPath(P(t, "a\\none")), "");
  platform::FileLock first, second;
  EXPECT_EQ(first.Take(lockPath), platform::FileLock::Result::Taken);
  EXPECT_EQ(second.Take(lockPath), platform::FileLock::Result::Busy);
  first.Release();
  EXPECT_EQ(second.Take(lockPath), platform::FileLock::Result::Taken);
  EXPECT_EQ(test::Listing(t / "a/RESOURCEN"), (std::vector<std::string>{"Inner"}));
  // Whether someone holds it is told without taking it: by a reader too.
  EXPECT_TRUE(platform::FileLock::HeldBySomeone(lockPath));
  second.Release();
  EXPECT_FALSE(platform::FileLock::HeldBySomeone(lockPath));
  EXPECT_FALSE(platform::FileLock::HeldBySomeone(P(t, "a\\none.lock")));
#ifndef _WIN32
  fs::permissions(fs::path(platform::NativePath(lockPath)), fs::perms(0444), fs::perm_options::replace);
  EXPECT_EQ(second.Take(lockPath), platform::FileLock::Result::Taken);  // root, or the file's owner
  EXPECT_EXIT(
      {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(3);
        std::_Exit(platform::FileLock::HeldBySomeone(lockPath) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  second.Release();
  fs::permissions(fs::path(platform::NativePath(lockPath)), fs::perms(0666), fs::perm_options::replace);
#endif
  EXPECT_EQ(second.Take(lockPath), platform::FileLock::Result::Taken);
#ifndef _WIN32
  // Whoever made it, another user (the host's owner) can take it later.
  EXPECT_EQ(fs::status(fs::path(platform::NativePath(lockPath))).permissions(), fs::perms(0666));
  // One that stands is taken as it is: it may be another file's second name.
  first.Release();
  second.Release();
  fs::remove(fs::path(platform::NativePath(lockPath)));
  WriteBytes(t / "secret", "s");
  fs::permissions(fs::path(t / "secret"), fs::perms(0600), fs::perm_options::replace);
  fs::create_hard_link(fs::path(t / "secret"), fs::path(platform::NativePath(lockPath)));
  EXPECT_EQ(first.Take(lockPath), platform::FileLock::Result::Taken);
  EXPECT_EQ(fs::status(fs::path(t / "secret")).permissions(), fs::perms(0600));
  first.Release();
  // The folder itself is locked too: reached by a second mount, whose lock
  // file lies elsewhere, it is busy all the same.
  EXPECT_EQ(first.Take(lockPath, folder), platform::FileLock::Result::Taken);
  EXPECT_EQ(second.Take(P(t, "elsewhere.lock"), folder), platform::FileLock::Result::Busy);
  first.Release();
  EXPECT_EQ(second.Take(P(t, "elsewhere.lock"), folder), platform::FileLock::Result::Taken);
#endif
}

#ifndef _WIN32
TEST(Copy, ReplacedFilesKeepModeOwnerAndLinksReadOnlyOnesStayAndHolesStayHoles) {
  TempDir t;
  WriteBytes(t / "src.dat", "new");
  WriteBytes(t / "locked.dat", "old");
  fs::permissions(fs::path(t / "locked.dat"), fs::perms(0444), fs::perm_options::replace);
  EXPECT_FALSE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, "locked.dat"), false));  // also as root
  EXPECT_EQ(ReadBytes(t / "locked.dat"), "old");
  EXPECT_EQ(fs::status(fs::path(t / "locked.dat")).permissions(), fs::perms(0444));

  WriteBytes(t / "host.dat", "old");
  fs::permissions(fs::path(t / "host.dat"), fs::perms(0640), fs::perm_options::replace);
  fs::create_symlink(t / "host.dat", t / "link.dat");
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown((t / "host.dat").c_str(), 4321, 4321), 0);
  }
  ASSERT_TRUE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, "link.dat"), false));
  EXPECT_TRUE(fs::is_symlink(fs::path(t / "link.dat")));
  EXPECT_EQ(ReadBytes(t / "host.dat"), "new");
  EXPECT_EQ(fs::status(fs::path(t / "host.dat")).permissions(), fs::perms(0640));
  struct stat st;
  ASSERT_EQ(::stat((t / "host.dat").c_str(), &st), 0);
  if (::geteuid() == 0) {
    EXPECT_EQ(st.st_uid, 4321u);
  }
  // A package's set-user-id bit does not come along.
  fs::permissions(fs::path(t / "src.dat"), fs::perms(04755), fs::perm_options::replace);
  ASSERT_TRUE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, "fresh.dat"), true));
  EXPECT_EQ(fs::status(fs::path(t / "fresh.dat")).permissions() & fs::perms::set_uid, fs::perms::none);
  // A host file's set-user-id and set-group-id bits do not go to the
  // package's bytes that replace it; its other bits do.
  fs::permissions(fs::path(t / "host.dat"), fs::perms(06755), fs::perm_options::replace);
  ASSERT_TRUE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, "host.dat"), false));
  EXPECT_EQ(fs::status(fs::path(t / "host.dat")).permissions(), fs::perms(0755));
  // Nor a package's lack of bits: the owner can read and write the copy,
  // and execute bits come along.
  for (const int from : {0, 0711}) {
    fs::remove(fs::path(t / "fresh.dat"));
    fs::permissions(fs::path(t / "src.dat"), fs::perms(from), fs::perm_options::replace);
    ASSERT_TRUE(platform::CopyFileKeepingTime(P(t, "src.dat"), P(t, "fresh.dat"), true));
    const auto bits = static_cast<int>(fs::status(fs::path(t / "fresh.dat")).permissions());
    EXPECT_EQ(bits & 0700, from == 0 ? 0600 : 0700) << std::oct << from;
  }

  // 16 MB with 4 KB of data at each end.
  {
    std::ofstream sparse(t / "sparse.dat", std::ios::binary);
    sparse << std::string(4096, 'a');
    sparse.seekp(16 << 20);
    sparse << std::string(4096, 'z');
  }
  ASSERT_EQ(::stat((t / "sparse.dat").c_str(), &st), 0);
  if (st.st_blocks * 512 >= st.st_size) GTEST_SKIP() << "this file system keeps no holes";
  ASSERT_TRUE(platform::CopyFileKeepingTime(P(t, "sparse.dat"), P(t, "copy.dat"), true));
  ASSERT_EQ(::stat((t / "copy.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, (16 << 20) + 4096);
  EXPECT_LT(st.st_blocks * 512, 1 << 20);
  std::ifstream copy(t / "copy.dat", std::ios::binary);
  std::string head(4096, '\0'), middle(4096, '\0'), tail(4096, '\0');
  copy.read(&head[0], 4096).seekg(8 << 20).read(&middle[0], 4096).seekg(16 << 20).read(&tail[0], 4096);
  EXPECT_EQ(head + middle + tail, std::string(4096, 'a') + std::string(4096, '\0') + std::string(4096, 'z'));
}

TEST(Stream, PipesAndDevicesAreNotOpenedForReadingAndNothingWaits) {
  TempDir t;
  ASSERT_EQ(::mkfifo((t / "Texturen.txt").c_str(), 0644), 0);
  platform::Stream in;
  EXPECT_FALSE(in.Open(P(t, "Texturen.txt"), "rb"));
  EXPECT_FALSE(in.Open("/dev/zero", "rb"));
  std::string bytes;
  EXPECT_FALSE(platform::ReadWholeFile("/dev/zero", bytes));
  EXPECT_FALSE(platform::CopyFileKeepingTime(P(t, "Texturen.txt"), P(t, "copy.txt"), true));
  EXPECT_FALSE(platform::CopyFileKeepingTime("/dev/zero", P(t, "copy.txt"), true));
  EXPECT_EQ(test::Listing(t.path()), (std::vector<std::string>{"Texturen.txt"}));
}

// A log that another program cuts shorter while it is written (its store
// into the map would fault) refuses the append and all after it; the
// process goes on.
TEST(Files, AnAppendLogCutShorterByAnotherProgramRefusesAndGoesOn) {
  TempDir t;
  platform::AppendLog log;
  ASSERT_TRUE(log.Open(P(t, "manifest.txt")));
  ASSERT_TRUE(log.Append("first line\n"));
  ASSERT_EQ(::truncate((t / "manifest.txt").c_str(), 0), 0);
  EXPECT_FALSE(log.Append(std::string(100, 'x') + "\n"));
  EXPECT_FALSE(log.Append("later\n"));
  EXPECT_TRUE(log.Close());
}

// A log beside the host's files on a nearly full disk takes no more of it
// than its next piece: the files that fit still fit, and a log that meets
// the full disk says so and keeps what it holds.
TEST(Files, AnAppendLogLeavesANearlyFullDiskToTheFiles) {
  TempDir t;
  const fs::path disk = t / "disk";
  fs::create_directory(disk);
  if (::geteuid() != 0 || std::system(("mount -t tmpfs -o size=1536k zetlog '" + disk.string() + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "no small file system can be mounted here";
  struct Unmount {
    fs::path at;
    ~Unmount() { (void)std::system(("umount '" + at.string() + "'").c_str()); }
  } unmount{disk};

  platform::AppendLog log;
  ASSERT_TRUE(log.Open(disk.string() + "/manifest.txt"));
  std::string lines;
  for (int i = 0; i < 2000; ++i) {  // more than a piece
    const std::string line = "new\tModelle\\Datei" + std::to_string(i) + ".mdl\n";
    ASSERT_TRUE(log.Append(line));
    lines += line;
  }
  std::ofstream(disk / "large.mdl", std::ios::binary) << std::string(1 << 20, 'x');
  EXPECT_EQ(fs::file_size(disk / "large.mdl"), uintmax_t{1} << 20);
  std::ofstream(disk / "filler", std::ios::binary) << std::string(600 << 10, 'f');
  bool full = false;
  for (int i = 0; i < 100000 && !full; ++i) {
    const std::string line = "old\t" + std::string(200, 'o') + "\n";
    if (log.Append(line)) lines += line;
    else full = true;
  }
  EXPECT_TRUE(full);
  // The room kept takes a last line, and the lines written later in place.
  EXPECT_TRUE(log.Append("end\n", true));
  lines += "end\n";
  EXPECT_TRUE(log.Close());
  std::string kept = ReadBytes(disk / "manifest.txt");
  const size_t zeros = kept.size() - (kept.find_last_not_of('\0') + 1);
  EXPECT_GT(zeros, 64u);
  EXPECT_LE(zeros, 4096u);
  kept.resize(kept.size() - zeros);
  EXPECT_EQ(kept.size(), lines.size());
  EXPECT_TRUE(kept == lines);
}
#endif

}  // namespace
}  // namespace zet
