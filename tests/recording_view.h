#pragma once
// An UpdateView for tests: records every call the run makes, in order, and
// the target file the run was handling at each step of the bar.

#include <string>
#include <vector>

#include "update/update_run.h"
#include "update/update_view.h"

namespace zet::test {

class RecordingView : public UpdateView {
 public:
  explicit RecordingView(bool overwrite = false) : overwrite_(overwrite) {}

  bool IsOverwriteChecked() override {
    Add("IsOverwriteChecked");
    return overwrite_;
  }
  void StartTimer(int id, unsigned periodMs) override {
    Add("StartTimer " + std::to_string(id) + " " + std::to_string(periodMs));
  }
  void StopTimer(int id) override { Add("StopTimer " + std::to_string(id)); }
  void SetTitle(const std::string& title) override { Add("SetTitle " + title); }
  void SetRangeAndStep(int lower, int upper, int step) override {
    Add("SetRangeAndStep " + std::to_string(lower) + " " + std::to_string(upper) + " " + std::to_string(step));
  }
  // Consecutive steps are recorded as one entry "StepIt xN".
  void StepIt() override {
    ++steps;
    stepped.push_back(g_TargetFile);
    if (!calls.empty() && calls.back().rfind("StepIt x", 0) == 0) {
      calls.back() = "StepIt x" + std::to_string(std::stoi(calls.back().substr(8)) + 1);
    } else {
      Add("StepIt x1");
    }
  }
  void SetPos(int position) override { Add("SetPos " + std::to_string(position)); }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    message = text;
    Add("ShowMessage " + caption);
  }
  void EnableControl(int id) override { Add("EnableControl " + std::to_string(id)); }

  std::vector<std::string> calls;
  std::vector<std::string> stepped;  // g_TargetFile at each StepIt
  std::string message;
  int steps = 0;

 private:
  void Add(std::string call) { calls.push_back(std::move(call)); }
  bool overwrite_;
};

}  // namespace zet::test
