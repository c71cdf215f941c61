// The profile text form: what Load makes of a file, what Save writes, and
// that a save never costs the old file.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fileio/file_slots.h"
#include "platform/platform.h"
#include "profile/profile_document.h"
#include "profile_dump.h"
#include "test_support.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace zet {
namespace {

using test::DataPath;
using test::Dump;
using test::ProgramPath;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The file's bytes with the byte-order mark, as a wide save writes them.
std::string Utf16File(const std::u16string& text) { return "\xFF\xFE" + test::Utf16Le(text); }

template <typename Doc>
std::string LoadDump(const std::string& bytes) {
  TempDir dir;
  WriteBytes(dir / "in.ini", bytes);
  Doc doc;
  doc.Load(ProgramPath(dir, "in.ini"));
  return Dump(doc);
}

template <typename Doc>
std::string SaveBytes(Doc& doc) {
  TempDir dir;
  EXPECT_EQ(doc.Save(ProgramPath(dir, "out.ini")), 0);
  return ReadBytes(dir / "out.ini");
}

// Loads the bytes and saves them again.
template <typename Doc>
std::string Resave(const std::string& bytes) {
  TempDir dir;
  WriteBytes(dir / "in.ini", bytes);
  Doc doc;
  EXPECT_EQ(doc.Load(ProgramPath(dir, "in.ini")), 0);
  EXPECT_EQ(doc.Save(), 0) << "a save without a path writes the loaded file";
  return ReadBytes(dir / "in.ini");
}

TEST(ProfileLoad, ValueFormsDecideInTheirOrderAndNumbersStopAtTheLimits) {
  const std::pair<const char*, const char*> cases[] = {
      {"int = 5", "Int(1) 5"},
      {"ints = -5,6", "Int(2) -5,6"},
      {"float = 1.5", "Float(1) 1.5"},
      {"floats = .5,2", "Float(2) 0.5,2"},
      {"hex = 0x10,0x20", "HexInt(2) 0x10,0x20"},
      {"HEX = 0XfF", "HexInt(1) 0xff"},
      {"bytes = #0aFF", "Bytes(2) 0a ff"},
      {"odd = #abc", "Bytes(1) ab"},
      {"empty bytes = #", "Bytes(0) "},
      {"yn = Y,N,y", "YesNo(3) Y,N,Y"},
      {"spaced = Y, N", "YesNo(2) Y,N"},
      {"word = hello", "None(1) raw \"hello\""},
      {"nothing =", "None(1) raw \"\""},
      {"quoted = \"a;b\" ; the comment", "String(3) \"a;b\" ; the comment"},
      {"open = \"abc", "String(3) \"abc\""},
      {"closed = \"abc\"def", "String(3) \"abc\""},
      {"gap = 1,,3", "Int(3) 1,0,3"},
      {"minus = -", "Int(1) 0"},
      {"big = 99999999999,-99999999999", "Int(2) 2147483647,-2147483648"},
      {"hex = 0x123456789,-0x1", "HexInt(2) 0xffffffff,0xffffffff"},
      {"float = 1e39,-1e39,1e-50,1.5e3", "Float(4) 3.40282e+38,-3.40282e+38,0,1500"},
      {"nan = .nan,-inf.", "Float(2) 0,-3.40282e+38"},
  };
  for (const auto& [line, shown] : cases) {
    const std::string key(line, std::strchr(line, '=') - line - 1);
    EXPECT_EQ(LoadDump<ProfileDocument>(std::string("[V]\n") + line + "\n"), "[V]\n  " + key + ": " + shown + "\n");
  }
}

TEST(ProfileLoad, MalformedLinesAreDroppedOneByOne) {
  EXPECT_EQ(LoadDump<ProfileDocument>("stray = 1\n"
                                      "; before the first header\n"
                                      "[ A ]\n"
                                      "=5\n"
                                      "no equals sign\n"
                                      "  \t key \t = \t 7 \t \n"
                                      "[broken\n"
                                      "lost = 1\n"
                                      "; kept for the next header\n"
                                      "[B;x] ; after\n"
                                      "k = 1\n"
                                      "[A]\n"
                                      "k = 2\n"),
            "; before the first header\n"
            "[ A ]\n"
            "  key: Int(1) 7\n"
            "; kept for the next header\n"
            "[B;x] ; after\n"
            "  k: Int(1) 1\n"
            "[A]\n"
            "  k: Int(1) 2\n");
}

TEST(ProfileLoad, CommentLinesKeepTheirPlaces) {
  const std::string file =
      "; file header\r\n"
      "[A]\r\n"
      "a = 1\r\n"
      "; between\r\n"
      "   \r\n"
      "b = 2\r\n"
      "\r\n"
      "; before B\r\n"
      "[B]\r\n"
      "c = 3 ;end of line\r\n"
      "; at the end\r\n";
  const std::string saved = Resave<ProfileDocument>(file);
  EXPECT_EQ(saved,
            "; file header\r\n"
            "[A]\r\n"
            "a\t = 1\r\n"
            "; between\r\n"
            ";\r\n"
            "b\t = 2\r\n"
            "\r\n"
            "; before B\r\n"
            "[B]\r\n"
            "c\t = 3 ;end of line\r\n"
            "; at the end\r\n"
            "\r\n");
  EXPECT_EQ(Resave<ProfileDocument>(saved), saved) << "the canonical layout loads and saves unchanged";
}

TEST(ProfileLoad, LoadsAppendReadRegionsAndFailWithoutAChange) {
  TempDir dir;
  WriteBytes(dir / "a.ini", "[S]\r\nk = 1\r\n");
  WriteBytes(dir / "b.ini", "junk[S]\r\nk = 2\r\n[T]\r\nk = 3\r\n");
  WriteBytes(dir / "empty.ini", "");
  WriteBytes(dir / "breaks.ini", "\r\n\r\n\n");
  ProfileDocument doc;
  ASSERT_EQ(doc.Load(ProgramPath(dir, "a.ini")), 0);
  ASSERT_EQ(doc.Load(ProgramPath(dir, "b.ini"), 4, 11), 0) << "bytes 4 to 15 of the file";
  const std::string both = "[S]\n  k: Int(1) 1\n[S]\n  k: Int(1) 2\n";
  EXPECT_EQ(Dump(doc), both);
  EXPECT_EQ(doc.GetInts("S", "k")[0], 1) << "the first of two sections of one name";

  EXPECT_EQ(doc.Load(ProgramPath(dir, "missing.ini")), -1);
  EXPECT_EQ(doc.GetPath(), ProgramPath(dir, "missing.ini")) << "the path is stored all the same";
  EXPECT_EQ(doc.Load(ProgramPath(dir, "empty.ini")), -1);
  EXPECT_EQ(doc.Load(ProgramPath(dir, "")), -1);
  EXPECT_EQ(doc.Load(ProgramPath(dir, "breaks.ini")), 0);
  EXPECT_EQ(Dump(doc), both);

  ProfileDocument fromMemory;
  ASSERT_EQ(fromMemory.LoadBytes("[S]\r\nk = 1\r\n[S]\r\nk = 2\r\n"), 0);
  EXPECT_EQ(Dump(fromMemory), both) << "bytes in memory read as a file's";
  EXPECT_EQ(fromMemory.LoadBytes(""), -1);
  for (int slot = 0; slot < kFileSlotCount; ++slot) EXPECT_EQ(FileSlotState(slot), 0) << "no slot stays open";
}

TEST(ProfileText, EscapesReadBackExactly) {
  ProfileDocument doc;
  const std::string text = "[x]\"\ttab\nline\rcr\bbs [t] [e] [x22] [x5B] [xFFFF] [X22] ; , =";
  doc.SetString("S", "k", text.c_str());
  const std::string bytes = SaveBytes(doc);
  EXPECT_EQ(bytes,
            "[S]\r\n"
            "k\t = \"[x5B]x][x22][t]tab[e]line[x0D]cr[x08]bs [x5B]t] [x5B]e] [x5B]x22] [x5B]x5B] [x5B]xFFFF] "
            "[x5B]X22] ; , =\"\r\n"
            "\r\n");
  ProfileDocument back;
  ASSERT_EQ(back.LoadBytes(bytes), 0);
  EXPECT_EQ(std::string(back.GetString("S", "k")), text);

  // Unknown bracket texts stay as they are.
  EXPECT_EQ(LoadDump<ProfileDocument>("[S]\nk = \"[x0d] [T] [ x22] [x22\"\n"),
            "[S]\n  k: String(21) \"[x0d] [T] [ x22] [x22\"\n");
}

TEST(ProfileText, WideEscapesAndEmptyTexts) {
  WideProfileDocument doc;
  const std::u16string text = u"\xFFFF[\"\t\n\r\b ä€";
  doc.SetString(u"S", u"k", text.c_str());
  doc.SetString(u"S", u"empty", u"");
  const std::string bytes = SaveBytes(doc);
  EXPECT_EQ(bytes, Utf16File(u"[S]\r\n"
                             u"k\t = \"[xFFFF][x5B][x22][t][e][x0D][x08] ä€\"\r\n"
                             u"empty\t = \"\"\r\n"
                             u"\r\n"));
  WideProfileDocument back;
  ASSERT_EQ(back.LoadBytes(bytes), 0);
  EXPECT_EQ(std::u16string(back.GetString(u"S", u"k")), text);
  EXPECT_EQ(back.GetEntryType(u"S", u"empty"), 3) << "an empty text survives a wide file too";

  // A wide file without a byte-order mark is read from its first unit.
  const std::string noMark = Utf16File(u"[Ä]\r\nk = \"ö\"\r\n").substr(2);
  EXPECT_EQ(LoadDump<WideProfileDocument>(noMark), "[\\u00C4]\n  k: String(1) \"\\u00F6\"\n");
  EXPECT_EQ(Resave<WideProfileDocument>(noMark), Utf16File(u"[Ä]\r\nk\t = \"ö\"\r\n\r\n"));

  // In 8-bit files [xFFFF] is no escape.
  EXPECT_EQ(LoadDump<ProfileDocument>("[S]\nk = \"[xFFFF]\"\n"), "[S]\n  k: String(7) \"[xFFFF]\"\n");
}

TEST(ProfileSave, WritesTheCanonicalLayout) {
  ProfileDocument doc;
  ASSERT_GE(doc.AddCommentLine(";  top comment", -1), 0);
  int s = doc.AddSectionLine("[DLG_ABOUT] ;the box");
  doc.AddEntryLine("CAPTION=\"About\"", s);
  doc.AddEntryLine("IDOK   =   \"OK\"   ;  button", s);
  doc.AddCommentLine("; inside", s);
  doc.AddEntryLine("hex = 0x1, 0xABCDE, -0x1", s);
  doc.AddEntryLine("float = 1.23456, -2, 1e3", s);
  doc.AddEntryLine("yes = y,n", s);
  doc.AddEntryLine("bytes = #00FFab", s);
  doc.AddEntryLine("nobytes = #", s);
  doc.AddEntryLine("word = left as written ;c", s);
  doc.AddEntryLine("none =", s);
  int32_t ints[3] = {1, -2, 300000};
  doc.SetInts("Numbers", "ints", ints, 3);
  doc.SetString("Numbers", "text", "");
  doc.SetValue("Numbers", "nohex", ProfileValueType::HexInt, nullptr, 0);
  doc.AddSectionLine("[Empty]");
  EXPECT_EQ(SaveBytes(doc),
            ";  top comment\r\n"
            "[DLG_ABOUT] ;the box\r\n"
            "CAPTION\t = \"About\"\r\n"
            "IDOK\t = \"OK\" ;  button\r\n"
            "; inside\r\n"
            "hex\t = 0x0001,0xabcde,0xffffffff\r\n"
            "float\t = 1.235,-2.000,1000.000\r\n"
            "yes\t = Y,N\r\n"
            "bytes\t = #00ffab\r\n"
            "nobytes\t = #\r\n"
            "word\t = left as written ;c\r\n"
            "none\t =\r\n"
            "\r\n"
            "[Numbers]\r\n"
            "ints\t = 1,-2,300000\r\n"
            "text\t = \"\"\r\n"
            "nohex\t =\r\n"
            "\r\n"
            "[Empty]\r\n"
            "\r\n");
}

TEST(ProfileSave, EveryValueOfAWideFileSurvivesALoadAndSave) {
  const std::string wide = Utf16File(
      u"; Kommentar ✓\r\n"
      u"[Größe]\r\n"
      u"t\t = \"ä [x5B] [x22] [t] [xFFFF] €\" ;c\r\n"
      u"i\t = -2147483648,2147483647\r\n"
      u"h\t = 0x0000,0x7fffffff\r\n"
      u"f\t = -0.500,3.000\r\n"
      u"y\t = Y,N,N,Y\r\n"
      u"b\t = #0001feff\r\n"
      u"n\t = bleibt so\r\n"
      u"\r\n");
  EXPECT_EQ(Resave<WideProfileDocument>(wide), wide);
}

TEST(ProfileLoad, Utf8ByteOrderMarkIsPassedOverAndKept) {
  const std::string file = "\xEF\xBB\xBF[First]\r\nk = \"v\"\r\n";
  EXPECT_EQ(LoadDump<ProfileDocument>(file), "[First]\n  k: String(1) \"v\"\n") << "the first section is not lost";
  EXPECT_EQ(Resave<ProfileDocument>(file), "\xEF\xBB\xBF[First]\r\nk\t = \"v\"\r\n\r\n");
  EXPECT_EQ(Resave<ProfileDocument>("[First]\r\n"), "[First]\r\n\r\n") << "no mark is added to a file without one";
  EXPECT_EQ(Resave<ProfileDocument>("\xEF\xBB\xBF\r\n[A]\r\n"), "\xEF\xBB\xBF[A]\r\n\r\n")
      << "a line that held only the mark is no comment line";

  // Only the first file of a document decides.
  TempDir dir;
  WriteBytes(dir / "a.ini", "[A]\r\n");
  WriteBytes(dir / "b.ini", file);
  ProfileDocument doc;
  doc.Load(ProgramPath(dir, "a.ini"));
  doc.Load(ProgramPath(dir, "b.ini"));
  EXPECT_FALSE(doc.HasUtf8Mark());
  EXPECT_EQ(doc.GetSectionCount(), 2);
}

TEST(ProfileLoad, LongLinesBinaryNoiseAndUnbalancedQuotes) {
  const std::string longText(3 * 1024 * 1024, 'x');
  std::string file = "[S]\r\nlong = \"" + longText + "\"\r\nafter = 1\r\n";
  TempDir dir;
  WriteBytes(dir / "long.ini", file);
  ProfileDocument doc;
  ASSERT_EQ(doc.Load(ProgramPath(dir, "long.ini")), 0);
  EXPECT_EQ(std::string(doc.GetString("S", "long")).size(), longText.size()) << "a long line is read whole";
  EXPECT_EQ(doc.GetInts("S", "after")[0], 1);

  // NUL bytes end lines; noise loads as far as it reads.
  const char raw[] = "[S]\0k = 1\0\xff\xfe\x80[\0=\"\"\"\0q = \"unbalanced ; , \r\n";
  EXPECT_EQ(LoadDump<ProfileDocument>(std::string(raw, sizeof raw - 1)),
            "[S]\n  k: Int(1) 1\n  q: String(14) \"unbalanced ; ,\"\n");
  ProfileDocument many;
  ASSERT_EQ(many.LoadBytes("[S]\r\nmany = Y" + std::string(100000, ',') + "\r\n"), 0);
  EXPECT_EQ(many.GetNode(0)->children[0]->count, 100001);
}

#ifndef _WIN32
// Writes fail once a file grows past the limit, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

 private:
  rlimit old_;
};
#endif

TEST(ProfileSave, AFailedSaveKeepsTheOldFileAndLeavesNoTemporaryFile) {
  TempDir dir;
  ProfileDocument doc;
  doc.SetString("S", "k", "new");
  EXPECT_EQ(doc.Save(ProgramPath(dir, "no folder\\x.ini")), -1);
  test::MakeFolders(dir / "taken.ini");
  EXPECT_EQ(doc.Save(ProgramPath(dir, "taken.ini")), -1) << "a folder in the target's place";
  EXPECT_EQ(ProfileDocument().Save(), -1) << "no path to save to";
  EXPECT_EQ(test::Listing(dir.path()), std::vector<std::string>{"taken.ini"}) << "no temporary file is left";
#ifndef _WIN32
  // A write that fails halfway, not only a failed open, fails the save.
  const std::string old = "[Old]\r\nk\t = \"old\"\r\n\r\n";
  WriteBytes(dir / "host.ini", old);
  ASSERT_EQ(doc.Load(ProgramPath(dir, "host.ini")), 0);
  for (int i = 0; i < 2000; ++i) doc.SetString("Big", ("key" + std::to_string(i)).c_str(), "some value text");
  {
    FileSizeLimit limit(4096);
    EXPECT_EQ(doc.Save(), -1);
  }
  EXPECT_EQ(ReadBytes(dir / "host.ini"), old);
  EXPECT_EQ(test::Listing(dir.path()), (std::vector<std::string>{"host.ini", "taken.ini"}));
  EXPECT_EQ(doc.Save(), 0);
  EXPECT_GT(ReadBytes(dir / "host.ini").size(), 4096u);
#endif
}

// Golden files: a realistic file in, its saved form compared with the
// checked-in expectation. The saved form shows what was read: each value
// in the canonical form of its type, each comment where it was kept. That
// form, with values of every type, loads and saves unchanged.
void CheckGolden(const std::string& name) {
  ProfileDocument doc;
  ASSERT_EQ(doc.Load(DataPath("profile/" + name)), 0);
  const std::string saved = ReadBytes(DataPath("profile/" + name + ".saved"));
  EXPECT_EQ(SaveBytes(doc), saved);
  EXPECT_EQ(Resave<ProfileDocument>(saved), saved);
}

TEST(ProfileGolden, LanguageAndCategoryFiles) {
  CheckGolden("language.lng");
  CheckGolden("category.inf");
}

}  // namespace
}  // namespace zet
