#include "update/texture_list.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace zet {
namespace {

using test::Exists;
using test::ReadBytes;
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

TEST(TextureListText, NormalizesAnyLayoutToTheSameWords) {
  TempDir t;
  TextureList a = FromText(t, "Basis{\n  Textur{ id(1)\tname(Gras Wiese)\n opacity( 0.5 )\n }\n}\n");
  ASSERT_TRUE(a.IsLoaded());
  EXPECT_EQ(a.Text(), "Basis{\tTextur{\tid(1)\tname(GrasWiese)\topacity(0.5)\t}\n\t\t}\n\t\t");

  TextureList b = FromText(t, "Basis{ Textur{\r\n\r\nid(1) name(Gras\tWiese)\vopacity(\f0.5\r)\r} }");
  EXPECT_EQ(b.Text(), a.Text());

  TextureRecord r;
  ASSERT_TRUE(a.ParseTexture(1, r));
  EXPECT_EQ(r.name, "GrasWiese");
}

TEST(TextureListText, KeepsTheLastWordWithoutALineEnd) {
  TempDir t;
  TextureList list = FromText(t, "Basis{ Textur{ id(1) name(a) } }");
  EXPECT_EQ(list.Text(), "Basis{\tTextur{\tid(1)\tname(a)\t}\n\t\t}\n\t\t");
  EXPECT_TRUE(list.IsBalanced());
}

TEST(TextureListText, EmptyAndBlankFilesLoadAsEmptyText) {
  TempDir t;
  TextureList empty = FromText(t, "");
  EXPECT_TRUE(empty.IsLoaded());
  EXPECT_TRUE(empty.IsEmpty());
  TextureList blank = FromText(t, " \r\n\t \r\n");
  EXPECT_TRUE(blank.IsEmpty());
  EXPECT_EQ(blank.GetMaxId(), 0);
}

TEST(TextureListFile, SavesWithCrLfAndReadsBackTheSameText) {
  TempDir t;
  TextureList list = FromText(t, ListFile({1, 2}));
  ASSERT_TRUE(list.SaveList());
  EXPECT_EQ(ReadBytes(t / "Texturen.txt"),
            "Basis{\tTextur{\tid(1)\tname(T1)\tmagfilter(1)\t}\r\n\t\tTextur{\tid(2)\tname(T2)\tmagfilter(1)\t}"
            "\r\n\t\t}\r\n\t\t");
  TextureList again(t / "Texturen.txt");
  EXPECT_EQ(again.Text(), list.Text());
  ASSERT_TRUE(again.SaveList());
  EXPECT_EQ(TextureList(t / "Texturen.txt").Text(), list.Text());
}

TEST(TextureListFile, AListThatDidNotLoadWritesNothing) {
  TempDir t;
  TextureList missing(t / "Texturen.txt");
  EXPECT_FALSE(missing.IsLoaded());
  EXPECT_FALSE(missing.SaveList());
  EXPECT_FALSE(Exists(t / "Texturen.txt"));

  // A folder where the list should be: not loaded, left alone.
  test::MakeFolders(t / "Bodentexturen.txt");
  TextureList folder(t / "Bodentexturen.txt");
  EXPECT_FALSE(folder.IsLoaded());
  EXPECT_FALSE(folder.SaveList());
}

TEST(TextureListFile, DestructionDoesNotWrite) {
  TempDir t;
  const std::string bytes = "Basis{\n Textur{ id(1) name(a) }\n}\n";
  {
    TextureList list = FromText(t, bytes);
    list.SetTexture(2, "\n\tTextur{\tid(2)\tname(b)\t}");
  }
  EXPECT_EQ(ReadBytes(t / "Texturen.txt"), bytes);
}

TEST(TextureListIds, EmptyOuterBlock) {
  TempDir t;
  TextureList list = FromText(t, "Basis{\n}\n");
  EXPECT_EQ(list.GetMaxId(), 0);
  EXPECT_EQ(list.FindInsertPos(1), 6u);  // just after "Basis{"
  EXPECT_EQ(list.FindInsertPos(7), 6u);
  TextureList none = FromText(t, "");
  EXPECT_EQ(none.FindInsertPos(3), 0u);
}

TEST(TextureListIds, InsertsAfterTheHighestLowerId) {
  TempDir t;
  TextureList list = FromText(t, ListFile({1, 2, 5}));
  EXPECT_EQ(list.GetMaxId(), 5);
  EXPECT_EQ(list.GetIds(), (std::vector<int32_t>{1, 2, 5}));

  std::string block;
  TextureList source = FromText(t, ListFile({4, 9, 1}));
  ASSERT_TRUE(source.GetBlock(4, block));
  EXPECT_EQ(block, "\n\tTextur{\tid(4)\tname(T4)\tmagfilter(1)\t}");
  ASSERT_TRUE(list.SetTexture(4, block));
  ASSERT_TRUE(source.GetBlock(9, block));
  ASSERT_TRUE(list.SetTexture(9, block));
  EXPECT_EQ(IdsInTextOrder(list.Text()), (std::vector<int>{1, 2, 4, 5, 9}));
  EXPECT_TRUE(list.IsBalanced());
  // The text stays normalized: a save and load gives it back unchanged.
  EXPECT_EQ(TextureList::Normalize(list.Text()), list.Text());

  EXPECT_FALSE(list.SetTexture(3, ""));
}

TEST(TextureListIds, SetTextureReplacesAnExistingBlock) {
  TempDir t;
  TextureList list = FromText(t, ListFile({1, 2, 3}));
  ASSERT_TRUE(list.SetTexture(2, "\n\tTextur{\tid(2)\tname(New)\t}"));
  EXPECT_EQ(IdsInTextOrder(list.Text()), (std::vector<int>{1, 2, 3}));
  TextureRecord r;
  ASSERT_TRUE(list.ParseTexture(2, r));
  EXPECT_EQ(r.name, "New");
  EXPECT_EQ(r.magfilter, 0);
}

TEST(TextureListIds, BatchInsertEqualsOneAfterAnother) {
  TempDir t;
  const std::string host = ListFile({2, 10, 4, 20});  // not in order, as a hand-edited list may be
  std::vector<std::pair<int32_t, std::string>> blocks;
  for (int id : {1, 3, 5, 6, 11, 30}) blocks.push_back({id, "\n\tTextur{\tid(" + std::to_string(id) + ")\t}"});

  TextureList one = FromText(t, host);
  for (const auto& b : blocks) one.SetTexture(b.first, b.second);
  TextureList batch = FromText(t, host);
  batch.InsertTextures(blocks);
  EXPECT_EQ(batch.Text(), one.Text());
  EXPECT_EQ(IdsInTextOrder(batch.Text()), (std::vector<int>{1, 2, 3, 10, 11, 4, 5, 6, 20, 30}));
}

TEST(TextureListIds, RemoveTakesOutTheWholeBlock) {
  TempDir t;
  TextureList list = FromText(t, ListFile({1, 2, 3}));
  EXPECT_TRUE(list.RemoveTexture(2));
  EXPECT_FALSE(list.RemoveTexture(2));
  EXPECT_FALSE(list.RemoveTexture(7));
  EXPECT_EQ(list.Text(), TextureList::Normalize(ListFile({1, 3})));
}

TEST(TextureListIds, IdsAreAttributesOnly) {
  TempDir t;
  TextureList list = FromText(t,
                              "Basis{ Textur{ id(1) name(xid(3)) }\n"
                              "Textur{ id(2) name(id(4)) }\n"
                              "Textur{ id(007) name(seven) }\n"
                              "Textur{ id(-5) name(minus) }\n"
                              "Textur{ id(99999999999) name(big) } }");
  EXPECT_EQ(list.GetIds(), (std::vector<int32_t>{1, 2}));
  EXPECT_FALSE(list.HasTexture(3));
  EXPECT_FALSE(list.HasTexture(4));
  EXPECT_FALSE(list.HasTexture(7));
  TextureRecord r;
  ASSERT_TRUE(list.ParseTexture(2, r));
  EXPECT_EQ(r.name, "id(4)");
  EXPECT_EQ(list.GetMaxId(), 2);
}

TEST(TextureListIds, AHugeIdCostsNoMoreThanAnyOther) {
  TempDir t;
  TextureList list = FromText(t, ListFile({1, 3}));
  ASSERT_TRUE(list.SetTexture(2000000000, "\n\tTextur{\tid(2000000000)\tname(far)\t}"));
  ASSERT_TRUE(list.SetTexture(2147483647, "\n\tTextur{\tid(2147483647)\tname(last)\t}"));
  EXPECT_EQ(IdsInTextOrder(list.Text()), (std::vector<int>{1, 3, 2000000000, 2147483647}));
  EXPECT_EQ(list.GetMaxId(), 2147483647);
}

TEST(TextureListParse, DefaultsWithoutAttributes) {
  TempDir t;
  TextureList list = FromText(t, "Basis{ Textur{ id(1) name(plain) } }");
  TextureRecord r;
  r.magfilter = 9;
  EXPECT_FALSE(list.ParseTexture(2, r));
  EXPECT_EQ(r.magfilter, 9);  // untouched
  ASSERT_TRUE(list.ParseTexture(1, r));
  EXPECT_EQ(r.id, 1);
  EXPECT_EQ(r.name, "plain");
  EXPECT_EQ(r.automipmap + r.billboarding + r.repeat_s + r.repeat_t, 0);
  EXPECT_EQ(r.magfilter, 0);
  EXPECT_EQ(r.minfilter, 0);
  EXPECT_EQ(r.mipLevelCount, 0);
  EXPECT_FLOAT_EQ(r.opacity, 2.0f);
}

TEST(TextureListParse, ReadsEveryAttribute) {
  TempDir t;
  TextureList list = FromText(t,
                              "Basis{\n"
                              " Textur{ id(1) name(Gleis) automipmap() billboarding() repeat_s() repeat_t()\n"
                              "   opacity(0.5) magfilter(2) minfilter(3) MipMapLevel{ name(G1) name(G2) } }\n"
                              " Textur{ id(2) name(Zaun) repeat_t() opacity(0.75) }\n"
                              "}\n");
  TextureRecord r;
  ASSERT_TRUE(list.ParseTexture(1, r));
  EXPECT_EQ(r.name, "Gleis");
  EXPECT_EQ(r.automipmap, 1);
  EXPECT_EQ(r.billboarding, 1);
  EXPECT_EQ(r.repeat_s, 1);
  EXPECT_EQ(r.repeat_t, 1);
  EXPECT_FLOAT_EQ(r.opacity, 0.5f);
  EXPECT_EQ(r.magfilter, 2);
  EXPECT_EQ(r.minfilter, 3);
  EXPECT_EQ(r.mipLevelCount, 2);
  EXPECT_EQ(r.mipLevelNames[0], "G1");
  EXPECT_EQ(r.mipLevelNames[1], "G2");

  ASSERT_TRUE(list.ParseTexture(2, r));
  EXPECT_EQ(r.name, "Zaun");
  EXPECT_EQ(r.repeat_s, 0);
  EXPECT_EQ(r.repeat_t, 1);
  EXPECT_FLOAT_EQ(r.opacity, 0.7f);  // three characters are read
  EXPECT_EQ(r.mipLevelCount, 0);
}

TEST(TextureListBraces, UnbalancedListsStayInsideTheText) {
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
  EXPECT_TRUE(extra.HasTexture(1));
  EXPECT_TRUE(extra.RemoveTexture(1));

  // An id outside every block does not hide the block that follows.
  TextureList stray = FromText(t, "id(1) Basis{ Textur{ id(1) name(a) } }");
  TextureRecord r;
  ASSERT_TRUE(stray.ParseTexture(1, r));
  EXPECT_EQ(r.name, "a");
  EXPECT_TRUE(stray.RemoveTexture(1));
  EXPECT_FALSE(stray.HasTexture(1));
  EXPECT_TRUE(stray.SetTexture(1, "\n\tTextur{\tid(1)\tname(b)\t}"));
  ASSERT_TRUE(stray.ParseTexture(1, r));
  EXPECT_EQ(r.name, "b");

  TextureList balanced = FromText(t, ListFile({1}));
  EXPECT_TRUE(balanced.IsBalanced());
  EXPECT_EQ(balanced.FindBlockEnd(0), balanced.Text().size() - 4);  // the "}" of Basis
}

}  // namespace
}  // namespace zet
