// The relation manager: every data file has one beside its file manager.
// Windows open, close, change and delete records through it because it
//  - opens and closes the whole graph of related files together,
//  - keeps referential integrity when a record's linking fields change or
//    the record is deleted (restrict, clear or cascade towards each related
//    file),
//  - frames each change in a transaction when the file's driver has them.
// Every operation returns a severity; failures are shown through the file
// manager's error manager. Called from runtime threads under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/BufferedPairs.h"
#include "data/FileManager.h"
#include "data/RecordDeleter.h"
#include "errors/Severity.h"
#include "runtime/queue/Queue.h"
#include "runtime/values/FieldRef.h"

namespace marlinden {

// What a relation does to the related records.
enum RiMode : std::uint8_t {
  RiNone = 0,
  RiClear = 1,     // their linking fields are cleared
  RiRestrict = 2,  // the change is refused while related records exist
  RiCascade = 3,   // they follow: take the new values, or are deleted
};

// The mark of one pass over related files, shared by every relation manager;
// starts at 1. Guarded by the runtime lock.
extern std::int32_t PassCounter;

class RelationManager : public RecordDeleter {
 public:
  struct RelationEntry {
    RelationManager* FILE = nullptr;        // the related file's manager, borrowed
    std::unique_ptr<BufferedPairs> FIELDS;  // left: this file, right: related file, buffer: saved left
    std::size_t HISKEY = 0;                 // related file's key led by the linking fields; 0 = none
    std::uint8_t UPDATEMODE = RiNone;
    std::uint8_t DELETEMODE = RiNone;
  };

  RelationManager() = default;
  ~RelationManager() override = default;
  RelationManager(const RelationManager&) = delete;
  RelationManager& operator=(const RelationManager&) = delete;

  // Serves fileManager (borrowed; it must outlive this manager's Kill).
  // useLogout: frame changes in transactions while the driver allows it.
  void Init(FileManager& fileManager, bool useLogout);

  // Describes a relation to related (borrowed): what a change and a deletion
  // of this file's record do to the related records, and the related file's
  // key whose leading components are the linking fields (0 when the related
  // records are not reached through a key). Linking fields follow with
  // AddLinkingFields, in the order of that key's components.
  void AddRelation(RelationManager& related, RiMode updateMode, RiMode deleteMode, std::size_t hisKey);
  // Adds a linking field pair to the relation added last: left is this
  // file's field, right the related file's. False when there is no relation
  // yet or a reference is to nothing.
  bool AddLinkingFields(runtime::FieldRef left, runtime::FieldRef right);

  // --- Virtual operations -------------------------------------------------
  // Takes back a record added in advance by auto-numbering, deleting it
  // through Delete without confirmation.
  virtual Severity CancelAutoInc();
  // Closes this file, then the related ones (cascaded), once per pass.
  virtual Severity Close(bool cascaded = false);
  // Deletes the current record: asks first when ask is set, frames the
  // deletion with the related records in a transaction, offers to retry a
  // deletion that failed.
  virtual Severity Delete(bool ask);
  // On the related file's manager: applies the parent's deletion to the
  // records whose linking fields equal the parent's (pairs' left).
  virtual Severity CascadeDelete(std::size_t hisKey, BufferedPairs& pairs, std::uint8_t mode);
  // Kills the file manager, then drops the relations. A second call does
  // nothing.
  virtual void Kill();
  // Opens this file, then the related ones (cascaded), once per pass. Not
  // cascaded, the file is also opened physically at once.
  virtual Severity Open(bool cascaded = false);
  // Keeps the current linking field values, so later comparisons show which
  // of them the user changed. Call when a record is read for change.
  virtual void SaveLinkValues();
  // Sends the driver QUICKSCAN on or off. Mode 0: this file only; 1: also
  // the relations without a key; 2: also those with a key; others: all.
  // 128 is added by the manager for the calls inside a pass.
  virtual void SetQuickScan(bool on, std::uint8_t mode);
  // Writes the changed record and cascades changed linking fields.
  // canRecall: the calling form can give the user's values back after a
  // concurrent change by another station.
  virtual Severity Update(bool canRecall);
  // On the related file's manager: applies the parent's changed linking
  // fields (pairs' left; their old values in the buffers) to the records
  // that still carry the old values.
  virtual Severity CascadeUpdate(std::size_t hisKey, BufferedPairs& pairs, std::uint8_t mode);

  // RecordDeleter: Delete(false).
  Severity DeleteWithoutConfirmation() override { return Delete(false); }

  // --- Integrity steps (used by the operations above) ---------------------
  // Cascades the related record's own changed linking fields, then writes it.
  Severity UpdateWithCascade();
  // Marks this file for the next transaction; a driver without transactions
  // clears USELOGOUT for good, silently.
  Severity Enlist();
  // Mark every file an update, a deletion or a clearing of this file's
  // record can write to. Each file is enlisted once, even in a cycle.
  Severity EnlistForUpdate();
  Severity EnlistForDelete();
  Severity EnlistForClear();

  // --- Fields -------------------------------------------------------------
  FileManager* ME = nullptr;                // borrowed
  runtime::Queue<RelationEntry> RELATIONS;  // owned
  RelationManager* ALIASFILE = nullptr;     // borrowed; declared, unused
  std::uint8_t USELOGOUT = 0;
  std::int32_t LASTTOUCHED = 0;

 private:
  enum class Walk : std::uint8_t { Update, Delete, Clear };
  using Visited = std::vector<std::pair<const RelationManager*, Walk>>;

  // The pass rule: false when a cascaded call meets this manager again in
  // the same pass.
  bool EnterPass(bool cascaded);
  Severity EnlistWalk(Walk walk, Visited& visited);
  // Enlists with walk, then begins the transaction with the lock wait.
  Severity BeginFrame(Walk walk);
  // Rolls back the thread's transaction, whoever began it.
  static void RollBack();
  // Commits; a failure is rolled back and reported with message 21.
  Severity CommitFrame();
  // Ends a failed cascade read: rolls back and shows the read's message.
  Severity FailRead();
  // One attempt of Delete, from the busy cursor to the commit; retryable is
  // set when the record itself could not be deleted.
  Severity DeleteOnce(bool& retryable);

  bool killed_ = false;
};

}  // namespace marlinden
