#include "fileio/pak_writer.h"

#include <cstring>
#include <set>

#include "fileio/pak_archive.h"
#include "platform/platform.h"

namespace zet {

namespace {

void PutLe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

bool SourceLength(const PakWriteEntry& e, uint64_t& length) {
  if (e.source.empty()) {
    length = e.data.size();
    return true;
  }
  return platform::GetFileLength(e.source, length);
}

// Copies exactly length bytes of the file to out.
bool CopySource(const std::string& source, uint64_t length, platform::Stream& out, std::string& error) {
  platform::Stream in;
  if (!in.Open(source, "rb")) {
    error = source + ": cannot be read";
    return false;
  }
  std::vector<char> buffer(1 << 20);
  while (length > 0) {
    size_t want = length < buffer.size() ? static_cast<size_t>(length) : buffer.size();
    if (in.Read(buffer.data(), want) != want) {
      error = source + ": cannot be read (did it change while the archive was written?)";
      return false;
    }
    if (!out.Write(buffer.data(), want)) return false;
    length -= want;
  }
  return true;
}

bool Collect(const std::string& folder, const std::string& prefix, std::vector<PakWriteEntry>& entries,
             std::set<std::string>& names, std::string& error) {
  std::vector<platform::DirEntry> listing;
  if (!platform::ListFolder(folder, listing)) {
    error = folder + ": cannot be listed";
    return false;
  }
  for (const platform::DirEntry& d : listing) {
    std::string path = folder + "\\" + d.name;
    // Stored as the host looks it up: in the code page, as lists name files.
    const std::string spelled = platform::CodePageFromName(d.name);
    if (spelled.empty()) {
      error = path + ": its name has letters the code page lacks";
      return false;
    }
    std::string name = prefix + PakUpperCase(spelled);
    if (d.isFolder) {
      if (!Collect(path, name + "\\", entries, names, error)) return false;
      continue;
    }
    if (!names.insert(name).second) {
      error = path + ": another file is also stored as " + name;
      return false;
    }
    PakWriteEntry e;
    e.name = std::move(name);
    e.source = std::move(path);
    entries.push_back(std::move(e));
  }
  return true;
}

}  // namespace

bool WritePak(const std::string& path, const std::vector<PakWriteEntry>& entries, std::string& error,
              const PakWriteProgress& progress) {
  error.clear();
  if (entries.size() > (UINT32_MAX - kPakHeaderSize) / kPakEntrySize) {
    error = "too many entries for one archive";
    return false;
  }
  std::string head(kPakHeaderSize + entries.size() * kPakEntrySize, '\0');
  std::memcpy(head.data(), kPakSignature, sizeof kPakSignature);
  PutLe32(&head[kPakCountOffset], static_cast<uint32_t>(entries.size()));
  std::vector<uint64_t> lengths(entries.size());
  uint64_t offset = head.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    const PakWriteEntry& e = entries[i];
    if (e.name.size() >= kPakNameSize) {
      error = e.name + ": name longer than " + std::to_string(kPakNameSize - 1) + " bytes";
      return false;
    }
    if (!SourceLength(e, lengths[i])) {
      error = e.source + ": cannot be read";
      return false;
    }
    if (offset + lengths[i] > UINT32_MAX) {
      error = e.name + ": the archive would pass 4 GiB";
      return false;
    }
    char* field = &head[kPakHeaderSize + i * kPakEntrySize];
    PutLe32(field + kPakEntryOffsetField, static_cast<uint32_t>(offset));
    PutLe32(field + kPakEntrySizeField, static_cast<uint32_t>(lengths[i]));
    std::memcpy(field + kPakNameOffset, e.name.data(), e.name.size());
    offset += lengths[i];
  }

  platform::Replacement replacement;
  platform::Stream out;
  if (!platform::BeginReplacement(path, replacement) || !out.Open(replacement.temporary, "wb")) {
    platform::FinishReplacement(replacement, false);
    error = path + ": cannot be written";
    return false;
  }
  bool ok = out.Write(head);
  for (size_t i = 0; ok && i < entries.size(); ++i) {
    const PakWriteEntry& e = entries[i];
    ok = e.source.empty() ? out.Write(e.data) : CopySource(e.source, lengths[i], out, error);
    if (ok && progress) progress(i + 1, entries.size());
  }
  ok = out.Close() && ok;
  if (!platform::FinishReplacement(replacement, ok)) {
    ok = false;
    if (error.empty()) error = path + ": cannot be written";
  }
  return ok;
}

bool CollectPakEntries(const std::string& folder, std::vector<PakWriteEntry>& entries, std::string& error) {
  entries.clear();
  error.clear();
  if (platform::GetPathKind(folder) != platform::PathKind::Folder) {
    error = folder + ": no such folder";
    return false;
  }
  std::set<std::string> names;
  return Collect(folder, "", entries, names, error);
}

std::string EncodePakText(const std::string& text) {
  std::string stored = text;
  auto sum = static_cast<unsigned char>(text.size() & 0xFF);
  for (char& c : stored) {
    sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
    c = static_cast<char>(sum);
  }
  return stored;
}

}  // namespace zet
