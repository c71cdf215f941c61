// The file slot library: streamed and memory-image slots, the text reader,
// the path helpers, and the failure and progress hooks.

#include "fileio/file_slots.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace zet {
namespace {

using test::ReadBytes;
using test::WriteBytes;

class FileSlotsTest : public test::SlotTest {
 protected:
  // A memory image of the bytes, through a file in the scratch folder.
  int Image(const std::string& bytes) {
    std::string path = P("image" + std::to_string(images_++) + ".bin");
    WriteBytes(path, bytes);
    const int slot = OpenFileRegion(path, 0, 0);
    EXPECT_GE(slot, 0);
    return slot;
  }
  // The text one read of the format gives, or "<failed>".
  static std::string Read(int slot, const char* format) {
    std::string text;
    return ReadText(slot, format, &text) == 0 ? text : "<failed>";
  }
  static std::u16string ReadWide(int slot, const char* format) {
    std::u16string text;
    return ReadText(slot, format, &text) == 0 ? text : u"<failed>";
  }
  // Every text the format reads from an image of the bytes, joined with '|',
  // up to the first read that fails.
  std::string ReadAll(const std::string& bytes, const char* format) {
    int slot = Image(bytes);
    std::string all, one;
    for (int n = 0; n < 100 && ReadText(slot, format, &one) == 0; ++n) all += (n ? "|" : "") + one;
    return all;
  }
  static void ExpectAllFree() {
    for (int i = 0; i < kFileSlotCount; ++i) EXPECT_EQ(FileSlotState(i), 0) << "slot " << i;
  }

  int images_ = 0;
};

TEST_F(FileSlotsTest, TenSlotsThenNoFreeSlotAndBadSlotNumbers) {
  RecordFailures();
  WriteBytes(P("a.txt"), "x");
  for (int i = 0; i < kFileSlotCount; ++i) EXPECT_EQ(OpenFile(P("a.txt"), "rb"), i);
  EXPECT_EQ(OpenFile(P("a.txt"), "rb"), kOpenFailed);
  EXPECT_EQ(OpenFileRegion(P("a.txt"), 0, 0), kOpenFailed);
  ASSERT_FALSE(calls_.empty());
  EXPECT_EQ(calls_.front(), Call(-3, P("a.txt"), "OpenFile"));
  EXPECT_EQ(CloseFile(4), 0);
  EXPECT_EQ(OpenFile(P("a.txt"), "rb"), 4) << "the freed slot is taken again";

  // Out of range, and in range but not open: -6, reported without a name.
  calls_.clear();
  EXPECT_EQ(CloseFile(10), kBadSlot);
  EXPECT_EQ(EoFile(-1, 1), kBadSlot);
  Reset();
  RecordFailures();
  EXPECT_EQ(CloseFile(3), kBadSlot);
  EXPECT_EQ(EoFile(3, 1), kBadSlot);
  EXPECT_EQ(WriteFile(3, "x", 1), kBadSlot);
  EXPECT_EQ(calls_, std::vector<Call>({{-6, "", "CloseFile"},
                                       {-6, "", "EoFile"},
                                       {-6, "", "CloseFile"},
                                       {-6, "", "EoFile File not open"},
                                       {-6, "", "WriteFile"}}));
}

TEST_F(FileSlotsTest, WritesTextWithCrLfAndBinaryAsGiven) {
  int slot = OpenFile(P("text.ini"), "w");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(WriteText(slot, "[%s]\n%s=%d\n", "Main", "Count", 42), 0);
  EXPECT_EQ(CloseFile(slot), 0);
  EXPECT_EQ(ReadBytes(dir_ / "text.ini"), "[Main]\r\nCount=42\r\n");

  slot = OpenFile(P("wide.ini"), "wb");
  ASSERT_GE(slot, 0);
  const char wide[] = {'a', 0, '\r', 0, '\n', 0};
  EXPECT_EQ(WriteFile(slot, wide, sizeof wide), 0);
  EXPECT_EQ(WriteFile(slot, wide, 0), 0);
  EXPECT_EQ(WriteText(slot, "%s", std::string(5000, 'z').c_str()), 0);
  EXPECT_EQ(CloseFile(slot), 0);
  EXPECT_EQ(ReadBytes(dir_ / "wide.ini"), std::string(wide, sizeof wide) + std::string(5000, 'z'));

  // Writing needs a streamed slot.
  int image = Image("abc");
  EXPECT_EQ(WriteText(image, "x"), kBadSlot);
  EXPECT_EQ(WriteFile(image, "x", 1), kBadSlot);
  EXPECT_EQ(ReadFile(image, nullptr, 1, false), kBadSlot);
}

TEST_F(FileSlotsTest, FailedOpensAndWritesAreReportedAndNeverPassAsAGoodFile) {
  RecordFailures();
  EXPECT_EQ(OpenFile(P("no/such/x.txt"), "w"), kOpenFailed);
  ExpectAllFree();
  WriteBytes(P("read.txt"), "x");
  int slot = OpenFile(P("read.txt"), "rb");
  EXPECT_EQ(WriteFile(slot, "y", 1), kWriteFailed);
  EXPECT_EQ(calls_, std::vector<Call>({{-3, P("no/such/x.txt"), "OpenFile"}, {-8, P("read.txt"), "WriteFile"}}));
#ifndef _WIN32
  // A device that takes no data: the buffered text fails when it is flushed
  // at the close, which reports -5 and keeps the slot until closed again.
  calls_.clear();
  slot = OpenFile("/dev/full", "w");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(WriteText(slot, "line\n"), 0);
  EXPECT_EQ(CloseFile(slot), kCloseFailed);
  EXPECT_EQ(calls_, std::vector<Call>({{-5, "/dev/full", "CloseFile"}}));
  EXPECT_EQ(FileSlotState(slot), 1);
  EXPECT_EQ(CloseFile(slot), 0);
  EXPECT_EQ(FileSlotState(slot), 0);
#endif
}

TEST_F(FileSlotsTest, ReadFileContinuesAtTheCursorAndReportsShortReads) {
  WriteBytes(P("data.bin"), "0123456789");
  int slot = OpenFile(P("data.bin"), "rb");
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
  slot = OpenFile(P("data.bin"), "rb");
  EXPECT_EQ(ReadFile(slot, nullptr, 1, false), kReadFailed);
}

TEST_F(FileSlotsTest, MemoryImagesOfRegionsAndWholeFiles) {
  RecordFailures();
  WriteBytes(P("f.txt"), "hello world");
  WriteBytes(P("empty.txt"), "");
  int slot = OpenFileRegion(P("f.txt"), 6, 5);
  ASSERT_GE(slot, 0);
  EXPECT_EQ(FileSlotState(slot), 2);
  EXPECT_EQ(Read(slot, "%s"), "world");
  EXPECT_EQ(CloseFile(slot), 0);
  slot = OpenFile(P("f.txt"), "t");
  EXPECT_EQ(Read(slot, "%ls"), "hello world") << "mode t: the whole file as an image";
  EXPECT_EQ(CloseFile(slot), 0);

  // Missing, empty, and regions not inside the file: -3, and no slot is held.
  EXPECT_EQ(OpenFileRegion(P("missing.txt"), 0, 0), kOpenFailed);
  EXPECT_EQ(OpenFileRegion(P("empty.txt"), 0, 0), kOpenFailed);
  for (auto [offset, length] : std::vector<std::pair<int64_t, int64_t>>{{6, 6}, {12, 1}, {-1, 2}, {0, int64_t{1} << 50}})
    EXPECT_EQ(OpenFileRegion(P("f.txt"), offset, length), kOpenFailed) << offset << "+" << length;
  ExpectAllFree();
  EXPECT_EQ(calls_.front(), Call(-3, P("missing.txt"), "LenFile"));
}

TEST_F(FileSlotsTest, SeekOnAMemoryImageStopsAtItsLength) {
  RecordFailures();
  int slot = Image("abcdef");
  EXPECT_EQ(SeekFile(slot, 6, 0), 0);
  EXPECT_EQ(EoFile(slot, 1), 1);
  std::string s = "unchanged";
  EXPECT_EQ(ReadText(slot, "%s", &s), -1);
  EXPECT_EQ(s, "unchanged");

  EXPECT_EQ(SeekFile(slot, 7, 0), kSeekFailed);
  EXPECT_EQ(Read(slot, "%c"), "a") << "a failed seek goes back to the start";
  EXPECT_EQ(SeekFile(slot, 2, 1), 0);
  EXPECT_EQ(Read(slot, "%c"), "d");
  EXPECT_EQ(SeekFile(slot, -5, 1), kSeekFailed);
  EXPECT_EQ(SeekFile(slot, -2, 2), 0);
  EXPECT_EQ(Read(slot, "%s"), "ef");
  EXPECT_EQ(calls_, std::vector<Call>(2, {-2, P("image0.bin"), "SeekFile"}));

  // Units of two bytes: six bytes are three units.
  EXPECT_EQ(SeekFile(slot, 2, 0), 0);
  EXPECT_EQ(EoFile(slot, 2), 0);
  EXPECT_EQ(SeekFile(slot, 3, 0), 0);
  EXPECT_EQ(EoFile(slot, 2), 1);
}

TEST_F(FileSlotsTest, ReadTextLinesSkipEmptyLinesAndKeepLongOnesWhole) {
  EXPECT_EQ(ReadAll("a\r\n\r\nb", "%ls"), "a|b");
  const std::string longLine(200000, 'x');
  EXPECT_EQ(ReadAll("\n" + longLine + std::string("\r\nnext\0tail\0", 12), "%LS"), longLine + "|next|tail")
      << "a zero byte ends a line too";
}

TEST_F(FileSlotsTest, ReadTextNumbersAndWords) {
  int slot = Image("  42\t7\r\n-3 ff 123456789012 1.5 word\n  next line\nlast");
  int a = 0, b = 0, c = 0, hex = 0;
  long big = 0;
  float f = 0;
  std::string w;
  EXPECT_EQ(ReadText(slot, "%d", &a), 0);
  EXPECT_EQ(ReadText(slot, "%d", &b), 0);
  EXPECT_EQ(ReadText(slot, "%d %X %ld%f%s", &c, &hex, &big, &f, &w), 0);
  EXPECT_EQ(std::vector<int>({a, b, c, hex}), (std::vector<int>{42, 7, -3, 0xff}));
  EXPECT_EQ(big, sizeof(long) == 8 ? 123456789012L : 2147483647L);
  EXPECT_FLOAT_EQ(f, 1.5f);
  EXPECT_EQ(w, "word");
  EXPECT_EQ(Read(slot, "%ls"), "next line");

  // A newline in the format passes over a line; other characters and
  // unknown conversions read nothing.
  EXPECT_EQ(Read(Image("skip me\nkeep\nx"), "\n#%q%ls"), "keep");

  // A word that is no number leaves the target alone but is read.
  slot = Image("abc 5 FFFFFFFF 99999999999");
  a = 17;
  EXPECT_EQ(ReadText(slot, "%d%d%x%d", &a, &b, &hex, &c), 0);
  EXPECT_EQ(std::vector<int>({a, b, hex, c}), (std::vector<int>{17, 5, -1, 2147483647}));

  // A number word is read at most 32 characters at a time.
  slot = Image(std::string(40, '1') + " 9");
  std::string first, second;
  EXPECT_EQ(ReadText(slot, "%d%s%s", &a, &first, &second), 0);
  EXPECT_EQ(first, std::string(8, '1'));
  EXPECT_EQ(second, "9");

  // Missing targets and targets of the wrong kind are passed over.
  slot = Image("1 two 3");
  EXPECT_EQ(ReadText(slot, "%s%d%d", &a, &w, &c), 0);
  EXPECT_EQ(ReadText(slot, "%d"), -1);
}

TEST_F(FileSlotsTest, ReadTextCharactersAndWideText) {
  EXPECT_EQ(ReadAll(std::string("\0\0xy", 4), "%C"), "x|y");

  // UTF-16LE: byte-order mark, a line, an empty line, a line of two words,
  // and an odd byte at the end that is no unit.
  int slot = Image(test::Utf16Le(u"\xFEFF\x00E4rger\r\n\r\nfoo \x20AC" u"bar") + '\x7F');
  EXPECT_EQ(ReadWide(slot, "%lw"), u"\xFEFF\x00E4rger");
  EXPECT_EQ(EoFile(slot, 2), 0);
  EXPECT_EQ(ReadWide(slot, "%w"), u"foo");
  EXPECT_EQ(ReadWide(slot, "%lW"), u"\x20AC" u"bar");
  EXPECT_EQ(EoFile(slot, 2), 1);
}

TEST_F(FileSlotsTest, TokenReadersStopAtTheEndOfTheImage) {
  int slot = Image("ab,,cd");
  // The token of at most max characters, or "<failed>".
  auto token = [&](int max) {
    std::string text;
    return ReadToken(slot, &text, max, ',', 1, 1, 1) == 0 ? text : "<failed>";
  };
  std::string seen;
  for (int max : {0, 1, 0, 0}) seen += token(max) + "|";
  EXPECT_EQ(seen, "ab|c|d||");
  std::u16string wide = u"x";
  EXPECT_EQ(ReadWideToken(slot, &wide, 0, ',', 1, 1, 1), 0);
  EXPECT_EQ(wide, u"");
  std::string text;
  EXPECT_EQ(ReadToken(9, &text, 0, 0, 0, 0, 0), kBadSlot);
}

TEST_F(FileSlotsTest, FailureHookRetriesTheFailedStep) {
  // A hook that makes the missing file appear: the retried open succeeds.
  int calls = 0;
  SetFailureHook([&](int code, const std::string& name, const std::string& op) {
    EXPECT_EQ(Call(code, name, op), Call(kOpenFailed, P("late.txt"), "OpenFile"));
    WriteBytes(P("late.txt"), "now here");
    return ++calls == 1;
  });
  int slot = OpenFile(P("late.txt"), "rb");
  EXPECT_GE(slot, 0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(CloseFile(slot), 0);

  // A hook that retries twice and gives up: three attempts, then -3.
  RecordFailures(2);
  EXPECT_EQ(OpenFile(P("never.txt"), "rb"), kOpenFailed);
  EXPECT_EQ(calls_.size(), 3u);

  // A short read retried: the stream is put back and read again.
  calls_.clear();
  RecordFailures(1);
  WriteBytes(P("short.bin"), "abc");
  slot = OpenFile(P("short.bin"), "rb");
  char buffer[8] = {};
  EXPECT_EQ(ReadFile(slot, buffer, 5, false), kReadFailed);
  EXPECT_EQ(calls_, std::vector<Call>(2, {-1, P("short.bin"), "ReadFile"}));
  EXPECT_EQ(ReadFile(slot, buffer, 3, false), kReadFailed) << "the stream is at the end now";
}

TEST_F(FileSlotsTest, LoadFileReadsInChunksAndTheProgressHookMayAbort) {
  std::string content;
  for (int i = 0; i < 200000; ++i) content.push_back(static_cast<char>(i * 7));
  WriteBytes(P("big.bin"), content);
  std::vector<std::pair<int64_t, int64_t>> progress;
  SetProgressHook([&](const std::string&, int64_t done, int64_t total) {
    progress.emplace_back(done, total);
    return false;
  });
  std::string got;
  EXPECT_EQ(LoadFile(P("big.bin"), got, 0, false), 200000);
  EXPECT_EQ(got, content);
  EXPECT_EQ(progress, (std::vector<std::pair<int64_t, int64_t>>{
                          {0, 200000}, {65536, 200000}, {131072, 200000}, {196608, 200000}, {200000, 200000}}));
  EXPECT_EQ(LoadFile(P("big.bin"), got, 10, false), 10);
  EXPECT_EQ(got, content.substr(0, 10));

  // Return-open: the slot is pointed at the destination for ReadFile.
  int slot = static_cast<int>(LoadFile(P("big.bin"), got, 100, true));
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ReadFile(slot, nullptr, 100, false), 0);
  EXPECT_EQ(got, content.substr(0, 100));
  EXPECT_EQ(CloseFile(slot), 0);

  SetProgressHook([](const std::string&, int64_t done, int64_t) { return done > 0; });
  EXPECT_EQ(LoadFile(P("big.bin"), got, 0, false), kAborted);
  EXPECT_EQ(LoadFile(P("missing.bin"), got, 0, false), kOpenFailed);
  ExpectAllFree();
}

TEST_F(FileSlotsTest, LengthAndExistenceOfFilesAndFolders) {
  WriteBytes(P("Sub/file.txt"), "12345");
  test::MakeFolders(dir_ / ".hidden");
  EXPECT_EQ(LenFile(P("sub/FILE.TXT")), 5) << "letter case does not matter";
  EXPECT_EQ(LenFile(P("Sub/none.txt")), kOpenFailed);
  EXPECT_TRUE(FileExists(P("Sub/file.txt")));
  EXPECT_FALSE(FileExists(P("Sub")));
  EXPECT_FALSE(FileExists(P("none")));

  EXPECT_TRUE(FolderExists(P("Sub"), true));
  EXPECT_TRUE(FolderExists(dir_.path(), true));
  // Not folders: a trailing separator, a file, a hidden folder, ".", nothing,
  // and a relative path (refused without looking).
  for (const std::string& path : {P("Sub") + "\\", P("Sub/file.txt"), P(".hidden"), P("Sub/."), P("nothing"),
                                  std::string("Sub"), std::string()})
    EXPECT_FALSE(FolderExists(path, true)) << path;
}

TEST_F(FileSlotsTest, MakePathCreatesEveryMissingFolderOnce) {
  EXPECT_EQ(MakePath(P("a/b")), 2);
  EXPECT_TRUE(FolderExists(P("a/b"), true));
  EXPECT_EQ(MakePath(P("a/b")), 0);
  EXPECT_EQ(MakePath(P("A/B/c") + "\\"), 1) << "existing folders in any case";
  EXPECT_TRUE(FolderExists(P("a/b/c"), true));

  // Beyond the old 255-character limit of the path itself; the Windows file
  // functions stop at their own limit of 260 for a file path.
#ifdef _WIN32
  const size_t kLength = 230;
#else
  const size_t kLength = 1000;
#endif
  std::string deep = "end";
  int folders = 1;
  while (P(deep).size() + 20 < kLength) deep = "folder" + std::to_string(folders++) + "/" + deep;
  EXPECT_EQ(MakePath(P(deep)), folders);
  int slot = OpenFile(P(deep + "/f.txt"), "w");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(WriteText(slot, "deep\n"), 0);
  EXPECT_EQ(CloseFile(slot), 0);
  EXPECT_EQ(LenFile(P(deep + "/f.txt")), 6);
}

}  // namespace
}  // namespace zet
