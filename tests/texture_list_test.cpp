// Texture lists: blocks found and placed by their ids, and records read from
// a block. What a merge makes of a list's file, byte for byte, is checked by
// the parallels merge's tests.

#include "update/texture_list.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "test_support.h"

namespace zet {
namespace {

using test::TempDir;
using test::WriteBytes;

// A list file as the host writes it, with blocks for the ids given.
std::string ListFile(const std::vector<int>& ids) {
  std::string s = "Basis{\r\n";
  for (int id : ids)
    s += "\tTextur{\r\n\t\tid(" + std::to_string(id) + ")\r\n\t\tname(T" + std::to_string(id) +
         ")\r\n\t\tmagfilter(1)\r\n\t}\r\n";
  return s + "}\r\n";
}

// A block in normalized form, as GetBlock gives it.
std::string Block(int id, const std::string& name) {
  return "\n\tTextur{\tid(" + std::to_string(id) + ")\tname(" + name + ")\t}";
}

TextureList FromText(const TempDir& t, const std::string& bytes) {
  WriteBytes(t / "Texturen.txt", bytes);
  return TextureList(t / "Texturen.txt");
}

// The ids of the blocks in the order they stand in the text.
std::vector<int> IdsInTextOrder(const std::string& text) {
  std::vector<int> ids;
  for (size_t at = text.find("\tid("); at != std::string::npos; at = text.find("\tid(", at + 1))
    ids.push_back(std::atoi(text.c_str() + at + 4));
  return ids;
}

// A record on one line: id, name, the four flags, opacity, filters, mip levels.
std::string Show(const TextureRecord& r) {
  char rest[64];
  std::snprintf(rest, sizeof rest, " %d%d%d%d %.2f %d %d", r.automipmap, r.billboarding, r.repeat_s, r.repeat_t,
                static_cast<double>(r.opacity), r.magfilter, r.minfilter);
  std::string s = std::to_string(r.id) + " " + r.name + rest;
  for (int i = 0; i < r.mipLevelCount; ++i) s += " " + r.mipLevelNames[i];
  return s;
}

TEST(TextureList, BlocksGoInAfterTheHighestLowerIdAndOutWhole) {
  TempDir t;
  TextureList list = FromText(t, ListFile({1, 2, 5}));
  EXPECT_EQ(list.GetIds(), (std::vector<int32_t>{1, 2, 5}));
  std::string block;
  ASSERT_TRUE(FromText(t, ListFile({4, 9, 1})).GetBlock(4, block));
  EXPECT_EQ(block, "\n\tTextur{\tid(4)\tname(T4)\tmagfilter(1)\t}");
  ASSERT_TRUE(list.SetTexture(4, block));
  // Huge ids cost no more than any other.
  for (int id : {9, 2000000000, 2147483647}) ASSERT_TRUE(list.SetTexture(id, Block(id, "x")));
  EXPECT_EQ(IdsInTextOrder(list.Text()), (std::vector<int>{1, 2, 4, 5, 9, 2000000000, 2147483647}));
  EXPECT_EQ(list.GetMaxId(), 2147483647);
  EXPECT_TRUE(list.IsBalanced());
  EXPECT_FALSE(list.SetTexture(3, ""));

  // An existing block is replaced whole.
  ASSERT_TRUE(list.SetTexture(2, Block(2, "New")));
  TextureRecord r;
  ASSERT_TRUE(list.ParseTexture(2, r));
  EXPECT_EQ(Show(r), "2 New 0000 2.00 0 0");

  TextureList small = FromText(t, ListFile({1, 2, 3}));
  EXPECT_TRUE(small.RemoveTexture(2));
  EXPECT_FALSE(small.RemoveTexture(2));
  EXPECT_FALSE(small.RemoveTexture(7));
  EXPECT_EQ(small.Bytes(), ListFile({1, 3})) << "with the lines it stood on";
}

// Each block goes in after the first block of the highest lower id.
TEST(TextureList, InsertingIntoAListOutOfOrder) {
  TempDir t;
  const std::string host = ListFile({2, 10, 4, 20});  // not in order, as a hand-edited list may be
  std::vector<std::pair<int32_t, std::string>> blocks;
  for (int id : {1, 3, 5, 6, 11, 30}) blocks.push_back({id, "\n\tTextur{\tid(" + std::to_string(id) + ")\t}"});
  TextureList batch = FromText(t, host);
  batch.InsertTextures(blocks);
  EXPECT_EQ(IdsInTextOrder(batch.Text()), (std::vector<int>{1, 2, 3, 10, 11, 4, 5, 6, 20, 30}));

  // A block a person left after the outer block's end is read by nobody:
  // a new block goes inside, where the host reads it.
  TextureList stray = FromText(t, "Basis{\n\tTextur{ id(1) }\n}\nTextur{ id(3) }\n");
  stray.InsertTextures({{7, "\n\tTextur{\tid(7)\t}"}});
  EXPECT_LT(stray.Text().find("id(7)"), stray.FindBlockEnd(0));
  EXPECT_EQ(stray.Bytes(), "Basis{\n\tTextur{ id(1) }\n\tTextur{ id(7) }\n}\nTextur{ id(3) }\n");
}

TEST(TextureList, IdsAreAttributesOnly) {
  TempDir t;
  TextureList list = FromText(t,
                              "Basis{ Textur{ id(1) name(xid(3)) }\n"
                              "Textur{ id(2) name(id(4)) }\n"
                              "Textur{ id(007) name(seven) }\n"
                              "Textur{ id(-5) name(minus) }\n"
                              "Textur{ id(99999999999) name(big) } }");
  EXPECT_EQ(list.GetIds(), (std::vector<int32_t>{1, 2}));
  for (int id : {3, 4, 7}) EXPECT_FALSE(list.HasTexture(id)) << id;
  TextureRecord r;
  ASSERT_TRUE(list.ParseTexture(2, r));
  EXPECT_EQ(r.name, "id(4)");
}

TEST(TextureList, RecordsReadEveryAttributeAndDefaultTheRest) {
  TempDir t;
  TextureList list = FromText(t,
                              "Basis{\n"
                              " Textur{ id(1) name(Gleis) automipmap() billboarding() repeat_s() repeat_t()\n"
                              "   opacity(0.5) magfilter(2) minfilter(3) MipMapLevel{ name(G1) name(G2) } }\n"
                              " Textur{ id(2) name(Zaun) repeat_t() opacity(0.75) }\n"
                              " Textur{ id(3) name(plain) }\n"
                              "}\n");
  TextureRecord r;
  r.magfilter = 9;
  EXPECT_FALSE(list.ParseTexture(4, r));
  EXPECT_EQ(r.magfilter, 9) << "a missing id leaves the record alone";
  ASSERT_TRUE(list.ParseTexture(1, r));
  EXPECT_EQ(Show(r), "1 Gleis 1111 0.50 2 3 G1 G2");
  ASSERT_TRUE(list.ParseTexture(2, r));
  EXPECT_EQ(Show(r), "2 Zaun 0001 0.70 0 0") << "three characters of the opacity are read";
  ASSERT_TRUE(list.ParseTexture(3, r));
  EXPECT_EQ(Show(r), "3 plain 0000 2.00 0 0");
}

TEST(TextureList, UnbalancedListsStayInsideTheText) {
  TempDir t;
  TextureList unclosed = FromText(t, "Basis{ Textur{ id(1) name(a) } Textur{ id(2) name(b)");
  EXPECT_FALSE(unclosed.IsBalanced());
  EXPECT_TRUE(unclosed.HasTexture(1));
  EXPECT_FALSE(unclosed.HasTexture(2));
  std::string block;
  EXPECT_FALSE(unclosed.GetBlock(2, block));
  EXPECT_EQ(unclosed.FindBlockEnd(0), TextureList::npos);
  EXPECT_EQ(unclosed.FindBlockEnd(unclosed.Text().size()), TextureList::npos);

  TextureList extra = FromText(t, "} } Basis{ Textur{ id(1) name(a) } } }");
  EXPECT_FALSE(extra.IsBalanced());
  EXPECT_TRUE(extra.RemoveTexture(1));

  // An id outside every block does not hide the block that follows.
  TextureList stray = FromText(t, "id(1) Basis{ Textur{ id(1) name(a) } }");
  TextureRecord r;
  ASSERT_TRUE(stray.ParseTexture(1, r));
  EXPECT_EQ(r.name, "a");
  EXPECT_TRUE(stray.RemoveTexture(1));
  EXPECT_FALSE(stray.HasTexture(1));
  EXPECT_TRUE(stray.SetTexture(1, Block(1, "b")));
  ASSERT_TRUE(stray.ParseTexture(1, r));
  EXPECT_EQ(r.name, "b");

  TextureList balanced = FromText(t, ListFile({1}));
  EXPECT_EQ(balanced.FindBlockEnd(0), balanced.Text().size() - 4);  // the "}" of Basis
}

}  // namespace
}  // namespace zet
