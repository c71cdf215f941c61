// On systems without a registry of their own, the host runs under Wine and
// keeps its registration in the files of the user's prefix.

#include "host/reg_file_store.h"

namespace zet {

RegistryBackend& SystemRegistry() {
  static RegFileStore store(RegFileStore::DefaultPrefix());
  return store;
}

}  // namespace zet
