// Damaged keyed files: bit-flipped copies of a real one, a bounded run with
// a fixed seed. Every open is refused (leaving the file as it was) or opens
// a file whose reads all come to an end.
#include <filesystem>
#include <random>

#include "tests/runtime/KeyedTestSupport.h"

namespace runtime::testing {
namespace {

class KeyedFuzzTest : public KeyedTestBase {};

constexpr int kCopies = 150;
constexpr int kRecords = 60;

TEST_F(KeyedFuzzTest, BitFlippedFilesAreRefusedOrReadToAnEnd) {
  {
    auto file = NewFile();
    for (int i = 1; i <= kRecords; ++i) {
      const std::string n = std::to_string(i);
      ASSERT_EQ(Add(*file, {i, "http://fuzz/" + n, "description " + std::to_string(i % 7)}, "notes " + n), NoError);
    }
  }
  const std::string original = FileBytes(DbPath());
  ASSERT_GT(original.size(), 8192u);
  std::mt19937 random(13);
  int opened = 0;
  for (int copy = 0; copy < kCopies; ++copy) {
    SCOPED_TRACE("copy " + std::to_string(copy));
    std::string damaged = original;
    // Half the copies are damaged in the first page (header and schema),
    // the others anywhere.
    const std::size_t span = copy % 2 == 0 ? 4096 : damaged.size();
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int f = 0; f < flips; ++f) damaged[random() % span] ^= static_cast<char>(1u << (random() % 8));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    WriteBytes(DbPath(), damaged);

    auto file = MakeFile();
    if (file->Open(kReadWriteShared) != NoError) {
      EXPECT_EQ(FileBytes(DbPath()), damaged) << "a refused file was changed";
      EXPECT_FALSE(std::filesystem::exists(DbPath() + "-wal")) << "a refused open left a log behind";
      continue;
    }
    ++opened;
    // More reads than the file's pages could hold records means a loop.
    const std::int64_t limit = static_cast<std::int64_t>(damaged.size());
    for (std::size_t key : {std::size_t{0}, kNumKey, kNameKey, kDescKey}) {
      for (bool backward : {false, true}) {
        if (file->SetOrder(key) != NoError) continue;
        std::int64_t reads = 0;
        std::int32_t code = NoError;
        while (reads < limit && (code = backward ? file->Previous() : file->Next()) == NoError) ++reads;
        EXPECT_NE(code, NoError) << "key " << key << (backward ? " backward" : " forward") << " never ended";
      }
    }
    (void)file->Records();
    SetBuffer(*file, {7, "http://fuzz/7", ""});
    (void)file->Get(kNameKey);
    (void)file->Close();
  }
  EXPECT_GT(opened, 0) << "no damaged copy opened, so no read was tried";
}

}  // namespace
}  // namespace runtime::testing
