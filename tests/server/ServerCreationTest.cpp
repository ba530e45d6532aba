// Two stations starting at once on a database without their file: one
// creates it, the other one's create is refused as the file exists, and the
// file manager opens the file the first one made.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <thread>

#include "data/FileManager.h"
#include "errors/ErrorManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/system/RuntimeError.h"
#include "support/BookmarkLayout.h"
#include "tests/server/ServerTestSupport.h"

namespace {

class ServerCreationTest : public testing_support::ServerSchemaTest {
 protected:
  std::unique_ptr<runtime::DataFile> NewFile() const {
    return runtime::DataFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), dir_.File("MARLINDEN"));
  }
};

TEST_F(ServerCreationTest, TheSecondOfTwoStationsCreatingAtOnceOpensTheFirstOnesFile) {
  std::promise<void> holding, release;
  std::shared_future<void> released = release.get_future().share();
  runtime::SetCreationHook([&holding, released] {
    holding.set_value();
    released.wait();
  });
  // The first station's creation stays under way, in the catalogue but not
  // committed, until it is released.
  auto first = NewFile();
  std::int32_t created = runtime::DriverFailure;
  std::thread creator([&] { created = first->Create(); });
  holding.get_future().wait();

  // The second station finds no file and creates it too, which waits for
  // the first creation on the server.
  marlinden::ErrorManager errors;
  errors.Init();
  auto second = NewFile();
  marlinden::FileManager manager;
  manager.Init(*second, errors);
  manager.AddKey(testing_support::NumKey, "WEB:Numkey", 1);
  manager.AddKey(testing_support::NameKey, "WEB:Namekey", 0);
  manager.AddKey(testing_support::DescKey, "WEB:Desckey", 0);
  manager.LAZYOPEN = 0;
  marlinden::Severity opened = marlinden::SeverityFatal;
  std::thread opener([&] { opened = manager.Open(); });
  bool waiting = false;
  for (int tries = 0; tries < 200000 && !waiting; ++tries) waiting = DriverWaitsForALock();
  EXPECT_TRUE(waiting) << "the second creation waits for the first";
  release.set_value();
  creator.join();
  opener.join();

  EXPECT_EQ(created, runtime::NoError);
  EXPECT_EQ(opened, marlinden::SeverityOk);
  EXPECT_TRUE(Captions().empty()) << Captions()[0];
  EXPECT_EQ(haltCode, -1);
  EXPECT_EQ(Value("SELECT count(*) FROM marlinden_files"), "1");

  // Both stations are on the one file.
  ASSERT_EQ(first->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
  second->ClearBuffer();
  second->Record().Field("URL").SetText("https://second.example/");
  ASSERT_EQ(manager.Insert(), marlinden::SeverityOk);
  EXPECT_EQ(first->Records(), 1);
  (void)manager.Close();
  manager.Kill();
  errors.Kill();
}

}  // namespace
