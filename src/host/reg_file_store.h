#pragma once
// The registry of a Wine prefix, read from and written to its text files, for
// systems where the host runs under Wine:
//
//   HKEY_LOCAL_MACHINE   system.reg
//   HKEY_CURRENT_USER    user.reg
//   HKEY_CLASSES_ROOT    Software\Classes of system.reg merged with that of
//                        user.reg: a key exists when it exists in either;
//                        a value of the user's key wins over the machine's.
//
// Other roots have no keys here. Where a write goes follows Windows: to the
// user's classes when the key exists there, else to the machine's.
//
// Access masks hold as on Windows: a key opened without KEY_SET_VALUE cannot
// be written, one opened without KEY_QUERY_VALUE cannot be read, and opening
// a level with a write right needs write access to it. A level has write
// access when the file that a write to it would go to can be written
// (platform::CanWriteFile: a read-only file has none, even for root).
//
// The files are read again whenever a key is opened below a root, so every
// chain sees them as they are then (and parsed again when their bytes
// changed). A write reads its file again, changes
// the one value line and replaces the file atomically (a temporary file
// beside it, then a rename); every other byte stays as it was. Wine keeps a
// running prefix's registry in memory and writes it back when it ends, so a
// write made while Wine runs in the prefix may be overwritten by Wine.
//
// Text values are delivered as UTF-8, the encoding of file names on these
// systems; the size limits of the reader count those bytes. Only REG_DWORD
// values can be written.

#include <map>
#include <cstdint>
#include <string>

#include "host/reg_file_document.h"
#include "host/registry_backend.h"

namespace zet {

class RegFileStore final : public RegistryBackend {
 public:
  // system.reg and user.reg in the prefix folder.
  explicit RegFileStore(const std::string& prefix);
  RegFileStore(std::string systemFile, std::string userFile);

  // $WINEPREFIX when set and not empty, else ~/.wine.
  static std::string DefaultPrefix();

  // A registry file larger than any prefix's (a damaged one, a sparse file
  // of gigabytes) is read as none.
  static constexpr uint64_t kLargestFile = uint64_t{256} << 20;

  long OpenKey(Handle parent, const std::string& name, uint32_t access, Handle& key) override;
  long CloseKey(Handle key) override;
  long QueryValue(Handle key, const std::string& name, uint32_t& type, void* data, uint32_t& size) override;
  long SetValue(Handle key, const std::string& name, uint32_t type, const void* data, uint32_t size) override;

 private:
  struct OpenKeyState {
    uint32_t hive = 0;
    std::string path;
    uint32_t access = 0;
  };
  // Where a key of a root lies: its file and its path in that file.
  struct Place {
    const std::string* file = nullptr;
    RegFileDocument* document = nullptr;
    std::string path;
  };

  void Reload();
  void Load(const std::string& file, RegFileDocument& document);
  // The places of a key, the one whose values win first.
  std::vector<Place> Places(uint32_t hive, const std::string& path);
  // The place a write to the key goes to; no file when the root has none.
  Place WritePlace(uint32_t hive, const std::string& path);
  bool Exists(uint32_t hive, const std::string& path);

  std::string systemFile_;
  std::string userFile_;
  RegFileDocument system_;
  RegFileDocument user_;
  std::map<Handle, OpenKeyState> open_;
  Handle nextHandle_ = 1;
};

}  // namespace zet
