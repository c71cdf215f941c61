// The built-in string table filled from the program's string-table resources
// (string_resources_test.rc): every block, text outside ASCII, the last id.
// Their translation is the language table's test.

#include "host/win32/string_resources.h"

#include <gtest/gtest.h>

#include <string>

#include "profile/lang_table.h"

namespace zet {
namespace {

TEST(StringResources, FillTheBuiltinTable) {
  SetBuiltinStrings({{7, u"stale"}});
  EXPECT_EQ(LoadStringResources(), 4);
  EXPECT_EQ(GetBuiltinString(101), u"IDS_ABOUTBOX" + std::u16string(263, u' '));
  EXPECT_EQ(GetBuiltinString(102), u"IDS_SECOND");
  EXPECT_EQ(GetBuiltinString(300), u"Grüße");
  EXPECT_EQ(GetBuiltinString(65535), u"last id");
  EXPECT_EQ(GetBuiltinString(103), u"");
  EXPECT_EQ(GetBuiltinString(7), u"") << "the table is replaced";
  ResetBuiltinStrings();
}

}  // namespace
}  // namespace zet
