// The OS boundary: streams with CR LF text mode, NTFS-order listings,
// case-insensitive paths on POSIX, copies keeping the time, and rewrites
// that never leave a half-written file.

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

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

TEST(Stream, TextModeWritesCrLfAndBinaryModeKeepsBytes) {
  TempDir t;
  platform::Stream s;
  ASSERT_TRUE(s.Open(P(t, "a.txt"), "w"));
  ASSERT_TRUE(s.Write(std::string("one\ntwo\n")));
  ASSERT_TRUE(s.Close());
  EXPECT_EQ(ReadBytes(t / "a.txt"), "one\r\ntwo\r\n");

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

TEST(Stream, TextReadsTranslateEveryLineAcrossBuffers) {
  TempDir t;
  std::string raw, expected;
  for (int i = 0; i < 30000; ++i) {
    raw += "line" + std::to_string(i) + "\r\n";
    expected += "line" + std::to_string(i) + "\n";
  }
  WriteBytes(t / "big.txt", raw);
  platform::Stream s;
  ASSERT_TRUE(s.Open(P(t, "big.txt"), "r"));
  std::string got(raw.size(), '\0');
  got.resize(s.Read(got.data(), got.size()));
  EXPECT_EQ(got, expected);
}

TEST(Stream, TextWritesTranslateEveryLineAcrossBuffers) {
  // Lines that straddle the buffer's end, written whole, piece by piece,
  // and bare LFs: every LF becomes CR LF, nothing else changes.
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
#else
  EXPECT_TRUE(platform::IsAbsolutePath("C:\\x"));
  EXPECT_TRUE(platform::IsAbsolutePath("\\\\srv\\share"));
  for (const char* relative : {"x\\y", "C:"}) EXPECT_FALSE(platform::IsAbsolutePath(relative)) << relative;
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

  // A new component is created as spelled, inside the existing folder.
  EXPECT_TRUE(platform::CreateFolder(P(t, "Models\\Loks\\Neu")));
  EXPECT_TRUE(test::Exists(t / "MODELS/loks/Neu"));
  EXPECT_FALSE(test::Exists(t / "Models"));
  platform::Stream s;
  ASSERT_TRUE(s.Open(P(t, "models\\loks\\neu\\Wagen.txt"), "wb"));
  ASSERT_TRUE(s.Close());
  EXPECT_TRUE(test::Exists(t / "MODELS/loks/Neu/Wagen.txt"));
  EXPECT_EQ(platform::GetPathKind(P(t, "MODELS\\LOKS\\NEU\\WAGEN.TXT")), PathKind::File) << "known at once";
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

  WriteBytes(t / "Sub/file.txt", "x");
  std::string real = platform::RealPath(P(t, "Sub\\file.txt"));
  EXPECT_TRUE(platform::IsAbsolutePath(real)) << real;
  EXPECT_EQ(platform::GetPathKind(real), PathKind::File);
  EXPECT_EQ(platform::RealPath(P(t, "missing")), "");
#ifndef _WIN32
  fs::create_directory_symlink(t / "Sub", t / "link");
  EXPECT_EQ(platform::RealPath(P(t, "link\\FILE.TXT")), real);
  EXPECT_EQ(platform::RealPath(P(t, "link")).find("link"), std::string::npos);
#endif

  std::string program = platform::ExecutablePath();
  ASSERT_TRUE(platform::IsAbsolutePath(program)) << program;
  EXPECT_EQ(platform::GetPathKind(program), PathKind::File);
  EXPECT_NE(program.find("platform_test"), std::string::npos) << program;
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

}  // namespace
}  // namespace zet
