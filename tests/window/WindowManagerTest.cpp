// The window manager over a real keyed bookmark file, driven headless: the
// run cycle, record forms for insert, change and delete with every answer
// to their questions, closing with each cancel action, and the dispatch of
// events to registered browses.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "errors/MessageIds.h"
#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/values/FieldBindings.h"
#include "support/BookmarkLayout.h"
#include "support/FailOnHalt.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "window/WindowManager.h"

namespace marlinden {
namespace {

using runtime::ui::ButtonCancel;
using runtime::ui::ButtonNo;
using runtime::ui::ButtonYes;
using runtime::ui::EventCode;
using runtime::ui::WindowId;
using testing_support::NameKey;
using testing_support::NumKey;

constexpr std::int32_t kUrl = 1;
constexpr std::int32_t kDescription = 2;
constexpr std::int32_t kOk = 3;
constexpr std::int32_t kCancel = 4;
constexpr std::int32_t kSheet = 5;

runtime::ui::WindowDescription BookmarkWindow() {
  auto d = runtime::ui::testing::Form("bookmark", 2);
  runtime::ui::ControlDescription cancel;
  cancel.kind = runtime::ui::ControlKind::Button;
  cancel.text = "Cancel";
  d.controls.push_back(cancel);
  runtime::ui::ControlDescription sheet;
  sheet.kind = runtime::ui::ControlKind::Sheet;
  d.controls.push_back(sheet);
  return d;
}

// A relation manager whose Update and Delete fail a set number of times.
class ScriptedRelation : public RelationManager {
 public:
  Severity Update(bool canRecall) override {
    recalls.push_back(canRecall);
    if (updateFailures > 0) {
      --updateFailures;
      return SeverityUser;
    }
    return RelationManager::Update(canRecall);
  }
  Severity Delete(bool ask) override {
    if (deleteFailures > 0) {
      --deleteFailures;
      return SeverityNotify;
    }
    return RelationManager::Delete(ask);
  }
  int updateFailures = 0;
  int deleteFailures = 0;
  std::vector<bool> recalls;
};

// Records what the window manager asks of its items, in one log.
struct Log {
  std::vector<std::string> calls;
  void Add(std::string call) { calls.push_back(std::move(call)); }
  int Count(const std::string& call) const { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }
};

class FakeBrowse : public BrowseItem {
 public:
  FakeBrowse(Log& log, std::string name) : log_(log), name_(std::move(name)) {}
  void Kill() override { log_.Add(name_ + ".Kill"); }
  void ResetSort(std::uint8_t force) override { log_.Add(name_ + ".ResetSort" + std::to_string(force)); }
  void UpdateWindow() override { log_.Add(name_ + ".UpdateWindow"); }
  void TakeEvent() override { log_.Add(name_ + ".TakeEvent"); }
  bool NeedRefresh() override {
    log_.Add(name_ + ".NeedRefresh");
    return std::exchange(refresh, false);
  }
  void UpdateViewRecord() override { log_.Add(name_ + ".UpdateViewRecord"); }
  void SetAlerts() override { log_.Add(name_ + ".SetAlerts"); }
  bool refresh = false;

 private:
  Log& log_;
  std::string name_;
};

class FakeToolbar : public ToolbarItem {
 public:
  explicit FakeToolbar(Log& log) : log_(log) {}
  void Init() override { log_.Add("toolbar.Init"); }
  void Kill() override { log_.Add("toolbar.Kill"); }
  void TakeEvent(std::int32_t&, WindowManager&) override { log_.Add("toolbar.TakeEvent"); }
  void SetTarget(std::int32_t control) override { log_.Add("toolbar.SetTarget" + std::to_string(control)); }

 private:
  Log& log_;
};

class FakeResizer : public ResizerItem {
 public:
  explicit FakeResizer(Log& log) : log_(log) {}
  void Kill() override { log_.Add("resizer.Kill"); }
  void Resize() override { log_.Add("resizer.Resize"); }

 private:
  Log& log_;
};

// A record form as a procedure writes one: entries copy into the record,
// OK completes, the test configures the actions after the base Init.
class BookmarkForm : public WindowManager {
 public:
  BookmarkForm(ScriptedRelation& relation, ErrorManager& errors, std::function<void(BookmarkForm&)> configure)
      : relation_(relation), errors_(errors), configure_(std::move(configure)) {}

  Severity Init() override {
    REQUEST = RequestCode;
    const Severity base = WindowManager::Init();
    if (base != SeverityOk) return base;
    FIRSTFIELD = kUrl;
    OKCONTROL = kOk;
    ERRORS = &errors_;
    PRIMARY = &relation_;
    RequestCode = ResponseCode = 0;
    if (configure_) configure_(*this);
    if (relation_.Open() != SeverityOk) return SeverityNotify;
    filesOpen_ = true;
    if (REQUEST == RequestInsert && INSERTACTION != 0) (void)relation_.ME->PrimeRecord(false);
    const Severity prepared = PrepareUpdate();
    if (prepared != SeverityOk) return prepared;
    runtime::ui::Window& window = OpenWindow(BookmarkWindow());
    window.SetText(kUrl, std::string(Field("WEB:URL").ClippedText()));
    window.SetText(kDescription, std::string(Field("WEB:DESCRIPTION").ClippedText()));
    OPENED = 1;
    SetAlerts();
    return SeverityOk;
  }

  Severity TakeAccepted() override {
    const std::int32_t control = ThisEvent().control;
    if (control == kUrl) Field("WEB:URL").SetText(GetWindow()->Text(kUrl));
    if (control == kDescription) Field("WEB:DESCRIPTION").SetText(GetWindow()->Text(kDescription));
    return WindowManager::TakeAccepted();
  }

  Severity Kill() override {
    const Severity base = WindowManager::Kill();
    if (base != SeverityOk) return base;
    if (filesOpen_) (void)relation_.Close();
    CloseWindow();
    return SeverityOk;
  }

  runtime::FieldRef Field(const char* label) { return relation_.ME->FILE->Record().Field(label); }

 private:
  ScriptedRelation& relation_;
  ErrorManager& errors_;
  std::function<void(BookmarkForm&)> configure_;
  bool filesOpen_ = false;
};

// One station on the bookmark file: the file and its two managers.
struct Station {
  std::unique_ptr<runtime::DataFile> file;
  FileManager files;
  ScriptedRelation relation;
  runtime::FieldRef Url() { return file->Record().Field("WEB:URL"); }
};

class WindowManagerTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    errors.Init();
    RequestCode = ResponseCode = 0;
    VcrRequest = 0;
  }
  void TearDown() override {
    WindowFixture::TearDown();
    errors.Kill();
  }

  // Runs a bookmark form for request on runtime thread 1, over a new file
  // holding "http://a.com" (current in the buffer) and "http://b.com".
  // configure runs on that thread after the base Init. Returns the window,
  // or kNoWindow when it is not expected to open.
  WindowId StartForm(std::uint8_t request, std::function<void(BookmarkForm&)> configure, bool opens = true) {
    station = std::make_unique<Station>();
    const std::string name = "MARLINDEN" + std::to_string(++runs);
    Start([this, request, configure, name] {
      Station& s = *station;
      s.file = runtime::DataFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), dir.File(name));
      s.files.Init(*s.file, errors);
      s.files.AddKey(NumKey, "WEB:Numkey", 1);
      s.files.AddKey(NameKey, "WEB:Namekey", 0);
      s.relation.Init(s.files, true);
      EXPECT_EQ(s.relation.Open(), SeverityOk);
      Add("http://b.com");
      Add("http://a.com");
      RequestCode = request;
      BookmarkForm form(s.relation, errors, configure);
      response = form.Run();
      dead = form.DEAD;
      scopesLeft = runtime::BindingScopeDepth();
      bufferUrl = std::string(s.Url().ClippedText());
      urls.clear();
      if (s.file->SetOrder(NameKey) == runtime::NoError) {
        while (s.files.TryNext() == SeverityOk) urls.emplace_back(s.Url().ClippedText());
      }
      (void)s.relation.Close();
      s.relation.Kill();
    });
    return opens ? driver.WaitForWindow(1) : runtime::ui::kNoWindow;
  }

  // Ends the program and starts a fresh one with fresh message boxes, for
  // the next row of a table.
  void Restart() {
    if (!program->WaitForEnd(std::chrono::seconds(10))) {
      ADD_FAILURE() << "the form did not close";
      std::abort();  // its thread would outlive the program
    }
    program.reset();
    backend.MessageBoxes().Reset();
    program = std::make_unique<runtime::ui::Program>(backend);
  }

  void Add(const std::string& url) {
    ASSERT_EQ(station->files.PrimeRecord(false), SeverityOk);
    station->Url().SetText(url);
    ASSERT_EQ(station->files.Insert(), SeverityOk);
  }

  void Type(WindowId id, std::int32_t control, const std::string& text) {
    driver.Type(id, control, text);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  void Click(WindowId id, std::int32_t control) {
    driver.Click(id, control);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  bool OpenOnFirstField(WindowId id) {
    bool onFirst = false;
    driver.WithWindow(id, [&](runtime::ui::Window& w) { onFirst = w.Focus() == kUrl; });
    return onFirst;
  }
  // Closes and expects the window to stay open with the first field focused.
  void ExpectCloseRefused(WindowId id) {
    driver.WithWindow(id, [](runtime::ui::Window& w) { w.Select(kDescription); });
    driver.Post(id, EventCode::CloseWindow);
    ASSERT_TRUE(driver.WaitIdle(1));
    EXPECT_TRUE(OpenOnFirstField(id)) << "the window must stay open on the first field";
  }
  // Waits for the form to close; a form that stays open fails the test (and
  // the fixture then ends the run).
  void Finish() { EXPECT_TRUE(program->WaitForEnd(std::chrono::seconds(10))) << "the form did not close"; }

  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (const auto& request : backend.MessageBoxRequests()) captions.push_back(request.caption);
    return captions;
  }

  testing_support::TempDir dir;
  ErrorManager errors;
  std::unique_ptr<Station> station;
  int runs = 0;
  testing_support::FailOnHalt failOnHalt;
  // Results, written by the runtime thread before it ends.
  std::uint8_t response = 0;
  std::uint8_t dead = 0;
  std::size_t scopesLeft = 99;
  std::string bufferUrl;
  std::vector<std::string> urls;
};

using Urls = std::vector<std::string>;

// --- Run and Kill -----------------------------------------------------------------------

TEST_F(WindowManagerTest, RunWhoseInitFailsNeverLoopsButKillsAndKillTwiceIsRefused) {
  Log log;
  FakeBrowse browse(log, "browse");
  FakeToolbar toolbar(log);
  FakeResizer resizer(log);
  Severity secondKill = SeverityOk;
  class FailingInit : public WindowManager {
   public:
    explicit FailingInit(std::function<void(WindowManager&)> setUp) : setUp_(std::move(setUp)) {}
    Severity Init() override {
      (void)WindowManager::Init();
      setUp_(*this);
      return SeverityNotify;  // e.g. a file would not open
    }
    void Ask() override { ADD_FAILURE() << "the event loop must not run"; }

   private:
    std::function<void(WindowManager&)> setUp_;
  };
  Start([&] {
    FailingInit window([&](WindowManager& w) {
      w.AddItem(browse);
      w.AddItem(toolbar);
      w.AddItem(resizer);
    });
    response = window.Run();
    dead = window.DEAD;
    scopesLeft = runtime::BindingScopeDepth();
    secondKill = window.Kill();
  });
  Finish();
  EXPECT_EQ(response, ResponseCancelled);
  EXPECT_EQ(dead, 1);
  EXPECT_EQ(scopesLeft, 0u) << "Kill closes the binding scope Init opened";
  EXPECT_EQ(secondKill, SeverityNotify);
  EXPECT_EQ(log.calls, (Urls{"toolbar.Init", "browse.Kill", "toolbar.Kill", "resizer.Kill"}));
}

// --- Closing record forms ------------------------------------------------------------------

TEST_F(WindowManagerTest, ClosingAnUnchangedChangeFormCancelsWithoutAMessage) {
  const WindowId id = StartForm(RequestChange, nullptr);
  driver.Post(id, EventCode::CloseWindow);
  Finish();
  EXPECT_EQ(response, ResponseCancelled);
  EXPECT_TRUE(backend.MessageBoxRequests().empty());
  EXPECT_EQ(dead, 1);
  EXPECT_EQ(scopesLeft, 0u);
}

TEST_F(WindowManagerTest, SaveRecordYesOnCloseTakesTheSavePath) {
  backend.MessageBoxes().Script(ButtonYes);
  const WindowId id = StartForm(RequestInsert, nullptr);
  Type(id, kUrl, "http://new.com");
  driver.Post(id, EventCode::CloseWindow);
  Finish();
  EXPECT_EQ(Captions(), (Urls{"Save Record"}));
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_EQ(urls, (Urls{"http://a.com", "http://b.com", "http://new.com"}));
}

TEST_F(WindowManagerTest, SaveRecordNoOnCloseDropsTheNewRecord) {
  backend.MessageBoxes().Script(ButtonNo);
  const WindowId id = StartForm(RequestInsert, nullptr);
  Type(id, kUrl, "http://new.com");
  driver.Post(id, EventCode::CloseWindow);
  Finish();
  EXPECT_EQ(response, ResponseCancelled);
  EXPECT_EQ(urls, (Urls{"http://a.com", "http://b.com"})) << "the record numbered in advance is taken back";
}

TEST_F(WindowManagerTest, SaveRecordCancelOnCloseKeepsTheFormOpenOnTheFirstField) {
  backend.MessageBoxes().Script({ButtonCancel, ButtonNo});
  const WindowId id = StartForm(RequestInsert, nullptr);
  Type(id, kUrl, "http://new.com");
  ExpectCloseRefused(id);
  driver.Post(id, EventCode::CloseWindow);
  Finish();
  EXPECT_EQ(Captions(), (Urls{"Save Record", "Save Record"}));
  EXPECT_EQ(response, ResponseCancelled);
}

TEST_F(WindowManagerTest, OtherCancelActionsOnAChangedForm) {
  struct Case {
    std::uint8_t cancelAction;
    std::vector<std::uint32_t> answers;
    Urls captions;
    std::uint8_t response;
    Urls urls;
  };
  const Urls unchanged{"http://a.com", "http://b.com"};
  const Urls saved{"http://b.com", "http://new.com"};
  const std::vector<Case> cases = {
      {0, {}, {}, ResponseCancelled, unchanged},                                  // no check at all
      {1, {}, {}, ResponseCompleted, saved},                                      // saves without asking
      {2, {ButtonYes}, {"Changes will be lost!"}, ResponseCancelled, unchanged},  // asks, Yes closes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("CANCELACTION " + std::to_string(c.cancelAction));
    if (&c != &cases.front()) Restart();
    for (std::uint32_t answer : c.answers) backend.MessageBoxes().Script(answer);
    const WindowId id = StartForm(RequestChange, [&](BookmarkForm& f) { f.CANCELACTION = c.cancelAction; });
    Type(id, kUrl, "http://new.com");
    driver.Post(id, EventCode::CloseWindow);
    Finish();
    EXPECT_EQ(Captions(), c.captions);
    EXPECT_EQ(response, c.response);
    EXPECT_EQ(urls, c.urls);
  }
}

TEST_F(WindowManagerTest, ChangesWillBeLostNoKeepsTheFormOpen) {
  backend.MessageBoxes().Script({ButtonNo, ButtonYes});
  const WindowId id = StartForm(RequestChange, [](BookmarkForm& f) { f.CANCELACTION = 2; });
  Type(id, kUrl, "http://new.com");
  ExpectCloseRefused(id);
  driver.Post(id, EventCode::CloseWindow);
  Finish();
  EXPECT_EQ(response, ResponseCancelled);
}

TEST_F(WindowManagerTest, ACancelButtonClosesWithItsResponseWithoutCheckingChanges) {
  const WindowId id = StartForm(RequestInsert, [](BookmarkForm& f) { f.AddItem(kCancel, ResponseCancelled); });
  Type(id, kUrl, "http://new.com");
  driver.Click(id, kCancel);
  Finish();
  EXPECT_TRUE(backend.MessageBoxRequests().empty());
  EXPECT_EQ(response, ResponseCancelled);
  EXPECT_EQ(urls, (Urls{"http://a.com", "http://b.com"}));
}

// --- Completing inserts -------------------------------------------------------------------

TEST_F(WindowManagerTest, BatchInsertKeepsTheFormOpenAndLeavesTheLastRecordInTheBuffer) {
  const WindowId id = StartForm(RequestInsert, [](BookmarkForm& f) { f.INSERTACTION = 3; });
  Type(id, kUrl, "http://one.com");
  driver.Click(id, kOk);
  ASSERT_TRUE(driver.WaitIdle(1));
  Type(id, kUrl, "http://two.com");
  driver.Click(id, kOk);
  ASSERT_TRUE(driver.WaitIdle(1));
  driver.Post(id, EventCode::CloseWindow);
  Finish();
  EXPECT_TRUE(backend.MessageBoxRequests().empty());
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_EQ(bufferUrl, "http://two.com");
  EXPECT_EQ(urls, (Urls{"http://a.com", "http://b.com", "http://one.com", "http://two.com"}))
      << "the third record, numbered in advance, is taken back";
}

TEST_F(WindowManagerTest, RecordAddedAsksForAnotherRecord) {
  backend.MessageBoxes().Script({ButtonYes, ButtonNo});
  const WindowId id = StartForm(RequestInsert, [](BookmarkForm& f) { f.INSERTACTION = 4; });
  Type(id, kUrl, "http://one.com");
  driver.Click(id, kOk);
  ASSERT_TRUE(driver.WaitIdle(1));
  Type(id, kUrl, "http://two.com");
  driver.Click(id, kOk);
  Finish();
  EXPECT_EQ(Captions(), (Urls{"Record Added", "Record Added"}));
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_EQ(urls, (Urls{"http://a.com", "http://b.com", "http://one.com", "http://two.com"}));
}

TEST_F(WindowManagerTest, InsertActionZeroLeavesTheInsertToTheProcedure) {
  const WindowId id = StartForm(RequestInsert, [](BookmarkForm& f) { f.INSERTACTION = 0; });
  Type(id, kUrl, "http://one.com");
  driver.Click(id, kOk);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_TRUE(driver.WithWindow(id, [](runtime::ui::Window&) {})) << "completion does not close the form";
  backend.MessageBoxes().Script(ButtonNo);  // Save Record?
  driver.Post(id, EventCode::CloseWindow);
  Finish();
  EXPECT_EQ(response, ResponseCancelled);
  EXPECT_EQ(urls, (Urls{"http://a.com", "http://b.com"}));
}

TEST_F(WindowManagerTest, TheHistoryKeyBringsBackTheLastCompletedValue) {
  constexpr auto kF2 = static_cast<runtime::ui::KeyCode>(0x71);
  const WindowId id = StartForm(RequestInsert, [](BookmarkForm& f) {
    f.INSERTACTION = 3;
    f.HISTORYKEY = static_cast<std::int32_t>(kF2);
    f.AddHistory(f.Field("WEB:URL"), kUrl);
  });
  EXPECT_EQ(driver.Properties(id, kUrl).alerts.back(), kF2) << "alerted in the last slot";
  Type(id, kUrl, "http://one.com");
  Click(id, kOk);
  driver.SetText(id, kUrl, "");
  driver.PressKey(id, kUrl, kF2);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(id, kUrl), "http://one.com");
  backend.MessageBoxes().Script(ButtonNo);  // Save Record? The restored value is a duplicate.
  driver.Post(id, EventCode::CloseWindow);
  Finish();
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_EQ(bufferUrl, "http://one.com");
}

// --- Completing changes --------------------------------------------------------------------

TEST_F(WindowManagerTest, ChangeCompletionWritesOnlyAChangedRecord) {
  driver.Click(StartForm(RequestChange, nullptr), kOk);
  Finish();
  EXPECT_EQ(response, ResponseCancelled) << "unchanged, without a toolbar";
  EXPECT_TRUE(station->relation.recalls.empty()) << "nothing is written";

  Restart();
  const WindowId id = StartForm(RequestChange, [](BookmarkForm& f) { f.HISTORYKEY = 0x70; });
  Type(id, kUrl, "http://c.com");
  driver.Click(id, kOk);
  Finish();
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_EQ(station->relation.recalls, (std::vector<bool>{true})) << "a history key lets the user recall";
  EXPECT_EQ(urls, (Urls{"http://b.com", "http://c.com"}));
}

TEST_F(WindowManagerTest, FailedUpdateAsksToTryAgain) {
  struct Case {
    std::vector<std::uint32_t> answers;  // to the retry question(s), then any close question
    bool staysOpen;
    std::uint8_t response;
    Urls urls;
  };
  const std::vector<Case> cases = {
      {{ButtonYes}, false, ResponseCompleted, {"http://b.com", "http://c.com"}},  // the retry succeeds
      {{ButtonNo, ButtonNo}, false, ResponseCancelled, {"http://a.com", "http://b.com"}},
      {{ButtonCancel}, true, ResponseCancelled, {"http://a.com", "http://b.com"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers.front());
    if (&c != &cases.front()) Restart();
    for (std::uint32_t answer : c.answers) backend.MessageBoxes().Script(answer);
    const WindowId id = StartForm(RequestChange, [this](BookmarkForm&) { station->relation.updateFailures = 1; });
    Type(id, kUrl, "http://c.com");
    driver.Click(id, kOk);
    if (c.staysOpen) {
      ASSERT_TRUE(driver.WaitIdle(1));
      EXPECT_TRUE(OpenOnFirstField(id));
      backend.MessageBoxes().Script(ButtonNo);  // the close that follows: do not save
      driver.Post(id, EventCode::CloseWindow);
    }
    Finish();
    EXPECT_EQ(backend.MessageBoxRequests().front().caption, "Record Update Error");
    EXPECT_EQ(response, c.response);
    EXPECT_EQ(urls, c.urls);
  }
}

// --- Deleting ------------------------------------------------------------------------------

TEST_F(WindowManagerTest, DeleteActionsTwoAndFourDeleteWithoutShowingTheForm) {
  struct Case {
    std::uint8_t deleteAction;
    std::vector<std::uint32_t> answers;
    std::uint8_t response;
    Urls urls;
  };
  const std::vector<Case> cases = {
      {2, {ButtonYes}, ResponseCompleted, {"http://b.com"}},
      {2, {ButtonNo}, ResponseCancelled, {"http://a.com", "http://b.com"}},
      {4, {}, ResponseCompleted, {"http://b.com"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.deleteAction) + " with " + std::to_string(c.answers.size()) + " answers");
    if (&c != &cases.front()) Restart();
    for (std::uint32_t answer : c.answers) backend.MessageBoxes().Script(answer);
    StartForm(
        RequestDelete, [&](BookmarkForm& f) { f.DELETEACTION = c.deleteAction; }, false);
    Finish();
    EXPECT_EQ(backend.WindowsCreated(), 0);
    EXPECT_EQ(response, c.response);
    EXPECT_EQ(urls, c.urls);
    EXPECT_EQ(backend.MessageBoxRequests().size(), c.answers.size());
  }
}

TEST_F(WindowManagerTest, DeleteOnCompletionRetriesAFailedDeletion) {
  // Confirm, retry after the failure, then the retry succeeds.
  backend.MessageBoxes().Script({ButtonYes, ButtonYes});
  const WindowId id = StartForm(RequestDelete, [this](BookmarkForm& f) {
    f.DELETEACTION = 1;
    station->relation.deleteFailures = 1;
  });
  driver.Click(id, kOk);
  Finish();
  EXPECT_EQ(Captions(), (Urls{"Confirm Delete", "Record Delete Error"}));
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_EQ(urls, (Urls{"http://b.com"}));
}

TEST_F(WindowManagerTest, DeleteOnCompletionCancelOrDeclineKeepsTheFormOpen) {
  backend.MessageBoxes().Script({ButtonYes, ButtonCancel, ButtonNo});
  const WindowId id = StartForm(RequestDelete, [this](BookmarkForm& f) {
    f.DELETEACTION = 1;
    station->relation.deleteFailures = 1;
  });
  Click(id, kOk);  // confirmed, fails, Cancel
  Click(id, kOk);  // declined: no retry question
  EXPECT_TRUE(OpenOnFirstField(id));
  driver.Post(id, EventCode::CloseWindow);
  Finish();
  EXPECT_EQ(Captions(), (Urls{"Confirm Delete", "Record Delete Error", "Confirm Delete"}));
  EXPECT_EQ(response, ResponseCancelled);
  EXPECT_EQ(urls, (Urls{"http://a.com", "http://b.com"}));
}

// --- Events and registered items -------------------------------------------------------------

// A plain window with two browses, a toolbar and a resizer.
class ListWindow : public WindowManager {
 public:
  ListWindow(Log& log) : log_(log), first_(log, "first"), second_(log, "second"), toolbar_(log), resizer_(log) {}
  Severity Init() override {
    (void)WindowManager::Init();
    AddItem(toolbar_);
    AddItem(resizer_);
    OpenWindow(BookmarkWindow());
    AddItem(first_);
    AddItem(second_);
    return SeverityOk;
  }
  Severity TakeAccepted() override {
    log_.Add("TakeAccepted");
    return WindowManager::TakeAccepted();
  }
  Severity TakeFieldEvent() override {
    log_.Add("TakeFieldEvent");
    return SeverityOk;
  }
  FakeBrowse& Second() { return second_; }

 private:
  Log& log_;
  FakeBrowse first_;
  FakeBrowse second_;
  FakeToolbar toolbar_;
  FakeResizer resizer_;
};

class ListWindowTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  WindowId StartList() {
    Start([this] {
      window = std::make_unique<ListWindow>(log);
      window->Run();
      window.reset();
    });
    const WindowId id = driver.WaitForWindow(1);
    log.calls.clear();
    return id;
  }
  void Post(WindowId id, EventCode code, std::int32_t control = 0) {
    driver.Post(id, code, control);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  Log log;
  std::unique_ptr<ListWindow> window;  // touched on the runtime thread only
};

TEST_F(ListWindowTest, OnlyLaterSizedEventsResetTheBrowses) {
  const WindowId id = StartList();
  Post(id, EventCode::Sized);
  EXPECT_EQ(log.Count("first.ResetSort0"), 0);
  EXPECT_EQ(log.Count("resizer.Resize"), 1);
  Post(id, EventCode::Sized);
  EXPECT_EQ(log.Count("first.ResetSort0"), 1);
  EXPECT_EQ(log.Count("second.UpdateWindow"), 1);
  driver.Post(id, EventCode::CloseWindow);
  EXPECT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
}

TEST_F(ListWindowTest, AnAcceptedControlGoesToTheHandlersThenEachBrowseInOrder) {
  const WindowId id = StartList();
  driver.WithWindow(id, [this](runtime::ui::Window&) { window->Second().refresh = true; });
  Post(id, EventCode::Accepted, kDescription);
  EXPECT_EQ(log.calls, (Urls{"TakeAccepted", "toolbar.TakeEvent", "TakeFieldEvent", "first.TakeEvent",
                             "second.TakeEvent", "first.NeedRefresh", "second.NeedRefresh", "first.ResetSort0",
                             "second.ResetSort0", "first.UpdateWindow", "second.UpdateWindow"}));
  log.calls.clear();
  Post(id, EventCode::NewSelection, kSheet);
  EXPECT_EQ(log.calls, (Urls{"first.ResetSort0", "second.ResetSort0", "first.UpdateWindow", "second.UpdateWindow",
                             "toolbar.SetTarget0", "TakeFieldEvent", "first.TakeEvent", "second.TakeEvent",
                             "first.NeedRefresh", "second.NeedRefresh"}));
  driver.Post(id, EventCode::CloseWindow);
  EXPECT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
}

TEST_F(ListWindowTest, LosingFocusWithResetOnGainFocusForcesTheNextReset) {
  const WindowId id = StartList();
  driver.WithWindow(id, [this](runtime::ui::Window&) { window->RESETONGAINFOCUS = 1; });
  Post(id, EventCode::LoseFocus);
  Post(id, EventCode::GainFocus);
  EXPECT_EQ(log.Count("first.ResetSort1"), 1);
  Post(id, EventCode::GainFocus);
  EXPECT_EQ(log.Count("first.ResetSort0"), 1);
  driver.Post(id, EventCode::CloseWindow);
  EXPECT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
}

}  // namespace
}  // namespace marlinden
