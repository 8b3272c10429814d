#include "app/istanza_unica.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fake/mem_env.h"

namespace zav5::app {
namespace {

TEST(IstanzaUnicaTest, TheStoresLockIsTakenOnceAndOnlyWhereThereIsAStore) {
  platform::MemEnv env('d');
  // No company database on the current drive: nothing of a store to keep for itself.
  EXPECT_EQ(BloccaNegozio(env), nullptr);

  env.PutFile("D:\\dorn\\sulvo.mdb", "");
  {
    const std::unique_ptr<platform::FileLock> primo = BloccaNegozio(env);
    ASSERT_NE(primo, nullptr);
    EXPECT_EQ(PercorsoBloccoNegozio('d'), "D:\\dorn\\zav5.lck");
    try {
      BloccaNegozio(env);
      ADD_FAILURE() << "a second lock was given";
    } catch (const GiaInEsecuzione& error) {
      EXPECT_NE(std::string(error.what()).find("in esecuzione sul negozio di D:\\dorn\\sulvo.mdb"),
                std::string::npos)
          << error.what();
    }
  }
  // Released with its holder, as by the end of the process.
  EXPECT_NE(BloccaNegozio(env), nullptr);

  // Another process holds it, and wrote its number into it.
  env.PutFile("D:\\dorn\\zav5.lck", "4242\n");
  env.HoldLock("D:\\dorn\\zav5.lck");
  try {
    BloccaNegozio(env);
    ADD_FAILURE() << "a lock held by another process was given";
  } catch (const GiaInEsecuzione& error) {
    EXPECT_NE(std::string(error.what()).find("(processo 4242)"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace zav5::app
