// The headless backend for the Web Page List's tests on a test clock: while
// the progress window handles a timer event, every new percentage it shows
// costs the clock a set number of hundredths, as if printing the records
// behind it took that long. So the batches fit the time slice as they would
// on a real clock, and the test decides when the next timer event comes.
// It also keeps every percentage text the window showed, in order.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "procedures/WebPageList.h"
#include "runtime/headless/HeadlessBackend.h"
#include "runtime/ui/EventLoop.h"
#include "testing/TestClock.h"

namespace testing_support {

class WebPageListTestBackend : public runtime::ui::HeadlessBackend {
 public:
  // From now on each new percentage shown in a timer event advances clock
  // (which must outlive the run) by hundredths; 0 leaves the clock alone.
  void CostPercentages(runtime::TestClock& clock, std::int64_t hundredths) {
    std::lock_guard lock(mutex_);
    clock_ = &clock;
    cost_ = hundredths;
    shown_.clear();
  }
  std::vector<std::string> ShownPercentages() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }

  void UpdateControl(runtime::ui::WindowId window, const runtime::ui::ControlView& control) override {
    if (control.properties.number == marlinden::ReportPercentText) {
      const runtime::ui::Event* event = runtime::ui::CurrentEvent();
      const bool inBatch = event != nullptr && event->code == runtime::ui::EventCode::Timer;
      std::lock_guard lock(mutex_);
      if (shown_.empty() || shown_.back() != control.properties.text) {
        shown_.push_back(control.properties.text);
        if (inBatch && clock_ != nullptr) clock_->AdvanceHundredths(cost_);
      }
    }
    HeadlessBackend::UpdateControl(window, control);
  }

 private:
  mutable std::mutex mutex_;
  // Guarded by mutex_.
  runtime::TestClock* clock_ = nullptr;
  std::int64_t cost_ = 0;
  std::vector<std::string> shown_;
};

}  // namespace testing_support
