#include "fileio/pak_archive.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_writer.h"
#include "test_support.h"

namespace zet {
namespace {

using test::DataPath;
using test::ProgramPath;
using test::TempDir;
using test::WriteBytes;

using Call = std::tuple<int, std::string, std::string>;

class PakArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  void Reset() {
    ResetPakSlots();
    ResetFileSlots();
  }

  void RecordFailures(int retries = 0) {
    retries_ = retries;
    SetFailureHook([this](int code, const std::string& name, const std::string& op) {
      calls_.emplace_back(code, name, op);
      return retries_-- > 0;
    });
  }

  // An archive of the entries, written by the archive writer.
  std::string Make(const std::vector<PakWriteEntry>& entries, const std::string& name = "test.pak") {
    std::string path = ProgramPath(dir_, name);
    std::string error;
    EXPECT_TRUE(WritePak(path, entries, error)) << error;
    return path;
  }

  // The whole entry through an entry slot, in pieces of three bytes.
  static std::string ReadWhole(int slot, uint32_t size) {
    std::string out(size, '\0');
    uint32_t done = 0;
    while (done < size) {
      uint32_t n = std::min<uint32_t>(3, size - done);
      if (ReadPakFile(slot, done == 0 ? &out[0] : nullptr, n) != 0) return "<read failed>";
      done += n;
    }
    return out;
  }

  std::string Text(int archive, const std::string& name) {
    int slot = OpenPakFile(archive, name, "t");
    if (slot < 0) return "<" + std::to_string(slot) + ">";
    std::string text = *PakFileText(slot);
    EXPECT_EQ(ClosePakFile(slot), 0);
    return text;
  }

  TempDir dir_;
  std::vector<Call> calls_;
  int retries_ = 0;
};

class BothModes : public PakArchiveTest, public ::testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(PakArchive, BothModes, ::testing::Values(kPakFileFlags, kPakWholeArchive),
                         [](const auto& info) { return info.param == kPakWholeArchive ? "Whole" : "File"; });

TEST_P(BothModes, LookupsUpperCaseTheRequestAndFoldDoubledSeparators) {
  int archive = OpenPak(DataPath("pak/good.pak"), GetParam());
  ASSERT_EQ(archive, 0);
  EXPECT_EQ(PakEntryCount(archive), 5);
  EXPECT_TRUE(PakContains(archive, "sub\\a.txt"));
  EXPECT_TRUE(PakContains(archive, "Sub\\A.txt"));
  EXPECT_TRUE(PakContains(archive, "SUB\\\\A.TXT"));
  EXPECT_TRUE(PakContains(archive, "Models\\Loks\\br218.3ds"));
  EXPECT_FALSE(PakContains(archive, "SUB\\\\\\A.TXT"));  // tripled: still doubled after folding
  EXPECT_FALSE(PakContains(archive, "SUB/A.TXT"));
  EXPECT_FALSE(PakContains(archive, "SUB\\A.TX"));
  EXPECT_FALSE(PakContains(archive, "lower\\case.txt"));  // stored in lower case: never found
  EXPECT_FALSE(PakContains(archive, std::string(300, 'A')));

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
  int archive = OpenPak(DataPath("pak/data_outside_file.pak"), GetParam());
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
  std::string path = Make({{"SMALL.TXT", "small", ""}, {"BIG.BIN", big, ""}, {"EMPTY", "", ""}});
  int archive = OpenPak(path, GetParam());
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
  std::vector<std::pair<int64_t, int64_t>> expected = {
      {0, 150000}, {65536, 150000}, {131072, 150000}, {150000, 150000}};
  EXPECT_EQ(progress, expected);

  SetProgressHook(nullptr);
  EXPECT_EQ(LoadPakEntry(archive, "big.bin", data, 10, false), 10);
  EXPECT_EQ(data, big.substr(0, 10));
  EXPECT_EQ(LoadPakEntry(archive, "empty", data, 0, false), 0);
  EXPECT_EQ(data, "");
  EXPECT_EQ(LoadPakEntry(archive, "none", data, 0, false), kOpenFailed);

  int slot = static_cast<int>(LoadPakEntry(archive, "small.txt", data, 0, true));
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ReadPakFile(slot, nullptr, 5), 0);
  EXPECT_EQ(data, "small");
  EXPECT_EQ(ClosePakFile(slot), 0);

  SetProgressHook([](const std::string&, int64_t done, int64_t) { return done > 0; });
  EXPECT_EQ(LoadPakEntry(archive, "big.bin", data, 0, false), kAborted);
  SetProgressHook(nullptr);
  // Nothing stays open after the failures: all ten entry slots are free.
  for (int i = 0; i < kPakSlotCount; ++i) EXPECT_EQ(OpenPakFile(archive, "SMALL.TXT", ""), i);
}

TEST_P(BothModes, TextModeDecodesAndCachesSmallEntries) {
  std::string large(20000, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>("line\r\n"[i % 6]);
  std::string path = Make({{"A.TXT", EncodePakText("first"), ""},
                           {"LARGE.TXT", EncodePakText(large), ""},
                           {"EMPTY.TXT", "", ""},
                           {"SUB\\B.TXT", EncodePakText("second"), ""}});
  int archive = OpenPak(path, GetParam());
  ASSERT_GE(archive, 0);
  EXPECT_EQ(Text(archive, "a.txt"), "first");
  EXPECT_EQ(Text(archive, "a.txt"), "first");  // from the cache
  EXPECT_EQ(Text(archive, "large.txt"), large);
  EXPECT_EQ(Text(archive, "large.txt"), large);
  EXPECT_EQ(Text(archive, "sub\\\\b.txt"), "second");
  EXPECT_EQ(Text(archive, "A.TXT"), "first");
  RecordFailures();
  EXPECT_EQ(Text(archive, "empty.txt"), "<-3>");
  EXPECT_EQ(Text(archive, "none.txt"), "<-3>");
  EXPECT_EQ(calls_, std::vector<Call>({{-3, "empty.txt", "OpenPakFile"}, {-3, "none.txt", "OpenPakFile"}}));
  EXPECT_EQ(PakFileText(0), nullptr);

  // The stored bytes 64 C6 29 of an entry of three bytes are the text "abc".
  int good = OpenPak(DataPath("pak/good.pak"), GetParam());
  ASSERT_GE(good, 0);
  EXPECT_EQ(Text(good, "text\\abc.txt"), "abc");
}

TEST_P(BothModes, BrokenArchivesGiveTheirCodeAndLeaveTheSlotFree) {
  struct Case {
    const char* fixture;
    int code;
  };
  const Case cases[] = {{"missing.pak", -4},        {"empty_file.pak", GetParam() == kPakWholeArchive ? -4 : -1},
                        {"short_header.pak", -1},   {"wrong_signature.pak", -1},
                        {"truncated_table.pak", -1}, {"absurd_count.pak", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    EXPECT_EQ(OpenPak(DataPath(std::string("pak/") + c.fixture), GetParam()), c.code);
    EXPECT_EQ(PakEntryCount(0), kBadSlot);
    EXPECT_EQ(ClosePak(0), kBadSlot);
  }
  int archive = OpenPak(DataPath("pak/no_entries.pak"), GetParam());
  EXPECT_EQ(archive, 0);
  EXPECT_EQ(PakEntryCount(archive), 0);
  EXPECT_FALSE(PakContains(archive, "A.TXT"));
  EXPECT_EQ(ClosePak(archive), 0);

  // A name that fills its whole field is taken as its 128 bytes.
  archive = OpenPak(DataPath("pak/name_without_terminator.pak"), GetParam());
  ASSERT_EQ(archive, 0);
  PakEntry e;
  ASSERT_TRUE(GetPakEntry(archive, 0, e));
  EXPECT_EQ(e.name, std::string(128, 'N'));
  EXPECT_TRUE(PakContains(archive, std::string(128, 'n')));
  EXPECT_FALSE(PakContains(archive, std::string(128, 'N') + "NEXT.TXT"));
  EXPECT_TRUE(PakContains(archive, "next.txt"));
}

TEST_F(PakArchiveTest, FailuresAreReportedWithTheirOperation) {
  RecordFailures();
  std::string missing = DataPath("pak/missing.pak");
  std::string wrong = DataPath("pak/wrong_signature.pak");
  std::string truncated = DataPath("pak/truncated_table.pak");
  std::string absurd = DataPath("pak/absurd_count.pak");
  EXPECT_EQ(OpenPak(missing, kPakFileFlags), -4);
  EXPECT_EQ(OpenPak(wrong, kPakFileFlags), -1);
  EXPECT_EQ(OpenPak(truncated, kPakFileFlags), -1);
  EXPECT_EQ(OpenPak(absurd, kPakWholeArchive), -1);
  EXPECT_EQ(ClosePak(-4), kBadSlot);
  EXPECT_EQ(ClosePakFile(-1), kBadSlot);
  EXPECT_FALSE(PakContains(-4, "A.TXT"));
  std::vector<Call> expected = {{-4, missing, "LoadPakFat"}, {-4, wrong, "LoadPakFat"},
                                {-1, truncated, "OpenPak"},  {-1, absurd, "OpenPak"},
                                {-6, "", "ClosePak"},        {-6, "", "ClosePakFile"}};
  EXPECT_EQ(calls_, expected);
}

TEST_F(PakArchiveTest, FailureHookRetriesTheOpen) {
  std::string path = ProgramPath(dir_, "late.pak");
  std::string error;
  ASSERT_TRUE(WritePak(ProgramPath(dir_, "ready.pak"), {{"A.TXT", "a", ""}}, error));
  int calls = 0;
  SetFailureHook([&](int code, const std::string& name, const std::string& op) {
    ++calls;
    EXPECT_EQ(std::make_tuple(code, name, op), std::make_tuple(-4, path, std::string("LoadPakFat")));
    WriteBytes(path, test::ReadBytes(dir_ / "ready.pak"));
    return true;
  });
  int archive = OpenPak(path, kPakFileFlags);
  EXPECT_EQ(archive, 0);
  EXPECT_EQ(calls, 1);
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
  EXPECT_EQ(found("X"), "x0");
  EXPECT_EQ(found("X"), "x0");
  EXPECT_EQ(found("A"), "a1");
  EXPECT_EQ(found("X"), "x2");
  EXPECT_EQ(found("X"), "x2");
  EXPECT_EQ(found("B"), "b3");
  EXPECT_EQ(found("X"), "x0");  // nothing after the cursor: from the start
}

TEST_F(PakArchiveTest, LargeArchivesFindEveryNameInAnyOrder) {
  std::vector<PakWriteEntry> entries;
  for (int i = 0; i < 5000; ++i) entries.push_back({"F\\" + std::to_string((i * 7919) % 5000), std::to_string(i), ""});
  int archive = OpenPak(Make(entries), kPakFileFlags);
  ASSERT_GE(archive, 0);
  std::string data;
  for (int i = 4999; i >= 0; i -= 3) {
    std::string name = "f\\" + std::to_string((i * 7919) % 5000);
    ASSERT_EQ(LoadPakEntry(archive, name, data, 0, false), static_cast<int64_t>(std::to_string(i).size()));
    ASSERT_EQ(data, std::to_string(i));
  }
}

}  // namespace
}  // namespace zet
