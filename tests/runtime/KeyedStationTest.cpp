// The keyed driver with several stations on one file (DataFile objects in
// one process and separate processes), crashes, a full disk and files the
// user may not write.
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "runtime/system/Clock.h"
#include "testing/TestClock.h"
#include "tests/runtime/KeyedTestSupport.h"
#include "tests/runtime/SqliteHookVfs.h"

namespace runtime::testing {
namespace {

using namespace std::chrono_literals;
using Nums = std::vector<std::int64_t>;

class KeyedStationTest : public KeyedTestBase {
 protected:
  void SetUp() override {
    KeyedTestBase::SetUp();
    auto file = NewFile();
    for (int i = 1; i <= 5; ++i) {
      ASSERT_EQ(Add(*file, {i, "http://site/" + std::to_string(i), "page " + std::to_string(i)}), NoError);
    }
  }
  std::unique_ptr<DataFile> OpenStation(std::uint8_t mode = kReadWriteShared) {
    auto file = MakeFile();
    EXPECT_EQ(file->Open(mode), NoError) << LastError().driverText;
    return file;
  }
  static std::int32_t GetNum(DataFile& file, std::int64_t num) {
    file.ClearBuffer();
    file.Record().Field("NUM").SetInteger(num);
    return file.Get(kNumKey);
  }
};

// Two DataFile objects in one process are two stations exactly as two
// processes are: each opens the lock file itself, and OFD locks belong to the
// open file description, not to the process.
TEST_F(KeyedStationTest, HeldRecordBetweenStationsOfOneProcess) {
  auto a = OpenStation();
  auto b = OpenStation();
  ASSERT_EQ(GetNum(*b, 3), NoError);  // b reads it before a holds it
  ASSERT_EQ(GetNum(*a, 3), NoError);
  ASSERT_EQ(a->Hold(), NoError);
  EXPECT_TRUE(a->IsHeld());

  EXPECT_EQ(b->Put(), RecordHeld);
  EXPECT_EQ(b->Delete(), RecordHeld);
  EXPECT_EQ(GetNum(*b, 3), RecordHeld);
  EXPECT_EQ(Num(*b), 3) << "the buffer is left alone";
  EXPECT_EQ(b->Hold(), RecordHeld);
  b->ClearBuffer();
  EXPECT_EQ(b->Reget(a->Position(0)), RecordHeld);
  EXPECT_EQ(Num(*b), 0);

  // A sequential read reports the held record once and goes on after it.
  ASSERT_EQ(b->SetOrder(kNumKey), NoError);
  std::vector<std::int32_t> codes;
  Nums nums;
  for (std::int32_t code; (code = b->Next()) != NoRecord;) {
    codes.push_back(code);
    nums.push_back(code == NoError ? Num(*b) : -1);
  }
  EXPECT_EQ(nums, (Nums{1, 2, -1, 4, 5}));
  EXPECT_EQ(codes[2], RecordHeld);
  ASSERT_EQ(b->Previous(), NoError);
  EXPECT_EQ(Num(*b), 5);

  // The holder itself reads and writes its record.
  a->Record().Field("DESCRIPTION").SetText("held by a");
  EXPECT_EQ(a->Put(), NoError);
  ASSERT_EQ(a->Release(), NoError);
  ASSERT_EQ(GetNum(*b, 3), NoError);
  EXPECT_EQ(Description(*b), "held by a");
  ASSERT_EQ(b->Hold(), NoError);
  EXPECT_EQ(GetNum(*a, 3), RecordHeld);
  ASSERT_EQ(b->Close(), NoError);
  EXPECT_EQ(GetNum(*a, 3), NoError) << "closing releases the holds";
}

TEST_F(KeyedStationTest, HeldRecordBetweenProcesses) {
  Child child([&](Child& self) {
    auto file = MakeFile();
    if (file->Open(kReadWriteShared) != NoError || GetNum(*file, 2) != NoError || file->Hold() != NoError) return 1;
    self.Send('h');
    if (self.Receive() != 'r') return 2;
    (void)file->Release();
    self.Send('r');
    if (self.Receive() != 'q') return 3;
    if (GetNum(*file, 4) != NoError || file->Hold() != NoError) return 4;
    self.Send('h');
    self.Receive();  // killed while holding
    return 0;
  });
  ASSERT_TRUE(child.Started());
  auto file = OpenStation();
  ASSERT_EQ(child.Receive(), 'h');
  EXPECT_EQ(GetNum(*file, 2), RecordHeld);
  ASSERT_EQ(file->SetOrder(kNumKey), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Next(), RecordHeld);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(Num(*file), 3);
  child.Send('r');
  ASSERT_EQ(child.Receive(), 'r');
  EXPECT_EQ(GetNum(*file, 2), NoError);
  child.Send('q');
  ASSERT_EQ(child.Receive(), 'h');
  EXPECT_EQ(GetNum(*file, 4), RecordHeld);
  ::kill(child.Pid(), SIGKILL);
  EXPECT_EQ(child.Wait(), -1);
  WaitForStationsToEnd(1);
  EXPECT_EQ(GetNum(*file, 4), NoError) << "a dead station holds nothing";
}

// A hold taken while another station's put or delete waits for the file's
// write lock stops that write: the holds are checked once the lock is taken.
TEST_F(KeyedStationTest, AHoldTakenWhileAWriteWaitsForTheLockStopsIt) {
  // On the server a write takes no file-wide lock, so it never waits.
  SKIP_ON_SERVER();
  // The write's busy wait sleeps on the runtime clock: the test sees it
  // waiting, and lets it retry only after the hold is taken.
  TestClock clock(0, 0);
  ScopedTimeSource scoped(clock);
  auto holder = OpenStation();
  auto writer = OpenStation();
  auto locker = OpenStation();
  for (bool deleting : {false, true}) {
    SCOPED_TRACE(deleting ? "delete" : "put");
    ASSERT_EQ(GetNum(*writer, 3), NoError);
    writer->Record().Field("DESCRIPTION").SetText("written");
    ASSERT_EQ(GetNum(*holder, 3), NoError);
    ASSERT_EQ(locker->BeginTransaction(0), NoError);
    std::atomic<std::int32_t> code = -1;
    std::atomic<bool> done = false;
    std::thread write([&] {
      code = deleting ? writer->Delete() : writer->Put();
      done = true;
    });
    EXPECT_TRUE(clock.WaitForSleeper(60s)) << "the write waits for the lock";
    EXPECT_EQ(holder->Hold(), NoError);  // while the write waits for the lock
    EXPECT_EQ(locker->Rollback(), NoError);
    while (!done) {
      if (clock.WaitForSleeper(10ms)) clock.AdvanceMicros(10'000);
    }
    write.join();
    EXPECT_EQ(code, RecordHeld);
    ASSERT_EQ(GetNum(*holder, 3), NoError);
    EXPECT_EQ(Description(*holder), "page 3") << "the held record was written";
    ASSERT_EQ(holder->Release(), NoError);
  }
}

TEST_F(KeyedStationTest, PutRefusesToOverwriteAnotherStationsChange) {
  auto a = OpenStation();
  auto b = OpenStation();
  ASSERT_EQ(GetNum(*a, 1), NoError);
  ASSERT_EQ(GetNum(*b, 1), NoError);
  ASSERT_EQ(b->Watch(), NoError);
  b->Record().Field("DESCRIPTION").SetText("by b");
  ASSERT_EQ(b->Put(), NoError);
  a->Record().Field("DESCRIPTION").SetText("by a");
  EXPECT_EQ(a->Put(), ChangedByOther);
  ASSERT_EQ(GetNum(*a, 1), NoError);
  EXPECT_EQ(Description(*a), "by b") << "nothing of a's was written";
  a->Record().Field("DESCRIPTION").SetText("by a");
  EXPECT_EQ(a->Put(), NoError) << "after re-reading";
  ASSERT_EQ(b->Delete(), NoError);  // deleting does not check the version
  a->Record().Field("DESCRIPTION").SetText("again");
  EXPECT_EQ(a->Put(), RecordNotFound);
}

// A re-read by position that fails never leaves the record read before as
// the one a put or delete acts on.
TEST_F(KeyedStationTest, AFailedRereadLeavesNoOtherRecordToWriteOrDelete) {
  auto a = OpenStation();
  auto b = OpenStation();
  ASSERT_EQ(GetNum(*a, 2), NoError);
  const std::string second = a->Position(0);
  ASSERT_EQ(GetNum(*b, 2), NoError);
  ASSERT_EQ(b->Delete(), NoError);

  ASSERT_EQ(GetNum(*a, 1), NoError);
  EXPECT_EQ(a->Reget(second), RecordNotFound);
  EXPECT_EQ(a->Delete(), RecordNotFound);
  a->Record().Field("DESCRIPTION").SetText("not for 1");
  EXPECT_EQ(a->Put(), RecordNotFound);
  ASSERT_EQ(GetNum(*b, 1), NoError);
  EXPECT_EQ(Description(*b), "page 1") << "the record read before was neither changed nor deleted";

  // A record held by another station is the one refused, not the one before.
  ASSERT_EQ(GetNum(*b, 3), NoError);
  const std::string third = b->Position(0);
  ASSERT_EQ(b->Hold(), NoError);
  ASSERT_EQ(GetNum(*a, 1), NoError);
  EXPECT_EQ(a->Reget(third), RecordHeld);
  EXPECT_EQ(a->Delete(), RecordHeld);
  ASSERT_EQ(b->Release(), NoError);
  EXPECT_EQ(a->Put(), ChangedByOther) << "a record never read is not written blind";
  EXPECT_EQ(a->Delete(), NoError) << "the held record, once free, is the one deleted";
  ASSERT_EQ(GetNum(*b, 1), NoError);
  EXPECT_EQ(GetNum(*b, 3), RecordNotFound);
}

TEST_F(KeyedStationTest, SharingModesAndRecover) {
  {
    auto exclusive = OpenStation(AccessReadWrite | ShareDenyAll);
    auto other = MakeFile();
    EXPECT_EQ(other->Open(kReadWriteShared), AccessDenied);
    EXPECT_EQ(other->Open(AccessRead | ShareDenyNone), AccessDenied);
  }
  {
    auto reader = OpenStation(AccessRead | ShareDenyWrite);
    EXPECT_EQ(MakeFile()->Open(kReadWriteShared), AccessDenied);
    auto second = OpenStation(AccessRead | ShareDenyNone);  // reading is allowed
  }
  {
    auto writer = OpenStation(kReadWriteShared);
    EXPECT_EQ(MakeFile()->Open(AccessRead | ShareDenyWrite), AccessDenied) << "cannot deny what another has";
  }

  // Another process denies writing; it lets go while Recover= makes the
  // next open wait. The wait runs on the runtime clock: a test clock that
  // only this test advances shows how long the open waited.
  Child child([&](Child& self) {
    auto file = MakeFile();
    if (file->Open(AccessReadWrite | ShareDenyWrite) != NoError) return 1;
    self.Send('o');
    if (self.Receive() != 'x') return 2;
    (void)file->Close();
    self.Send('c');
    self.Receive();
    return 0;
  });
  ASSERT_TRUE(child.Started());
  ASSERT_EQ(child.Receive(), 'o');
  TestClock clock(0, 0);
  ScopedTimeSource scoped(clock);
  auto file = MakeFile();
  EXPECT_EQ(file->Open(kReadWriteShared), AccessDenied);
  ASSERT_EQ(file->SendOption("Recover=5"), NoError);
  std::int32_t opened = -1;
  std::thread opener([&] { opened = file->Open(kReadWriteShared); });
  ASSERT_TRUE(clock.WaitForSleeper(10s)) << "the open waits for the other station";
  clock.AdvanceMicros(2'000'000);
  ASSERT_TRUE(clock.WaitForSleeper(10s)) << "still waiting after 2 of 5 seconds";
  child.Send('x');
  ASSERT_EQ(child.Receive(), 'c');
  clock.AdvanceMicros(100'000);
  opener.join();
  EXPECT_EQ(opened, NoError);
  ASSERT_EQ(file->Close(), NoError);
  child.Send('q');
  EXPECT_EQ(child.Wait(), 0);

  // It does not let go: still refused when the time is up, and the Recover
  // value is used up by that open.
  auto holder = OpenStation(AccessReadWrite | ShareDenyWrite);
  ASSERT_EQ(file->SendOption("Recover=1"), NoError);
  const std::int64_t start = clock.SteadyMicros();
  clock.RunAdvancing([&] { EXPECT_EQ(file->Open(kReadWriteShared), AccessDenied); }, 50'000);
  EXPECT_GE(clock.SteadyMicros() - start, 1'000'000);
  EXPECT_LE(clock.SteadyMicros() - start, 1'100'000);
  EXPECT_EQ(file->Open(kReadWriteShared), AccessDenied);
  EXPECT_EQ(clock.SteadyMicros() - start, 1'000'000) << "no wait without Recover";
}

// A station killed in the middle of adding: every add it reported is there
// and whole, and nothing half-written appears.
TEST_F(KeyedStationTest, SurvivesAStationKilledWhileAdding) {
  auto url = [](std::int64_t n) { return "http://crash/" + std::to_string(n) + std::string(n % 50, 'u'); };
  auto description = [](std::int64_t n) { return "description of " + std::to_string(n) + std::string(n % 70, 'd'); };
  Child child([&](Child& self) {
    auto file = MakeFile();
    if (file->Open(kReadWriteShared) != NoError) return 1;
    for (std::int32_t n = 100; n < 1000000; ++n) {
      if (Add(*file, {n, url(n), description(n)}, "memo " + std::to_string(n)) != NoError) return 2;
      if (!self.SendInt(n)) return 3;
    }
    return 0;
  });
  ASSERT_TRUE(child.Started());
  std::vector<std::int32_t> reported;
  for (std::int32_t n; reported.size() < 300 && child.ReceiveInt(n);) reported.push_back(n);
  ::kill(child.Pid(), SIGKILL);
  for (std::int32_t n; child.ReceiveInt(n);) reported.push_back(n);
  EXPECT_EQ(child.Wait(), -1);
  ASSERT_GE(reported.size(), 300u);

  auto file = OpenStation();
  for (std::int32_t n : reported) {
    ASSERT_EQ(GetNum(*file, n), NoError) << n;
    EXPECT_EQ(Url(*file), url(n));
    EXPECT_EQ(Description(*file), description(n));
    EXPECT_EQ(file->Record().Memo(1), "memo " + std::to_string(n));
  }
  ASSERT_EQ(file->SetOrder(0), NoError);
  std::int64_t count = 0;
  while (file->Next() == NoError) {
    ++count;
    const std::int64_t n = Num(*file);
    if (n < 100) continue;
    EXPECT_EQ(Url(*file), url(n));
    EXPECT_EQ(Description(*file), description(n));
  }
  EXPECT_GE(count, static_cast<std::int64_t>(reported.size()) + 5);
  EXPECT_LE(count, static_cast<std::int64_t>(reported.size()) + 6) << "at most the add in flight";
}

std::uint32_t BigEndian32(const unsigned char* at) {
  return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}

// Page count and page size from a database header.
std::uint64_t HeaderBytes(const unsigned char* header) {
  const std::uint32_t pageSize = header[16] == 0 && header[17] == 1 ? 65536u : (header[16] << 8u) | header[17];
  return std::uint64_t{BigEndian32(header + 28)} * pageSize;
}

// A writer killed in the middle of a checkpoint: page 1, with the grown page
// count, is in the database file before the pages that grow it, while the
// write-ahead log still holds every page. The file opens with every record.
TEST_F(KeyedStationTest, AWriterKilledInTheMiddleOfACheckpointLosesNothing) {
  SKIP_ON_SERVER();
  constexpr int kAdded = 3000;  // enough pages to make the commit checkpoint
  Child child([&](Child&) {
    SqliteHookVfs vfs;
    // Stops the writer as soon as page 1 promises more pages than the file has.
    vfs.OnMainWrite([](sqlite3_file* file, sqlite3_int64 offset, const void* data, int size) {
      sqlite3_int64 fileSize = 0;
      if (offset != 0 || size < 100 || file->pMethods->xFileSize(file, &fileSize) != SQLITE_OK) return;
      if (static_cast<std::uint64_t>(fileSize) < HeaderBytes(static_cast<const unsigned char*>(data))) {
        ::kill(::getpid(), SIGKILL);
      }
    });
    auto file = MakeFile();
    if (file->Open(kReadWriteShared) != NoError || file->BeginTransaction(1) != NoError) return 1;
    for (int n = 100; n < 100 + kAdded; ++n) {
      const std::string text = std::to_string(n) + std::string(200, 'c');
      if (Add(*file, {n, "http://checkpoint/" + text, text}, std::string(300, 'm')) != NoError) return 2;
    }
    (void)file->Commit();
    return 3;  // the checkpoint never wrote page 1 ahead of the pages that grow the file
  });
  ASSERT_TRUE(child.Started());
  ASSERT_EQ(child.Wait(), -1);

  const std::string bytes = FileBytes(DbPath());
  ASSERT_GE(bytes.size(), 100u);
  ASSERT_LT(bytes.size(), HeaderBytes(reinterpret_cast<const unsigned char*>(bytes.data())))
      << "the file is shorter than its header says";
  ASSERT_GT(std::filesystem::file_size(DbPath() + "-wal"), 0u);

  auto file = MakeFile();
  ASSERT_EQ(file->Open(kReadWriteShared), NoError) << LastError().driverText;
  EXPECT_EQ(file->Records(), 5 + kAdded);
  ASSERT_EQ(GetNum(*file, 100 + kAdded - 1), NoError);
  EXPECT_EQ(Description(*file), std::to_string(100 + kAdded - 1) + std::string(200, 'c'));
  EXPECT_EQ(ReadAll(*file, kNumKey).size(), static_cast<std::size_t>(5 + kAdded));
  EXPECT_EQ(Add(*file, {9, "http://after", "after the crash"}), NoError);
}

TEST_F(KeyedStationTest, FullDiskFailsCleanlyAndKeepsEarlierRecords) {
  SKIP_ON_SERVER();
  Child child([&](Child& self) {
    ::signal(SIGXFSZ, SIG_IGN);
    auto file = MakeFile();
    if (file->Open(kReadWriteShared) != NoError) return 1;
    const rlimit limit{256 * 1024, 256 * 1024};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    for (std::int32_t n = 100;; ++n) {
      const std::int32_t code =
          Add(*file, {n, "http://full/" + std::to_string(n), std::string(240, 'f')}, std::string(900, 'm'));
      if (code != NoError) {
        self.SendInt(-code);
        return 0;
      }
      self.SendInt(n);
    }
  });
  ASSERT_TRUE(child.Started());
  std::vector<std::int32_t> added;
  std::int32_t failure = 0;
  for (std::int32_t n; child.ReceiveInt(n);) {
    if (n < 0) {
      failure = -n;
      break;
    }
    added.push_back(n);
  }
  EXPECT_EQ(child.Wait(), 0) << "the child crashed instead of reporting";
  EXPECT_EQ(failure, DriverFailure);
  ASSERT_FALSE(added.empty());

  auto file = OpenStation();
  for (std::int32_t n : added) {
    ASSERT_EQ(GetNum(*file, n), NoError) << n;
    EXPECT_EQ(Url(*file), "http://full/" + std::to_string(n));
  }
  EXPECT_EQ(file->Records(), static_cast<std::int64_t>(added.size()) + 5);
}

// Runs check as an unprivileged user in a child process (the super-user
// ignores file permissions); check returns "" or what went wrong.
std::string AsUnprivileged(const std::function<std::string()>& check) {
  Child child([&](Child& self) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) return 1;
    for (char c : check()) self.Send(c);
    return 0;
  });
  std::string failure;
  for (char c; (c = child.Receive()) != 0;) failure += c;
  if (child.Wait() != 0) return "the child could not drop its privileges";
  return failure;
}

TEST_F(KeyedStationTest, ReadOnlyFilesAndDirectories) {
  SKIP_ON_SERVER();
  namespace fs = std::filesystem;
  auto check = [&]() -> std::string {
    auto file = MakeFile();
    if (const auto code = file->Open(kReadWriteShared); code != AccessDenied)
      return "write open: " + std::to_string(code);
    if (const auto code = file->Open(AccessRead | ShareDenyNone); code != NoError) {
      return "read-only open: " + std::to_string(code) + " " + LastError().driverText;
    }
    if (ReadAll(*file, kNumKey) != Nums{1, 2, 3, 4, 5}) return "read-only reading";
    if (Add(*file, {9, "http://z", "z"}) != AccessDenied) return "add while read-only";
    return "";
  };
  fs::permissions(dir_, fs::perms::all);
  fs::permissions(DbPath(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(DiskName() + ".lck", fs::perms::all);
  EXPECT_EQ(AsUnprivileged(check), "") << "read-only file";

  fs::permissions(DbPath(), fs::perms::all);
  fs::remove(DbPath() + "-wal");  // left by the reader, empty
  fs::remove(DbPath() + "-shm");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(AsUnprivileged(check), "") << "read-only directory";
}

}  // namespace
}  // namespace runtime::testing
