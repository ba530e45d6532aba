// Opens a sample window with a control of every kind on the Qt backend and
// runs it until it is closed: for screenshots (tools/screenshot.sh) and for
// looking at the backend by hand. With --edit-cell an entry is placed over a
// cell of the list, as in-place editing does.
#include <string>

#include "qt/RunQtProgram.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/Window.h"

using namespace runtime::ui;

namespace {

// One page of bookmarks, as a browse loads it.
class SampleRows : public ListSource {
 public:
  std::size_t count = 6;
  std::size_t RowCount() const override { return count; }
  ListRow Row(std::size_t row) const override {
    ListCell url{"http://www.example" + std::to_string(row) + ".org/", {}};
    ListCell description{"Example page " + std::to_string(row), {}};
    if (row == 2) url.colours.text = description.colours.text = 0x0000C0;  // the favourite, in red
    if (row == 2) {
      url.colours.selectedText = description.colours.selectedText = 0xFFFFFF;
      url.colours.selectedBackground = description.colours.selectedBackground = 0x0000C0;
    }
    if (row == 4) url.colours.background = description.colours.background = 0xE0F0FF;
    if (row == 5) url.text = "ftp://ftp.example.org/pub/a/very/long/path/that/does/not/fit/the/column/";
    return {url, description};
  }
};

ControlDescription Make(ControlKind kind, std::string text, Rect rect, std::int32_t parentIndex = -1) {
  ControlDescription c;
  c.kind = kind;
  c.text = std::move(text);
  c.rect = rect;
  c.parentIndex = parentIndex;
  return c;
}

ListColumn Column(std::string header, std::int32_t width) {
  ListColumn column;
  column.header = std::move(header);
  column.width = width;
  column.indent = 2;
  column.resizable = true;
  return column;
}

WindowDescription Sample() {
  WindowDescription d;
  d.name = "Sample";
  d.title = "Marlinden sample";
  d.rect = {20, 20, 360, 230};
  d.frame = Frame::Resizable;
  d.font = {"DejaVu Sans", 9};
  auto& c = d.controls;
  c.push_back(Make(ControlKind::MenuItem, "&Exit", {}));                        // 0
  c.push_back(Make(ControlKind::Menu, "&Help", {}));                            // 1
  c.push_back(Make(ControlKind::MenuItem, "&About", {}, 1));                    // 2
  c.push_back(Make(ControlKind::Sheet, "", {4, 4, 352, 130}));                  // 3
  c.push_back(Make(ControlKind::Tab, "URL", {}, 3));                            // 4
  c.push_back(Make(ControlKind::Tab, "Description", {}, 3));                    // 5
  ControlDescription list = Make(ControlKind::List, "", {6, 20, 348, 108}, 4);  // 6
  list.paging = ListPaging::Program;
  list.scrollBar = true;
  list.columns = {Column("URL", 196), Column("Description", 141)};
  c.push_back(list);
  c.push_back(Make(ControlKind::Prompt, "&Name:", {8, 142, 30, 10}));                    // 7
  ControlDescription entry = Make(ControlKind::Entry, "Marlinden", {40, 140, 100, 12});  // 8
  entry.picture = "@s40";
  c.push_back(entry);
  c.push_back(Make(ControlKind::String, "Shows a variable", {150, 142, 80, 10}));          // 9
  c.push_back(Make(ControlKind::Check, "&Favourite", {240, 141, 60, 12}));                 // 10
  c.push_back(Make(ControlKind::Option, "Order", {8, 158, 120, 26}));                      // 11
  c.push_back(Make(ControlKind::Radio, "&URL", {14, 168, 50, 12}, 11));                    // 12
  c.push_back(Make(ControlKind::Radio, "&Title", {70, 168, 50, 12}, 11));                  // 13
  c.push_back(Make(ControlKind::Group, "Progress", {136, 158, 120, 26}));                  // 14
  ControlDescription progress = Make(ControlKind::Progress, "", {142, 168, 108, 10}, 14);  // 15
  progress.value = 60;
  c.push_back(progress);
  c.push_back(Make(ControlKind::LinkText, "www.example.org", {264, 162, 90, 10}));    // 16
  c.push_back(Make(ControlKind::Text, "Several\nlines of text", {8, 190, 120, 30}));  // 17
  c.push_back(Make(ControlKind::Button, "&Query", {136, 194, 50, 14}));               // 18
  c.push_back(Make(ControlKind::Button, "&Insert", {190, 194, 50, 14}));              // 19
  c.push_back(Make(ControlKind::Button, "Close", {300, 206, 50, 14}));                // 20
  c.push_back(Make(ControlKind::Line, "", {136, 188, 214, 1}));                       // 21
  c.push_back(Make(ControlKind::Region, "", {264, 174, 90, 12}));                     // 22
  c.push_back(Make(ControlKind::Image, "", {300, 140, 20, 16}));                      // 23
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  const bool editCell = argc > 1 && std::string(argv[1]) == "--edit-cell";
  return runtime::qt::RunQtProgram(argc, argv, [editCell] {
    SampleRows rows;
    auto window = Window::Open(Sample());
    Control* list = window->Find(7);
    rows.count = static_cast<std::size_t>(list->VisibleItems());
    list->SetListSource(&rows);
    list->SetSelectedRow(2);
    list->SetThumb(40);
    window->Find(12)->SetValue(1);
    window->Find(13)->SetValue(1);
    window->Display();
    if (editCell) {
      const std::int32_t editor = window->CreateControl(ControlKind::Entry);
      Control* entry = window->Find(editor);
      entry->SetText("Example page 3");
      entry->PlaceInList(7, 3, 2);
      entry->Unhide();
      window->Select(editor);
    }
    RunEventLoop(*window, [&](const Event& e) {
      if (e.code == EventCode::Accepted && (e.control == 1 || e.control == 21)) return LoopAction::Break;
      return LoopAction::CarryOn;
    });
    list->SetListSource(nullptr);
  });
}
