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

#include <cstdint>
#include <cstdio>
#include <cstring>
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
  switch (type) {
    case ProfileValueType::None: return "None";
    case ProfileValueType::Comment: return "Comment";
    case ProfileValueType::Section: return "Section";
    case ProfileValueType::String: return "String";
    case ProfileValueType::Int: return "Int";
    case ProfileValueType::HexInt: return "HexInt";
    case ProfileValueType::Float: return "Float";
    case ProfileValueType::YesNo: return "YesNo";
    case ProfileValueType::Bytes: return "Bytes";
  }
  return "?";
}

template <typename Char>
std::string ShowValue(const ProfileNode& node) {
  const char* data = node.value.data();
  std::string out;
  char buffer[64];
  int32_t n = node.count;
  switch (node.type) {
    case ProfileValueType::String: {
      const Char* text = reinterpret_cast<const Char*>(data);
      size_t units = 0;
      while (data != nullptr && units * sizeof(Char) < static_cast<size_t>(node.value.size()) && text[units] != 0)
        ++units;
      return "\"" + ShowText(text, units) + "\"";
    }
    case ProfileValueType::None:
      return "raw \"" + ShowBuffer<Char>(node.value) + "\"";
    case ProfileValueType::Int:
    case ProfileValueType::HexInt:
    case ProfileValueType::Float:
      for (int32_t j = 0; j < n && 4 * (j + 1) <= node.value.size(); ++j) {
        if (j > 0) out += ",";
        int32_t v;
        float f;
        std::memcpy(&v, data + 4 * j, 4);
        std::memcpy(&f, data + 4 * j, 4);
        if (node.type == ProfileValueType::Int)
          std::snprintf(buffer, sizeof buffer, "%d", v);
        else if (node.type == ProfileValueType::HexInt)
          std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(v));
        else
          std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(f));
        out += buffer;
      }
      return out;
    case ProfileValueType::YesNo:
      for (int32_t j = 0; j < n && j < node.value.size(); ++j) out += (j > 0 ? "," : "") + std::string(data[j] ? "Y" : "N");
      return out;
    case ProfileValueType::Bytes:
      for (int32_t j = 0; j < n && j < node.value.size(); ++j) {
        std::snprintf(buffer, sizeof buffer, "%s%02x", j > 0 ? " " : "", static_cast<unsigned char>(data[j]));
        out += buffer;
      }
      return out;
    default:
      return "";
  }
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
