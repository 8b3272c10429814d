#include "app/single_instance.h"

#include <memory>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/fake/mem_env.h"

namespace zav5::app {
namespace {

TEST(SingleInstanceTest, TheStoresLockIsTakenOnceAndOnlyWhereThereIsAStore) {
  platform::MemEnv env('d');
  // No company database on the current drive: nothing of a store to keep for itself.
  EXPECT_EQ(LockStore(env), nullptr);

  env.PutFile("D:\\dorn\\sulvo.mdb", "");
  {
    const std::unique_ptr<platform::FileLock> primo = LockStore(env);
    ASSERT_NE(primo, nullptr);
    EXPECT_EQ(startup::StoreLockPath('d'), "D:\\dorn\\zav5.lck");
    try {
      LockStore(env);
      ADD_FAILURE() << "a second lock was given";
    } catch (const AlreadyRunning& error) {
      EXPECT_NE(std::string(error.what()).find("in esecuzione sul negozio di D:\\dorn\\sulvo.mdb"),
                std::string::npos)
          << error.what();
    }
  }
  // Released with its holder, as by the end of the process.
  EXPECT_NE(LockStore(env), nullptr);

  // Another process holds it, and wrote its number into it.
  env.PutFile("D:\\dorn\\zav5.lck", "4242\n");
  env.HoldLock("D:\\dorn\\zav5.lck");
  try {
    LockStore(env);
    ADD_FAILURE() << "a lock held by another process was given";
  } catch (const AlreadyRunning& error) {
    EXPECT_NE(std::string(error.what()).find("(processo 4242)"), std::string::npos) << error.what();
  }
}

// A check of the store (zav5 status) holds the lock for an instant: a start that meets it then
// asks again rather than refusing to run.
TEST(SingleInstanceTest, ALockHeldForAnInstantIsAskedForAgain) {
  class Busy : public platform::MemEnv {
   public:
    using MemEnv::MemEnv;
    std::unique_ptr<platform::FileLock> LockFile(std::string_view path) override {
      return ++asked <= 3 ? nullptr : MemEnv::LockFile(path);
    }
    int asked = 0;
  };
  Busy env('c');
  env.PutFile("C:\\dorn\\sulvo.mdb", "");
  EXPECT_NE(LockStore(env), nullptr);
  EXPECT_EQ(env.asked, 4);
}

}  // namespace
}  // namespace zav5::app
