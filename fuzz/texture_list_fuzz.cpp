// Texture lists from any bytes: loading, the id index and the block
// operations must stay inside the text, keep it normalized and never stall.

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
  if (!blocks.empty()) {
    int32_t id = blocks.front().first;
    list.RemoveTexture(id);
    list.SetTexture(id, blocks.front().second);
    if (!list.HasTexture(id)) std::abort();
  }
  return 0;
}
