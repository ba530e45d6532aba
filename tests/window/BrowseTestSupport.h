// A test window over the bookmark layout with a browse list on a real keyed
// file: a sheet of two tabs, the list on the first and a second list on the
// second, and the browse's buttons. The window runs on runtime thread 1; the
// test configures the browse through a callback on that thread.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "errors/ErrorManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/views/View.h"
#include "support/BookmarkLayout.h"
#include "support/FailOnHalt.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "window/BrowseManager.h"
#include "window/BrowseQueue.h"
#include "window/IncrementalLocator.h"
#include "window/StringStep.h"
#include "window/WindowManager.h"

namespace marlinden::testing {

enum Control : std::int32_t {
  kSheet = 1,
  kTab1,
  kTab2,
  kList,
  kList2,
  kInsert,
  kChange,
  kDelete,
  kSelect,
  kClose,
  kLocatorEntry,
};

inline runtime::ui::ListColumn Column(std::string header, std::int32_t width) {
  runtime::ui::ListColumn column;
  column.header = std::move(header);
  column.width = width;
  return column;
}

inline runtime::ui::WindowDescription BrowseWindowDescription() {
  using runtime::ui::ControlDescription;
  using runtime::ui::ControlKind;
  runtime::ui::WindowDescription d;
  d.name = d.title = "Browse";
  d.rect = {0, 0, 300, 160};
  auto add = [&](ControlKind kind, std::string text, runtime::ui::Rect rect, int parent = -1) {
    ControlDescription c;
    c.kind = kind;
    c.text = std::move(text);
    c.rect = rect;
    c.parentIndex = parent;
    d.controls.push_back(c);
    return static_cast<int>(d.controls.size()) - 1;
  };
  const int sheet = add(ControlKind::Sheet, "", {0, 0, 290, 100});
  d.controls[sheet].value = 1;
  const int tab1 = add(ControlKind::Tab, "URL", {0, 0, 290, 100}, sheet);
  const int tab2 = add(ControlKind::Tab, "Other", {0, 0, 290, 100}, sheet);
  for (int tab : {tab1, tab2}) {
    const int list = add(ControlKind::List, "", {4, 4, 280, 60}, tab);  // a header and five rows
    d.controls[list].scrollBar = true;
    d.controls[list].columns = {Column("URL", 196), Column("Description", 80)};
  }
  for (const char* button : {"&Insert", "&Change", "&Delete", "&Select", "Close"}) {
    add(ControlKind::Button, button, {4, 110, 40, 14});
  }
  add(ControlKind::Entry, "", {4, 130, 100, 12});
  return d;
}

inline runtime::RecordLayout RowLayout() {
  return runtime::RecordLayout::Builder("Row", "ROW").String("URL", 255).String("DESCRIPTION", 250).Build();
}

// The bookmark file, its managers and a view; one per station.
struct Station {
  Station(const std::string& path, ErrorManager& errors) {
    file = runtime::DataFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), path);
    files.Init(*file, errors);
    files.AddKey(testing_support::NumKey, "WEB:Numkey", 1);
    files.AddKey(testing_support::NameKey, "WEB:Namekey", 0);
    files.AddKey(testing_support::DescKey, "WEB:Desckey", 0);
    relation.Init(files, true);
    view = std::make_unique<runtime::View>(*file);
  }
  ~Station() {
    view.reset();
    relation.Kill();
  }
  runtime::FieldRef Url() { return file->Record().Field("WEB:URL"); }
  runtime::FieldRef Description() { return file->Record().Field("WEB:DESCRIPTION"); }
  Severity Add(const std::string& url, const std::string& description = {}) {
    if (files.PrimeRecord(false) != SeverityOk) return SeverityProgram;
    Url().SetText(url);
    Description().SetText(description);
    return files.Insert();
  }

  std::unique_ptr<runtime::DataFile> file;
  FileManager files;
  RelationManager relation;
  std::unique_ptr<runtime::View> view;
};

// Addresses sharing a long prefix, in key order by n.
inline std::string Site(int n) {
  char url[64];
  std::snprintf(url, sizeof url, "http://www.site-%03d.example/", n);
  return url;
}

class BrowseWindow;
using Configure = std::function<void(BrowseWindow&)>;

// The procedure: opens the file, the window and one browse in address order
// with a locator (and a computed step unless told otherwise).
class BrowseWindow : public WindowManager {
 public:
  BrowseWindow(Station& station, ErrorManager& errors, Configure configure)
      : station_(station), errors_(errors), configure_(std::move(configure)) {}

  Severity Init() override {
    REQUEST = RequestCode;
    const Severity base = WindowManager::Init();
    if (base != SeverityOk) return base;
    ERRORS = &errors_;
    FIRSTFIELD = kList;
    RequestCode = ResponseCode = 0;
    AddItem(kClose, ResponseCancelled);
    if (station_.relation.Open() != SeverityOk) return SeverityNotify;
    OpenWindow(BrowseWindowDescription());
    OPENED = 1;
    browse.Init(kList, queue, *station_.view, *this, station_.relation);
    step.Init(StepLetters, LookupComputed);
    (void)browse.AddSortOrder(&step, testing_support::NameKey);
    locator.Init(0, station_.Url(), 1, &browse);
    browse.AddLocator(locator);
    browse.AddField(queue.Field("ROW:URL"), station_.Url());
    browse.AddField(queue.Field("ROW:DESCRIPTION"), station_.Description());
    browse.INSERTCONTROL = kInsert;
    browse.CHANGECONTROL = kChange;
    browse.DELETECONTROL = kDelete;
    browse.SELECTCONTROL = kSelect;
    if (configure_) configure_(*this);
    SetAlerts();
    return SeverityOk;
  }

  Severity Kill() override {
    const Severity base = WindowManager::Kill();
    if (base != SeverityOk) return base;
    (void)station_.relation.Close();
    CloseWindow();
    return SeverityOk;
  }

  std::uint8_t RunProcedure(std::uint16_t number, std::uint8_t request) override {
    return procedure ? procedure(number, request) : ResponseCancelled;
  }

  BrowseQueue queue{RowLayout(), {{1, 0}, {2, 0}}};
  BrowseManager browse;
  StringStep step;
  IncrementalLocator locator;
  std::function<std::uint8_t(std::uint16_t, std::uint8_t)> procedure;

 private:
  Station& station_;
  ErrorManager& errors_;
  Configure configure_;
};

// Takes the step object off the address order.
inline void WithoutStep(BrowseWindow& window) {
  static_cast<BrowseManager::SortOrder&>(**window.browse.SORT->Get(1)).THUMB = nullptr;
}

// What the list control shows.
struct ListView {
  std::vector<std::string> urls;
  std::int32_t selected = 0;
  std::int32_t thumb = 0;
  bool scrollBar = false;
};

class BrowseFixture : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    errors.Init();
    RequestCode = ResponseCode = 0;
    VcrRequest = 0;
  }
  void TearDown() override {
    if (id != runtime::ui::kNoWindow && driver.WithWindow(id, [](runtime::ui::Window&) {})) Close();
    WindowFixture::TearDown();
    errors.Kill();
  }

  // Starts the window over a new file holding urls (added on thread 1).
  void Open(const std::vector<std::string>& urls, Configure configure = nullptr, std::uint8_t request = 0) {
    path = dir.File("MARLINDEN" + std::to_string(++runs));
    Start([this, urls, configure, request] {
      station = std::make_unique<Station>(path, errors);
      ASSERT_EQ(station->relation.Open(), SeverityOk);
      for (const std::string& url : urls) ASSERT_EQ(station->Add(url, "about " + url), SeverityOk);
      RequestCode = request;
      BrowseWindow window(*station, errors, configure);
      this->window = &window;
      response = window.Run();
      this->window = nullptr;
      bufferUrl = std::string(station->Url().ClippedText());
      (void)station->relation.Close();
      station.reset();
    });
    id = driver.WaitForWindow(1);
  }
  void Open(int records, Configure configure = nullptr) {
    std::vector<std::string> urls;
    for (int i = 1; i <= records; ++i) urls.push_back(Site(i));
    Open(urls, std::move(configure));
  }

  void Close() {
    driver.Post(id, runtime::ui::EventCode::CloseWindow);
    EXPECT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
    id = runtime::ui::kNoWindow;
  }

  void Post(runtime::ui::EventCode code, std::int32_t control = kList, runtime::ui::EventData data = {}) {
    driver.Post(id, code, control, std::move(data));
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  void Key(runtime::ui::KeyCode key, std::string text = {}, std::int32_t row = 0) {
    runtime::ui::EventData data;
    data.key = key;
    data.keyText = std::move(text);
    if (row != 0) data.selectedRow = row;
    Post(runtime::ui::EventCode::AlertKey, kList, std::move(data));
  }
  void TypeText(const std::string& text) {
    for (char c : text) Key(runtime::ui::Letter('X'), std::string(1, c));
  }
  void Drag(std::int32_t thumb) {
    runtime::ui::EventData data;
    data.thumb = thumb;
    Post(runtime::ui::EventCode::ScrollDrag, kList, std::move(data));
  }

  ListView List(std::int32_t control = kList) {
    ListView view;
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      const runtime::ui::Control* list = w.Find(control);
      if (const runtime::ui::ListSource* source = list->Source()) {
        for (std::size_t row = 1; row <= source->RowCount(); ++row) view.urls.push_back(source->Row(row)[0].text);
      }
      view.selected = list->SelectedRow();
      view.thumb = list->Thumb();
      view.scrollBar = list->Properties().scrollBar;
    });
    return view;
  }
  std::string Highlighted() {
    const ListView view = List();
    return view.selected >= 1 && view.selected <= static_cast<int>(view.urls.size()) ? view.urls[view.selected - 1]
                                                                                     : std::string();
  }
  // The record buffer's URL, read under the runtime lock.
  std::string Buffer() {
    std::string url;
    driver.WithWindow(id, [&](runtime::ui::Window&) { url = std::string(station->Url().ClippedText()); });
    return url;
  }
  // Runs f on the browse under the runtime lock.
  void WithBrowse(const std::function<void(BrowseWindow&)>& f) {
    driver.WithWindow(id, [&](runtime::ui::Window&) { f(*window); });
  }

  testing_support::TempDir dir;
  ErrorManager errors;
  testing_support::FailOnHalt failOnHalt;
  std::string path;
  int runs = 0;
  std::unique_ptr<Station> station;
  BrowseWindow* window = nullptr;  // while the window runs
  runtime::ui::WindowId id = runtime::ui::kNoWindow;
  std::uint8_t response = 0;
  std::string bufferUrl;
};

}  // namespace marlinden::testing
