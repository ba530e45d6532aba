#include "window/ToolbarTarget.h"

#include <string>
#include <string_view>

#include "data/ByteRecordReader.h"
#include "runtime/files/RecordBuffer.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/Window.h"
#include "window/WindowManager.h"

namespace marlinden {

using runtime::ui::EventCode;

namespace {

// A record of the tool-tip table: the button (16 bits, little-endian) and a
// length-prefixed text.
std::string TipRecord(std::int32_t button, std::string_view text) {
  std::string record;
  record += static_cast<char>(button & 0xFF);
  record += static_cast<char>((button >> 8) & 0xFF);
  record += static_cast<char>(text.size());
  record += text;
  return record;
}

// The packed tool-tip table: a count byte, then the records, applied in
// order (2008 comes twice, with the same text).
const std::string& ToolTipTable() {
  static const std::string table = [] {
    std::string t(1, '\x08');
    t += TipRecord(ToolbarDown, "Go to the Next Record");
    t += TipRecord(ToolbarBottom, "Go to the Last Page");
    t += TipRecord(ToolbarTop, "Go to the First Page");
    t += TipRecord(ToolbarPageDown, "Go to the Next Page");
    t += TipRecord(ToolbarPageUp, "Go to the Prior Page");
    t += TipRecord(ToolbarDown, "Go to the Next Record");
    t += TipRecord(ToolbarUp, "Go to the Prior Record");
    t += TipRecord(ToolbarInsert, "Insert a new Record");
    return t;
  }();
  return table;
}

const runtime::RecordLayout& TipLayout() {
  static const runtime::RecordLayout layout = runtime::RecordLayout::Builder("ToolTip", "TIP")
                                                  .Field("BUTTON", runtime::FieldType::UInt16)
                                                  .String("TEXT", 255)
                                                  .Build();
  return layout;
}

// The window's own button works when it exists and is enabled.
bool Works(const runtime::ui::Window& window, std::int32_t button) {
  const runtime::ui::Control* control = button != 0 ? window.Find(button) : nullptr;
  return control != nullptr && control->Enabled();
}

void EnableIf(runtime::ui::Window& window, std::int32_t button, bool enabled) {
  enabled ? window.Enable(button) : window.Disable(button);
}

}  // namespace

void ToolbarTarget::TakeToolbar() {
  runtime::ui::Window* window = BROWSE != nullptr ? BROWSE->ToolbarWindow() : nullptr;
  if (window != nullptr) {
    runtime::RecordBuffer record(TipLayout());
    ByteRecordReader reader;
    reader.Init(ByteRecordReader::CountedByte);
    (void)reader.AddItem(ByteRecordReader::ItemUShort, record.Field("TIP:BUTTON"));
    (void)reader.AddItem(ByteRecordReader::ItemLengthText, record.Field("TIP:TEXT"));
    reader.SetSource(ToolTipTable());
    while (reader.NextRecord() == SeverityOk) {
      const auto button = static_cast<std::int32_t>(record.Field("TIP:BUTTON").Get().AsInteger());
      if (runtime::ui::Control* control = window->Find(button)) {
        control->SetTip(std::string(record.Field("TIP:TEXT").ClippedText()));
      }
    }
    reader.Kill();
  }
  DisplayButtons();
}

std::uint8_t ToolbarTarget::TryTakeToolbar() {
  if (BROWSE == nullptr || !BROWSE->ListVisible()) return 0;
  TakeToolbar();
  return 1;
}

void ToolbarTarget::DisplayButtons() {
  runtime::ui::Window* window = BROWSE != nullptr ? BROWSE->ToolbarWindow() : nullptr;
  if (window == nullptr) return;
  window->Disable(ToolbarHistory);
  for (std::int32_t button = ToolbarBottom; button <= ToolbarLocate; ++button) window->Enable(button);
  EnableIf(*window, ToolbarSelect, Works(*window, SELECTBUTTON));
  EnableIf(*window, ToolbarDelete, Works(*window, DELETEBUTTON));
  EnableIf(*window, ToolbarChange, Works(*window, CHANGEBUTTON));
  EnableIf(*window, ToolbarInsert, Works(*window, INSERTBUTTON));
  EnableIf(*window, ToolbarHelp, Works(*window, HELPBUTTON));
}

void ToolbarTarget::TakeEvent(std::int32_t&, WindowManager& manager) {
  const runtime::ui::Event* event = runtime::ui::CurrentEvent();
  runtime::ui::Window* window = manager.GetWindow();
  if (event == nullptr || event->code != EventCode::Accepted || window == nullptr) return;
  auto post = [window](EventCode code, std::int32_t control) {
    if (control != 0) window->Post(code, control);
  };
  switch (event->control) {
    case ToolbarInsert:
      post(EventCode::Accepted, INSERTBUTTON);
      break;
    case ToolbarChange:
      post(EventCode::Accepted, CHANGEBUTTON);
      break;
    case ToolbarDelete:
      post(EventCode::Accepted, DELETEBUTTON);
      break;
    case ToolbarSelect:
      manager.Update();
      manager.RESPONSE = ResponseCompleted;
      window->Post(EventCode::CloseWindow);
      break;
    case ToolbarBottom:
      post(EventCode::ScrollBottom, CONTROL);
      break;
    case ToolbarTop:
      post(EventCode::ScrollTop, CONTROL);
      break;
    case ToolbarPageDown:
      post(EventCode::PageDown, CONTROL);
      break;
    case ToolbarPageUp:
      post(EventCode::PageUp, CONTROL);
      break;
    case ToolbarDown:
      post(EventCode::ScrollDown, CONTROL);
      break;
    case ToolbarUp:
      post(EventCode::ScrollUp, CONTROL);
      break;
    case ToolbarLocate:
      post(EventCode::Locate, CONTROL);
      break;
    case ToolbarHelp:
      // The help key's work is the window's help button.
      post(EventCode::Accepted, HELPBUTTON);
      break;
    default:
      break;
  }
}

}  // namespace marlinden
