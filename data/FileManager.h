// The file manager: owns every access to one data file. Opens lazily with
// use counts, creates a missing file, rebuilds keys, recovers locks and falls
// back to read-only; adds, changes and reads records with the standard
// messages; saves and restores the record buffer and the file position around
// nested work; describes the file's keys and numbers new records
// automatically. Every failure goes through the error manager and every
// operation returns a severity. Called from runtime threads under the runtime
// lock; per-thread state is kept by runtime thread number.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "errors/ErrorManager.h"
#include "errors/Severity.h"
#include "runtime/files/DataFile.h"
#include "runtime/queue/Queue.h"
#include "runtime/text/FixedText.h"
#include "runtime/values/FieldRef.h"

namespace marlinden {

class RecordDeleter;

class FileManager {
 public:
  // Per-thread state (thread 1 for a file that is not per-thread).
  struct FileState {
    std::int32_t ID = 0;           // thread number
    std::uint8_t USED = 0;         // physically open for this thread
    std::uint16_t OPENED = 0;      // open count
    std::uint8_t ATEOF = 0;        // the last Next hit the end
    std::uint8_t AUTOINCDONE = 0;  // the current record was added by auto-numbering
    std::uint16_t LASTERROR = 0;   // id of the last recorded message
  };

  struct SavedBuffer {
    std::int32_t ID = 0;
    std::string BUFFER;  // stored without trailing spaces
  };

  struct SavedPosition {
    std::uint16_t BUFFER = 0;  // id of the SavedBuffer taken with it
    std::uint16_t ID = 0;
    std::uint8_t WHELD = 0;
    std::uint8_t WWATCH = 0;
    std::string POS;      // position text, at most 512 bytes
    std::size_t KEY = 0;  // key order in use, 0 = record order
  };

  struct KeyComponent {
    runtime::FieldRef FIELD;
    std::string FIELDNAME;  // label, or "UPPER(" label ")" for text of a case-insensitive key
    std::uint8_t ASCEND = 1;
  };

  struct KeyEntry {
    std::size_t KEY = 0;      // key number in the file's layout
    std::string DESCRIPTION;  // at most 80 bytes
    runtime::Queue<KeyComponent> FIELDS;
    std::uint8_t AUTOINC = 0;  // number of the auto-numbered component, 0 = none
    std::uint8_t DUPS = 0;
    std::uint8_t NOCASE = 0;
  };

  enum class UpdateMode : std::uint8_t { Quiet = 0, Raise = 1, RaiseWithRecall = 2 };

  virtual ~FileManager() = default;

  // Sets FILE and ERRORS (both borrowed, they must outlive the manager's
  // Kill), the defaults, FILENAMEVALUE from the file's name; registers in
  // the ManagerRegistry.
  void Init(runtime::DataFile& file, ErrorManager& errors);
  // Unregisters and frees the queues; a second call does nothing.
  void Kill();

  // --- Virtual operations -------------------------------------------------
  virtual void BindFields();
  virtual Severity CancelAutoInc(RecordDeleter* relationManager);
  virtual Severity Close();
  virtual bool EqualBuffer(std::uint16_t id);
  virtual Severity Insert();
  virtual Severity Open();
  virtual Severity PrimeAutoInc();
  virtual Severity PrimeFields();
  virtual Severity PrimeRecord(bool keepBuffer);
  virtual Severity Raise(std::uint16_t id);
  virtual Severity HandleError();
  virtual Severity RaiseMessage(std::uint16_t id, std::string_view text);
  virtual Severity TryPrimeAutoInc();
  virtual Severity ValidateField(std::size_t fieldNumber);
  virtual Severity ValidateFields(std::size_t first, std::size_t last, std::size_t* failedField);
  virtual Severity ValidateRecord(std::size_t* failedField);

  // --- Keys (call once per key after Init) --------------------------------
  void AddKey(std::size_t key, std::string_view description, std::uint8_t autoIncComponent);

  // --- Using the file -----------------------------------------------------
  // Requires: Open was called (with LAZYOPEN). Opens physically on first use.
  Severity UseFile();
  Severity Update() { return UpdateRecord(UpdateMode::Raise); }
  Severity TryUpdate() { return UpdateRecord(UpdateMode::Quiet); }
  // The shared core of Update and TryUpdate; RaiseWithRecall is for forms
  // that can recall the user's values.
  Severity UpdateRecord(UpdateMode mode);
  Severity Next() { return ReadNext(true); }
  Severity TryNext() { return ReadNext(false); }
  Severity TryFetch(std::size_t key);
  Severity Fetch(std::size_t key);
  Severity TryReget(std::string_view position);
  std::string Position();

  std::uint16_t SaveBuffer();
  void RestoreBuffer(std::uint16_t& id, bool restore);
  std::uint16_t SaveFile();
  void RestoreFile(std::uint16_t& id);

  bool AtEnd();
  std::string FileName() const;

  // --- Key utilities ------------------------------------------------------
  std::string KeyOrderText(std::size_t key, std::size_t firstComponent);
  std::size_t ComponentCount(std::size_t key);
  std::string ComponentName(std::size_t key, std::size_t n);
  runtime::FieldRef ComponentField(std::size_t key, std::size_t n);
  void ClearKey(std::size_t key, std::size_t first, std::size_t last, bool highEnd);

  // --- Internal steps, public for the relation and view managers ----------
  FileState& SetThread();
  void SetError(std::uint16_t id);

  // --- Fields -------------------------------------------------------------
  // Set by Init and the file's own initialisation; borrowed references.
  FileManager* ALIASEDFILE = nullptr;
  runtime::RecordBuffer* BUFFER = nullptr;
  runtime::Queue<SavedBuffer> BUFFERS;
  std::uint8_t CREATE = 1;
  ErrorManager* ERRORS = nullptr;
  runtime::DataFile* FILE = nullptr;
  const runtime::FixedText<255>* FILENAME = nullptr;  // a run-time file name, or none
  std::string FILENAMEVALUE;                          // at most 256 bytes
  std::uint8_t HASAUTOINC = 0;
  runtime::Queue<FileState> INFO;
  runtime::Queue<KeyEntry> KEYS;
  std::uint8_t LAZYOPEN = 1;
  std::int16_t LOCKRECOVER = 10;
  std::uint8_t OPENMODE = 0x42;
  std::uint8_t PRIMARYKEY = 0;
  runtime::Queue<SavedPosition> SAVED;
  std::uint8_t SKIPHELDRECORDS = 0;

 private:
  enum class OpenCount : bool { No, Yes };
  enum class OpenForce : bool { No, Yes };
  Severity OpenFile(bool raise, OpenCount count, OpenForce force);
  // Ends an open that recorded a message: shown when raising.
  Severity EndOpen(bool raise);
  Severity ReadNext(bool raise);
  Severity NumberRecord(bool raise);
  // Reads the highest number of an auto-numbered key into the buffer's
  // component; false when the read failed (message recorded).
  bool NextAutoNumber(KeyEntry& entry, std::int64_t& number);
  std::string GroupPrefix(KeyEntry& entry, std::size_t count);
  KeyEntry* FindKey(std::size_t key);
  // Runs check of the aliased manager with this manager's record in its
  // buffer, then puts the aliased buffer back.
  Severity WithAliasedBuffer(const std::function<Severity()>& check);

  bool killed_ = false;
};

}  // namespace marlinden
