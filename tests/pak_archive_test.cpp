// The resource archive reader: lookups, entry reads that stay inside the
// entry and the file, text mode, the slot limits, and broken archives.

#include "fileio/pak_archive.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_writer.h"
#include "platform/platform.h"
#include "test_support.h"

namespace zet {
namespace {

class PakArchiveTest : public test::SlotTest {
 protected:
  // An archive of the entries, written by the archive writer.
  std::string Make(const std::vector<PakWriteEntry>& entries, const std::string& name = "test.pak") {
    std::string error;
    EXPECT_TRUE(WritePak(P(name), entries, error)) << error;
    return P(name);
  }
  // Five entries: one name stored in lower case, one holding the stored text "abc".
  std::string Good() {
    return Make({{"MODELS\\LOKS\\BR218.3DS", "model bytes", ""}, {"SUB\\A.TXT", "sub a", ""},
                 {"lower\\case.txt", "stored in lower case", ""}, {"TEXT\\ABC.TXT", "\x64\xC6\x29", ""},
                 {"EMPTY.DAT", "", ""}},
                "good.pak");
  }
  // A written archive broken on purpose: bytes put over it at an offset, then cut to a length.
  std::string Broken(const std::string& name, const std::vector<PakWriteEntry>& entries, size_t at,
                     const std::string& bytes, size_t length = std::string::npos) {
    std::string archive = test::ReadBytes(Make(entries, name));
    archive = archive.replace(at, bytes.size(), bytes).substr(0, length);
    test::WriteBytes(P(name), archive);
    return P(name);
  }

  // The whole entry through an entry slot, in pieces of three bytes.
  static std::string ReadWhole(int slot, uint32_t size) {
    std::string out(size, '\0');
    for (uint32_t done = 0, n; done < size; done += n) {
      n = std::min<uint32_t>(3, size - done);
      if (ReadPakFile(slot, done == 0 ? &out[0] : nullptr, n) != 0) return "<read failed>";
    }
    return out;
  }

  static std::string Text(int archive, const std::string& name) {
    int slot = OpenPakFile(archive, name, "t");
    if (slot < 0) return "<" + std::to_string(slot) + ">";
    std::string text = *PakFileText(slot);
    EXPECT_EQ(ClosePakFile(slot), 0);
    return text;
  }
};

class BothModes : public PakArchiveTest, public ::testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(PakArchive, BothModes, ::testing::Values(kPakFileFlags, kPakWholeArchive),
                         [](const auto& info) { return info.param == kPakWholeArchive ? "Whole" : "File"; });

TEST_P(BothModes, LookupsUpperCaseTheRequestAndFoldDoubledSeparators) {
  int archive = OpenPak(Good(), GetParam());
  ASSERT_EQ(archive, 0);
  EXPECT_EQ(PakEntryCount(archive), 5);
  for (const char* name : {"sub\\a.txt", "Sub\\A.txt", "SUB\\\\A.TXT", "Models\\Loks\\br218.3ds"})
    EXPECT_TRUE(PakContains(archive, name)) << name;
  // Not found: a tripled separator (still doubled after folding), a slash, a
  // prefix, a name stored in lower case, a name longer than any.
  for (const std::string& name : {std::string("SUB\\\\\\A.TXT"), std::string("SUB/A.TXT"), std::string("SUB\\A.TX"),
                                  std::string("lower\\case.txt"), std::string(300, 'A')})
    EXPECT_FALSE(PakContains(archive, name)) << name;

  RecordFailures();
  EXPECT_EQ(OpenPakFile(archive, "missing.txt", "*"), kOpenFailed);
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(OpenPakFile(archive, "missing.txt", ""), kOpenFailed);
  EXPECT_EQ(calls_, std::vector<Call>({{-3, "missing.txt", "OpenPakFile"}}));

  int slot = OpenPakFile(archive, "models\\loks\\BR218.3DS", "");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ReadWhole(slot, 11), "model bytes");
  EXPECT_EQ(ClosePak(archive), 0);
  EXPECT_EQ(ReadPakFile(slot, nullptr, 1), kBadSlot);  // closed with its archive
}

TEST_P(BothModes, ReadsStayInsideTheEntryAndTheFile) {
  RecordFailures();
  // The second entry's offset and size point far past the end of the file.
  const std::string past = std::string("\0\xFF\xFF\xFF", 4) + std::string("\xC8\0\0\0", 4);
  int archive = OpenPak(Broken("outside.pak", {{"INSIDE.TXT", "in", ""}, {"OUTSIDE.TXT", "out", ""}}, 16 + 136, past),
                        GetParam());
  ASSERT_GE(archive, 0);
  int slot = OpenPakFile(archive, "inside.txt", "");
  ASSERT_GE(slot, 0);
  char buffer[8] = {};
  EXPECT_EQ(ReadPakFile(slot, nullptr, 1), kAborted);     // no destination yet
  EXPECT_EQ(ReadPakFile(slot, buffer, 3), kReadPastEnd);  // the entry holds two bytes
  EXPECT_EQ(ReadPakFile(slot, buffer, 0), 0);
  EXPECT_EQ(ReadPakFile(slot, nullptr, 2), 0);
  EXPECT_EQ(std::string(buffer), "in");
  EXPECT_EQ(ReadPakFile(slot, nullptr, 1), kReadPastEnd);
  EXPECT_EQ(ClosePakFile(slot), 0);

  slot = OpenPakFile(archive, "OUTSIDE.TXT", "");
  ASSERT_GE(slot, 0);
  std::vector<char> big(200);
  EXPECT_EQ(ReadPakFile(slot, big.data(), 200), kReadFailed);
  std::string data;
  EXPECT_EQ(LoadPakEntry(archive, "OUTSIDE.TXT", data, 0, false), kReadFailed);
  // Nor does a run leave a file to an entry that holds nothing readable.
  EXPECT_TRUE(PakContains(archive, "INSIDE.TXT"));
  EXPECT_FALSE(PakContains(archive, "OUTSIDE.TXT"));

  EXPECT_EQ(ReadPakFile(10, buffer, 1), kBadSlot);
  EXPECT_EQ(ReadPakFile(9, buffer, 1), kBadSlot);  // free
  std::vector<Call> expected = {{-9, "INSIDE.TXT", "ReadPakFile ADRESS ERROR"},
                                {-7, "INSIDE.TXT", "ReadPakFile"},
                                {-7, "INSIDE.TXT", "ReadPakFile"},
                                {-1, "OUTSIDE.TXT", "ReadPakFile"},
                                {-1, "OUTSIDE.TXT", "ReadPakFile"},
                                {-6, "", "ReadPakFile"},
                                {-6, "", "ReadPakFile"}};
  EXPECT_EQ(calls_, expected);
}

TEST_P(BothModes, LoadPakEntryCopiesTheEntryInChunks) {
  std::string big;
  for (int i = 0; i < 150000; ++i) big.push_back(static_cast<char>(i % 251));
  int archive = OpenPak(Make({{"SMALL.TXT", "small", ""}, {"BIG.BIN", big, ""}, {"EMPTY", "", ""}}), GetParam());
  ASSERT_GE(archive, 0);
  std::vector<std::pair<int64_t, int64_t>> progress;
  SetProgressHook([&](const std::string& name, int64_t done, int64_t total) {
    EXPECT_EQ(name, "BIG.BIN");
    progress.emplace_back(done, total);
    return false;
  });
  std::string data;
  EXPECT_EQ(LoadPakEntry(archive, "big.bin", data, 0, false), 150000);
  EXPECT_EQ(data, big);
  EXPECT_EQ(progress, (std::vector<std::pair<int64_t, int64_t>>{
                          {0, 150000}, {65536, 150000}, {131072, 150000}, {150000, 150000}}));
  SetProgressHook(nullptr);
  EXPECT_EQ(LoadPakEntry(archive, "big.bin", data, 10, false), 10);
  EXPECT_EQ(data, big.substr(0, 10));
  EXPECT_EQ(LoadPakEntry(archive, "empty", data, 0, false), 0);
  EXPECT_EQ(data, "");
  EXPECT_EQ(LoadPakEntry(archive, "none", data, 0, false), kOpenFailed);

  // Return-open: the slot is pointed at the destination for ReadPakFile.
  int slot = static_cast<int>(LoadPakEntry(archive, "small.txt", data, 0, true));
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ReadPakFile(slot, nullptr, 5), 0);
  EXPECT_EQ(data, "small");
  EXPECT_EQ(ClosePakFile(slot), 0);

  SetProgressHook([](const std::string&, int64_t done, int64_t) { return done > 0; });
  EXPECT_EQ(LoadPakEntry(archive, "big.bin", data, 0, false), kAborted);
  // Nothing stays open after the failures: all ten entry slots are free.
  for (int i = 0; i < kPakSlotCount; ++i) EXPECT_EQ(OpenPakFile(archive, "SMALL.TXT", ""), i);
}

TEST_P(BothModes, TextModeDecodesAndCachesSmallEntries) {
  std::string large(20000, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = "line\r\n"[i % 6];
  int archive = OpenPak(Make({{"A.TXT", EncodePakText("first"), ""},
                              {"LARGE.TXT", EncodePakText(large), ""},
                              {"EMPTY.TXT", "", ""},
                              {"SUB\\B.TXT", EncodePakText("second"), ""}}),
                        GetParam());
  ASSERT_GE(archive, 0);
  // Each twice: the second read of a small entry comes from the cache.
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(Text(archive, pass ? "A.TXT" : "a.txt"), "first");
    EXPECT_EQ(Text(archive, "large.txt"), large);
    EXPECT_EQ(Text(archive, "sub\\\\b.txt"), "second");
  }
  RecordFailures();
  EXPECT_EQ(Text(archive, "empty.txt"), "<-3>");
  EXPECT_EQ(calls_, std::vector<Call>({{-3, "empty.txt", "OpenPakFile"}}));
  EXPECT_EQ(PakFileText(0), nullptr);

  // The stored bytes 64 C6 29 of an entry of three bytes are the text "abc".
  int good = OpenPak(Good(), GetParam());
  ASSERT_GE(good, 0);
  EXPECT_EQ(Text(good, "text\\abc.txt"), "abc");

  // A text open gives the slot it took, also slot 1 after a busy slot 0
  // and the last free slot.
  EXPECT_EQ(OpenPakFile(archive, "A.TXT", ""), 0);
  EXPECT_EQ(OpenPakFile(archive, "A.TXT", "t"), 1);
  for (int i = 2; i < kPakSlotCount; ++i) EXPECT_EQ(OpenPakFile(archive, "A.TXT", ""), i);
  EXPECT_EQ(ClosePakFile(1), 0);
  EXPECT_EQ(OpenPakFile(archive, "a.txt", "t"), 1);
  EXPECT_EQ(*PakFileText(1), "first");
}

TEST_P(BothModes, BrokenArchivesGiveTheirCodeAndLeaveTheSlotFree) {
  const bool whole = GetParam() == kPakWholeArchive;
  const std::vector<PakWriteEntry> one = {{"A.TXT", "a", ""}}, two = {{"A.TXT", "a", ""}, {"B.TXT", "b", ""}};
  test::WriteBytes(P("empty.pak"), "");
  test::WriteBytes(P("short_header.pak"), std::string("PAK\0\x01\0\0\0\0\0", 10));
  const std::pair<std::string, int> cases[] = {{P("missing.pak"), -4},
                                               {P("empty.pak"), whole ? -4 : -1},
                                               {P("short_header.pak"), -1},
                                               {Broken("wrong_signature.pak", one, 0, "KAP"), -1},
                                               {Broken("truncated_table.pak", two, 0, "", 16 + 136 + 40), -1},
                                               {Broken("absurd_count.pak", one, 4, "\xFF\xFF\xFF\xFF"), -1}};
  RecordFailures();
  for (const auto& [path, code] : cases) {
    SCOPED_TRACE(path);
    calls_.clear();
    EXPECT_EQ(OpenPak(path, GetParam()), code);
    ASSERT_FALSE(calls_.empty());
    EXPECT_EQ(std::get<1>(calls_.back()), path) << "reported with the archive's path";
    EXPECT_EQ(PakEntryCount(0), kBadSlot) << "the slot stays free";
  }
#ifndef _WIN32
  // A table that the file holds only as a hole: refused before its memory
  // is taken, as the system tells holes.
  const std::string hollow = Broken("hollow_table.pak", one, 4, std::string("\x40\x42\x0F\x00", 4));
  std::filesystem::resize_file(platform::NativePath(hollow), 16 + 136 * 1000000);
  EXPECT_EQ(OpenPak(hollow, GetParam()), -1);
#endif
  calls_.clear();
  EXPECT_EQ(ClosePak(-4), kBadSlot);
  EXPECT_EQ(ClosePakFile(-1), kBadSlot);
  EXPECT_EQ(calls_, std::vector<Call>({{-6, "", "ClosePak"}, {-6, "", "ClosePakFile"}}));

  int archive = OpenPak(Make({}, "no_entries.pak"), GetParam());
  EXPECT_EQ(archive, 0);
  EXPECT_EQ(PakEntryCount(archive), 0);
  EXPECT_FALSE(PakContains(archive, "A.TXT"));
  EXPECT_EQ(ClosePak(archive), 0);

  // A name that fills its whole field is taken as its 128 bytes.
  const std::vector<PakWriteEntry> full = {{std::string(127, 'N'), "full name", ""}, {"NEXT.TXT", "next", ""}};
  archive = OpenPak(Broken("full_name.pak", full, 16 + 8 + 127, "N"), GetParam());
  ASSERT_EQ(archive, 0);
  PakEntry e;
  ASSERT_TRUE(GetPakEntry(archive, 0, e));
  EXPECT_EQ(e.name, std::string(128, 'N'));
  EXPECT_TRUE(PakContains(archive, std::string(128, 'n')));
  EXPECT_FALSE(PakContains(archive, std::string(128, 'N') + "NEXT.TXT"));
  EXPECT_TRUE(PakContains(archive, "next.txt"));
}

TEST_F(PakArchiveTest, FailureHookRetriesTheOpen) {
  // A hook that makes the missing archive appear: the retried open succeeds.
  const std::string ready = test::ReadBytes(Make({{"A.TXT", "a", ""}}));
  int calls = 0;
  SetFailureHook([&](int code, const std::string& name, const std::string& op) {
    EXPECT_EQ(std::make_tuple(++calls, code, name, op), std::make_tuple(1, -4, P("late.pak"), std::string("LoadPakFat")));
    test::WriteBytes(P("late.pak"), ready);
    return true;
  });
  int archive = OpenPak(P("late.pak"), kPakFileFlags);
  EXPECT_EQ(archive, 0);
  EXPECT_TRUE(PakContains(archive, "a.txt"));

  // Retrying a name that stays missing: two attempts, then -3.
  RecordFailures(1);
  EXPECT_EQ(OpenPakFile(archive, "B.TXT", ""), kOpenFailed);
  EXPECT_EQ(calls_.size(), 2u);
}

TEST_F(PakArchiveTest, TenArchivesAndTenEntriesAtMost) {
  std::string path = Make({{"A.TXT", "a", ""}, {"B.TXT", "b", ""}});
  for (int i = 0; i < kPakSlotCount; ++i) EXPECT_EQ(OpenPak(path, i % 2 ? kPakWholeArchive : kPakFileFlags), i);
  EXPECT_EQ(OpenPak(path, kPakFileFlags), kArchiveOpenFailed);
  EXPECT_EQ(ClosePak(3), 0);
  EXPECT_EQ(OpenPak(path, kPakFileFlags), 3);

  for (int i = 0; i < kPakSlotCount; ++i) EXPECT_EQ(OpenPakFile(i, "A.TXT", ""), i);
  EXPECT_EQ(OpenPakFile(0, "B.TXT", ""), kBadSlot);
  EXPECT_FALSE(PakContains(0, "B.TXT"));
  EXPECT_EQ(ClosePak(4), 0);  // frees entry slot 4 with it
  EXPECT_TRUE(PakContains(0, "B.TXT"));
  EXPECT_EQ(OpenPakFile(4, "A.TXT", ""), kBadSlot);
}

TEST_F(PakArchiveTest, TheCursorDecidesWhichOfTwoEqualNamesIsFound) {
  std::string path = Make({{"X", "x0", ""}, {"A", "a1", ""}, {"X", "x2", ""}, {"B", "b3", ""}});
  int archive = OpenPak(path, kPakFileFlags);
  ASSERT_GE(archive, 0);
  auto found = [&](const std::string& name) {
    int slot = OpenPakFile(archive, name, "");
    std::string data = slot < 0 ? "<missing>" : ReadWhole(slot, 2);
    ClosePakFile(slot);
    return data;
  };
  std::string seen;
  for (const char* name : {"X", "X", "A", "X", "X", "B", "X"}) seen += found(name) + " ";
  // After B nothing follows the cursor: the search starts again from the top.
  EXPECT_EQ(seen, "x0 x0 a1 x2 x2 b3 x0 ");
}

TEST_P(BothModes, LargeArchivesFindEveryNameInAnyOrder) {
  // 5000 names, then the first ten of them once more at the end.
  auto name = [](int i, const std::string& folder = "F") { return folder + "\\" + std::to_string((i * 7919) % 5000); };
  std::vector<PakWriteEntry> entries;
  for (int i = 0; i < 5010; ++i) entries.push_back({name(i % 5000), i < 5000 ? std::to_string(i) : "again", ""});
  int archive = OpenPak(Make(entries), GetParam());
  ASSERT_GE(archive, 0);
  std::string data;
  auto load = [&](const std::string& n) { return LoadPakEntry(archive, n, data, 0, false) < 0 ? "<missing>" : data; };
  for (int i = 4999; i >= 10; i -= 3) ASSERT_EQ(load(name(i, "f")), std::to_string(i));
  for (int i = 5000; i < 5100; ++i) ASSERT_FALSE(PakContains(archive, "F\\" + std::to_string(i)));
  // Past the cursor a repeated name is found in its second place.
  EXPECT_EQ(load(name(4999)) + " " + load(name(3)) + " " + load(name(3)), "4999 again again");
}

}  // namespace
}  // namespace zet
