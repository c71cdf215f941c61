#pragma once
// What happens during an update run, told to the front end that started it.
// The dialog program shows it with its timers, title and progress bar, the
// console program with a terminal progress bar, the tests with a recorder.
// The run calls these on its own thread; an implementation carries each
// call over to its user interface as it needs.

#include "update/run_report.h"

namespace zet {

class UpdateView {
 public:
  virtual ~UpdateView() = default;

  // The counting pass begins: the run looks for its units of work.
  virtual void CountingStarted() {}
  // Units found so far, after each one the counting pass finds.
  virtual void Counted(int /*found*/) {}
  // The working pass begins, with the number of units it will step through.
  virtual void WorkStarted(int /*total*/) {}
  // One unit of work is done.
  virtual void Stepped() {}
  // The run is over; report says what it did.
  virtual void RunEnded(const RunReport& /*report*/) {}
};

}  // namespace zet
