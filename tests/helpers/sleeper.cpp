// A program that only waits: the tests start copies of it under the names
// of the programs they look for. Argument: seconds to wait (default 60).

#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return 0;
}
