// An SQLite VFS for tests that passes every call to the default VFS and
// lets a test watch two moments: a connection going to sleep in its busy
// wait (another connection has the lock it wants), and a write to a main
// database file; and fill the disk: every write after a chosen number fails. Installed as the default VFS while it
// lives, so the keyed driver's connections use it; one at a time.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <functional>

namespace runtime::testing {

class SqliteHookVfs {
 public:
  // Called after a write to a main database file, with the file after it.
  using WriteHook = std::function<void(sqlite3_file* file, sqlite3_int64 offset, const void* data, int size)>;
  using SleepHook = std::function<void()>;

  SqliteHookVfs() {
    real_ = sqlite3_vfs_find(nullptr);
    vfs_ = *real_;
    vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
    vfs_.zName = "test-hook";
    vfs_.pAppData = this;
    vfs_.xOpen = &Open;
    vfs_.xSleep = &Sleep;
    vfs_.pNext = nullptr;
    methods_ = {};
    sqlite3_vfs_register(&vfs_, 1);
  }
  ~SqliteHookVfs() {
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(real_, 1);
  }
  SqliteHookVfs(const SqliteHookVfs&) = delete;
  SqliteHookVfs& operator=(const SqliteHookVfs&) = delete;

  void OnMainWrite(WriteHook hook) { onWrite_ = std::move(hook); }
  void OnSleep(SleepHook hook) { onSleep_ = std::move(hook); }
  // After `after` more writes (to any file: database, log) succeed, every
  // write answers SQLITE_FULL, as on a full disk, until Heal.
  void FailWritesAfter(int after) { writesLeft_ = after; }
  void Heal() { writesLeft_ = -1; }

 private:
  struct File {
    sqlite3_file base;
    SqliteHookVfs* owner;
    bool mainDb;
    sqlite3_file* real;  // follows this struct in the same allocation
  };
  static sqlite3_file* Real(sqlite3_file* file) { return reinterpret_cast<File*>(file)->real; }
  static File* Of(sqlite3_file* file) { return reinterpret_cast<File*>(file); }

  static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* self = static_cast<SqliteHookVfs*>(vfs->pAppData);
    File* hooked = Of(file);
    hooked->owner = self;
    hooked->mainDb = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    hooked->real = reinterpret_cast<sqlite3_file*>(hooked + 1);
    const int rc = self->real_->xOpen(self->real_, name, hooked->real, flags, outFlags);
    if (hooked->real->pMethods == nullptr) {
      file->pMethods = nullptr;
      return rc;
    }
    self->SetUpMethods(hooked->real->pMethods);
    file->pMethods = &self->methods_;
    return rc;
  }

  static int Sleep(sqlite3_vfs* vfs, int microseconds) {
    auto* self = static_cast<SqliteHookVfs*>(vfs->pAppData);
    if (self->onSleep_) self->onSleep_();
    return self->real_->xSleep(self->real_, microseconds);
  }

  // Every method forwards to the real file's; xWrite tells the hook.
  void SetUpMethods(const sqlite3_io_methods* real) {
    if (methods_.iVersion != 0) return;
    methods_ = *real;
    methods_.xClose = [](sqlite3_file* f) {
      sqlite3_file* r = Real(f);
      const int rc = r->pMethods->xClose(r);
      f->pMethods = nullptr;
      return rc;
    };
    methods_.xRead = [](sqlite3_file* f, void* data, int size, sqlite3_int64 offset) {
      return Real(f)->pMethods->xRead(Real(f), data, size, offset);
    };
    methods_.xWrite = [](sqlite3_file* f, const void* data, int size, sqlite3_int64 offset) {
      std::atomic<int>& left = Of(f)->owner->writesLeft_;
      int now = left.load();
      while (now >= 0) {
        if (now == 0) return SQLITE_FULL;
        if (left.compare_exchange_weak(now, now - 1)) break;
      }
      const int rc = Real(f)->pMethods->xWrite(Real(f), data, size, offset);
      if (Of(f)->mainDb && Of(f)->owner->onWrite_) Of(f)->owner->onWrite_(Real(f), offset, data, size);
      return rc;
    };
    methods_.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
      return Real(f)->pMethods->xTruncate(Real(f), size);
    };
    methods_.xSync = [](sqlite3_file* f, int flags) { return Real(f)->pMethods->xSync(Real(f), flags); };
    methods_.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
      return Real(f)->pMethods->xFileSize(Real(f), size);
    };
    methods_.xLock = [](sqlite3_file* f, int lock) { return Real(f)->pMethods->xLock(Real(f), lock); };
    methods_.xUnlock = [](sqlite3_file* f, int lock) { return Real(f)->pMethods->xUnlock(Real(f), lock); };
    methods_.xCheckReservedLock = [](sqlite3_file* f, int* out) {
      return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
    };
    methods_.xFileControl = [](sqlite3_file* f, int op, void* arg) {
      return Real(f)->pMethods->xFileControl(Real(f), op, arg);
    };
    methods_.xSectorSize = [](sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); };
    methods_.xDeviceCharacteristics = [](sqlite3_file* f) {
      return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
    };
    if (real->iVersion >= 2) {
      methods_.xShmMap = [](sqlite3_file* f, int region, int size, int extend, void volatile** out) {
        return Real(f)->pMethods->xShmMap(Real(f), region, size, extend, out);
      };
      methods_.xShmLock = [](sqlite3_file* f, int offset, int n, int flags) {
        return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
      };
      methods_.xShmBarrier = [](sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); };
      methods_.xShmUnmap = [](sqlite3_file* f, int deleteFlag) {
        return Real(f)->pMethods->xShmUnmap(Real(f), deleteFlag);
      };
    }
    if (real->iVersion >= 3) {
      methods_.xFetch = [](sqlite3_file* f, sqlite3_int64 offset, int size, void** out) {
        return Real(f)->pMethods->xFetch(Real(f), offset, size, out);
      };
      methods_.xUnfetch = [](sqlite3_file* f, sqlite3_int64 offset, void* page) {
        return Real(f)->pMethods->xUnfetch(Real(f), offset, page);
      };
    }
  }

  sqlite3_vfs* real_;
  sqlite3_vfs vfs_;
  sqlite3_io_methods methods_;
  WriteHook onWrite_;
  SleepHook onSleep_;
  std::atomic<int> writesLeft_{-1};  // -1: writes are not failed
};

}  // namespace runtime::testing
