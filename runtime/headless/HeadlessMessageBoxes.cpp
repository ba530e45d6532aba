#include "runtime/headless/HeadlessMessageBoxes.h"

#include <bit>
#include <optional>
#include <utility>

namespace runtime::ui {

void HeadlessMessageBoxes::Script(std::uint32_t button) {
  std::lock_guard lock(mutex_);
  script_.push_back(button);
}

void HeadlessMessageBoxes::Script(std::initializer_list<std::uint32_t> buttons) {
  std::lock_guard lock(mutex_);
  script_.insert(script_.end(), buttons.begin(), buttons.end());
}

void HeadlessMessageBoxes::OnUnscripted(UnscriptedHandler handler) {
  std::lock_guard lock(mutex_);
  onUnscripted_ = std::move(handler);
}

void HeadlessMessageBoxes::OnBadAnswer(BadAnswerHandler handler) {
  std::lock_guard lock(mutex_);
  onBadAnswer_ = std::move(handler);
}

std::vector<MessageBoxRequest> HeadlessMessageBoxes::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t HeadlessMessageBoxes::Unanswered() const {
  std::lock_guard lock(mutex_);
  return script_.size();
}

void HeadlessMessageBoxes::Reset() {
  std::lock_guard lock(mutex_);
  script_.clear();
  requests_.clear();
}

std::uint32_t HeadlessMessageBoxes::Show(const MessageBoxRequest& request) {
  std::optional<std::uint32_t> answer;
  UnscriptedHandler onUnscripted;
  BadAnswerHandler onBadAnswer;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (!script_.empty()) {
      answer = script_.front();
      script_.pop_front();
    }
    onUnscripted = onUnscripted_;
    onBadAnswer = onBadAnswer_;
  }
  // The handlers run unlocked so they may look at the recorded requests.
  if (!answer) {
    if (onUnscripted) onUnscripted(request);
    return request.defaultButton;
  }
  if (!std::has_single_bit(*answer) || (*answer & request.buttons) == 0) {
    if (onBadAnswer) onBadAnswer(request, *answer);
  }
  return *answer;
}

}  // namespace runtime::ui
