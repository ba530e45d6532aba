#include "data/FileManager.h"

#include <algorithm>
#include <optional>

#include "data/ManagerRegistry.h"
#include "data/RecordDeleter.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/system/ThreadNumber.h"
#include "runtime/values/FieldBindings.h"

namespace marlinden {

namespace {
constexpr std::size_t kFileNameWidth = 256;
constexpr std::size_t kPositionWidth = 512;
}  // namespace

// --- Life cycle --------------------------------------------------------------

void FileManager::Init(runtime::DataFile& file, ErrorManager& errors) {
  FILE = &file;
  ERRORS = &errors;
  BUFFER = &file.Record();
  BUFFERS.Free();
  INFO.Free();
  KEYS.Free();
  SAVED.Free();
  SKIPHELDRECORDS = 0;
  OPENMODE = runtime::AccessReadWrite | runtime::ShareDenyNone;
  CREATE = 1;
  LOCKRECOVER = 10;
  PRIMARYKEY = 0;
  LAZYOPEN = 1;
  HASAUTOINC = 0;
  FILENAMEVALUE = std::string(runtime::CutToWidth(file.Name(), kFileNameWidth));
  killed_ = false;
  ManagerRegistry::Register(file.Label(), *this);
}

void FileManager::Kill() {
  if (killed_ || FILE == nullptr) return;
  killed_ = true;
  ManagerRegistry::Unregister(FILE->Label());
  for (std::size_t i = 1; i <= FILE->Layout().FieldCount(); ++i) {
    const std::string& label = FILE->Layout().Field(i).label;
    // Only take back bindings that still point into this file's record.
    if (auto bound = runtime::FindBoundField(label);
        bound && bound->Bytes().data() == BUFFER->Field(i).Bytes().data()) {
      runtime::UnbindField(label);
    }
  }
  INFO.Free();
  KEYS.Free();
  BUFFERS.Free();
  SAVED.Free();
}

// --- Errors ------------------------------------------------------------------

FileManager::FileState& FileManager::SetThread() {
  const std::int32_t id = FILE->IsThreaded() ? runtime::CurrentThreadNumber() : 1;
  FileState* state = INFO.Find([id](const FileState& s) { return s.ID == id; });
  if (state == nullptr) {
    INFO.Add(FileState{id});
    state = INFO.Get(INFO.Records());
  }
  ERRORS->SetFileName(FileName());
  return *state;
}

void FileManager::SetError(std::uint16_t id) {
  ERRORS->CaptureErrors();
  SetThread().LASTERROR = id;
}

Severity FileManager::Raise(std::uint16_t id) {
  SetError(id);
  return HandleError();
}

Severity FileManager::HandleError() { return ERRORS->HandleError(SetThread().LASTERROR); }

Severity FileManager::RaiseMessage(std::uint16_t id, std::string_view text) { return ERRORS->RaiseMessage(id, text); }

std::string FileManager::FileName() const {
  if (FILENAME != nullptr) return FILENAME->Clipped();
  return std::string(runtime::Clip(FILENAMEVALUE));
}

// --- Opening and closing -------------------------------------------------------

void FileManager::BindFields() {
  for (std::size_t i = 1; i <= FILE->Layout().FieldCount(); ++i) {
    runtime::BindField(FILE->Layout().Field(i).label, BUFFER->Field(i));
  }
}

Severity FileManager::Open() { return OpenFile(true, OpenCount::Yes, OpenForce::No); }

Severity FileManager::EndOpen(bool raise) { return raise ? HandleError() : SeverityNotify; }

// Messages shown here and the driver's lock recovery release the runtime
// lock, and another thread may add its state to INFO meanwhile: this
// thread's state is looked up afresh after each of them, never kept.
Severity FileManager::OpenFile(bool raise, OpenCount count, OpenForce force) {
  const bool counting = count == OpenCount::Yes;
  if (force == OpenForce::No && (LAZYOPEN || SetThread().OPENED != 0)) {
    if (counting) ++SetThread().OPENED;
    BindFields();
    return SeverityOk;
  }
  // The error of a create refused because the file exists, kept while the
  // file is opened again.
  std::optional<runtime::RuntimeError> refusedCreate;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::int32_t code = FILE->Open(OPENMODE);
    if (code == runtime::AccessDenied) {
      (void)FILE->SendOption("Recover=" + std::to_string(LOCKRECOVER));
      code = FILE->Open(OPENMODE);
    }
    switch (code) {
      case runtime::NoError:
      case runtime::AlreadyOpen: {
        FileState& state = SetThread();
        state.USED = 1;
        state.ATEOF = 0;
        state.AUTOINCDONE = 0;
        if (counting) ++state.OPENED;
        BindFields();
        return SeverityOk;
      }
      case runtime::FileNotFound:
        if (!CREATE) {
          SetError(MsgOpenFailed);
          return EndOpen(raise);
        }
        if (refusedCreate) {
          const runtime::RuntimeError& error = *refusedCreate;
          (void)runtime::SetError(error.code, error.driverCode, error.driverText);
          SetError(MsgCreateError);
          return EndOpen(raise);
        }
        if (FILE->Create() != runtime::NoError) {
          // Refused as existing: another station (two starting at once on
          // nothing) made the file since the open looked, and it is opened
          // as made. Still missing, the create failed for its own reason.
          if (runtime::LastErrorCode() == runtime::AccessDenied) {
            refusedCreate = runtime::LastError();
            continue;
          }
          SetError(MsgCreateError);
          return EndOpen(raise);
        }
        continue;
      case runtime::AccessDenied:
        if ((OPENMODE & 0x03) == 0) {
          SetError(MsgOpenFailed);
          return EndOpen(raise);
        }
        OPENMODE &= 0xF0;
        (void)Raise(MsgAccessDenied);
        continue;
      case runtime::KeysInvalid:
        SetError(MsgRebuildKey);
        if (!raise) return SeverityNotify;
        (void)HandleError();
        if (FILE->BuildKeys() != runtime::NoError) return Raise(MsgRebuildFailed);
        continue;
      default:
        SetError(MsgOpenFailed);
        return EndOpen(raise);
    }
  }
  SetError(MsgOpenFailed);
  return EndOpen(raise);
}

Severity FileManager::UseFile() {
  FileState& state = SetThread();
  if (!LAZYOPEN || state.USED) return SeverityOk;
  if (state.OPENED == 0) return Raise(MsgUseClosedFile);
  // The physical open must not disturb what the caller put in the buffer.
  std::uint16_t copy = SaveBuffer();
  const Severity result = OpenFile(true, OpenCount::No, OpenForce::Yes);
  RestoreBuffer(copy, true);
  return result;
}

Severity FileManager::Close() {
  FileState& state = SetThread();
  if (state.OPENED > 0 && --state.OPENED == 0) {
    if (state.USED) (void)FILE->Close();
    state.USED = 0;
  }
  return SeverityOk;
}

bool FileManager::AtEnd() { return SetThread().ATEOF != 0; }

// --- Adding, changing, reading -------------------------------------------------

Severity FileManager::Insert() {
  if (UseFile() != SeverityOk) return SeverityFatal;
  if (ValidateRecord(nullptr) != SeverityOk) return SeverityNotify;
  std::int32_t code = runtime::NoError;
  if (!HASAUTOINC) {
    code = FILE->Add();
  } else if (SetThread().AUTOINCDONE) {
    code = FILE->Put();
  } else if (PrimeAutoInc() != SeverityOk) {
    return SeverityNotify;
  }
  if (code == runtime::NoError) {
    SetThread().AUTOINCDONE = 0;
    return SeverityOk;
  }
  if (code == runtime::DuplicateKey) {
    // Without a record added in advance, forget the current record so the
    // duplicate test treats the buffer as a new one.
    if (!HASAUTOINC) (void)FILE->GetAt({});
    for (const KeyEntry& entry : KEYS) {
      if (FILE->Duplicate(entry.KEY)) {
        (void)RaiseMessage(MsgDuplicateKey, entry.DESCRIPTION);
        break;
      }
    }
    return SeverityNotify;
  }
  SetError(MsgInsertError);
  return HandleError();
}

Severity FileManager::UpdateRecord(UpdateMode mode) {
  if (UseFile() != SeverityOk) return SeverityFatal;
  if (ValidateRecord(nullptr) != SeverityOk) return SeverityNotify;
  const std::string position = Position();
  const std::int32_t code = FILE->Put();
  if (code == runtime::NoError) return SeverityOk;
  if (code == runtime::ChangedByOther) {
    SetError(mode == UpdateMode::RaiseWithRecall ? MsgRecordChangedRecall : MsgRecordChanged);
    if (mode != UpdateMode::Quiet) (void)HandleError();
    // Show the other station's version of the record.
    (void)FILE->Watch();
    (void)TryReget(position);
    return SeverityNotify;
  }
  if (code == runtime::RecordNotFound) {
    // Deleted by another station since it was read (or never read): nothing
    // is written in its place.
    SetError(MsgRecordDeletedElsewhere);
    if (mode != UpdateMode::Quiet) (void)HandleError();
    return SeverityNotify;
  }
  SetError(MsgPutError);
  return mode == UpdateMode::Quiet ? SeverityNotify : HandleError();
}

Severity FileManager::ReadNext(bool raise) {
  if (UseFile() != SeverityOk) return SeverityFatal;
  for (;;) {
    SetThread().ATEOF = 0;
    const std::int32_t code = FILE->Next();
    if (code == runtime::NoError) return SeverityOk;
    if (code == runtime::NoRecord) {
      SetThread().ATEOF = 1;
      return SeverityNotify;
    }
    if (code == runtime::RecordHeld) {
      if (SKIPHELDRECORDS) continue;
      SetError(MsgRecordHeld);
      return raise ? HandleError() : SeverityNotify;
    }
    SetError(MsgRetrievalError);
    return raise ? HandleError() : SeverityFatal;
  }
}

Severity FileManager::TryFetch(std::size_t key) {
  if (UseFile() != SeverityOk) return SeverityFatal;
  return FILE->Get(key) == runtime::NoError ? SeverityOk : SeverityNotify;
}

Severity FileManager::Fetch(std::size_t key) {
  const Severity result = TryFetch(key);
  if (result != SeverityOk) FILE->ClearBuffer();
  return result;
}

Severity FileManager::TryReget(std::string_view position) {
  if (UseFile() != SeverityOk) return SeverityFatal;
  return FILE->Reget(position) == runtime::NoError ? SeverityOk : SeverityNotify;
}

std::string FileManager::Position() {
  if (UseFile() != SeverityOk) return {};
  std::string position = FILE->Position(PRIMARYKEY != 0 ? KEYS.Get(PRIMARYKEY)->KEY : 0);
  if (position.size() > kPositionWidth) position.resize(kPositionWidth);
  return position;
}

// --- Saved buffers and positions ---------------------------------------------

std::uint16_t FileManager::SaveBuffer() {
  std::int32_t highest = 0;
  for (const SavedBuffer& saved : BUFFERS) highest = std::max(highest, saved.ID);
  const auto id = static_cast<std::uint16_t>(highest + 1);
  std::string_view record = runtime::Clip(BUFFER->View());
  if (record.empty()) record = BUFFER->View().substr(0, 1);
  BUFFERS.Add(SavedBuffer{id, std::string(record)});
  for (std::size_t i = 1; i <= FILE->Layout().MemoCount(); ++i) {
    BUFFERS.Add(SavedBuffer{id + static_cast<std::int32_t>(i), std::string(runtime::Clip(BUFFER->Memo(i)))});
  }
  return id;
}

void FileManager::RestoreBuffer(std::uint16_t& id, bool restore) {
  if (id == 0 && !restore) return;
  const std::size_t memos = FILE->Layout().MemoCount();
  for (std::size_t i = 0; i <= memos; ++i) {
    const std::int32_t wanted = id + static_cast<std::int32_t>(i);
    SavedBuffer* saved = BUFFERS.Find([wanted](const SavedBuffer& s) { return s.ID == wanted; });
    if (saved == nullptr) continue;
    if (restore) {
      if (i == 0) {
        BUFFER->Assign(saved->BUFFER);
      } else {
        BUFFER->SetMemo(i, saved->BUFFER);
      }
    }
    BUFFERS.Delete(BUFFERS.Pointer());
  }
  id = 0;
}

bool FileManager::EqualBuffer(std::uint16_t id) {
  if (UseFile() != SeverityOk) return false;
  const std::size_t memos = FILE->Layout().MemoCount();
  for (std::size_t i = 0; i <= memos; ++i) {
    const std::int32_t wanted = id + static_cast<std::int32_t>(i);
    const SavedBuffer* saved = BUFFERS.Find([wanted](const SavedBuffer& s) { return s.ID == wanted; });
    if (saved == nullptr) return false;
    const std::string_view current = i == 0 ? BUFFER->View() : std::string_view(BUFFER->Memo(i));
    // Both sides compare space-padded, byte for byte.
    if (runtime::Clip(current) != runtime::Clip(saved->BUFFER)) return false;
  }
  return true;
}

std::uint16_t FileManager::SaveFile() {
  SavedPosition saved;
  saved.ID = SAVED.Empty() ? 1 : static_cast<std::uint16_t>(SAVED.Get(SAVED.Records())->ID + 1);
  saved.BUFFER = SaveBuffer();
  saved.KEY = FILE->CurrentOrder();
  saved.WHELD = FILE->IsHeld();
  saved.WWATCH = FILE->IsWatched();
  saved.POS = FILE->Position(saved.KEY);
  if (saved.POS.size() > kPositionWidth) saved.POS.resize(kPositionWidth);
  const std::uint16_t id = saved.ID;
  SAVED.Add(std::move(saved));
  return id;
}

void FileManager::RestoreFile(std::uint16_t& id) {
  if (UseFile() != SeverityOk) return;
  const std::uint16_t wanted = id;
  SavedPosition* found = SAVED.Find([wanted](const SavedPosition& s) { return s.ID == wanted; });
  if (found == nullptr) return;
  SavedPosition saved = *found;
  SAVED.Delete(SAVED.Pointer());
  if (saved.POS.empty()) {
    (void)FILE->SetOrder(saved.KEY);
  } else {
    (void)FILE->SetOrderAtPosition(saved.KEY, saved.POS);
    (void)FILE->Next();  // re-reads the saved record
    if (saved.WHELD) (void)FILE->Hold();
  }
  if (saved.WWATCH) (void)FILE->Watch();
  RestoreBuffer(saved.BUFFER, true);
  id = 0;
}

// --- Validation ----------------------------------------------------------------

Severity FileManager::ValidateField(std::size_t fieldNumber) {
  if (ALIASEDFILE != nullptr) return WithAliasedBuffer([&] { return ALIASEDFILE->ValidateField(fieldNumber); });
  return SeverityOk;
}

Severity FileManager::ValidateFields(std::size_t first, std::size_t last, std::size_t* failedField) {
  if (ALIASEDFILE != nullptr) {
    return WithAliasedBuffer([&] { return ALIASEDFILE->ValidateFields(first, last, failedField); });
  }
  for (std::size_t field = first; field <= last; ++field) {
    const Severity result = ValidateField(field);
    if (result != SeverityOk) {
      if (failedField != nullptr) *failedField = field;
      return result;
    }
  }
  return SeverityOk;
}

Severity FileManager::ValidateRecord(std::size_t* failedField) {
  if (ALIASEDFILE != nullptr) return WithAliasedBuffer([&] { return ALIASEDFILE->ValidateRecord(failedField); });
  return ValidateFields(1, FILE->Layout().FieldCount(), failedField);
}

Severity FileManager::WithAliasedBuffer(const std::function<Severity()>& check) {
  std::uint16_t saved = ALIASEDFILE->SaveBuffer();
  ALIASEDFILE->BUFFER->Assign(BUFFER->View());
  const Severity result = check();
  ALIASEDFILE->RestoreBuffer(saved, true);
  return result;
}

}  // namespace marlinden
