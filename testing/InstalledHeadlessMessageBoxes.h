// A HeadlessMessageBoxes installed as the message-box service for its
// lifetime, for tests that show messages without a backend; the service it
// replaced is restored on destruction.
#pragma once

#include "runtime/headless/HeadlessMessageBoxes.h"
#include "runtime/ui/MessageBox.h"

namespace runtime::ui {

class InstalledHeadlessMessageBoxes : public HeadlessMessageBoxes {
 public:
  InstalledHeadlessMessageBoxes() : previous_(SetMessageBoxService(this)) {}
  ~InstalledHeadlessMessageBoxes() override { SetMessageBoxService(previous_); }
  InstalledHeadlessMessageBoxes(const InstalledHeadlessMessageBoxes&) = delete;
  InstalledHeadlessMessageBoxes& operator=(const InstalledHeadlessMessageBoxes&) = delete;

 private:
  MessageBoxService* previous_;  // borrowed; restored on destruction
};

}  // namespace runtime::ui
