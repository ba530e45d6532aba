// The window manager: the base class of every procedure's window object.
// It owns one window's life - Init, the event loop, the dispatch of each
// event to overridable handlers, the completion of an insert, change or
// delete on a record form, the refusal or confirmation of a close, and Kill -
// and drives the browse lists, toolbar, resizer and close buttons registered
// with it.
//
// A procedure derives from it and overrides what it changes, calling the
// base operation before or after its own step:
//   Init: base Init, then set FIRSTFIELD and ERRORS, register the toolbar,
//         clear RequestCode and ResponseCode, register close buttons, open
//         the files, OpenWindow, OPENED = 1, restore the position, add the
//         browses, SetAlerts.
//   Kill: base Kill (stop unless it returned SeverityOk), close the files,
//         save the position, CloseWindow.
// The caller of the procedure stores Run's result in ResponseCode.
//
// Handlers return a severity: SeverityOk carries on, SeverityFatal ends the
// event loop, SeverityNotify means the event was dealt with (a close is
// refused, the window stays open).
//
// Thread: the runtime thread that runs the procedure, holding the runtime
// lock. Event handlers read the event being handled from ThisEvent().
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "errors/ErrorManager.h"
#include "errors/Severity.h"
#include "runtime/queue/Queue.h"
#include "runtime/ui/Event.h"
#include "runtime/ui/Window.h"
#include "runtime/ui/WindowDescription.h"
#include "runtime/values/FieldBindings.h"
#include "runtime/values/FieldRef.h"
#include "runtime/values/Value.h"
#include "window/Globals.h"
#include "window/WindowItems.h"

namespace marlinden {

// The toolbar's history button restores the focused field.
inline constexpr std::int32_t kToolbarHistoryButton = 2011;
// The alert slot Escape takes on a form's controls (PressOnEscape); the
// last slot is the field history's.
inline constexpr std::size_t kEscapeAlertSlot = 254;

class WindowManager {
 public:
  struct BrowseEntry {
    BrowseItem* BROWSE = nullptr;  // borrowed
  };
  struct ButtonEntry {
    std::int32_t CONTROL = 0;
    std::uint8_t ACTION = 0;  // the response the button sets
  };
  struct FileDropEntry {
    FileDropItem* FILEDROP = nullptr;  // borrowed
  };
  struct FileEntry {
    FileManager* FILE = nullptr;  // borrowed
    std::uint16_t SAVED = 0;      // buffer snapshot, 0 = none
  };
  struct HistoryEntry {
    runtime::FieldRef FIELD;    // the live field (borrowed storage)
    runtime::Value SAVEDVALUE;  // its copy, taken when a record completes
    std::int32_t CONTROL = 0;
    std::string PICTURE;
  };

  WindowManager() = default;
  virtual ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // --- Virtual operations, in slot order ---------------------------------------
  virtual void Ask();
  virtual Severity Init();
  // SeverityNotify, doing nothing, when killed already or never initialised.
  virtual Severity Kill();
  virtual void Open();
  // Gives a new record its initial values; empty here.
  virtual void PrimeFields();
  // Prepares the primary record for REQUEST; called by a record form's Init.
  virtual Severity PrepareUpdate();
  virtual void Reset(std::uint8_t force = 0);
  virtual void RestoreField(std::int32_t control);
  // Init, Ask when Init succeeded, Kill; returns RESPONSE (ResponseCancelled
  // when none was set).
  virtual std::uint8_t Run();
  virtual std::uint8_t RunProcedure(std::uint16_t number, std::uint8_t request);
  virtual void SetAlerts();
  virtual void SetResponse(std::uint8_t response);
  virtual Severity TakeAccepted();
  virtual Severity TakeCompleted();
  virtual Severity TakeCloseEvent();
  virtual Severity TakeEvent();
  virtual Severity TakeFieldEvent();
  virtual Severity TakeNewSelection();
  virtual Severity TakeRejected();
  virtual Severity TakeSelected();
  virtual Severity TakeWindowEvent();
  virtual void Update();

  // --- Registration (borrowed items; they must outlive Kill) ---------------------
  void AddItem(ResizerItem& resizer);
  void AddItem(ToolbarItem& toolbar);
  // A close button: accepting control closes the window with response action.
  void AddItem(std::int32_t control, std::uint8_t action);
  // Requires: Init ran.
  void AddItem(BrowseItem& browse);
  // Requires: Init ran.
  void AddFileDrop(FileDropItem& fileDrop);
  // A secondary file whose buffer is snapshot with the primary's.
  void AddFile(FileManager& file);
  // A history field: a completed record keeps a copy of field, which the
  // history key (or button) on control brings back.
  void AddHistory(runtime::FieldRef field, std::int32_t control, std::string picture = {});

  void PostCompleted();
  void SaveHistory();

  // --- The window -----------------------------------------------------------------
  // Opens the window from its description; the manager owns it until
  // CloseWindow or destruction. Requires: a runtime thread holding the lock.
  runtime::ui::Window& OpenWindow(const runtime::ui::WindowDescription& description);
  // nullptr before OpenWindow and after CloseWindow.
  runtime::ui::Window* GetWindow() const { return window_.get(); }
  void CloseWindow() { window_.reset(); }

  // --- Fields ---------------------------------------------------------------------
  std::uint8_t AUTOREFRESH = 0;
  std::uint8_t AUTOTOOLBAR = 0;
  std::unique_ptr<runtime::Queue<BrowseEntry>> BROWSES;
  std::unique_ptr<runtime::Queue<ButtonEntry>> BUTTONS;
  std::unique_ptr<runtime::Queue<FileDropEntry>> FILEDROPS;
  std::uint8_t CANCELACTION = 0;  // bit 1: save the changes, bit 2: ask first
  std::uint8_t CHANGEACTION = 0;
  std::uint8_t DEAD = 0;
  std::uint8_t DELETEACTION = 0;
  ErrorManager* ERRORS = nullptr;  // borrowed
  std::unique_ptr<runtime::Queue<FileEntry>> FILES;
  std::int32_t FIRSTFIELD = 0;
  std::uint8_t FORCEDRESET = 0;
  std::uint8_t RESETONGAINFOCUS = 0;
  std::unique_ptr<runtime::Queue<HistoryEntry>> HISTORY;
  std::int32_t HISTORYKEY = 0;  // a runtime::ui::KeyCode, 0 = none
  std::uint8_t INITED = 0;      // bit 1: opened, bit 2: first sized event seen
  std::uint8_t INSERTACTION = 0;
  std::string LASTINSERTEDPOSITION;  // at most 512 bytes
  std::int32_t OKCONTROL = 0;
  std::uint8_t OPENED = 0;
  std::uint8_t ORIGINALREQUEST = 0;
  RelationManager* PRIMARY = nullptr;  // borrowed
  std::uint8_t REQUEST = 0;
  ResizerItem* RESIZE = nullptr;  // borrowed
  std::uint8_t RESPONSE = 0;
  std::uint16_t SAVED = 0;
  ToolbarItem* TOOLBAR = nullptr;    // borrowed
  Translator* TRANSLATOR = nullptr;  // borrowed
  std::int32_t* VCRREQUEST = &VcrRequest;

 protected:
  // The event being handled; an empty event outside the event loop.
  const runtime::ui::Event& ThisEvent() const;
  // Selects FIRSTFIELD (when set) in the window.
  void SelectFirstField();
  // Escape on any control presses button (the form's Cancel or Close), as
  // in a desktop dialog: SetAlerts makes Escape an alert key of every
  // control, TakeFieldEvent posts the button's Accepted for it. Call
  // before SetAlerts.
  void PressOnEscape(std::int32_t button) { escapeButton_ = button; }

 private:
  enum class Repeat : std::uint8_t { No, Yes };
  Severity CompleteInsert();
  Severity CompleteBatchInsert();
  Repeat CompleteChange();
  Repeat CompleteDelete();
  // The answer to a Yes/No/Cancel question, Cancel the default.
  std::uint32_t AskYesNoCancel(std::uint16_t id);
  // Raises a message by id: SeverityOk for Yes, SeverityCancel for No.
  Severity RaiseQuestion(std::uint16_t id);
  ErrorManager* Errors() const;
  void PostToWindow(runtime::ui::EventCode code, std::int32_t control = 0);
  void PostSave();

  std::unique_ptr<runtime::ui::Window> window_;
  std::unique_ptr<runtime::BindingScope> scope_;  // from Init to Kill
  bool closedByButton_ = false;                   // the pending close comes from a close button
  std::int32_t escapeButton_ = 0;                 // pressed by Escape; 0 = none
};

}  // namespace marlinden
