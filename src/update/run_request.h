#pragma once
// What a front end asks of one update run.

#include <string>

namespace zet {

struct RunRequest {
  std::string source;  // the package's resource folder, as the user gave it
  std::string target;  // the host's resource folder
  // Replace files the host has, and copy the files the archive holds as well.
  bool overwrite = false;
  // The threads that copy the package's files: 0 for one per core (at least
  // two); 1 copies each file on the run's own thread.
  int copyWorkers = 0;
};

// The checks both programs make before a run. The language text that refuses
// the request ("IDMSG2": the package's folder is missing, "IDMSG3": the
// host's, "IDMSG4": one folder named twice), or nullptr when it may run.
const char* RequestRefusal(const RunRequest& request);

}  // namespace zet
