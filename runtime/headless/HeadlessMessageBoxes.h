// A message-box service without windows, for tests and the headless backend.
// Answers come from a script of buttons loaded beforehand; every request is
// recorded. A request with no scripted answer is recorded, reported through
// the OnUnscripted callback (tests make it fail the test at once) and answered
// with its default button, so nothing ever waits for a user. Any thread may
// call any operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "runtime/ui/MessageBox.h"

namespace runtime::ui {

class HeadlessMessageBoxes : public MessageBoxService {
 public:
  using UnscriptedHandler = std::function<void(const MessageBoxRequest& request)>;
  // Called with the request and the scripted answer that is not one of its
  // buttons.
  using BadAnswerHandler = std::function<void(const MessageBoxRequest& request, std::uint32_t answer)>;

  // Appends answers to the script; each request takes the oldest one.
  void Script(std::uint32_t button);
  void Script(std::initializer_list<std::uint32_t> buttons);

  void OnUnscripted(UnscriptedHandler handler);
  // A scripted answer that the box does not offer is still returned, so the
  // test sees what the code under test does with it, and reported here.
  void OnBadAnswer(BadAnswerHandler handler);

  // Every request so far, oldest first.
  std::vector<MessageBoxRequest> Requests() const;
  // Scripted answers not yet taken.
  std::size_t Unanswered() const;
  // Forgets the requests and the script.
  void Reset();

  std::uint32_t Show(const MessageBoxRequest& request) override;

 private:
  mutable std::mutex mutex_;
  // Guarded by mutex_.
  std::deque<std::uint32_t> script_;
  std::vector<MessageBoxRequest> requests_;
  UnscriptedHandler onUnscripted_;
  BadAnswerHandler onBadAnswer_;
};

}  // namespace runtime::ui
