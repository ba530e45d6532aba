#include "procedures/MainFind.h"

#include <utility>
#include <vector>

#include "app/DataFiles.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/ui/Window.h"

namespace marlinden {

using runtime::ui::EventCode;
using runtime::ui::KeyCode;

namespace {

// The find box's alert slots: every key that types a letter, a digit or a
// space, Backspace, the keys that would move the cursor off the end, and
// the keys that leave the box.
constexpr std::size_t kFirstBoxSlot = 1;

std::vector<KeyCode> BoxKeys() {
  std::vector<KeyCode> keys;
  for (char c = 'A'; c <= 'Z'; ++c) {
    keys.push_back(runtime::ui::Letter(c));
    keys.push_back(KeyCode::Shift | runtime::ui::Letter(c));
  }
  for (int d = 0; d <= 9; ++d) {
    keys.push_back(runtime::ui::Digit(d));
    keys.push_back(KeyCode::Shift | runtime::ui::Digit(d));
  }
  for (KeyCode key : {KeyCode::Space, KeyCode::Shift | KeyCode::Space, KeyCode::Backspace, KeyCode::Left,
                      KeyCode::Right, KeyCode::Home, KeyCode::End, KeyCode::Esc, KeyCode::Enter, KeyCode::Down}) {
    keys.push_back(key);
  }
  return keys;
}

// text without its last UTF-8 character.
std::string WithoutLast(std::string text) {
  std::size_t end = text.size();
  while (end > 0 && (static_cast<unsigned char>(text[end - 1]) & 0xC0) == 0x80) --end;
  text.resize(end > 0 ? end - 1 : 0);
  return text;
}

const KeyCode kFindKey = KeyCode::Ctrl | runtime::ui::Letter('F');

}  // namespace

void MainFind::Describe(runtime::ui::WindowDescription& description) {
  runtime::ui::ControlDescription prompt =
      runtime::ui::DescribeControl(runtime::ui::ControlKind::Prompt, "&Find:", {214, 6, 22, 10});
  prompt.fixedNumber = kMainFindPrompt;
  description.controls.push_back(std::move(prompt));
  runtime::ui::ControlDescription box =
      runtime::ui::DescribeControl(runtime::ui::ControlKind::Entry, "", {238, 4, 130, 12});
  box.fixedNumber = kMainFindBox;
  box.picture = "@s100";
  box.tip = "Words the bookmarks must have, each as the start of a word (Ctrl+F; Esc clears)";
  description.controls.push_back(std::move(box));
}

void MainFind::Init(runtime::ui::Window& window, BrowseManager& browse, std::int32_t listControl) {
  window_ = &window;
  browse_ = &browse;
  listControl_ = listControl;
  if (runtime::ui::Control* box = window.Find(kMainFindBox)) {
    std::size_t slot = kFirstBoxSlot;
    for (const KeyCode key : BoxKeys()) box->Alert(slot++, key);
  }
  if (runtime::ui::Control* list = window.Find(listControl)) list->Alert(kFindKeyAlertSlot, kFindKey);
  if (!BookmarkStore().IsReadOnly() && !SearchIndexComplete()) {
    build_ = std::make_unique<SearchIndexBuild>();
    window.SetTimer(kIndexTimer);
  }
}

bool MainFind::TakeEvent(const runtime::ui::Event& event) {
  if (event.code == EventCode::Timer && build_ != nullptr) {
    BuildIndex();
    return true;
  }
  if (event.control != kMainFindBox || window_ == nullptr) return false;
  const std::string text = event.data.text.value_or(window_->Text(kMainFindBox));
  if (event.code == EventCode::Accepted) {
    Apply(text);
    return true;
  }
  if (event.code != EventCode::AlertKey) return false;
  const KeyCode key = runtime::ui::LastKeyCode();
  if (key == KeyCode::Esc) {
    Clear();
  } else if (key == KeyCode::Enter || key == KeyCode::Down) {
    Apply(text);
    window_->Select(listControl_);
  } else if (key == KeyCode::Backspace) {
    Apply(WithoutLast(text));
  } else if (!runtime::ui::LastKeyText().empty()) {
    Apply(text + runtime::ui::LastKeyText());
  }
  return true;
}

bool MainFind::TakeListKey(KeyCode key) {
  if (window_ == nullptr) return false;
  if (key == kFindKey) {
    window_->Select(kMainFindBox);
    return true;
  }
  if (key == KeyCode::Esc && !window_->Text(kMainFindBox).empty()) {
    Clear();
    return true;
  }
  return false;
}

void MainFind::Clear() { Apply({}); }

void MainFind::Apply(std::string text) {
  if (window_->Text(kMainFindBox) != text) window_->SetText(kMainFindBox, text);
  if (text == found_.Typed()) return;
  found_.SetTyped(std::move(text));
  // A forced reload plans the words (MainBrowse::ResetSort) and counts the
  // narrowed rows afresh for the thumb.
  browse_->ResetSort(ReloadAlways);
}

void MainFind::BuildIndex() {
  const Severity step = build_->Step(kIndexBatchBookmarks);
  if (step == SeverityOk && !build_->Done()) return;
  build_.reset();
  window_->SetTimer(0);
  // The words typed meanwhile were tested bookmark by bookmark; the index
  // now finds them.
  if (found_.Narrowed()) browse_->ResetSort(ReloadAlways);
}

}  // namespace marlinden
