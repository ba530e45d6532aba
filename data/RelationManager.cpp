#include "data/RelationManager.h"

#include <algorithm>

#include "errors/MessageIds.h"
#include "runtime/files/Transaction.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/Cursor.h"

namespace marlinden {

std::int32_t PassCounter = 1;

namespace {

// Seconds a transaction waits for locks held by other stations.
constexpr int kLockWaitSeconds = 2;
// Key components cleared after the linking fields when positioning on the
// related records.
constexpr std::size_t kLastKeyComponent = 22;
// How often the user is asked to try a failed delete again before it gives up.
constexpr int kRetryQuestions = 3;

bool TakesPart(std::uint8_t mode) { return mode >= RiClear && mode <= RiCascade; }

}  // namespace

// --- Life cycle ------------------------------------------------------------------

void RelationManager::Init(FileManager& fileManager, bool useLogout) {
  ME = &fileManager;
  RELATIONS.Free();
  USELOGOUT = useLogout ? 1 : 0;
  LASTTOUCHED = 0;
  killed_ = false;
}

void RelationManager::Kill() {
  if (killed_) return;
  killed_ = true;
  if (ME != nullptr) ME->Kill();
  for (RelationEntry& entry : RELATIONS) {
    if (entry.FIELDS) entry.FIELDS->Kill();
  }
  RELATIONS.Free();
}

void RelationManager::AddRelation(RelationManager& related, RiMode updateMode, RiMode deleteMode, std::size_t hisKey) {
  RelationEntry entry;
  entry.FILE = &related;
  entry.FIELDS = std::make_unique<BufferedPairs>();
  entry.FIELDS->Init();
  entry.HISKEY = hisKey;
  entry.UPDATEMODE = updateMode;
  entry.DELETEMODE = deleteMode;
  RELATIONS.Add(std::move(entry));
}

bool RelationManager::AddLinkingFields(runtime::FieldRef left, runtime::FieldRef right) {
  if (RELATIONS.Empty()) return false;
  RelationEntry& last = *RELATIONS.Get(RELATIONS.Records());
  return last.FIELDS->AddPair(left, right);
}

// --- Opening and closing -------------------------------------------------------------

bool RelationManager::EnterPass(bool cascaded) {
  if (!cascaded) {
    ++PassCounter;
  } else if (LASTTOUCHED == PassCounter) {
    return false;
  }
  LASTTOUCHED = PassCounter;
  return true;
}

Severity RelationManager::Open(bool cascaded) {
  if (!EnterPass(cascaded)) return SeverityOk;
  Severity result = ME->Open();
  // The file the caller starts from is opened physically at once.
  if (!cascaded && result == SeverityOk) result = ME->UseFile();
  for (RelationEntry& entry : RELATIONS) {
    if (result != SeverityOk) break;
    result = entry.FILE->Open(true);
  }
  return result;
}

Severity RelationManager::Close(bool cascaded) {
  if (!EnterPass(cascaded)) return SeverityOk;
  Severity result = ME->Close();
  for (RelationEntry& entry : RELATIONS) {
    if (result != SeverityOk) break;
    result = entry.FILE->Close(true);
  }
  return result;
}

void RelationManager::SetQuickScan(bool on, std::uint8_t mode) {
  constexpr std::uint8_t kInPass = 128;
  if (!EnterPass((mode & kInPass) != 0)) return;
  (void)ME->FILE->SendOption(on ? "QUICKSCAN=on" : "QUICKSCAN=off");
  const std::uint8_t scope = mode & ~kInPass;
  if (scope == 0) return;
  for (RelationEntry& entry : RELATIONS) {
    const bool follows = scope == 1 ? entry.HISKEY == 0 : scope == 2 ? entry.HISKEY != 0 : true;
    if (follows) entry.FILE->SetQuickScan(on, static_cast<std::uint8_t>(scope | kInPass));
  }
}

void RelationManager::SaveLinkValues() {
  for (RelationEntry& entry : RELATIONS) {
    if (entry.FIELDS) entry.FIELDS->AssignLeftToBuffer();
  }
}

Severity RelationManager::CancelAutoInc() { return ME->CancelAutoInc(this); }

// --- Transactions ----------------------------------------------------------------------

Severity RelationManager::Enlist() {
  (void)ME->UseFile();
  if (!USELOGOUT) return SeverityOk;
  const std::int32_t code = runtime::EnlistInTransaction(*ME->FILE);
  if (code == runtime::NoError) return SeverityOk;
  if (code == runtime::Unsupported) {
    USELOGOUT = 0;
    return SeverityOk;
  }
  (void)ME->Raise(MsgLogoutError);
  return SeverityNotify;
}

Severity RelationManager::EnlistWalk(Walk walk, Visited& visited) {
  // A cycle of relations reaches a manager again; each is walked once per
  // kind of walk.
  const auto mark = std::make_pair(static_cast<const RelationManager*>(this), walk);
  if (std::find(visited.begin(), visited.end(), mark) != visited.end()) return SeverityOk;
  visited.push_back(mark);
  Severity result = Enlist();
  for (RelationEntry& entry : RELATIONS) {
    if (result != SeverityOk) break;
    switch (walk) {
      case Walk::Update:
        if (entry.UPDATEMODE == RiCascade || entry.UPDATEMODE == RiClear) {
          result = entry.FILE->EnlistWalk(Walk::Update, visited);
        }
        break;
      case Walk::Delete:
        if (entry.DELETEMODE == RiCascade) result = entry.FILE->EnlistWalk(Walk::Delete, visited);
        if (entry.DELETEMODE == RiClear) result = entry.FILE->EnlistWalk(Walk::Clear, visited);
        break;
      case Walk::Clear:
        if (entry.DELETEMODE == RiCascade) result = entry.FILE->EnlistWalk(Walk::Clear, visited);
        // Clearing a record's linking fields is a change of that record, so
        // what its change cascades to is written inside the transaction too.
        if (result == SeverityOk && (entry.UPDATEMODE == RiCascade || entry.UPDATEMODE == RiClear)) {
          result = entry.FILE->EnlistWalk(Walk::Update, visited);
        }
        break;
    }
  }
  return result;
}

Severity RelationManager::EnlistForUpdate() {
  Visited visited;
  return EnlistWalk(Walk::Update, visited);
}

Severity RelationManager::EnlistForDelete() {
  Visited visited;
  return EnlistWalk(Walk::Delete, visited);
}

Severity RelationManager::EnlistForClear() {
  Visited visited;
  return EnlistWalk(Walk::Clear, visited);
}

Severity RelationManager::BeginFrame(Walk walk) {
  Visited visited;
  const Severity enlisted = EnlistWalk(walk, visited);
  if (enlisted != SeverityOk) {
    RollBack();  // drops the marks made so far
    return enlisted;
  }
  if (runtime::BeginTransaction(kLockWaitSeconds) != runtime::NoError) {
    (void)ME->Raise(MsgLogoutError);
    return SeverityNotify;
  }
  return SeverityOk;
}

void RelationManager::RollBack() { (void)runtime::RollbackTransaction(); }

Severity RelationManager::CommitFrame() {
  if (runtime::CommitTransaction() == runtime::NoError) return SeverityOk;
  (void)ME->Raise(MsgLogoutError);
  return SeverityNotify;
}

// --- Update --------------------------------------------------------------------------

Severity RelationManager::Update(bool canRecall) {
  Severity result = Open(false);
  if (result != SeverityOk) {
    (void)Close(false);
    return result;
  }
  if (USELOGOUT) {
    result = BeginFrame(Walk::Update);
    if (result != SeverityOk) {
      (void)Close(false);
      return result;
    }
  }
  // Written quietly, so the transaction is rolled back before the message
  // is shown (a box left open must not hold the other stations' locks).
  ME->SetThread().LASTERROR = 0;
  if (ME->TryUpdate() != SeverityOk) {
    RollBack();
    const std::uint16_t message = ME->SetThread().LASTERROR;
    const bool changedElsewhere = message == MsgRecordChanged;
    const bool deletedElsewhere = message == MsgRecordDeletedElsewhere;
    // A form that can recall the user's values says how (message 7).
    if (changedElsewhere && canRecall) ME->SetThread().LASTERROR = MsgRecordChangedRecall;
    // A record refused by validation was reported by the validation.
    if (changedElsewhere || deletedElsewhere || message == MsgPutError) (void)ME->HandleError();
    (void)Close(false);
    return changedElsewhere || deletedElsewhere ? SeverityNotify : SeverityUser;
  }
  for (RelationEntry& entry : RELATIONS) {
    if (!TakesPart(entry.UPDATEMODE) || entry.FIELDS->EqualLeftBuffer()) continue;
    result = entry.FILE->CascadeUpdate(entry.HISKEY, *entry.FIELDS, entry.UPDATEMODE);
    if (result != SeverityOk) {
      // The record keeps its old linking values, as the file does again.
      entry.FIELDS->AssignBufferToLeft();
      RollBack();
      (void)Close(false);
      return result;
    }
  }
  result = CommitFrame();
  (void)Close(false);
  return result;
}

Severity RelationManager::UpdateWithCascade() {
  for (RelationEntry& entry : RELATIONS) {
    if (!TakesPart(entry.UPDATEMODE) || entry.FIELDS->EqualLeftBuffer()) continue;
    if (entry.FILE->CascadeUpdate(entry.HISKEY, *entry.FIELDS, entry.UPDATEMODE) != SeverityOk) {
      entry.FIELDS->AssignBufferToLeft();
      return SeverityNotify;
    }
  }
  if (ME->TryUpdate() == SeverityOk) return SeverityOk;
  ME->SetError(MsgPutError);
  RollBack();
  return ME->HandleError();
}

Severity RelationManager::FailRead() {
  // A related record that cannot be read (a read error, or one held by
  // another station) would otherwise be passed over and keep its links.
  RollBack();
  (void)ME->HandleError();
  return SeverityNotify;
}

Severity RelationManager::CascadeUpdate(std::size_t hisKey, BufferedPairs& pairs, std::uint8_t mode) {
  if (ME->UseFile() != SeverityOk) {
    RollBack();
    return SeverityNotify;
  }
  std::uint16_t saved = ME->SaveFile();
  ME->FILE->ClearBuffer();
  // Position on the first record that carries the parent's old values.
  pairs.AssignBufferToRight();
  ME->ClearKey(hisKey, pairs.Records() + 1, kLastKeyComponent, false);
  (void)ME->FILE->SetOrderAtBuffer(hisKey);
  Severity result = SeverityOk;
  for (;;) {
    const Severity read = ME->TryNext();
    if (read != SeverityOk) {
      if (!ME->AtEnd()) result = FailRead();
      break;
    }
    if (!pairs.EqualRightBuffer()) break;  // the records of another parent
    SaveLinkValues();
    if (mode == RiRestrict) {
      ME->SetError(MsgRestrictUpdate);
      RollBack();
      (void)ME->HandleError();
      pairs.AssignBufferToLeft();
      result = SeverityNotify;
      break;
    }
    if (mode == RiClear) {
      pairs.ClearRight();
    } else if (mode == RiCascade) {
      pairs.AssignLeftToRight();
    } else {
      break;
    }
    if (UpdateWithCascade() != SeverityOk) {
      result = SeverityNotify;
      break;
    }
  }
  ME->RestoreFile(saved);
  return result;
}

// --- Delete --------------------------------------------------------------------------

Severity RelationManager::Delete(bool ask) {
  if (ask && ME->Raise(MsgConfirmDelete) != SeverityOk) return SeverityNotify;
  for (int questions = 1;; ++questions) {
    bool retryable = false;
    const Severity result = DeleteOnce(retryable);
    if (result == SeverityOk || !retryable) return result;
    if (questions > kRetryQuestions || ME->Raise(MsgRetryDelete) != SeverityOk) return result;
  }
}

Severity RelationManager::DeleteOnce(bool& retryable) {
  runtime::ui::BusyCursor busy;
  const std::string position = ME->Position();
  Severity result = Open(false);
  if (result == SeverityOk && USELOGOUT) result = BeginFrame(Walk::Delete);
  if (result != SeverityOk) {
    (void)Close(false);
    return result;
  }
  // Read again inside the transaction: what is deleted is what is stored.
  // A record another station deleted meanwhile is told as such, once.
  if (ME->TryReget(position) != SeverityOk && runtime::LastErrorCode() == runtime::RecordNotFound) {
    RollBack();
    (void)Close(false);
    ME->SetError(MsgRecordDeletedElsewhere);
    (void)ME->HandleError();
    return SeverityNotify;
  }
  for (RelationEntry& entry : RELATIONS) {
    if (!TakesPart(entry.DELETEMODE)) continue;
    result = entry.FILE->CascadeDelete(entry.HISKEY, *entry.FIELDS, entry.DELETEMODE);
    if (result != SeverityOk) {
      RollBack();
      (void)Close(false);
      return result;
    }
  }
  if (const std::int32_t deleted = ME->FILE->Delete(); deleted != runtime::NoError) {
    ME->SetError(MsgDeleteError);
    RollBack();
    (void)ME->HandleError();
    result = SeverityNotify;
    retryable = runtime::RetryMayMend(deleted);
  } else {
    result = CommitFrame();
    retryable = result != SeverityOk;
  }
  (void)Close(false);
  return result;
}

Severity RelationManager::CascadeDelete(std::size_t hisKey, BufferedPairs& pairs, std::uint8_t mode) {
  if (ME->UseFile() != SeverityOk) {
    RollBack();
    return SeverityNotify;
  }
  std::uint16_t saved = ME->SaveFile();
  ME->FILE->ClearBuffer();
  // Position on the first record that carries the parent's values.
  pairs.AssignLeftToRight();
  ME->ClearKey(hisKey, pairs.Records() + 1, kLastKeyComponent, false);
  (void)ME->FILE->SetOrderAtBuffer(hisKey);
  Severity result = SeverityOk;
  for (;;) {
    const Severity read = ME->TryNext();
    if (read != SeverityOk) {
      if (!ME->AtEnd()) result = FailRead();
      break;
    }
    if (!pairs.Equal()) break;  // the records of another parent
    if (mode == RiRestrict) {
      ME->SetError(MsgRestrictDelete);
      RollBack();
      (void)ME->HandleError();
      result = SeverityNotify;
      break;
    }
    if (mode == RiClear) {
      // Kept first, so the record's own relations see which of their
      // linking fields the clearing changes.
      SaveLinkValues();
      pairs.ClearRight();
      if (UpdateWithCascade() != SeverityOk) {
        result = SeverityNotify;
        break;
      }
      continue;
    }
    if (mode != RiCascade) break;
    for (RelationEntry& entry : RELATIONS) {
      if (!TakesPart(entry.DELETEMODE)) continue;
      result = entry.FILE->CascadeDelete(entry.HISKEY, *entry.FIELDS, entry.DELETEMODE);
      if (result != SeverityOk) break;
    }
    if (result != SeverityOk) break;
    if (ME->FILE->Delete() != runtime::NoError) {
      ME->SetError(MsgDeleteError);
      RollBack();
      (void)ME->HandleError();
      result = SeverityNotify;
      break;
    }
  }
  ME->RestoreFile(saved);
  return result;
}

}  // namespace marlinden
