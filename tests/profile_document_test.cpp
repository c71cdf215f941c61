// The profile document in memory: lookups and their cursors, values,
// setters, walks. Documents are filled through the reader's line operations,
// as a load fills them.

#include "profile/profile_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profile_dump.h"

namespace zet {
namespace {

using test::Dump;

// Fills a document as loading these lines would ("[" headers, ";" comments,
// everything else an entry of the last section).
template <typename Char>
void Fill(BasicProfileDocument<Char>& doc, std::initializer_list<const Char*> lines) {
  int section = -1;
  for (const Char* line : lines) {
    if (line[0] == '[')
      section = doc.AddSectionLine(line);
    else if (line[0] == ';')
      doc.AddCommentLine(line, section);
    else
      doc.AddEntryLine(line, section);
  }
}

TEST(ProfileDocument, FreshDocumentReadsAsEmpty) {
  ProfileDocument doc;
  EXPECT_STREQ(doc.GetCurrentSectionName(), "");
  char destination[8] = "garbage";
  EXPECT_STREQ(doc.GetString("DLG_ABOUT", "CAPTION", destination, 7), "");
  EXPECT_STREQ(destination, "");
  int32_t ints[2] = {7, 7};
  EXPECT_EQ(doc.GetInts("S", "K", ints, 2)[0], 0);
  EXPECT_EQ(ints[0], 7) << "a missing entry copies no elements";
  EXPECT_EQ(doc.GetEntryType("S", "K"), -1);
  EXPECT_EQ(doc.NextEntry(nullptr, 1, -1), -1);
}

TEST(ProfileDocument, SectionLookupsMoveTheCurrentSection) {
  ProfileDocument doc;
  Fill(doc, {";top", "[DLG_VELTRAN]", "CAPTION = \"Veltran\"", "[DLG_ABOUT]", "CAPTION = \"About\"",
             "[DLG_ABOUT]", "CAPTION = \"second\""});
  EXPECT_EQ(doc.GetSectionCount(), 4) << "the comment line before the first header is a top-level node";

  EXPECT_EQ(doc.FindSection("DLG_ABOUT"), 2) << "the first of two equal names";
  EXPECT_STREQ(doc.GetString(nullptr, "CAPTION"), "About");
  EXPECT_STREQ(doc.GetCurrentSectionName(), "DLG_ABOUT");

  EXPECT_EQ(doc.FindSection("dlg_about"), -1) << "names are case-sensitive";
  EXPECT_EQ(doc.FindSection(nullptr), -1) << "a failed lookup leaves no current section";
  EXPECT_STREQ(doc.GetString(nullptr, "CAPTION"), "");
  EXPECT_EQ(doc.FindSection("DLG_ABOUT "), -1) << "a trailing blank is part of the name";

  EXPECT_EQ(doc.SetCurrentSection(3), 3);
  EXPECT_STREQ(doc.GetString(nullptr, "CAPTION"), "second");
  EXPECT_EQ(doc.SetCurrentSection(4), -1);
  EXPECT_EQ(doc.GetCurrentSection(), 3) << "an index out of range changes nothing";
  EXPECT_EQ(doc.SetCurrentSection(0), 0);
  EXPECT_EQ(doc.GetCurrentSectionName(), nullptr) << "a comment node has no name";
}

TEST(ProfileDocument, EntryLookupSearchesCircularlyFromTheCursor) {
  ProfileDocument doc;
  Fill(doc, {"[S]", "A = \"a1\"", "B = \"b\"", "A = \"a2\"", "C = \"c\""});

  // Keys read in file order are each found at the cursor.
  EXPECT_STREQ(doc.GetString("S", "A"), "a1");
  EXPECT_STREQ(doc.GetString("S", "B"), "b");
  EXPECT_STREQ(doc.GetString("S", "A"), "a2") << "the search goes on from the cursor";
  EXPECT_STREQ(doc.GetString("S", "C"), "c");
  EXPECT_STREQ(doc.GetString("S", "A"), "a1") << "and wraps around to the start";
  EXPECT_STREQ(doc.GetCurrentEntryName("S"), "A");

  EXPECT_STREQ(doc.GetString("S", "a"), "") << "keys are case-sensitive";
  EXPECT_STREQ(doc.GetCurrentEntryName("S"), "");
  EXPECT_STREQ(doc.GetString("S", "A"), "a1") << "a lost cursor searches everything";

  EXPECT_EQ(doc.SelectEntry("S", "C"), 1);
  EXPECT_STREQ(doc.GetString("S", nullptr), "c") << "a null key reads the entry at the cursor";
  EXPECT_EQ(doc.SelectEntry("S", "D"), 0);
  EXPECT_EQ(doc.SelectEntry("T", nullptr), 0);
}

TEST(ProfileDocument, WalkVisitsValueEntriesAndLeavesTheCursorOutside) {
  ProfileDocument doc;
  Fill(doc, {"[S]", "; first comment", "A = 1", "bare = word", "; between", "B = \"x\"", "C = Y,N"});
  std::vector<std::string> seen;
  ASSERT_EQ(doc.SelectEntry("S", nullptr), 1);
  while (doc.GetEntryType("S", nullptr) > 0) {
    if (doc.GetEntryType("S", nullptr) > 2) seen.push_back(doc.GetCurrentEntryName("S"));
    doc.NextEntry("S", 1, -1);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"A", "B", "C"})) << "comments and entries without value are passed over";
  EXPECT_EQ(doc.GetEntryType("S", nullptr), -1);
  EXPECT_EQ(doc.NextEntry("S", 1, -1), -1);

  EXPECT_EQ(doc.NextEntry("S", -1, 3), 0) << "backwards, texts only";
  EXPECT_STREQ(doc.GetCurrentEntryName("S"), "B");
  EXPECT_EQ(doc.NextEntry("S", 0, -1), 0) << "step 0 tests the entry at the cursor";
  EXPECT_EQ(doc.NextEntry("S", 0, 4), -1);
  EXPECT_EQ(doc.NextEntry("S", 2000000000, -1), -1) << "a huge step just leaves the section";
  EXPECT_EQ(doc.NextEntry("S", -1, -1), 0) << "and the walk can come back from the end";
  EXPECT_STREQ(doc.GetCurrentEntryName("S"), "C");

  ProfileDocument startsBare;
  Fill(startsBare, {"[S]", "bare = word", "A = 1"});
  startsBare.SelectEntry("S", nullptr);
  EXPECT_EQ(startsBare.GetEntryType("S", nullptr), 0) << "a walk over a section that begins with None ends at once";
}

TEST(ProfileDocument, GetValueCopiesAtMostWhatIsAsked) {
  ProfileDocument doc;
  Fill(doc, {"[S]", "T = \"abcdef\"", "L = 1,2,3", "Y = Y,N,Y", "bare = word"});
  char text[8] = "xxxxxxx";
  doc.GetString("S", "T", text, 3);
  EXPECT_EQ(std::string(text, 5), std::string("abc\0x", 5));
  int32_t ints[3] = {9, 9, 9};
  doc.GetInts("S", "L", ints, 2);
  EXPECT_EQ(std::vector<int32_t>(ints, ints + 3), (std::vector<int32_t>{1, 2, 9}));
  // Four-byte elements of a one-byte value read as zero beyond its data.
  doc.GetInts("S", "Y", ints, 0);
  EXPECT_EQ(std::vector<int32_t>(ints, ints + 3), (std::vector<int32_t>{0x010001, 0, 0}));
  EXPECT_STREQ(doc.GetString("S", "bare", text, 7), "") << "an entry without a value reads as missing";
  EXPECT_STREQ(doc.GetString("S", "L"), "\x01") << "without a destination the stored bytes are returned";
}

TEST(ProfileDocument, SettersCreateOrReplaceInPlace) {
  ProfileDocument doc;
  Fill(doc, {"[S]", "A = 1", "K = 5 ; keep me", "Z = 2"});
  EXPECT_EQ(doc.SetString("S", "K", "text"), 0);
  EXPECT_EQ(Dump(doc),
            "[S]\n"
            "  A: Int(1) 1\n"
            "  K: String(5) \"text\" ; keep me\n"
            "  Z: Int(1) 2\n");
  EXPECT_STREQ(doc.GetCurrentSectionName(), "S");
  EXPECT_STREQ(doc.GetCurrentEntryName(nullptr), "K");

  EXPECT_EQ(doc.SetInts("New", "N", nullptr, 1), -1);
  int32_t values[2] = {3, -4};
  EXPECT_EQ(doc.SetInts("New", "N", values, 0), -1);
  EXPECT_EQ(doc.GetSectionCount(), 1) << "a refused value creates nothing";
  EXPECT_EQ(doc.SetInts("New", "N", values, 2), 0);
  EXPECT_EQ(doc.SetString(nullptr, "M", "on the current section"), 0);
  EXPECT_EQ(Dump(doc).substr(Dump(doc).find("[New]")),
            "[New]\n"
            "  N: Int(2) 3,-4\n"
            "  M: String(23) \"on the current section\"\n");

  EXPECT_EQ(doc.SetString("S", "K", nullptr), -1);
  EXPECT_EQ(doc.SetString("S", nullptr, "x"), -3);
  doc.FindSection("missing");
  EXPECT_EQ(doc.SetString(nullptr, "K", "x"), -2) << "no current section";
  doc.SetCurrentSection(0);
  EXPECT_EQ(doc.SetString("S", "K", "a much longer text than before"), 0);
  EXPECT_EQ(doc.SetString("S", "K", "ab"), 0);
  EXPECT_STREQ(doc.GetString("S", "K"), "ab") << "a shorter text after a longer one";
}

TEST(ProfileDocument, SetValueCopiesEntriesOfEveryType) {
  ProfileDocument from;
  Fill(from, {"[P]", "t = \"text\"", "i = 1,-2", "h = 0x10,0xffff", "f = 1.5,-0.25", "y = Y,N,y", "b = #00ff7f",
              "; comment", "n = word"});
  ProfileDocument to;
  from.ForEachEntry([&](const char* section, const char* name, int type, const void* value, int32_t, ProfileDocument& d) {
    if (type <= 2) return 1;
    const ProfileNode* entry = d.FindEntry(d.GetNode(d.FindSection(section)), name);
    EXPECT_EQ(to.SetValue("Copy", name, static_cast<ProfileValueType>(type), value, entry->count), 0);
    return 1;
  });
  EXPECT_EQ(Dump(to),
            "[Copy]\n"
            "  t: String(4) \"text\"\n"
            "  i: Int(2) 1,-2\n"
            "  h: HexInt(2) 0x10,0xffff\n"
            "  f: Float(2) 1.5,-0.25\n"
            "  y: YesNo(3) Y,N,Y\n"
            "  b: Bytes(3) 00 ff 7f\n");
  EXPECT_EQ(to.SetValue("Copy", "x", ProfileValueType::Comment, "x", 1), -1);
  EXPECT_EQ(to.SetValue("Copy", "x", static_cast<ProfileValueType>(7), "x", 1), -1);
  EXPECT_EQ(to.SetValue("Copy", "x", ProfileValueType::Int, nullptr, 1), -1);
  EXPECT_EQ(to.SetValue("Copy", "x", ProfileValueType::Bytes, nullptr, 0), 0) << "an empty byte string";
}

TEST(ProfileDocument, FindValueSearchesTextsAndRawValues) {
  ProfileDocument doc;
  Fill(doc, {"[Filter1]", "FilterString = \"Loks\"", "FilterValue = 12", "[Filter2]", "FilterString = \"Wagen\"",
             "FilterValue = 13", "[Filter3]", "Other = \"Wagen\""});
  // "section/key" found, or "none" with the buffers as they were left.
  auto find = [&](const char* value, std::string section, std::string key, bool stringsOnly) {
    bool found = doc.FindValue(value, &section, &key, stringsOnly);
    return (found ? "" : "none ") + section + "/" + key;
  };
  EXPECT_EQ(find("Wagen", "", "FilterString", true), "Filter2/FilterString");
  EXPECT_STREQ(doc.GetCurrentSectionName(), "Filter2");
  EXPECT_EQ(find("Wagen", "", "", true), "Filter2/FilterString") << "any key: the first in file order";
  EXPECT_EQ(find("Wagen", "Filter3", "", false), "Filter3/Other");
  // The value bytes read as text: 13 is the byte 0x0d.
  EXPECT_EQ(find("\x0d", "", "FilterValue", false), "Filter2/FilterValue");
  EXPECT_EQ(find("\x0d", "", "FilterValue", true), "none /FilterValue") << "strings only";
  EXPECT_EQ(find("Loks", "Missing", "FilterString", true), "none Missing/FilterString");
  EXPECT_TRUE(doc.FindValue("Loks", nullptr, nullptr, true));
  EXPECT_STREQ(doc.GetCurrentSectionName(), "Filter1");
}

TEST(ProfileDocument, ForEachEntryWalksInFileOrderAndStops) {
  ProfileDocument doc;
  Fill(doc, {";top", "[A]", "x = 1", "; c", "[B]", "x = \"two\"", "y = word"});
  std::vector<std::string> calls;
  auto record = [&](const char* section, const char* name, int type, const void* value, int32_t size,
                    ProfileDocument&) {
    calls.push_back(std::string(section) + "/" + (name ? name : "(comment)") + "/" + std::to_string(type) + "/" +
                    std::to_string(size) + (value ? "" : "/no value"));
    return 1;
  };
  auto walk = [&](const char* section, const char* key) {
    calls.clear();
    EXPECT_EQ(doc.ForEachEntry(record, section, key), 0);
    return calls;
  };
  using Calls = std::vector<std::string>;
  EXPECT_EQ(walk(nullptr, nullptr), (Calls{"A/x/4/4", "A/(comment)/1/-1/no value", "B/x/3/3", "B/y/0/-1/no value"}));
  EXPECT_EQ(walk("B", nullptr).size(), 2u);
  EXPECT_EQ(walk(nullptr, "x"), (Calls{"A/x/4/4", "B/x/3/3"}));
  EXPECT_EQ(walk("Missing", nullptr), Calls{});

  int n = 0;
  doc.ForEachEntry([&](const char*, const char*, int, const void*, int32_t, ProfileDocument&) { return ++n, 0; });
  EXPECT_EQ(n, 1) << "a callback result of 0 ends the walk";
  EXPECT_EQ(doc.ForEachEntry(nullptr), -1);

  // A callback may add to the document it walks.
  doc.ForEachEntry([&](const char* section, const char* name, int, const void*, int32_t, ProfileDocument& d) {
    if (name != nullptr && std::string(section) == "A") d.SetString("Added", name, "copy");
    return 1;
  });
  EXPECT_STREQ(doc.GetString("Added", "x"), "copy");
}

TEST(ProfileDocument, ManySectionsAreFoundByTheFirstOfTheirName) {
  ProfileDocument doc;
  doc.AddCommentLine("; top", -1);
  for (int i = 0; i < 40; ++i) doc.AddSectionLine(("[S" + std::to_string(i % 30) + "]").c_str());
  EXPECT_EQ(doc.FindSection("S3"), 4) << "the first of two";
  EXPECT_EQ(doc.FindSection("S33"), -1);
  EXPECT_EQ(doc.GetCurrentSection(), -1);
  // Sections added after the first lookup are found too, but never before
  // an earlier one of the same name.
  doc.SetString("Late", "k", "v");
  doc.AddSectionLine("[S5]");
  doc.AddSectionLine("[Later]");
  EXPECT_EQ(doc.FindSection("Late"), 41);
  EXPECT_EQ(doc.FindSection("S5"), 6);
  EXPECT_EQ(doc.FindSection("Later"), 43);
  EXPECT_EQ(doc.FindSection(""), -1);
  doc.AddSectionLine("[]");
  EXPECT_EQ(doc.FindSection(""), 44);
  doc.Clear();
  EXPECT_EQ(doc.GetSectionCount(), 0);
  EXPECT_EQ(doc.FindSection("S3"), -1);
  doc.SetString("S3", "k", "v");
  EXPECT_EQ(doc.FindSection("S3"), 0) << "a cleared document fills anew";
}

TEST(WideProfileDocument, WorksOnUtf16Texts) {
  WideProfileDocument doc;
  Fill(doc, {u"[Über]", u"Schlüssel = \"Wert ✓\"", u"n = 4,5"});
  EXPECT_EQ(doc.FindSection(u"Über"), 0);
  EXPECT_EQ(std::u16string(doc.GetString(u"Über", u"Schlüssel")), u"Wert ✓");
  EXPECT_EQ(doc.GetInts(u"Über", u"n")[1], 5);
  char16_t text[4];
  doc.GetString(u"Über", u"Schlüssel", text, 3);
  EXPECT_EQ(std::u16string(text), u"Wer");
  EXPECT_EQ(doc.SetString(u"Neu", u"k", u"ä"), 0);
  std::u16string section, key = u"k";
  EXPECT_TRUE(doc.FindValue(u"ä", &section, &key, true));
  EXPECT_EQ(section, u"Neu");
  EXPECT_EQ(Dump(doc),
            "[\\u00DCber]\n"
            "  Schl\\u00FCssel: String(6) \"Wert \\u2713\"\n"
            "  n: Int(2) 4,5\n"
            "[Neu]\n"
            "  k: String(2) \"\\u00E4\"\n");
}

}  // namespace
}  // namespace zet
