#include "window/PopupManager.h"

#include <algorithm>
#include <utility>

#include "runtime/system/RuntimeLock.h"
#include "runtime/system/ThreadNumber.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/PopupMenuText.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/ui/Window.h"

namespace marlinden {

using runtime::ui::EventCode;

namespace {

constexpr std::size_t kTextWidth = 1024;
constexpr std::size_t kIconWidth = 255;
constexpr std::size_t kMenuWidth = 10000;
constexpr std::uint32_t kToolboxStackBytes = 25000;
constexpr std::int32_t kToolboxTimer = 50;  // hundredths: how often the buttons follow the window
constexpr std::int32_t kButtonHeight = 14;
constexpr std::int32_t kIconButtonWidth = 16;

bool IsSeparatorText(std::string_view text) { return text == "-"; }
bool IsSeparator(const PopupItem& item) { return IsSeparatorText(item.TEXT); }

std::string Cut(std::string_view text, std::size_t width) { return std::string(runtime::CutToWidth(text, width)); }

// The characters of the name: letters, digits and the underscore.
std::string NameCharacters(std::string_view text) {
  std::string name;
  for (const char c : runtime::Clip(text)) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') name.push_back(c);
  }
  return name;
}

// The menu text has no escape: the characters that separate items are shown
// by their full-width forms, which look alike and split nothing.
std::string WithoutLevelMarks(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    if (c == '|') {
      shown += "\xEF\xBD\x9C";
    } else if (c == '{') {
      shown += "\xEF\xBD\x9B";
    } else if (c == '}') {
      shown += "\xEF\xBD\x9D";
    } else {
      shown.push_back(c);
    }
  }
  return shown;
}

// Depths as the menu text can express them: one level deeper at a time,
// only under an item that is not a separator, and no deeper than the
// runtime's menus go. The first item is compared with depth 1.
std::vector<std::uint16_t> ShownDepths(const runtime::Queue<PopupItem>& items) {
  std::vector<std::uint16_t> depths;
  std::uint16_t previous = 1;
  bool headerAllowed = false;
  for (const PopupItem& item : items) {
    const auto wanted =
        static_cast<std::uint16_t>(std::clamp<std::uint32_t>(item.DEPTH, 1, runtime::ui::kMaxMenuDepth));
    std::uint16_t depth = wanted;
    if (wanted > previous) depth = headerAllowed ? static_cast<std::uint16_t>(previous + 1) : previous;
    depths.push_back(depth);
    previous = depth;
    headerAllowed = !IsSeparator(item);
  }
  return depths;
}

std::int32_t ButtonWidth(const PopupItem& shown) {
  if (!shown.ICON.empty()) return kIconButtonWidth;
  // Four dialog units per character, plus the button's frame.
  std::int32_t characters = 0;
  for (const char c : shown.TEXT) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && c != '&') ++characters;
  }
  return std::min(std::max(4 * characters + 12, 24), 400);
}

}  // namespace

PopupManager::~PopupManager() {
  bool running = false;
  {
    std::lock_guard lock(doneMutex_);
    running = !toolboxDone_;
  }
  if (running) Kill();
}

void PopupManager::Init() {
  POPUPITEMS = std::make_unique<runtime::Queue<PopupItem>>();
  CLEARKEYCODE = 1;
  MYTHREAD = runtime::CurrentThreadNumber();
}

void PopupManager::Kill() {
  toolboxStop_ = true;
  if (THISWINDOW != nullptr) THISWINDOW->Close();
  bool running = false;
  {
    std::lock_guard lock(doneMutex_);
    running = !toolboxDone_;
  }
  if (running) {
    runtime::UnlockedSection unlocked;  // the toolbox thread needs the lock to finish
    std::unique_lock lock(doneMutex_);
    doneChanged_.wait(lock, [this] { return toolboxDone_; });
  }
  toolboxThread_ = 0;
  POPUPITEMS.reset();
}

// --- Items ---------------------------------------------------------------------------

std::string PopupManager::MakeName(std::string_view text) {
  std::string base = IsSeparatorText(text) ? std::string("Separator") : NameCharacters(text);
  // A blank name would read as "nothing chosen".
  if (base.empty()) base = "Item";
  base = Cut(base, kTextWidth - 10);
  if (!POPUPITEMS) return base;
  std::string name = base;
  for (std::uint32_t n = 1; POPUPITEMS->Find([&](const PopupItem& i) { return i.NAME == name; }) != nullptr; ++n) {
    name = base + std::to_string(n);
  }
  return name;
}

std::string PopupManager::AddItem(std::string_view text) { return AddItem(text, text, {}, 0); }

std::string PopupManager::AddItem(std::string_view name, std::string_view text) { return AddItem(text, name, {}, 0); }

std::string PopupManager::AddItem(std::string_view text, std::string_view name, std::string_view after,
                                  std::uint16_t depth) {
  if (!POPUPITEMS) return {};
  PopupItem item;
  if (!IsSeparatorText(text)) {
    for (; !text.empty(); text.remove_prefix(1)) {
      if (text.front() == '~') {
        item.DISABLED = 1;
      } else if (text.front() == '+') {
        item.CHECK = 1;
      } else if (text.front() == '-') {
        item.CHECK = 2;
      } else {
        break;
      }
    }
  }
  item.TEXT = Cut(text, kTextWidth);
  item.NAME = MakeName(name);
  std::size_t position = after.empty() ? 0 : FindItem(after);
  position = position == 0 ? POPUPITEMS->Records() + 1 : position + 1;
  if (depth == 0) {
    const PopupItem* followed = POPUPITEMS->Get(position - 1);
    depth = followed != nullptr ? followed->DEPTH : 1;
  }
  item.DEPTH = depth;
  std::string added = item.NAME;
  POPUPITEMS->Insert(position, std::move(item));
  return added;
}

std::string PopupManager::AddItemEvent(std::string_view name, EventCode event, std::int32_t control) {
  if (!POPUPITEMS) return {};
  std::size_t position = FindItem(name);
  if (position == 0) position = FindItem(AddItem(name));
  PopupItem& item = *POPUPITEMS->Get(position);
  item.CONTROLID = control;
  item.EVENT = event;
  item.MIMICMODE = 0;
  item.ONTOOLBOX = 1;
  return item.NAME;
}

std::string PopupManager::AddItemMimic(std::string_view text, std::string_view name, std::int32_t control) {
  const std::string added = AddItemEvent(name, EventCode::Accepted, control);
  if (added.empty()) return added;
  PopupItem& item = *POPUPITEMS->Get(FindItem(added));
  item.TEXT = Cut(text, kTextWidth);
  item.MIMICMODE = 1;
  item.ONTOOLBOX = 1;
  return added;
}

void PopupManager::SetToolbox(std::string_view name, std::uint8_t onToolbox) {
  if (const std::size_t position = FindItem(name)) POPUPITEMS->Get(position)->ONTOOLBOX = onToolbox;
}

std::size_t PopupManager::FindItem(std::string_view name) {
  if (!POPUPITEMS || name.empty()) return 0;
  // Callers may name an item by the text its name was made from ("&Insert").
  const std::string cleaned = NameCharacters(name);
  for (const std::string_view wanted : {name, std::string_view(cleaned)}) {
    for (std::size_t i = 1; i <= POPUPITEMS->Records(); ++i) {
      if (POPUPITEMS->Get(i)->NAME == wanted) return i;
    }
  }
  return 0;
}

std::size_t PopupManager::ChoosablePosition(std::int32_t n) {
  if (!POPUPITEMS || n <= 0) return 0;
  const std::vector<std::uint16_t> depths = ShownDepths(*POPUPITEMS);
  std::int32_t counted = 0;
  for (std::size_t i = 0; i < depths.size(); ++i) {
    if (IsSeparator(*POPUPITEMS->Get(i + 1))) continue;
    if (i + 1 < depths.size() && depths[i + 1] > depths[i]) continue;  // a submenu header
    if (++counted == n) return i + 1;
  }
  return 0;
}

std::string PopupManager::GetItemName(std::int32_t n) {
  const std::size_t position = ChoosablePosition(n);
  return position == 0 ? std::string() : POPUPITEMS->Get(position)->NAME;
}

PopupItem PopupManager::RefreshItem(const PopupItem& item, const runtime::ui::Window* window) const {
  PopupItem shown = item;
  const runtime::ui::Control* control =
      window != nullptr && item.CONTROLID != 0 ? window->Find(item.CONTROLID) : nullptr;
  if (control != nullptr && item.MIMICMODE == 1 && !runtime::Clip(control->Text()).empty() &&
      (runtime::Clip(shown.TEXT).empty() || shown.TEXT.front() == '!')) {
    shown.TEXT = control->Text();
  }
  if (!shown.TEXT.empty() && shown.TEXT.front() == '!') shown.TEXT.erase(0, 1);
  if (control != nullptr) {
    if (item.DISABLED == 0) shown.DISABLED = control->Enabled() ? 2 : 1;
    if (shown.ICON.empty()) shown.ICON = Cut(control->Properties().icon, kIconWidth);
  }
  return shown;
}

// --- The menu ------------------------------------------------------------------------------

std::string PopupManager::BuildMenu() {
  if (!POPUPITEMS) return {};
  const runtime::ui::Window* window = runtime::ui::TargetWindow();
  std::vector<PopupItem> shown;
  bool anyIcon = false;
  for (const PopupItem& item : *POPUPITEMS) {
    shown.push_back(RefreshItem(item, window));
    anyIcon = anyIcon || !shown.back().ICON.empty();
  }
  const std::vector<std::uint16_t> depths = ShownDepths(*POPUPITEMS);
  std::string menu;
  std::uint16_t previous = 1;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const PopupItem& item = shown[i];
    std::string entry;
    if (depths[i] > previous) {
      entry = "{";
    } else if (depths[i] < previous) {
      entry.assign(previous - depths[i], '}');  // one per level left
    } else {
      entry = "|";
    }
    if (IsSeparator(*POPUPITEMS->Get(i + 1))) {
      entry += "-";
    } else {
      if (item.DISABLED == 1) entry += "~";
      if (item.CHECK == 1) entry += "+";
      if (item.CHECK == 2) entry += "-";
      std::string text = WithoutLevelMarks(TRANSLATOR ? TRANSLATOR(item.TEXT) : item.TEXT);
      // An attribute group ends the marks, so a text that starts like a mark
      // (or is empty, which would read as a separator) shows as it is.
      const bool shielded =
          text.empty() || text == "-" || std::string_view("~+-[").find(text.front()) != std::string_view::npos;
      if (anyIcon) {
        entry += "[";
        if (!item.ICON.empty()) entry += "icon(~" + WithoutLevelMarks(item.ICON) + ")";
        entry += "]";
      } else if (shielded) {
        entry += "[]";
      }
      entry += text;
    }
    // Whole items only: a cut item would change the numbers of the others.
    if (menu.size() + entry.size() > kMenuWidth) break;
    menu += entry;
    previous = depths[i];
  }
  // The first item needs no level mark.
  if (!menu.empty() && menu.front() == '|') menu.erase(0, 1);
  return menu;
}

std::string PopupManager::Ask(runtime::ui::Point at) {
  if (!POPUPITEMS) return {};
  std::size_t chosen = 0;
  if (INTOOLBOX == 1 && THISWINDOW != nullptr && THISWINDOW->Thread() == runtime::CurrentThreadNumber()) {
    chosen = AskToolbox();
  } else {
    chosen = ChoosablePosition(runtime::ui::PopupMenu(BuildMenu(), at));
  }
  LASTSELECTION = chosen == 0 ? std::string() : POPUPITEMS->Get(chosen)->NAME;
  if (chosen != 0) PostChoice(*POPUPITEMS->Get(chosen));
  return LASTSELECTION;
}

void PopupManager::PostChoice(const PopupItem& item) {
  if (item.EVENT == EventCode::None && item.MIMICMODE != 1) return;
  if (CLEARKEYCODE == 1) runtime::ui::SetLastKeyCode(runtime::ui::KeyCode::None);
  runtime::ui::PostToThread(MYTHREAD, item.MIMICMODE == 1 ? EventCode::Accepted : item.EVENT, item.CONTROLID);
}

// --- The toolbox -----------------------------------------------------------------------------

void PopupManager::Toolbox(std::string_view title) {
  if (!POPUPITEMS) return;
  {
    std::lock_guard lock(doneMutex_);
    if (!toolboxDone_) return;  // one is open already
    toolboxDone_ = false;
  }
  INTOOLBOX = 1;
  PARENTWINDOW = runtime::ui::TargetWindow();
  toolboxStop_ = false;
  toolboxThread_ =
      runtime::ui::StartThread([this, text = std::string(title)] { RunToolbox(text); }, kToolboxStackBytes);
  if (toolboxThread_ == 0) {
    INTOOLBOX = 0;
    std::lock_guard lock(doneMutex_);
    toolboxDone_ = true;
  }
}

void PopupManager::RunToolbox(std::string title) {
  if (!toolboxStop_ && POPUPITEMS) {
    runtime::ui::WindowDescription description;
    description.name = "TOOLBOX";
    description.title = std::move(title);
    description.timerHundredths = kToolboxTimer;
    if (PARENTWINDOW != nullptr) description.rect = {PARENTWINDOW->Position().x, PARENTWINDOW->Position().y, 0, 0};
    std::unique_ptr<runtime::ui::Window> window = runtime::ui::Window::Open(description);
    THISWINDOW = window.get();
    toolboxButtons_.clear();
    toolboxItems_.clear();
    std::int32_t x = 0;
    std::int32_t tallest = 0;
    for (std::size_t i = 1; i <= POPUPITEMS->Records(); ++i) {
      if (POPUPITEMS->Get(i)->ONTOOLBOX != 1) continue;
      const std::int32_t button = window->CreateControl(runtime::ui::ControlKind::Button);
      toolboxButtons_.push_back(button);
      toolboxItems_.push_back(i);
      const std::int32_t width = ButtonWidth(RefreshItem(*POPUPITEMS->Get(i), PARENTWINDOW));
      window->Find(button)->SetPosition({x, 0, width, kButtonHeight});
      x += width;
      tallest = std::max(tallest, kButtonHeight);
    }
    RefreshToolbox();
    for (const std::int32_t button : toolboxButtons_) window->Unhide(button);
    const runtime::ui::Rect at = window->Position();
    window->SetPosition({at.x, at.y, x, tallest});
    while (!Ask().empty()) {
    }
    THISWINDOW = nullptr;
  }
  INTOOLBOX = 0;
  toolboxButtons_.clear();
  toolboxItems_.clear();
  std::lock_guard lock(doneMutex_);
  toolboxDone_ = true;
  doneChanged_.notify_all();
}

void PopupManager::RefreshToolbox() {
  if (THISWINDOW == nullptr || !POPUPITEMS) return;
  for (std::size_t b = 0; b < toolboxButtons_.size(); ++b) {
    runtime::ui::Control* button = THISWINDOW->Find(toolboxButtons_[b]);
    const PopupItem* item = POPUPITEMS->Get(toolboxItems_[b]);
    if (button == nullptr || item == nullptr) continue;
    const PopupItem shown = RefreshItem(*item, PARENTWINDOW);
    if (shown.ICON.empty()) {
      if (button->Text() != shown.TEXT) button->SetText(shown.TEXT);
      if (!button->Properties().icon.empty()) button->SetIcon({});
    } else {
      if (button->Properties().icon != shown.ICON) button->SetIcon(shown.ICON);
      if (button->Properties().tip != shown.TEXT) button->SetTip(shown.TEXT);
    }
    const bool enabled = shown.DISABLED != 1;
    if (enabled && !button->Enabled()) button->Enable();
    if (!enabled && button->Enabled()) button->Disable();
  }
}

std::size_t PopupManager::AskToolbox() {
  std::size_t chosen = 0;
  runtime::ui::RunEventLoop(*THISWINDOW, [&](const runtime::ui::Event& event) {
    if (event.code == EventCode::Timer) {
      RefreshToolbox();
    } else if (event.code == EventCode::Accepted) {
      const auto at = std::find(toolboxButtons_.begin(), toolboxButtons_.end(), event.control);
      if (at != toolboxButtons_.end()) {
        chosen = toolboxItems_[static_cast<std::size_t>(at - toolboxButtons_.begin())];
        return runtime::ui::LoopAction::Break;
      }
    }
    return runtime::ui::LoopAction::CarryOn;
  });
  if (chosen == 0) INTOOLBOX = 0;
  return chosen;
}

}  // namespace marlinden
