#include "procedures/MainNotes.h"

#include <utility>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "errors/MessageIds.h"

namespace marlinden {

namespace {

constexpr bool kNoRecall = false;

struct Shown {
  std::string url;
  std::string description;
  std::string notes;
};

Shown Buffered() {
  runtime::RecordBuffer& web = BookmarkStore().Record();
  return {std::string(web.Field(WebUrl).ClippedText()), std::string(web.Field(WebDescription).ClippedText()),
          web.Memo(WebNotes)};
}

}  // namespace

void MainNotes::Describe(runtime::ui::WindowDescription& description, std::int32_t top, std::int32_t width) {
  runtime::ui::ControlDescription prompt =
      runtime::ui::DescribeControl(runtime::ui::ControlKind::Prompt, "&Notes:", {4, top + 3, 40, 10});
  prompt.fixedNumber = kMainNotesPrompt;
  description.controls.push_back(std::move(prompt));
  runtime::ui::ControlDescription box =
      runtime::ui::DescribeControl(runtime::ui::ControlKind::Text, "", {4, top + 13, width, kMainNotesHeight - 16});
  box.fixedNumber = kMainNotesBox;
  box.picture = "@s1000";
  box.tip = "The highlighted bookmark's notes, saved when you leave the box";
  description.controls.push_back(std::move(box));
}

void MainNotes::Init(runtime::ui::Window& window, BrowseManager& browse, std::int32_t listControl, Resizer& resizer) {
  window_ = &window;
  browse_ = &browse;
  listControl_ = listControl;
  const std::uint16_t bottomLeft = AnchorLeft | (AnchorRight << 8);
  resizer.SetStrategy(kMainNotesPrompt, bottomLeft, ResizeLockWidth | ResizeLockHeight);
  resizer.SetStrategy(kMainNotesBox, bottomLeft, ResizeConstantRight | ResizeLockHeight);
}

void MainNotes::Show(const std::string& notes) {
  shownNotes_ = notes;
  window_->SetText(kMainNotesBox, notes);
}

void MainNotes::Follow() {
  // While the user types in the box it keeps the bookmark it shows; the
  // next row is shown once the box is left (and its text saved).
  if (window_ == nullptr || window_->Focus() == kMainNotesBox) return;
  runtime::ui::Control* box = window_->Find(kMainNotesBox);
  if (browse_->RecordsInList() == 0) {
    if (followed_ && shownNumber_ == 0) return;
    followed_ = true;
    shownNumber_ = 0;
    shownPosition_.clear();
    Show("");
    box->Disable();
    return;
  }
  const runtime::ui::Control* list = window_->Find(listControl_);
  if (list == nullptr || !browse_->LISTQUEUE->Get(static_cast<std::size_t>(list->SelectedRow()))) return;
  if (followed_ && shownNumber_ != 0 && browse_->LISTQUEUE->POSITION == shownPosition_) return;
  followed_ = true;
  shownPosition_ = browse_->LISTQUEUE->POSITION;
  browse_->UpdateViewRecord();
  shownNumber_ = BookmarkStore().Record().Field(WebNum).Get().AsInteger();
  const Shown shown = Buffered();
  shownUrl_ = shown.url;
  shownDescription_ = shown.description;
  Show(shown.notes);
  // Notes of a collection that can only be read are shown, not edited.
  if (BookmarkStore().IsReadOnly()) {
    box->Disable();
  } else {
    box->Enable();
  }
}

bool MainNotes::TakeEvent(const runtime::ui::Event& event) {
  if (window_ == nullptr || event.control != kMainNotesBox) return false;
  if (event.code == runtime::ui::EventCode::Accepted) Save(event.data.text.value_or(window_->Text(kMainNotesBox)));
  return true;
}

void MainNotes::Save(const std::string& typed) {
  if (shownNumber_ == 0 || typed == shownNotes_ || BookmarkStore().IsReadOnly()) return;
  (void)BookmarkStore().Watch();
  if (!FetchBookmarkNumber(shownNumber_)) {
    // Nothing is written in place of a bookmark another station deleted.
    (void)BookmarkStoreManager->Raise(MsgRecordDeletedElsewhere);
    browse_->ResetSort(ReloadAlways);
    followed_ = false;
    Follow();
    return;
  }
  const Shown stored = Buffered();
  if (stored.url != shownUrl_ || stored.description != shownDescription_ || stored.notes != shownNotes_) {
    // Another station's change is shown, never overwritten.
    (void)BookmarkStoreManager->Raise(MsgRecordChanged);
    shownUrl_ = stored.url;
    shownDescription_ = stored.description;
    Show(stored.notes);
    return;
  }
  BookmarkStore().Record().SetMemo(WebNotes, typed);
  if (BookmarkStoreRelations->Update(kNoRecall) != SeverityOk) {
    // The relation manager has told why; the box shows what is stored now.
    if (FetchBookmarkNumber(shownNumber_)) Show(Buffered().notes);
    return;
  }
  // Notes longer than the field are kept cut, at a whole character.
  Show(BookmarkStore().Record().Memo(WebNotes));
}

}  // namespace marlinden
