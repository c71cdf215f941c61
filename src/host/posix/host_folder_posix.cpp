#include "host/host_registration.h"
#include "host/reg_file_store.h"

namespace zet {

bool HostFolderFromWindowsPath(const std::string& windowsPath, std::string& folder) {
  return MapWindowsPathToPrefix(RegFileStore::DefaultPrefix(), windowsPath, folder);
}

}  // namespace zet
