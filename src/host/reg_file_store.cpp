#include "host/reg_file_store.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/platform.h"

namespace zet {

namespace {

constexpr uint32_t kWriteRights = kKeySetValue | kKeyCreateSubKey | kKeyCreateLink;
constexpr int kAttempts = 5;
constexpr int64_t kStaleSeconds = 600;
const char kClasses[] = "Software\\Classes";

std::string JoinKey(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + "\\" + b;
}

}  // namespace

RegFileStore::RegFileStore(const std::string& prefix)
    : RegFileStore(prefix + "/system.reg", prefix + "/user.reg") {}

RegFileStore::RegFileStore(std::string systemFile, std::string userFile)
    : systemFile_(std::move(systemFile)), userFile_(std::move(userFile)) {}

std::string RegFileStore::DefaultPrefix() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix != nullptr && *prefix != '\0') return prefix;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.wine";
}

void RegFileStore::Reload() {
  Load(systemFile_, system_);
  Load(userFile_, user_);
}

// A prefix's system.reg runs to megabytes, and a run opens keys several
// times: a file whose bytes are those of its document is not parsed again
// (a document not parsed yet is that of an empty file).
// A file larger than kLargestFile is read as none: a run given its target
// needs none.
void RegFileStore::Load(const std::string& file, RegFileDocument& document) {
  std::string text;
  uint64_t length = 0;
  if (!platform::GetFileLength(file, length) || length <= kLargestFile) platform::ReadWholeFile(file, text);
  if (!document.Holds(text)) document.Parse(std::move(text));
}

std::vector<RegFileStore::Place> RegFileStore::Places(uint32_t hive, const std::string& path) {
  switch (hive) {
    case kHkeyClassesRoot:
      return {{&userFile_, &user_, JoinKey(kClasses, path)}, {&systemFile_, &system_, JoinKey(kClasses, path)}};
    case kHkeyCurrentUser:
      return {{&userFile_, &user_, path}};
    case kHkeyLocalMachine:
      return {{&systemFile_, &system_, path}};
    default:
      return {};
  }
}

RegFileStore::Place RegFileStore::WritePlace(uint32_t hive, const std::string& path) {
  std::vector<Place> places = Places(hive, path);
  if (places.empty()) return {};
  // A key of the user's classes takes the write; a new one goes to the machine.
  for (const Place& place : places)
    if (place.document->HasKey(place.path)) return place;
  return places.back();
}

bool RegFileStore::Exists(uint32_t hive, const std::string& path) {
  for (const Place& place : Places(hive, path))
    if (platform::GetPathKind(*place.file) == platform::PathKind::File && place.document->HasKey(place.path))
      return true;
  return false;
}

long RegFileStore::OpenKey(Handle parent, const std::string& name, uint32_t access, Handle& key) {
  key = 0;
  OpenKeyState state;
  state.access = access;
  if (parent <= 0xFFFFFFFFu && IsPredefinedRoot(static_cast<uint32_t>(parent))) {
    state.hive = static_cast<uint32_t>(parent);
    Reload();
  } else {
    auto it = open_.find(parent);
    if (it == open_.end()) return kRegInvalidHandle;
    state.hive = it->second.hive;
    state.path = it->second.path;
  }
  state.path = JoinKey(state.path, name);
  if (!Exists(state.hive, state.path)) return kRegFileNotFound;
  if (access & kWriteRights) {
    Place place = WritePlace(state.hive, state.path);
    if (place.file == nullptr || !platform::CanWriteFile(*place.file)) return kRegAccessDenied;
  }
  key = nextHandle_++;
  open_.emplace(key, std::move(state));
  return kRegSuccess;
}

long RegFileStore::CloseKey(Handle key) { return open_.erase(key) != 0 ? kRegSuccess : kRegInvalidHandle; }

long RegFileStore::QueryValue(Handle key, const std::string& name, uint32_t& type, void* data, uint32_t& size) {
  auto it = open_.find(key);
  if (it == open_.end()) return kRegInvalidHandle;
  if (!(it->second.access & kKeyQueryValue)) return kRegAccessDenied;
  RegFileValue value;
  bool found = false;
  for (const Place& place : Places(it->second.hive, it->second.path))
    if ((found = place.document->FindValue(place.path, name, value))) break;
  if (!found) return kRegFileNotFound;
  if (value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz)
    value.bytes = Utf16LeToUtf8(value.bytes);
  type = value.type;
  if (value.bytes.size() > 0xFFFFFFFFu) return kRegMoreData;
  uint32_t needed = static_cast<uint32_t>(value.bytes.size());
  if (data != nullptr && needed > size) {
    size = needed;
    return kRegMoreData;
  }
  if (data != nullptr && needed > 0) std::memcpy(data, value.bytes.data(), needed);
  size = needed;
  return kRegSuccess;
}

long RegFileStore::SetValue(Handle key, const std::string& name, uint32_t type, const void* data, uint32_t size) {
  auto it = open_.find(key);
  if (it == open_.end()) return kRegInvalidHandle;
  if (!(it->second.access & kKeySetValue)) return kRegAccessDenied;
  if (type != kRegDword || size != 4 || data == nullptr) return kRegInvalidParameter;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  uint32_t number = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);

  Place place = WritePlace(it->second.hive, it->second.path);
  if (place.file == nullptr) return kRegFileNotFound;
  if (!platform::CanWriteFile(*place.file)) return kRegAccessDenied;
  // A killed run's temporary copy of the file; one written now by another
  // run is fresh.
  platform::RemoveStaleOwnTemporaries(platform::detail::FolderOf(*place.file), kStaleSeconds);
  // Changes made to the file since the key was opened are kept, and so are
  // those another program makes while it is rewritten (Wine saves the whole
  // file): the file is read again and the value set again.
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string version = platform::FileVersion(*place.file);
    std::string text;
    if (!platform::ReadWholeFile(*place.file, text)) return kRegWriteFault;
    RegFileDocument fresh;
    fresh.Parse(std::move(text));
    // A value the file holds already is not written again.
    RegFileValue held;
    if (fresh.FindValue(place.path, name, held) && held.type == kRegDword &&
        held.bytes == std::string(static_cast<const char*>(data), 4)) {
      *place.document = std::move(fresh);
      return kRegSuccess;
    }
    if (!fresh.SetDword(place.path, name, number)) return kRegFileNotFound;
    if (platform::WriteFileReplacing(*place.file, fresh.Text(), false, &version)) {
      *place.document = std::move(fresh);
      return kRegSuccess;
    }
    if (platform::FileVersion(*place.file) == version) break;  // not written for another reason
  }
  return kRegWriteFault;
}

}  // namespace zet
