// The language table: lookups as the dialogs and the update run make them,
// the built-in string table's translation, and the language files we ship.

#include "profile/lang_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"

namespace zet {
namespace {

using test::DataPath;
using test::ProgramPath;
using test::TempDir;
using test::WriteBytes;

class LangTable : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    SetLangTable(nullptr);
    ResetBuiltinStrings();
  }
  // Installs a table loaded from these bytes.
  static void Install(const std::string& bytes) {
    TempDir dir;
    WriteBytes(dir / "zetveltran.lng", bytes);
    ASSERT_EQ(LoadLangTable(ProgramPath(dir, "zetveltran.lng").c_str()), 0);
  }
};

const std::u16string kAboutBuiltin = u"IDS_ABOUTBOX" + std::u16string(263, u' ');

TEST_F(LangTable, LookupsGiveTextsOrNothing) {
  EXPECT_STREQ(GetLangText("DLG_VELTRAN", "CAPTION"), "") << "no table installed";
  TempDir dir;
  EXPECT_EQ(LoadLangTable(ProgramPath(dir, "missing.lng").c_str()), -1);
  EXPECT_STREQ(GetLangText("DLG_VELTRAN", "CAPTION"), "") << "a failed load installs nothing";
  Install(
      "[DLG_VELTRAN]\r\n"
      "CAPTION = \"ZET Veltran\"\r\n"
      "Caption2 = \"wrong case\"\r\n"
      "IDOK = OK\r\n"
      "IDMSG1 = 12\r\n"
      "LONG = \"" +
      std::string(600, 'x') + "\"\r\n");
  EXPECT_STREQ(GetLangText("DLG_VELTRAN", "CAPTION"), "ZET Veltran");
  EXPECT_STREQ(GetLangText("DLG_VELTRAN", "CAPTION2"), "") << "keys are case-sensitive";
  EXPECT_STREQ(GetLangText("dlg_veltran", "CAPTION"), "");
  EXPECT_STREQ(GetLangText("DLG_VELTRAN", "IDOK"), "") << "an unquoted word is no text";
  EXPECT_STREQ(GetLangText("DLG_ABOUT", "CAPTION"), "") << "a missing section is no error";
  EXPECT_STREQ(GetLangText(nullptr, "CAPTION"), "");
  EXPECT_EQ(std::string(GetLangText("DLG_VELTRAN", "LONG")), std::string(kLangTextMax, 'x')) << "cut to 511";

  EXPECT_EQ(LoadLangTable(ProgramPath(dir, "missing.lng").c_str()), -1);
  EXPECT_EQ(GetLangString("DLG_VELTRAN", "CAPTION"), "ZET Veltran") << "the table in use stays";
  // A file of many MB (here mostly a hole) is no language file: not read.
  WriteBytes(dir / "huge.lng", "[DLG_VELTRAN]\r\nCAPTION = \"huge\"\r\n");
  std::filesystem::resize_file(std::filesystem::path(platform::NativePath(ProgramPath(dir, "huge.lng"))), 64u << 20);
  EXPECT_EQ(LoadLangTable(ProgramPath(dir, "huge.lng").c_str()), -1);
  EXPECT_EQ(GetLangString("DLG_VELTRAN", "CAPTION"), "ZET Veltran");
}

TEST_F(LangTable, ThreadsLookUpWithoutDisturbingEachOther) {
  Install("[A]\r\nk = \"first text\"\r\n[B]\r\nk = \"the second, longer text\"\r\n");
  auto worker = [](const char* section, const char* expected, int* mismatches) {
    for (int i = 0; i < 20000; ++i)
      if (std::string(GetLangText(section, "k")) != expected) ++*mismatches;
  };
  int a = 0, b = 0;
  std::thread ta(worker, "A", "first text", &a);
  std::thread tb(worker, "B", "the second, longer text", &b);
  ta.join();
  tb.join();
  EXPECT_EQ(a + b, 0);
}

TEST_F(LangTable, AboutBoxStringIsTranslatedAndCut) {
  ApplyLangStringTable();
  EXPECT_EQ(GetBuiltinString(kAboutBoxStringId), kAboutBuiltin) << "no table: nothing changes";
  const std::pair<std::string, std::u16string> cases[] = {
      {"\xDC" "ber ZET Veltran...", u"Über ZET Veltran..."},
      {std::string(300, 'a'), std::u16string(275, u'a')},
      {"", kAboutBuiltin},  // an empty translation keeps the built-in text
  };
  for (const auto& [text, shown] : cases) {
    ResetBuiltinStrings();
    Install("[DLG_STANDARD_MESSAGE]\r\nIDS_ABOUTBOX = \"" + text + "\"\r\n");
    ApplyLangStringTable();
    EXPECT_EQ(GetBuiltinString(kAboutBoxStringId), shown) << text;
  }
}

TEST_F(LangTable, EveryBuiltinStringNamingAKeyIsReplaced) {
  SetBuiltinStrings({{1, u"  IDS_ONE\t"}, {2, u"IDS_TWO"}, {3, u"IDS_NONE"}, {70, u"IDS_LONG"}, {71, u""}});
  Install(
      "[DLG_STANDARD_MESSAGE]\r\n"
      "IDS_ONE = \"one\"\r\n"
      "IDS_TWO = \"zwei \x80\"\r\n"
      "IDS_LONG = \"much longer than the key\"\r\n");
  ApplyLangStringTable();
  EXPECT_EQ(GetBuiltinString(1), u"one") << "the key is trimmed";
  EXPECT_EQ(GetBuiltinString(2), u"zwei \u20AC") << "converted from the code page";
  EXPECT_EQ(GetBuiltinString(3), u"IDS_NONE");
  EXPECT_EQ(GetBuiltinString(70), u"much lon") << "cut to the built-in length";
  EXPECT_EQ(GetBuiltinString(71), u"") << "empty strings are absent";
  EXPECT_EQ(GetBuiltinString(kAboutBoxStringId), u"") << "the table was replaced";
}

// The language files we ship hold every text the program shows.
class ShippedLanguageFile : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedLanguageFile, HoldsEveryTextQuotedAndInOurLayout) {
  const std::string path = DataPath(std::string("../../lang/") + GetParam());
  ProfileDocument doc;
  ASSERT_EQ(doc.Load(path), 0) << path;
  const std::vector<std::pair<const char*, std::vector<const char*>>> keys = {
      {"DLG_STANDARD_MESSAGE", {"IDS_WARNING", "IDS_ZETVERSION", "IDS_ZETRUNNING", "IDS_ABOUTBOX"}},
      {"DLG_VELTRAN",
       {"CAPTION", "CAPTION2", "CAPTION3", "IDOK", "IDCANCEL", "IDC_STATIC1", "IDC_STATIC2", "IDC_STATIC3",
        "IDC_BROWSE", "IDC_CHECK", "IDMSG1", "IDMSG2", "IDMSG3", "IDMSG4", "IDMSG5", "IDMSG_TARGET_IN_PACKAGE", "IDMSG_PATH_TOO_LONG",
        "CAPTION4", "IDM_PREVIEW",
        "IDM_UNDO", "IDMSG_UNDO_ASK", "IDMSG_UNDO_DONE", "IDMSG_UNDO_KEPT", "IDMSG_UNDO_NONE",
        "IDMSG_UNDO_UNFINISHED", "IDMSG_UNDO_UNREADABLE", "IDMSG_UNDO_UNWRITABLE"}},
      {"DLG_ABOUT", {"CAPTION", "IDOK", "IDC_STATIC1", "IDC_STATIC2"}},
      {"DLG_PREVIEW", {"CAPTION", "IDCANCEL"}},
      {"POPUP_EDIT", {"ID_UNDO", "ID_CUT", "ID_COPY", "ID_PASTE", "ID_DELETE", "ID_SELECTALL"}},
      {"CLI",
       {"FILES_COPIED", "LEFT_TO_ARCHIVE", "KEPT_EXISTING", "LISTS_MERGED", "FAILURES", "LANG_NOT_LOADED",
        "TARGET_NEEDED", "REGISTRY_UNREADABLE", "NO_RESOURCE_BASE", "NOT_ON_A_DRIVE", "RESOURCE_BASE", "WINE_PREFIX", "VERSION_MISSING",
        "VERSION_FOUND", "INTERRUPTED", "PREVIEW_DONE", "STOPPED", "JOURNAL_FAILED", "NO_JOURNAL_PLACE", "NO_RUNS",
        "RUN_COMPLETED", "RUN_STOPPED", "RUN_INTERRUPTED", "RUN_UNDONE", "RUN_PARTLY_UNDONE", "RUN_RUNNING", "RUN_DAMAGED", "RUN_COUNTS", "NOTHING_TO_UNDO", "UNDO_JOURNAL_UNWRITABLE", "RUN_UNREADABLE",
        "UNDONE", "UNDO_UNFINISHED", "UNDO_INTERRUPTED", "FILES_REMOVED", "FILES_RESTORED", "FOLDERS_REMOVED", "KEPT_CHANGED", "SCAN_NOT_WRITTEN", "OLDER_RUNS_DROPPED"}},
  };
  for (const auto& [section, names] : keys) {
    for (const char* key : names) {
      EXPECT_EQ(doc.GetEntryType(section, key), 3) << section << " " << key << " is a quoted text";
      std::string text = doc.GetString(section, key);
      EXPECT_FALSE(text.empty()) << section << " " << key;
      EXPECT_LE(text.size(), 255u) << section << " " << key << " fits the caption and title buffers";
    }
  }
  EXPECT_EQ(std::string(doc.GetString("DLG_ABOUT", "IDC_STATIC1")), "ZET Veltran %1") << "the About box's version";
  EXPECT_EQ(std::string(doc.GetString("POPUP_EDIT", "ID_COPY")).find('\t') != std::string::npos, true)
      << "menu items carry their shortcut after a tab";

  // Written in the layout our writer uses: a save changes no byte.
  TempDir dir;
  ASSERT_EQ(doc.Save(ProgramPath(dir, "copy.lng")), 0);
  EXPECT_EQ(test::ReadBytes(dir / "copy.lng"), test::ReadBytes(path));
}

INSTANTIATE_TEST_SUITE_P(Lang, ShippedLanguageFile, ::testing::Values("zetveltran.lng", "de/zetveltran.lng"));

}  // namespace
}  // namespace zet
