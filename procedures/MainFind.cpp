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

// The find box's alert slots: the keys that clear the box or leave it.
constexpr std::size_t kFirstBoxSlot = 1;
constexpr KeyCode kBoxKeys[] = {KeyCode::Esc, KeyCode::Enter, KeyCode::Down};

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
  box.reportsEdits = true;
  box.tip = "Words the bookmarks must have, each as the start of a word (Ctrl+F; Esc clears)";
  description.controls.push_back(std::move(box));
}

void MainFind::Init(runtime::ui::Window& window, BrowseManager& browse, std::int32_t listControl) {
  window_ = &window;
  browse_ = &browse;
  listControl_ = listControl;
  if (runtime::ui::Control* box = window.Find(kMainFindBox)) {
    std::size_t slot = kFirstBoxSlot;
    for (const KeyCode key : kBoxKeys) box->Alert(slot++, key);
  }
  if (runtime::ui::Control* list = window.Find(listControl)) list->Alert(kFindKeyAlertSlot, kFindKey);
  if (!BookmarkStore().IsReadOnly() && !BookmarkIndexesComplete()) {
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
  // The box's text is the model's: each edit (NewSelection) and leaving
  // the box (Accepted) brought it there, as much as the box holds.
  const std::string text = window_->Text(kMainFindBox);
  if (event.code == EventCode::Accepted || event.code == EventCode::NewSelection) {
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

void MainFind::ShowOnly(std::optional<std::vector<std::int64_t>> numbers) {
  found_.SetOnly(std::move(numbers));
  browse_->ResetSort(ReloadAlways);
}

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
  // The words typed meanwhile were tested bookmark by bookmark, and the
  // folder tab lacked the bookmarks not yet built: the index now has them.
  browse_->ResetSort(ReloadAlways);
}

}  // namespace marlinden
