#include "host/host_registration.h"

namespace zet {

bool HostFolderFromWindowsPath(const std::string& windowsPath, std::string& folder) {
  folder = windowsPath;
  return !folder.empty();
}

}  // namespace zet
