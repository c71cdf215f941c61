#pragma once
// A readable dump of a profile document, one line per node, for tests and
// the fuzz harness: what a document holds, with every type and value shown.
//
//   ;comment                  top-level comment line
//   [name] ;comment           section
//     key: Int(2) 1,-5        entry: type, count, elements
//     ;comment                comment line inside a section
//
// Texts show printable ASCII as it is and everything else as \xNN (8-bit)
// or \uNNNN (wide).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "profile/profile_document.h"

namespace zet::test {

template <typename Char>
std::string ShowText(const Char* text, size_t units) {
  std::string out;
  for (size_t i = 0; i < units; ++i) {
    auto c = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Char>>(text[i]));
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, sizeof(Char) == 1 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(c));
      out += buffer;
    }
  }
  return out;
}

template <typename Char>
std::string ShowBuffer(const ProfileBuffer& buffer) {
  if (buffer.data() == nullptr) return "";
  return ShowText(reinterpret_cast<const Char*>(buffer.data()), static_cast<size_t>(buffer.size()) / sizeof(Char));
}

inline const char* TypeName(ProfileValueType type) {
  static const char* const kNames[] = {"None", "Comment", "Section", "String", "Int",
                                       "HexInt", "Float", "?", "YesNo", "Bytes"};
  auto t = static_cast<size_t>(type);
  return t < std::size(kNames) ? kNames[t] : "?";
}

template <typename Char>
std::string ShowValue(const ProfileNode& node) {
  const char* data = node.value.data();
  const size_t size = data == nullptr ? 0 : static_cast<size_t>(node.value.size());
  if (node.type == ProfileValueType::String) {
    const Char* text = reinterpret_cast<const Char*>(data);
    size_t units = 0;
    while (units * sizeof(Char) < size && text[units] != 0) ++units;
    return "\"" + ShowText(text, units) + "\"";
  }
  if (node.type == ProfileValueType::None) return "raw \"" + ShowBuffer<Char>(node.value) + "\"";
  // Lists: four-byte numbers joined by ",", one-byte values Y/N or hex.
  const bool wide = node.type == ProfileValueType::Int || node.type == ProfileValueType::HexInt ||
                    node.type == ProfileValueType::Float;
  if (!wide && node.type != ProfileValueType::YesNo && node.type != ProfileValueType::Bytes) return "";
  const size_t element = wide ? 4 : 1;
  std::string out;
  for (size_t j = 0; j < static_cast<size_t>(std::max(node.count, 0)) && element * (j + 1) <= size; ++j) {
    int32_t v = 0;
    float f = 0;
    std::memcpy(&v, data + element * j, element);
    std::memcpy(&f, data + element * j, wide ? 4 : 0);
    char buffer[64];
    switch (node.type) {
      case ProfileValueType::Int: std::snprintf(buffer, sizeof buffer, ",%d", v); break;
      case ProfileValueType::HexInt: std::snprintf(buffer, sizeof buffer, ",0x%x", static_cast<unsigned>(v)); break;
      case ProfileValueType::Float: std::snprintf(buffer, sizeof buffer, ",%g", static_cast<double>(f)); break;
      case ProfileValueType::YesNo: std::snprintf(buffer, sizeof buffer, ",%c", v ? 'Y' : 'N'); break;
      default: std::snprintf(buffer, sizeof buffer, " %02x", static_cast<unsigned>(v & 0xFF)); break;
    }
    out += buffer + (j == 0 ? 1 : 0);
  }
  return out;
}

template <typename Char>
std::string DumpNode(const ProfileNode& node, const char* indent) {
  std::string line = indent;
  if (node.type == ProfileValueType::Section) {
    line += "[" + ShowBuffer<Char>(node.name) + "]";
  } else if (node.type != ProfileValueType::Comment) {
    line += ShowBuffer<Char>(node.name) + ": " + TypeName(node.type) + "(" + std::to_string(node.count) + ") " +
            ShowValue<Char>(node);
  }
  if (node.comment.data() != nullptr) line += (node.type == ProfileValueType::Comment ? "" : " ") + ShowBuffer<Char>(node.comment);
  return line + "\n";
}

template <typename Char>
std::string Dump(const BasicProfileDocument<Char>& doc) {
  std::string out;
  for (int i = 0; i < doc.GetSectionCount(); ++i) {
    const ProfileNode& node = *doc.GetNode(i);
    out += DumpNode<Char>(node, "");
    for (int32_t c = 0; c < node.children.count(); ++c) out += DumpNode<Char>(*node.children[c], "  ");
  }
  return out;
}

}  // namespace zet::test
