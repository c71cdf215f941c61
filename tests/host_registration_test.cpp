// The host's resource base as a folder of this system: a Windows path through
// the drive links of a Wine prefix. What the registration holds, and the
// rescan request, the console program's tests and the dialog's see whole.

#include "host/host_registration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/reg_file_store.h"
#include "platform/platform.h"
#include "test_support.h"

namespace zet {
namespace {

using test::TempDir;

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
  {
    const test::ScopedEnv winePrefix("WINEPREFIX", prefix.path().c_str());
    std::string folder;
    ASSERT_TRUE(HostFolderFromWindowsPath("C:\\ZET\\RESOURCEN", folder));
    EXPECT_EQ(folder, platform::RealPath(prefix / "drive_c") + "/ZET/RESOURCEN");
  }
  const test::ScopedEnv noPrefix("WINEPREFIX", ""), home("HOME", "/home/someone");
  EXPECT_EQ(RegFileStore::DefaultPrefix(), "/home/someone/.wine");
}
#endif

}  // namespace
}  // namespace zet
