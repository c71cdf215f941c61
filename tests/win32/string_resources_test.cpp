// The built-in string table filled from the program's string-table
// resources (see string_resources_test.rc), then translated.

#include "app/win32/string_resources.h"

#include <gtest/gtest.h>

#include <string>

#include "profile/lang_table.h"
#include "test_support.h"

namespace zet {
namespace {

TEST(StringResources, FillTheBuiltinTableAndTakeTranslations) {
  SetBuiltinStrings({{7, u"stale"}});
  EXPECT_EQ(LoadStringResources(), 4);
  EXPECT_EQ(GetBuiltinString(101), u"IDS_ABOUTBOX" + std::u16string(263, u' '));
  EXPECT_EQ(GetBuiltinString(102), u"IDS_SECOND");
  EXPECT_EQ(GetBuiltinString(300), u"Grüße");
  EXPECT_EQ(GetBuiltinString(65535), u"last id");
  EXPECT_EQ(GetBuiltinString(7), u"") << "the table is replaced";
  EXPECT_EQ(GetBuiltinString(103), u"");

  test::TempDir dir;
  test::WriteBytes(dir / "zetveltran.lng",
                   "[DLG_STANDARD_MESSAGE]\r\nIDS_ABOUTBOX = \"\xDC" "ber...\"\r\nIDS_SECOND = \"Zweiter Text\"\r\n");
  ASSERT_EQ(LoadLangTable(test::ProgramPath(dir, "zetveltran.lng").c_str()), 0);
  ApplyLangStringTable();
  EXPECT_EQ(GetBuiltinString(101), u"Über...");
  EXPECT_EQ(GetBuiltinString(102), u"Zweiter Te") << "cut to the length of the built-in text";
  EXPECT_EQ(GetBuiltinString(300), u"Grüße");
  SetLangTable(nullptr);
  ResetBuiltinStrings();
}

}  // namespace
}  // namespace zet
