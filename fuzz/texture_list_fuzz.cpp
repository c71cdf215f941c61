// Texture lists from any bytes: loading, the id index and the block
// operations must stay inside the text, keep it normalized and never stall;
// inserting keeps every byte of the list, in order.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "update/texture_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zet::TextureList list("");
  list.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string text = list.Text();
  if (zet::TextureList::Normalize(text) != text) std::abort();

  zet::TextureList copy("");
  copy.LoadFromText("Basis{\n}\n");
  std::vector<std::pair<int32_t, std::string>> blocks;
  for (int32_t id : list.GetIds()) {
    if (list.FindInsertPos(id) > text.size()) std::abort();
    std::string block;
    zet::TextureRecord record;
    bool has = list.GetBlock(id, block);
    if (has != list.ParseTexture(id, record) || has != list.HasTexture(id)) std::abort();
    if (has) blocks.push_back({id, block});
  }
  size_t end = list.FindBlockEnd(0);
  if (end != zet::TextureList::npos && (end >= text.size() || text[end] != '}')) std::abort();

  copy.InsertTextures(blocks);
  if (list.IsBalanced() && copy.GetIds().size() < blocks.size()) std::abort();

  // The same list given blocks of new ids: its bytes stay, each in order.
  std::vector<std::pair<int32_t, std::string>> added;
  for (size_t k = 0; k < blocks.size() && k < 8; ++k) {
    const int32_t id = blocks[k].first + 1;
    if (!list.HasTexture(id)) added.push_back({id, "\n\tTextur{\tid(" + std::to_string(id) + ")\t}"});
  }
  zet::TextureList grown("");
  grown.LoadFromText(list.Bytes());
  grown.InsertTextures(added);
  size_t at = 0;
  for (char c : list.Bytes()) {
    at = grown.Bytes().find(c, at);
    if (at == std::string::npos) std::abort();
    ++at;
  }
  if (zet::TextureList::Normalize(grown.Bytes()) != grown.Text()) std::abort();
  if (!blocks.empty()) {
    int32_t id = blocks.front().first;
    list.RemoveTexture(id);
    list.SetTexture(id, blocks.front().second);
    if (!list.HasTexture(id)) std::abort();
  }
  return 0;
}
