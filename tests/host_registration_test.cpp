// The host's registration as the programs use it: version, resource base,
// rescan request, and the resource base as a folder of this system.

#include "app/host_registration.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/reg_file_store.h"
#include "platform/platform.h"
#include "test_support.h"

namespace zet {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::string HostKey(const std::string& values) {
  return "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
         "[Software\\\\Classes\\\\Software\\\\Brankor\\\\KORA] 1796583920\n#time=1dd85b4bb82f256\n" +
         values + "\n[Software\\\\Wine] 1796583917\n\"Version\"=\"wine-8.0\"\n";
}

struct Prefix {
  TempDir dir;
  std::string system = dir / "system.reg";
  RegFileStore store{system, dir / "user.reg"};
  explicit Prefix(const std::string& text) { WriteBytes(system, text); }
};

TEST(HostRegistration, VersionAndResourceBase) {
  Prefix good(HostKey("\"ResBase\"=\"C:\\\\ZET\\\\RESOURCEN\"\n\"VERSION\"=dword:00040000\n"));
  HostRegistration host = ReadHostRegistration(good.store);
  EXPECT_TRUE(host.keyFound);
  EXPECT_TRUE(host.VersionSupported());
  EXPECT_TRUE(host.resBaseFound);
  EXPECT_EQ(host.resBase, "C:\\ZET\\RESOURCEN");

  Prefix newer(HostKey("\"VERSION\"=dword:00040001\n"));
  host = ReadHostRegistration(newer.store);
  EXPECT_TRUE(host.keyFound);
  EXPECT_EQ(host.version, 0x40001u);
  EXPECT_FALSE(host.VersionSupported());
  EXPECT_FALSE(host.resBaseFound);
  EXPECT_EQ(host.resBase, "");

  Prefix text(HostKey("\"VERSION\"=\"262144\"\n"));
  host = ReadHostRegistration(text.store);
  EXPECT_TRUE(host.keyFound);
  EXPECT_FALSE(host.versionFound);
  EXPECT_FALSE(host.VersionSupported());

  Prefix none("WINE REGISTRY Version 2\n\n[Software\\\\Wine] 1\n");
  host = ReadHostRegistration(none.store);
  EXPECT_FALSE(host.keyFound);
  EXPECT_FALSE(host.VersionSupported());
}

TEST(HostRegistration, ScanRequestChangesOneLineOnly) {
  std::string before = HostKey("\"ResBase\"=\"C:\\\\ZET\"\n\"VERSION\"=dword:00040000\n");
  Prefix prefix(before);
  EXPECT_TRUE(RequestHostScan(prefix.store));
  std::string expected = before;
  std::string version = "\"VERSION\"=dword:00040000\n";
  expected.insert(expected.find(version) + version.size(), "\"Scan\"=dword:00000002\n");
  EXPECT_EQ(ReadBytes(prefix.system), expected);
  EXPECT_TRUE(RequestHostScan(prefix.store));  // a second run: the same line again
  EXPECT_EQ(ReadBytes(prefix.system), expected);

  namespace fs = std::filesystem;
  fs::permissions(fs::path(prefix.system), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  Prefix missing("WINE REGISTRY Version 2\n");
  EXPECT_FALSE(RequestHostScan(missing.store));
  EXPECT_EQ(ReadBytes(missing.system), "WINE REGISTRY Version 2\n");
  EXPECT_FALSE(RequestHostScan(prefix.store));
  EXPECT_EQ(ReadBytes(prefix.system), expected);
}

#ifndef _WIN32
TEST(HostRegistration, WindowsPathsOfThePrefixAreItsFolders) {
  namespace fs = std::filesystem;
  TempDir prefix;
  test::MakeFolders(prefix / "drive_c/Programme/Zet/Resourcen");
  test::MakeFolders(prefix / "elsewhere/Data");
  test::MakeFolders(prefix / "dosdevices");
  fs::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");
  fs::create_directory_symlink(prefix / "elsewhere", prefix / "dosdevices/e:");
  fs::create_directory_symlink("/", prefix / "dosdevices/z:");
  fs::create_directory_symlink(prefix / "nowhere", prefix / "dosdevices/y:");
  std::string driveC = platform::RealPath(prefix / "drive_c");

  std::string folder;
  ASSERT_TRUE(MapWindowsPathToPrefix(prefix.path(), "C:\\PROGRAMME\\ZET\\RESOURCEN", folder));
  EXPECT_EQ(folder, driveC + "/Programme/Zet/Resourcen");  // the letter case on disk
  EXPECT_EQ(platform::GetPathKind(folder), platform::PathKind::Folder);
  ASSERT_TRUE(MapWindowsPathToPrefix(prefix.path(), "c:/Programme/./x/../Zet/", folder));
  EXPECT_EQ(folder, driveC + "/Programme/Zet");
  ASSERT_TRUE(MapWindowsPathToPrefix(prefix.path(), "C:\\..\\..\\Programme", folder));
  EXPECT_EQ(folder, driveC + "/Programme");  // never above the drive
  ASSERT_TRUE(MapWindowsPathToPrefix(prefix.path(), "C:", folder));
  EXPECT_EQ(folder, driveC);
  ASSERT_TRUE(MapWindowsPathToPrefix(prefix.path(), "e:\\data\\Neu", folder));
  EXPECT_EQ(folder, platform::RealPath(prefix / "elsewhere") + "/Data/Neu");  // a new name as written

  // Z: is the whole Unix file system in a usual prefix.
  std::string zPath = "Z:" + driveC;
  for (char& c : zPath)
    if (c == '/') c = '\\';
  ASSERT_TRUE(MapWindowsPathToPrefix(prefix.path(), zPath + "\\Programme", folder));
  EXPECT_EQ(folder, driveC + "/Programme");

  EXPECT_FALSE(MapWindowsPathToPrefix(prefix.path(), "D:\\ZET", folder));  // no such drive
  EXPECT_FALSE(MapWindowsPathToPrefix(prefix.path(), "Y:\\ZET", folder));  // a link to nothing
  EXPECT_FALSE(MapWindowsPathToPrefix(prefix.path(), "\\\\server\\share\\ZET", folder));
  EXPECT_FALSE(MapWindowsPathToPrefix(prefix.path(), "Programme\\ZET", folder));
  EXPECT_FALSE(MapWindowsPathToPrefix(prefix.path(), "C:ZET", folder));
  EXPECT_FALSE(MapWindowsPathToPrefix(prefix.path(), "", folder));
  EXPECT_EQ(folder, "");
}

TEST(HostRegistration, TheUsersPrefixIsWinePrefixElseHomeDotWine) {
  TempDir prefix;
  test::MakeFolders(prefix / "drive_c/ZET/RESOURCEN");
  test::MakeFolders(prefix / "dosdevices");
  std::filesystem::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");
  std::string savedPrefix = std::getenv("WINEPREFIX") ? std::getenv("WINEPREFIX") : "";
  std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";

  ::setenv("WINEPREFIX", prefix.path().c_str(), 1);
  EXPECT_EQ(RegFileStore::DefaultPrefix(), prefix.path());
  std::string folder;
  ASSERT_TRUE(HostFolderFromWindowsPath("C:\\ZET\\RESOURCEN", folder));
  EXPECT_EQ(folder, platform::RealPath(prefix / "drive_c") + "/ZET/RESOURCEN");
  ::setenv("WINEPREFIX", "", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(RegFileStore::DefaultPrefix(), "/home/someone/.wine");

  ::setenv("HOME", savedHome.c_str(), 1);
  if (savedPrefix.empty())
    ::unsetenv("WINEPREFIX");
  else
    ::setenv("WINEPREFIX", savedPrefix.c_str(), 1);
}
#endif

}  // namespace
}  // namespace zet
