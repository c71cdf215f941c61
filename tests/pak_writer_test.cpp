#include "fileio/pak_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace zet {
namespace {

using test::ProgramPath;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string EntryBytes(uint32_t offset, uint32_t size, const std::string& name) {
  return Le32(offset) + Le32(size) + name + std::string(128 - name.size(), '\0');
}

TEST(PakWriter, ArchiveOfAFolderHoldsRelativeUpperCaseNamesAndTheData) {
  TempDir dir;
  WriteBytes(dir / "tree/b.txt", "bee");
  WriteBytes(dir / "tree/Sub/a.Txt", "a");
  WriteBytes(dir / "tree/Sub/Deeper/c.dat", "");
  std::vector<PakWriteEntry> entries;
  std::string error;
  ASSERT_TRUE(CollectPakEntries(ProgramPath(dir, "tree"), entries, error)) << error;
  ASSERT_TRUE(WritePak(ProgramPath(dir, "out.pak"), entries, error)) << error;

  const uint32_t data = 16 + 3 * 136;
  std::string expected = std::string("PAK\0", 4) + Le32(3) + std::string(8, '\0') +
                         EntryBytes(data, 3, "B.TXT") + EntryBytes(data + 3, 1, "SUB\\A.TXT") +
                         EntryBytes(data + 4, 0, "SUB\\DEEPER\\C.DAT") + "bee" + "a";
  EXPECT_EQ(ReadBytes(dir / "out.pak"), expected);
  EXPECT_EQ(test::Listing(dir.path()), (std::vector<std::string>{"out.pak", "tree"}));  // no temporary file left
}

TEST(PakWriter, RefusalsSayWhyAndLeaveTheOldArchive) {
  TempDir dir;
  std::string path = ProgramPath(dir, "keep.pak");
  std::string error;
  ASSERT_TRUE(WritePak(path, {{"A.TXT", "old", ""}}, error));
  std::string old = ReadBytes(dir / "keep.pak");

  EXPECT_FALSE(WritePak(path, {{std::string(128, 'N'), "x", ""}}, error));
  EXPECT_NE(error.find("longer than 127 bytes"), std::string::npos) << error;
  EXPECT_FALSE(WritePak(path, {{"B.TXT", "", ProgramPath(dir, "missing.bin")}}, error));
  EXPECT_NE(error.find("missing.bin: cannot be read"), std::string::npos) << error;
  EXPECT_FALSE(WritePak(ProgramPath(dir, "no/folder/x.pak"), {{"A", "a", ""}}, error));
  EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(dir / "keep.pak"), old);
  EXPECT_EQ(test::Listing(dir.path()), std::vector<std::string>{"keep.pak"});

  std::vector<PakWriteEntry> entries;
  EXPECT_FALSE(CollectPakEntries(ProgramPath(dir, "nothing"), entries, error));
  EXPECT_NE(error.find("no such folder"), std::string::npos) << error;
#ifndef _WIN32
  WriteBytes(dir / "tree/a.txt", "1");
  WriteBytes(dir / "tree/A.TXT", "2");
  EXPECT_FALSE(CollectPakEntries(ProgramPath(dir, "tree"), entries, error));
  EXPECT_NE(error.find("also stored as A.TXT"), std::string::npos) << error;
  // Names are stored in the code page, as the run looks them up.
  std::filesystem::remove_all(dir / "tree");
  WriteBytes(dir / "tree/Br\xC3\xBC" "cke.mdl", "b");
  ASSERT_TRUE(CollectPakEntries(ProgramPath(dir, "tree"), entries, error)) << error;
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "BR\xFC" "CKE.MDL");
  WriteBytes(dir / "tree/\xE2\x82\xAC\xE2\x84\xA2\xC4\x80.mdl", "x");  // a letter beyond the code page
  EXPECT_FALSE(CollectPakEntries(ProgramPath(dir, "tree"), entries, error));
  EXPECT_NE(error.find("letters the code page lacks"), std::string::npos) << error;
#endif
}

}  // namespace
}  // namespace zet
