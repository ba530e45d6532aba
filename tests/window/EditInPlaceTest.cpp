// Editing in place, end to end in a headless window over a real keyed file:
// the row edited cell by cell, every way of ending it, the "Save Record"
// question, the auto-number reserved for a new row, and failures on save.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "BrowseTestSupport.h"
#include "runtime/system/RuntimeError.h"

namespace marlinden::testing {
namespace {

using runtime::ui::ButtonCancel;
using runtime::ui::ButtonNo;
using runtime::ui::ButtonOk;
using runtime::ui::ButtonYes;
using runtime::ui::EventCode;
using runtime::ui::KeyCode;
using Urls = std::vector<std::string>;

// The edit control over the list: its number and the cell it covers.
struct Editor {
  std::int32_t control = 0;  // 0 = none placed
  std::int32_t row = 0;
  std::int32_t column = 0;
  std::string text;
};

// A stored record, as another station reads it.
struct Stored {
  std::int64_t number;
  std::string url;
  std::string description;
  friend bool operator==(const Stored&, const Stored&) = default;
};

class EditInPlaceTest : public BrowseFixture {
 protected:
  void TearDown() override {
    if (other != nullptr && id != runtime::ui::kNoWindow) {
      driver.WithWindow(id, [&](runtime::ui::Window&) { (void)other->relation.Close(); });
    }
    BrowseFixture::TearDown();
  }

  Editor Edit() {
    Editor editor;
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      for (std::int32_t number : w.ControlNumbers()) {
        const runtime::ui::Control* c = w.Find(number);
        if (c->Properties().placement.list != kList || c->Hidden()) continue;
        editor = {number, c->Properties().placement.row, c->Properties().placement.column, c->Text()};
      }
    });
    return editor;
  }
  // Types text into the edit control and presses key there.
  void Press(KeyCode key, std::optional<std::string> text = std::nullopt) {
    const Editor editor = Edit();
    ASSERT_NE(editor.control, 0) << "no cell is being edited";
    runtime::ui::EventData data;
    data.key = key;
    data.text = std::move(text);
    Post(EventCode::AlertKey, editor.control, std::move(data));
  }
  // A click on row (and column) of the list.
  void ClickRow(std::int32_t row, std::int32_t column = 1) {
    runtime::ui::EventData data;
    data.key = KeyCode::MouseLeft;
    data.selectedRow = row;
    data.column = column;
    Post(EventCode::NewSelection, kList, std::move(data));
  }
  std::string Cell(std::int32_t row, std::size_t column) {
    std::string text;
    driver.WithWindow(id, [&](runtime::ui::Window& w) { text = w.Find(kList)->Source()->Row(row)[column].text; });
    return text;
  }
  // Every stored record in address order, read by another station.
  std::vector<Stored> Records() {
    std::vector<Stored> records;
    driver.WithWindow(id, [&](runtime::ui::Window&) {
      if (other == nullptr) {
        otherStation = std::make_unique<Station>(path, errors);
        other = otherStation.get();
        ASSERT_EQ(other->relation.Open(), SeverityOk);
        ASSERT_EQ(other->files.UseFile(), SeverityOk);
      }
      ASSERT_EQ(other->file->SetOrder(testing_support::NameKey), runtime::NoError);
      while (other->file->Next() == runtime::NoError) {
        records.push_back({other->file->Record().Field("WEB:NUM").Get().AsInteger(),
                           std::string(other->Url().ClippedText()), std::string(other->Description().ClippedText())});
      }
    });
    return records;
  }
  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    for (const auto& request : backend.MessageBoxRequests()) captions.push_back(request.caption);
    return captions;
  }

  std::unique_ptr<Station> otherStation;
  Station* other = nullptr;
};

// With the actions set, no question is asked.
void SaveOnEveryEnd(BrowseWindow& w) {
  w.browse.ENTERACTION = w.browse.TABACTION = w.browse.ARROWACTION = w.browse.FOCUSLOSSACTION = 1;
}

TEST_F(EditInPlaceTest, InsertEditsANewRowCellByCellAndSavesIt) {
  Open(3);
  Key(KeyCode::Insert);
  EXPECT_EQ(List().urls, (Urls{Site(1), "", Site(2), Site(3)})) << "below the highlighted row";
  const std::vector<Stored> reserved = Records();
  ASSERT_EQ(reserved.size(), 4u) << "the number is reserved by a record added in advance";
  EXPECT_EQ(reserved[0], (Stored{4, "", ""}));
  Editor editor = Edit();
  EXPECT_EQ(editor.row, 2);
  EXPECT_EQ(editor.column, 1);
  Press(KeyCode::Tab, "http://new.example/");
  editor = Edit();
  EXPECT_EQ(editor.column, 2) << "Tab moves to the next column";
  EXPECT_EQ(Cell(2, 0), "http://new.example/") << "the committed cell shows in the list";
  Press(KeyCode::ShiftTab, "a new one");
  EXPECT_EQ(Edit().column, 1);
  EXPECT_EQ(Edit().text, "http://new.example/");
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(ButtonYes);
  Press(KeyCode::Enter);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Save Record"}));
  EXPECT_EQ(Edit().control, 0) << "the row ended";
  EXPECT_EQ(Highlighted(), "http://new.example/");
  const std::vector<Stored> stored = Records();
  EXPECT_EQ(stored.size(), 4u) << "the reserved record became the new one";
  EXPECT_NE(std::find(stored.begin(), stored.end(), Stored{4, "http://new.example/", "a new one"}), stored.end());
}

TEST_F(EditInPlaceTest, EscRemovesTheNewRowAndReleasesTheReservedNumber) {
  Open(3);
  Post(EventCode::ScrollDown);
  Key(KeyCode::Insert);
  ASSERT_EQ(Records().size(), 4u);
  Press(KeyCode::Esc, "typed but dropped");
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(2), Site(3)}));
  EXPECT_EQ(Highlighted(), Site(2)) << "back on the row highlighted before";
  EXPECT_EQ(Records().size(), 3u);
  EXPECT_TRUE(backend.MessageBoxRequests().empty());
}

TEST_F(EditInPlaceTest, TabOnTheLastColumnEndsTheRowAndAsksOnlyWhenSomethingChanged) {
  Open(3);
  Key(KeyCode::CtrlEnter);
  Press(KeyCode::Tab);
  EXPECT_EQ(Edit().column, 2);
  Press(KeyCode::Tab);
  EXPECT_EQ(Edit().control, 0) << "past the last column the row ends, it does not wrap around";
  EXPECT_TRUE(backend.MessageBoxRequests().empty()) << "an unchanged row ends silently";

  Key(KeyCode::CtrlEnter);
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(ButtonNo);
  Press(KeyCode::Tab, "changed, then not saved");
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Save Record"}));
  EXPECT_EQ(Edit().control, 0);
  EXPECT_EQ(Cell(1, 1), "about " + Site(1)) << "No leaves the record as it was";
}

TEST_F(EditInPlaceTest, CancelToSaveRecordKeepsEditingAndForgetsTheEventThatAsked) {
  Open(3);
  Key(KeyCode::CtrlEnter);
  Press(KeyCode::Tab, "http://changed.example/");
  // Closing the window asks; Cancel keeps the row in editing and the window open.
  backend.MessageBoxes().Script(ButtonCancel);
  Post(EventCode::CloseWindow, 0);
  Editor editor = Edit();
  EXPECT_EQ(editor.control != 0, true) << "still editing";
  EXPECT_EQ(editor.column, 2) << "where the user was";
  EXPECT_EQ(Cell(1, 0), "http://changed.example/") << "the typed value stays";
  // A click on Delete during the edit asks too; Cancel forgets the click.
  backend.MessageBoxes().Script(ButtonCancel);
  driver.Click(id, kDelete);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_NE(Edit().control, 0);
  // A size event the same.
  backend.MessageBoxes().Script(ButtonCancel);
  Post(EventCode::Sized, 0);
  EXPECT_NE(Edit().control, 0);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Save Record", "Save Record", "Save Record"}))
      << "no delete confirmation and no close follows a Cancel";
  // Esc drops the change: nothing remembered is replayed.
  Press(KeyCode::Esc);
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(2), Site(3)}));
  EXPECT_EQ(Captions().size(), 3u);
  // Closing while editing, answered Yes: the row is saved, then the window closes.
  Key(KeyCode::CtrlEnter);
  backend.MessageBoxes().Script(ButtonYes);
  Press(KeyCode::None, "http://saved.example/");
  EXPECT_EQ(Edit().column, 1) << "a new edit starts in the first column";
  driver.Post(id, EventCode::CloseWindow);
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  id = runtime::ui::kNoWindow;
  EXPECT_EQ(bufferUrl, "http://saved.example/");
}

TEST_F(EditInPlaceTest, AButtonClickedDuringTheEditEndsTheRowAndThenHappens) {
  Open(3);
  Post(EventCode::ScrollDown);
  Key(KeyCode::CtrlEnter);
  Press(KeyCode::None, "http://not-kept.example/");
  backend.MessageBoxes().Script({ButtonNo, ButtonYes});  // discard the change, then confirm the delete
  driver.Click(id, kDelete);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Save Record", "Confirm Delete"}));
  EXPECT_EQ(Edit().control, 0);
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(3)}));
  EXPECT_EQ(Records().size(), 2u);
}

TEST_F(EditInPlaceTest, DownArrowSavesAndOpensTheNextRowInTheSameColumn) {
  Open(5, [](BrowseWindow& w) { w.browse.ARROWACTION = 24; });  // ask, then move, keeping the column
  Key(KeyCode::CtrlEnter);
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(ButtonYes);
  Press(KeyCode::Down, "first, changed");
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Save Record"}));
  const Editor editor = Edit();
  EXPECT_EQ(editor.row, 2);
  EXPECT_EQ(editor.column, 2);
  EXPECT_EQ(editor.text, "about " + Site(2));
  EXPECT_EQ(Cell(1, 1), "first, changed");
  Press(KeyCode::Up);
  EXPECT_EQ(Captions().size(), 1u) << "an unchanged row ends silently";
  EXPECT_EQ(Edit().row, 1) << "Up opens the prior record";
  EXPECT_EQ(Edit().column, 2);
  Press(KeyCode::Esc);
  EXPECT_EQ(Edit().control, 0);
  EXPECT_EQ(Records()[0].description, "first, changed");
}

TEST_F(EditInPlaceTest, ClickingAnotherRowEndsTheRowWithRowNumbersHeldToTheList) {
  Open(5);
  Key(KeyCode::Insert);  // a new row 2 above the old rows 2..
  ClickRow(4);           // shows Site(3)
  EXPECT_EQ(Edit().control, 0);
  EXPECT_EQ(Highlighted(), Site(3)) << "the discarded row above moved the clicked one up";
  EXPECT_EQ(Records().size(), 5u);
  // Cancel to the question keeps the edited row selected.
  Key(KeyCode::CtrlEnter);
  Press(KeyCode::None, "http://changed.example/");
  backend.MessageBoxes().Script(ButtonCancel);
  ClickRow(1);
  EXPECT_EQ(List().selected, 3);
  EXPECT_NE(Edit().control, 0);
  // The same row clicked in another column moves the editor there.
  ClickRow(3, 2);
  EXPECT_EQ(Edit().column, 2);
  backend.MessageBoxes().Script(ButtonNo);
  ClickRow(99);
  EXPECT_EQ(Highlighted(), Site(5)) << "a click below the last row is the last row";
}

TEST_F(EditInPlaceTest, AColumnWithoutObjectOrFieldIsSkippedAndGrey) {
  Open(3, [](BrowseWindow& w) {
    SaveOnEveryEnd(w);
    w.browse.AddEditControl(nullptr, 1);
    w.GetWindow()->Find(kList)->SetColumns({Column("URL", 100), Column("Description", 80), Column("Extra", 40)});
  });
  Key(KeyCode::MouseLeftDouble);
  EXPECT_EQ(Edit().column, 2) << "the first editable column";
  auto colours = [&] {
    std::vector<runtime::ui::Colour> c;
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      for (const auto& column : w.Find(kList)->Properties().columns) c.push_back(column.textColour);
    });
    return c;
  };
  EXPECT_EQ(colours(), (std::vector<runtime::ui::Colour>{kGreyTextColour, runtime::ui::kNoColour, kGreyTextColour}));
  Press(KeyCode::ShiftTab);
  EXPECT_EQ(Edit().column, 2) << "Shift+Tab finds nothing editable before it";
  Press(KeyCode::Tab, "new words");
  EXPECT_EQ(Edit().control, 0) << "the extra column has no field: Tab ends the row";
  EXPECT_EQ(colours(), (std::vector<runtime::ui::Colour>(3, runtime::ui::kNoColour)));
  EXPECT_EQ(Records()[0].description, "new words");
  // A double click right of the last column edits the last editable one.
  runtime::ui::EventData click;
  click.key = KeyCode::MouseLeftDouble;
  click.column = 9;
  Post(EventCode::AlertKey, kList, click);
  EXPECT_EQ(Edit().column, 2);
  Press(KeyCode::Esc);
}

TEST_F(EditInPlaceTest, EnterWithNextRecordSavesAndStartsTheNextNewRow) {
  Open(2, [](BrowseWindow& w) { w.browse.ENTERACTION = 1 | 8; });
  Key(KeyCode::Insert);
  Press(KeyCode::Enter, "http://first.example/");
  EXPECT_TRUE(backend.MessageBoxRequests().empty());
  const Editor editor = Edit();
  ASSERT_NE(editor.control, 0) << "a further new row is being edited";
  EXPECT_EQ(editor.column, 1);
  EXPECT_EQ(editor.text, "");
  Press(KeyCode::Esc);
  EXPECT_EQ(List().urls, (Urls{"http://first.example/", Site(1), Site(2)}));
  EXPECT_EQ(Records().size(), 3u) << "the second reservation is released";
  EXPECT_EQ(VcrRequest, 0);
}

// A procedure's own edit object: the column's entry shows its text upper-cased.
class UpperEdit : public EditInPlace {
 public:
  void CreateControl() override {
    EditInPlace::CreateControl();
    ++created;
  }
  std::uint8_t TakeEvent(const runtime::ui::Event& event) override {
    if (runtime::ui::Control* control = Entry()) {
      std::string text = control->Text();
      std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
      control->SetText(text);
    }
    return EditInPlace::TakeEvent(event);
  }
  int created = 0;
};

TEST_F(EditInPlaceTest, AProceduresOwnEditObjectEditsItsColumn) {
  auto upper = std::make_shared<UpperEdit>();
  Open(2, [upper](BrowseWindow& w) {
    SaveOnEveryEnd(w);
    w.browse.AddEditControl(upper.get(), 2);
  });
  Key(KeyCode::CtrlEnter);
  Press(KeyCode::Tab);
  Press(KeyCode::Enter, "shouted");
  EXPECT_EQ(Records()[0].description, "SHOUTED");
  Key(KeyCode::CtrlEnter);
  Press(KeyCode::Esc);
  EXPECT_EQ(upper->created, 2) << "a control per edited row, destroyed when the row ends";
  EXPECT_EQ(upper->FEQ, 0);
}

TEST_F(EditInPlaceTest, AnInsertCollidingInAnotherCaseStaysInEditing) {
  Open(3, SaveOnEveryEnd);
  Key(KeyCode::Insert);
  std::string upper = Site(2);
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  Press(KeyCode::Tab, upper);
  backend.MessageBoxes().Script(ButtonOk);
  Press(KeyCode::Enter, "a second copy");
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  EXPECT_EQ(backend.MessageBoxRequests()[0].caption, "Duplicate Key Error");  // message 13
  const Editor editor = Edit();
  EXPECT_EQ(editor.row, 2) << "the row stays in editing";
  EXPECT_EQ(editor.text, "a second copy");
  EXPECT_EQ(Cell(2, 0), upper) << "with the typed values";
  std::vector<Stored> stored = Records();
  EXPECT_EQ(std::count_if(stored.begin(), stored.end(), [](const Stored& s) { return s.description != ""; }), 3)
      << "nothing stored twice";
  Press(KeyCode::Esc);
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(2), Site(3)}));
  stored = Records();
  EXPECT_EQ(stored.size(), 3u) << "the reserved number is released";
}

TEST_F(EditInPlaceTest, AReservedNumberCollidingWithALeftOverRecordIsGivenAtInsert) {
  Open(2, [this](BrowseWindow& w) {
    SaveOnEveryEnd(w);
    // A station that ended without inserting left its reserved record.
    Station crashed(path, errors);
    ASSERT_EQ(crashed.relation.Open(), SeverityOk);
    ASSERT_EQ(crashed.files.PrimeRecord(false), SeverityOk);
    crashed.files.SetThread().AUTOINCDONE = 0;
    (void)crashed.relation.Close();
    (void)w;
  });
  Key(KeyCode::Insert);
  EXPECT_TRUE(backend.MessageBoxRequests().empty()) << "no \"Try Again?\"";
  Press(KeyCode::Tab, "http://after.example/");
  Press(KeyCode::Enter, "numbered at insert");
  EXPECT_TRUE(backend.MessageBoxRequests().empty());
  EXPECT_EQ(Edit().control, 0);
  const std::vector<Stored> stored = Records();
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(stored[0], (Stored{3, "", ""})) << "the left-over record";
  EXPECT_EQ(stored[1], (Stored{4, "http://after.example/", "numbered at insert"}));
}

TEST_F(EditInPlaceTest, AChangeFromAnotherStationIsReportedOnSaveAndNothingIsLost) {
  Open(3, SaveOnEveryEnd);
  Post(EventCode::ScrollDown);
  Key(KeyCode::CtrlEnter);
  Records();  // opens the other station
  driver.WithWindow(id, [&](runtime::ui::Window&) {
    other->Url().SetText(Site(2));
    ASSERT_EQ(other->files.Fetch(testing_support::NameKey), SeverityOk);
    other->Description().SetText("theirs");
    ASSERT_EQ(other->files.Update(), SeverityOk);
  });
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(ButtonOk);
  Press(KeyCode::Enter, "mine");
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  EXPECT_EQ(backend.MessageBoxRequests()[0].caption, "Record Was Not Updated");
  EXPECT_EQ(Edit().text, "mine") << "the row stays in editing with the typed value";
  EXPECT_EQ(Records()[1].description, "theirs") << "the other station's change was not overwritten unseen";
  Press(KeyCode::Enter);
  EXPECT_EQ(Edit().control, 0);
  EXPECT_EQ(Records()[1].description, "mine") << "saved once the user has seen the message";
}

// Another station deletes or changes the highlighted bookmark before the
// user acts on it: the action reaches that bookmark or none.
class OtherStationTest : public EditInPlaceTest {
 protected:
  void OtherDeletes(const std::string& url) {
    Records();  // opens the other station
    driver.WithWindow(id, [&](runtime::ui::Window&) {
      other->Url().SetText(url);
      ASSERT_EQ(other->files.Fetch(testing_support::NameKey), SeverityOk);
      ASSERT_EQ(other->file->Delete(), runtime::NoError);
    });
  }
  void OtherDescribes(const std::string& url, const std::string& description) {
    Records();
    driver.WithWindow(id, [&](runtime::ui::Window&) {
      other->Url().SetText(url);
      ASSERT_EQ(other->files.Fetch(testing_support::NameKey), SeverityOk);
      other->Description().SetText(description);
      ASSERT_EQ(other->files.Update(), SeverityOk);
    });
  }
  std::vector<std::string> StoredUrls() {
    std::vector<std::string> urls;
    for (const Stored& record : Records()) urls.push_back(record.url);
    return urls;
  }
  void ExpectToldGone() {
    ASSERT_EQ(Captions(), (std::vector<std::string>{"Record Not Found"}));
    EXPECT_EQ(backend.MessageBoxRequests()[0].text,
              "This record was deleted by another station. The list will now be shown without it.");
  }
};

TEST_F(OtherStationTest, DeletingARowAnotherStationDeletedDeletesNoOtherBookmark) {
  Open(3);
  Post(EventCode::ScrollDown);
  OtherDeletes(Site(2));
  backend.MessageBoxes().Script(ButtonOk);
  driver.Click(id, kDelete);
  ASSERT_TRUE(driver.WaitIdle(1));
  ExpectToldGone();
  EXPECT_EQ(StoredUrls(), (Urls{Site(1), Site(3)})) << "no other bookmark was deleted in its place";
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(3)})) << "the list was read again";
}

TEST_F(OtherStationTest, ChangingARowAnotherStationDeletedWritesNothing) {
  Open(3, SaveOnEveryEnd);
  Post(EventCode::ScrollDown);
  OtherDeletes(Site(2));
  backend.MessageBoxes().Script(ButtonOk);
  Key(KeyCode::CtrlEnter);
  ExpectToldGone();
  EXPECT_EQ(Edit().control, 0) << "no edit starts on a deleted bookmark";
  EXPECT_EQ(Records(), (std::vector<Stored>{{1, Site(1), "about " + Site(1)}, {3, Site(3), "about " + Site(3)}}));
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(3)}));
}

TEST_F(OtherStationTest, ARowDeletedElsewhereDuringItsEditEndsTheEditWithoutWriting) {
  Open(3, SaveOnEveryEnd);
  Post(EventCode::ScrollDown);
  Key(KeyCode::CtrlEnter);
  OtherDeletes(Site(2));
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(ButtonOk);
  Press(KeyCode::Enter, "mine");
  ExpectToldGone();
  EXPECT_EQ(Edit().control, 0) << "the row ends: it cannot be saved again";
  EXPECT_EQ(Records(), (std::vector<Stored>{{1, Site(1), "about " + Site(1)}, {3, Site(3), "about " + Site(3)}}));
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(3)}));
}

TEST_F(OtherStationTest, AnEditStartsFromTheStoredValuesAndSavesNoStaleColumn) {
  Open(3, SaveOnEveryEnd);
  Post(EventCode::ScrollDown);
  OtherDescribes(Site(2), "theirs");
  EXPECT_EQ(Cell(2, 1), "about " + Site(2)) << "the list still shows what it read";

  Key(KeyCode::CtrlEnter);
  EXPECT_EQ(Cell(2, 1), "theirs") << "the edited row shows the stored values";
  Press(KeyCode::Tab);
  EXPECT_EQ(Edit().text, "theirs");
  Press(KeyCode::Enter);
  EXPECT_TRUE(backend.MessageBoxRequests().empty()) << "nothing changed, nothing saved";
  EXPECT_EQ(Records()[1].description, "theirs");

  OtherDescribes(Site(2), "theirs again");
  Key(KeyCode::CtrlEnter);
  Press(KeyCode::Enter, "http://www.site-002b.example/");
  EXPECT_TRUE(backend.MessageBoxRequests().empty());
  EXPECT_EQ(Records()[1], (Stored{2, "http://www.site-002b.example/", "theirs again"}))
      << "only the column the user changed is written";
}

}  // namespace
}  // namespace marlinden::testing
