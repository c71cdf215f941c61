#pragma once
// What a front end asks of one update run.

#include <string>

namespace zet {

struct RunRequest {
  std::string source;  // the package's resource folder, as the user gave it
  std::string target;  // the host's resource folder
  // Replace files the host has, and copy the files the archive holds as well.
  bool overwrite = false;
};

}  // namespace zet
