#include "fileio/file_slots.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "test_support.h"

namespace zet {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The program's own spelling of a path below the scratch folder.
std::string P(const TempDir& t, const std::string& rel) { return test::ProgramPath(t, rel); }

// Records every report; answers true for the first `retries` of them.
struct HookLog {
  using Call = std::tuple<int, std::string, std::string>;
  std::vector<Call> calls;
  int retries = 0;
  void Install() {
    SetFailureHook([this](int code, const std::string& name, const std::string& op) {
      calls.emplace_back(code, name, op);
      return retries-- > 0;
    });
  }
};

class FileSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFileSlots(); }
  void TearDown() override { ResetFileSlots(); }

  // A memory image of the bytes, through a file in the scratch folder.
  int Image(const std::string& bytes) {
    std::string path = P(dir_, "image" + std::to_string(images_++) + ".bin");
    WriteBytes(path, bytes);
    return OpenFileRegion(path, 0, 0);
  }

  TempDir dir_;
  int images_ = 0;
};

TEST_F(FileSlotsTest, TenSlotsThenNoFreeSlotAndBadSlotNumbers) {
  HookLog log;
  log.Install();
  WriteBytes(P(dir_, "a.txt"), "x");
  for (int i = 0; i < kFileSlotCount; ++i) EXPECT_EQ(OpenFile(P(dir_, "a.txt"), "rb"), i);
  EXPECT_EQ(OpenFile(P(dir_, "a.txt"), "rb"), kOpenFailed);
  EXPECT_EQ(OpenFileRegion(P(dir_, "a.txt"), 0, 0), kOpenFailed);
  ASSERT_FALSE(log.calls.empty());
  EXPECT_EQ(log.calls.front(), HookLog::Call(-3, P(dir_, "a.txt"), "OpenFile"));

  EXPECT_EQ(CloseFile(4), 0);
  EXPECT_EQ(FileSlotState(4), 0);
  EXPECT_EQ(OpenFile(P(dir_, "a.txt"), "rb"), 4);

  log.calls.clear();
  EXPECT_EQ(CloseFile(10), kBadSlot);
  EXPECT_EQ(CloseFile(-1), kBadSlot);
  EXPECT_EQ(EoFile(12, 1), kBadSlot);
  std::vector<HookLog::Call> outOfRange = {{-6, "", "CloseFile"}, {-6, "", "CloseFile"}, {-6, "", "EoFile"}};
  EXPECT_EQ(log.calls, outOfRange);
  ResetFileSlots();
  log.calls.clear();
  log.Install();
  EXPECT_EQ(CloseFile(3), kBadSlot);
  EXPECT_EQ(EoFile(3, 1), kBadSlot);
  EXPECT_EQ(WriteFile(3, "x", 1), kBadSlot);
  std::vector<HookLog::Call> expected = {{-6, "", "CloseFile"}, {-6, "", "EoFile File not open"},
                                         {-6, "", "WriteFile"}};
  EXPECT_EQ(log.calls, expected);
}

TEST_F(FileSlotsTest, WritesTextWithCrLfAndBinaryAsGiven) {
  int slot = OpenFile(P(dir_, "text.ini"), "w");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(WriteText(slot, "[%s]\n%s=%d\n", "Main", "Count", 42), 0);
  EXPECT_EQ(CloseFile(slot), 0);
  EXPECT_EQ(ReadBytes(dir_ / "text.ini"), "[Main]\r\nCount=42\r\n");

  slot = OpenFile(P(dir_, "wide.ini"), "wb");
  ASSERT_GE(slot, 0);
  const char wide[] = {'a', 0, '\r', 0, '\n', 0};
  EXPECT_EQ(WriteFile(slot, wide, sizeof wide), 0);
  EXPECT_EQ(WriteFile(slot, wide, 0), 0);
  EXPECT_EQ(WriteText(slot, "%s", std::string(5000, 'z').c_str()), 0);
  EXPECT_EQ(CloseFile(slot), 0);
  EXPECT_EQ(ReadBytes(dir_ / "wide.ini"), std::string(wide, sizeof wide) + std::string(5000, 'z'));

  // Writing needs a streamed slot.
  int image = Image("abc");
  ASSERT_GE(image, 0);
  EXPECT_EQ(WriteText(image, "x"), kBadSlot);
  EXPECT_EQ(WriteFile(image, "x", 1), kBadSlot);
  EXPECT_EQ(ReadFile(image, nullptr, 1, false), kBadSlot);
}

TEST_F(FileSlotsTest, FailedWritesAreReportedAndNeverPassAsAGoodFile) {
  HookLog log;
  log.Install();
  WriteBytes(P(dir_, "read.txt"), "x");
  int slot = OpenFile(P(dir_, "read.txt"), "rb");
  EXPECT_EQ(WriteFile(slot, "y", 1), kWriteFailed);
  EXPECT_EQ(log.calls, std::vector<HookLog::Call>({{-8, P(dir_, "read.txt"), "WriteFile"}}));
#ifndef _WIN32
  // A device that takes no data: the buffered text fails when it is flushed
  // at the close, which reports -5 and keeps the slot until closed again.
  log.calls.clear();
  slot = OpenFile("/dev/full", "w");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(WriteText(slot, "line\n"), 0);
  EXPECT_EQ(CloseFile(slot), kCloseFailed);
  EXPECT_EQ(log.calls, std::vector<HookLog::Call>({{-5, "/dev/full", "CloseFile"}}));
  EXPECT_EQ(FileSlotState(slot), 1);
  EXPECT_EQ(CloseFile(slot), 0);
  EXPECT_EQ(FileSlotState(slot), 0);
#endif
}

TEST_F(FileSlotsTest, WriteToAFolderThatIsMissingFailsToOpen) {
  HookLog log;
  log.Install();
  EXPECT_EQ(OpenFile(P(dir_, "no/such/x.txt"), "w"), kOpenFailed);
  EXPECT_EQ(log.calls, std::vector<HookLog::Call>({{-3, P(dir_, "no/such/x.txt"), "OpenFile"}}));
  for (int i = 0; i < kFileSlotCount; ++i) EXPECT_EQ(FileSlotState(i), 0);
}

TEST_F(FileSlotsTest, ReadFileContinuesAtTheCursorAndReportsShortReads) {
  WriteBytes(P(dir_, "data.bin"), "0123456789");
  int slot = OpenFile(P(dir_, "data.bin"), "rb");
  ASSERT_GE(slot, 0);
  char buffer[16] = {};
  EXPECT_EQ(ReadFile(slot, buffer, 3, false), 0);
  EXPECT_EQ(ReadFile(slot, nullptr, 2, false), 0);
  EXPECT_EQ(std::string(buffer), "01234");
  EXPECT_EQ(ReadFile(slot, nullptr, 0, false), 0);
  EXPECT_EQ(ReadFile(slot, nullptr, 3, true), 3);
  EXPECT_EQ(ReadFile(slot, nullptr, 10, true), 2);  // only two bytes were left
  EXPECT_EQ(std::string(buffer), "0123456789");
  EXPECT_EQ(EoFile(slot, 1), 1);

  // Without the partial flag a short read fails and leaves the stream after
  // the bytes it read.
  EXPECT_EQ(SeekFile(slot, 7, 0), 0);
  char tail[8] = {};
  EXPECT_EQ(ReadFile(slot, tail, 5, false), kReadFailed);
  EXPECT_EQ(EoFile(slot, 1), 1);
  EXPECT_EQ(CloseFile(slot), 0);

  // No destination ever given: no cursor.
  slot = OpenFile(P(dir_, "data.bin"), "rb");
  EXPECT_EQ(ReadFile(slot, nullptr, 1, false), kReadFailed);
}

TEST_F(FileSlotsTest, MemoryImagesOfRegionsAndWholeFiles) {
  HookLog log;
  log.Install();
  WriteBytes(P(dir_, "f.txt"), "hello world");
  WriteBytes(P(dir_, "empty.txt"), "");
  int slot = OpenFileRegion(P(dir_, "f.txt"), 6, 5);
  ASSERT_GE(slot, 0);
  EXPECT_EQ(FileSlotState(slot), 2);
  std::string word;
  EXPECT_EQ(ReadText(slot, "%s", &word), 0);
  EXPECT_EQ(word, "world");
  EXPECT_EQ(CloseFile(slot), 0);

  slot = OpenFile(P(dir_, "f.txt"), "t");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ReadText(slot, "%ls", &word), 0);
  EXPECT_EQ(word, "hello world");
  EXPECT_EQ(CloseFile(slot), 0);

  // Missing, empty, and a region beyond the file: -3, and no slot is held.
  EXPECT_EQ(OpenFileRegion(P(dir_, "missing.txt"), 0, 0), kOpenFailed);
  EXPECT_EQ(OpenFileRegion(P(dir_, "empty.txt"), 0, 0), kOpenFailed);
  EXPECT_EQ(OpenFileRegion(P(dir_, "f.txt"), 6, 6), kOpenFailed);
  EXPECT_EQ(OpenFileRegion(P(dir_, "f.txt"), 12, 1), kOpenFailed);
  EXPECT_EQ(OpenFileRegion(P(dir_, "f.txt"), -1, 2), kOpenFailed);
  EXPECT_EQ(OpenFileRegion(P(dir_, "f.txt"), 0, int64_t{1} << 50), kOpenFailed);
  for (int i = 0; i < kFileSlotCount; ++i) EXPECT_EQ(FileSlotState(i), 0);
  EXPECT_EQ(std::get<0>(log.calls.front()), -3);
  EXPECT_EQ(std::get<2>(log.calls.front()), "LenFile");
}

TEST_F(FileSlotsTest, SeekOnAMemoryImageStopsAtItsLength) {
  HookLog log;
  log.Install();
  int slot = Image("abcdef");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(SeekFile(slot, 6, 0), 0);
  EXPECT_EQ(EoFile(slot, 1), 1);
  std::string s = "unchanged";
  EXPECT_EQ(ReadText(slot, "%s", &s), -1);
  EXPECT_EQ(s, "unchanged");

  EXPECT_EQ(SeekFile(slot, 7, 0), kSeekFailed);
  EXPECT_EQ(EoFile(slot, 1), 0);  // back at 0
  EXPECT_EQ(ReadText(slot, "%c", &s), 0);
  EXPECT_EQ(s, "a");
  EXPECT_EQ(SeekFile(slot, 2, 1), 0);
  EXPECT_EQ(ReadText(slot, "%c", &s), 0);
  EXPECT_EQ(s, "d");
  EXPECT_EQ(SeekFile(slot, -5, 1), kSeekFailed);
  EXPECT_EQ(SeekFile(slot, -2, 2), 0);
  EXPECT_EQ(ReadText(slot, "%s", &s), 0);
  EXPECT_EQ(s, "ef");
  EXPECT_EQ(log.calls, std::vector<HookLog::Call>(2, {-2, P(dir_, "image0.bin"), "SeekFile"}));

  // Units of two bytes: six bytes are three units.
  EXPECT_EQ(SeekFile(slot, 2, 0), 0);
  EXPECT_EQ(EoFile(slot, 2), 0);
  EXPECT_EQ(SeekFile(slot, 3, 0), 0);
  EXPECT_EQ(EoFile(slot, 2), 1);
  EXPECT_EQ(EoFile(slot, -4), 0);
}

TEST_F(FileSlotsTest, ReadTextLinesSkipEmptyLinesAndKeepLongOnesWhole) {
  int slot = Image("a\r\n\r\nb");
  ASSERT_GE(slot, 0);
  std::string line;
  EXPECT_EQ(ReadText(slot, "%ls", &line), 0);
  EXPECT_EQ(line, "a");
  EXPECT_EQ(ReadText(slot, "%ls", &line), 0);
  EXPECT_EQ(line, "b");
  EXPECT_EQ(ReadText(slot, "%ls", &line), -1);

  std::string longLine(200000, 'x');
  slot = Image("\n" + longLine + std::string("\r\nnext\0tail\0", 12));
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ReadText(slot, "%LS", &line), 0);
  EXPECT_EQ(line, longLine);
  EXPECT_EQ(ReadText(slot, "%ls", &line), 0);
  EXPECT_EQ(line, "next");  // a zero byte ends a line too
  EXPECT_EQ(ReadText(slot, "%ls", &line), 0);
  EXPECT_EQ(line, "tail");
  EXPECT_EQ(EoFile(slot, 1), 1);
}

TEST_F(FileSlotsTest, ReadTextNumbersAndWords) {
  int slot = Image("  42\t7\r\n-3 ff 123456789012 1.5 word\n  next line\nlast");
  ASSERT_GE(slot, 0);
  int a = 0, b = 0, c = 0, hex = 0;
  long big = 0;
  float f = 0;
  std::string w, rest;
  EXPECT_EQ(ReadText(slot, "%d", &a), 0);
  EXPECT_EQ(ReadText(slot, "%d", &b), 0);
  EXPECT_EQ(ReadText(slot, "%d %X %ld%f%s", &c, &hex, &big, &f, &w), 0);
  EXPECT_EQ(a, 42);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(c, -3);
  EXPECT_EQ(hex, 0xff);
  EXPECT_EQ(big, sizeof(long) == 8 ? 123456789012L : 2147483647L);
  EXPECT_FLOAT_EQ(f, 1.5f);
  EXPECT_EQ(w, "word");
  EXPECT_EQ(ReadText(slot, "%ls", &rest), 0);
  EXPECT_EQ(rest, "next line");

  // A newline in the format passes over a line; other characters and
  // unknown conversions read nothing.
  slot = Image("skip me\nkeep\nx");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ReadText(slot, "\n#%q%ls", &rest), 0);
  EXPECT_EQ(rest, "keep");

  // A word that is no number leaves the target alone but is read.
  slot = Image("abc 5 FFFFFFFF 99999999999");
  ASSERT_GE(slot, 0);
  a = 17;
  EXPECT_EQ(ReadText(slot, "%d%d%x%d", &a, &b, &hex, &c), 0);
  EXPECT_EQ(a, 17);
  EXPECT_EQ(b, 5);
  EXPECT_EQ(hex, -1);
  EXPECT_EQ(c, 2147483647);

  // A number word is read at most 32 characters at a time.
  slot = Image(std::string(40, '1') + " 9");
  ASSERT_GE(slot, 0);
  std::string first, second;
  EXPECT_EQ(ReadText(slot, "%d%s%s", &a, &first, &second), 0);
  EXPECT_EQ(first, std::string(8, '1'));
  EXPECT_EQ(second, "9");

  // Missing targets and targets of the wrong kind are passed over.
  slot = Image("1 two 3");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ReadText(slot, "%s%d%d", &a, &w, &c), 0);
  EXPECT_EQ(ReadText(slot, "%d"), -1);
}

TEST_F(FileSlotsTest, ReadTextCharactersAndWideText) {
  int slot = Image(std::string("\0\0xy", 4));
  ASSERT_GE(slot, 0);
  std::string c;
  EXPECT_EQ(ReadText(slot, "%c", &c), 0);
  EXPECT_EQ(c, "x");
  EXPECT_EQ(ReadText(slot, "%C", &c), 0);
  EXPECT_EQ(c, "y");
  EXPECT_EQ(ReadText(slot, "%c", &c), -1);

  // UTF-16LE: byte-order mark, a line, an empty line, a line of two words.
  std::u16string text = u"\xFEFF\x00E4rger\r\n\r\nfoo \x20AC" u"bar";
  std::string bytes;
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  bytes.push_back('\x7F');  // an odd byte at the end is no unit
  slot = Image(bytes);
  ASSERT_GE(slot, 0);
  std::u16string line, word;
  EXPECT_EQ(ReadText(slot, "%lw", &line), 0);
  EXPECT_EQ(line, u"\xFEFF\x00E4rger");
  EXPECT_EQ(EoFile(slot, 2), 0);
  EXPECT_EQ(ReadText(slot, "%w", &word), 0);
  EXPECT_EQ(word, u"foo");
  EXPECT_EQ(ReadText(slot, "%lW", &line), 0);
  EXPECT_EQ(line, u"\x20AC" u"bar");
  EXPECT_EQ(EoFile(slot, 2), 1);
}

TEST_F(FileSlotsTest, TokenReadersStopAtTheEndOfTheImage) {
  int slot = Image("ab,,cd");
  ASSERT_GE(slot, 0);
  std::string token;
  EXPECT_EQ(ReadToken(slot, &token, 0, ',', 1, 1, 1), 0);
  EXPECT_EQ(token, "ab");
  EXPECT_EQ(ReadToken(slot, &token, 1, ',', 1, 1, 1), 0);
  EXPECT_EQ(token, "c");
  EXPECT_EQ(ReadToken(slot, &token, 0, ',', 1, 1, 1), 0);
  EXPECT_EQ(token, "d");
  EXPECT_EQ(ReadToken(slot, &token, 0, ',', 1, 1, 1), 0);
  EXPECT_EQ(token, "");
  std::u16string wide = u"x";
  EXPECT_EQ(ReadWideToken(slot, &wide, 0, ',', 1, 1, 1), 0);
  EXPECT_EQ(wide, u"");
  EXPECT_EQ(ReadToken(9, &token, 0, 0, 0, 0, 0), kBadSlot);
}

TEST_F(FileSlotsTest, FailureHookRetriesTheFailedStep) {
  // A hook that makes the missing file appear: the retried open succeeds.
  std::string path = P(dir_, "late.txt");
  int calls = 0;
  SetFailureHook([&](int code, const std::string& name, const std::string& op) {
    ++calls;
    EXPECT_EQ(code, kOpenFailed);
    EXPECT_EQ(name, path);
    EXPECT_EQ(op, "OpenFile");
    WriteBytes(path, "now here");
    return true;
  });
  int slot = OpenFile(path, "rb");
  EXPECT_GE(slot, 0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(CloseFile(slot), 0);

  // A hook that retries twice and gives up: three attempts, then -3.
  HookLog log;
  log.retries = 2;
  log.Install();
  EXPECT_EQ(OpenFile(P(dir_, "never.txt"), "rb"), kOpenFailed);
  EXPECT_EQ(log.calls.size(), 3u);

  // A short read retried: the stream is put back and read again.
  log.calls.clear();
  log.retries = 1;
  WriteBytes(P(dir_, "short.bin"), "abc");
  slot = OpenFile(P(dir_, "short.bin"), "rb");
  char buffer[8] = {};
  EXPECT_EQ(ReadFile(slot, buffer, 5, false), kReadFailed);
  EXPECT_EQ(log.calls, std::vector<HookLog::Call>(2, {-1, P(dir_, "short.bin"), "ReadFile"}));
  EXPECT_EQ(ReadFile(slot, buffer, 3, false), kReadFailed);  // the stream is at the end now
}

TEST_F(FileSlotsTest, LoadFileReadsInChunksAndTheProgressHookMayAbort) {
  std::string content;
  for (int i = 0; i < 200000; ++i) content.push_back(static_cast<char>(i * 7));
  WriteBytes(P(dir_, "big.bin"), content);
  std::vector<std::pair<int64_t, int64_t>> progress;
  SetProgressHook([&](const std::string&, int64_t done, int64_t total) {
    progress.emplace_back(done, total);
    return false;
  });
  std::string got;
  EXPECT_EQ(LoadFile(P(dir_, "big.bin"), got, 0, false), 200000);
  EXPECT_EQ(got, content);
  std::vector<std::pair<int64_t, int64_t>> expected = {
      {0, 200000}, {65536, 200000}, {131072, 200000}, {196608, 200000}, {200000, 200000}};
  EXPECT_EQ(progress, expected);

  EXPECT_EQ(LoadFile(P(dir_, "big.bin"), got, 10, false), 10);
  EXPECT_EQ(got, content.substr(0, 10));

  // Return-open: the slot is pointed at the destination for ReadFile.
  int slot = static_cast<int>(LoadFile(P(dir_, "big.bin"), got, 100, true));
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ReadFile(slot, nullptr, 100, false), 0);
  EXPECT_EQ(got, content.substr(0, 100));
  EXPECT_EQ(CloseFile(slot), 0);

  SetProgressHook([](const std::string&, int64_t done, int64_t) { return done > 0; });
  EXPECT_EQ(LoadFile(P(dir_, "big.bin"), got, 0, false), kAborted);
  EXPECT_EQ(LoadFile(P(dir_, "missing.bin"), got, 0, false), kOpenFailed);
  for (int i = 0; i < kFileSlotCount; ++i) EXPECT_EQ(FileSlotState(i), 0);
}

TEST_F(FileSlotsTest, LengthAndExistenceOfFilesAndFolders) {
  WriteBytes(P(dir_, "Sub/file.txt"), "12345");
  test::MakeFolders(dir_ / ".hidden");
  EXPECT_EQ(LenFile(P(dir_, "Sub/file.txt")), 5);
  EXPECT_EQ(LenFile(P(dir_, "sub/FILE.TXT")), 5);  // letter case does not matter
  EXPECT_EQ(LenFile(P(dir_, "Sub/none.txt")), kOpenFailed);
  EXPECT_TRUE(FileExists(P(dir_, "Sub/file.txt")));
  EXPECT_FALSE(FileExists(P(dir_, "Sub")));
  EXPECT_FALSE(FileExists(P(dir_, "none")));

  EXPECT_TRUE(FolderExists(P(dir_, "Sub"), true));
  EXPECT_TRUE(FolderExists(dir_.path(), true));
  EXPECT_FALSE(FolderExists(P(dir_, "Sub") + "\\", true));
  EXPECT_FALSE(FolderExists(P(dir_, "Sub/file.txt"), true));
  EXPECT_FALSE(FolderExists(P(dir_, ".hidden"), true));
  EXPECT_FALSE(FolderExists(P(dir_, "Sub/."), false));
  EXPECT_FALSE(FolderExists(P(dir_, "nothing"), false));
  EXPECT_FALSE(FolderExists("Sub", true));  // relative: refused without looking
  EXPECT_FALSE(FolderExists("", false));
}

TEST_F(FileSlotsTest, MakePathCreatesEveryMissingFolderOnce) {
  EXPECT_EQ(MakePath(P(dir_, "a/b")), 2);
  EXPECT_TRUE(FolderExists(P(dir_, "a/b"), true));
  EXPECT_EQ(MakePath(P(dir_, "a/b")), 0);
  EXPECT_EQ(MakePath(P(dir_, "A/B/c") + "\\"), 1);  // existing folders in any case
  EXPECT_TRUE(FolderExists(P(dir_, "a/b/c"), true));

  // Beyond the old 255-character limit of the path itself; the Windows file
  // functions stop at their own limit of 260 for a file path.
#ifdef _WIN32
  const size_t kLength = 230;
#else
  const size_t kLength = 1000;
#endif
  std::string deep = "end";
  int folders = 1;
  while (P(dir_, deep).size() + 20 < kLength) deep = "folder" + std::to_string(folders++) + "/" + deep;
  EXPECT_EQ(MakePath(P(dir_, deep)), folders);
  EXPECT_TRUE(FolderExists(P(dir_, deep), true));
  int slot = OpenFile(P(dir_, deep + "/f.txt"), "w");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(WriteText(slot, "deep\n"), 0);
  EXPECT_EQ(CloseFile(slot), 0);
  EXPECT_EQ(LenFile(P(dir_, deep + "/f.txt")), 6);
}

}  // namespace
}  // namespace zet
