// A TestStore set up for the offer and label operations: the store database at
// C:\sulvo\neg01\dati.mdb, the folders of the label systems, drive Z: mapped as their drop folder,
// and the work context and outbox those operations work with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/database.h"
#include "labels/outbox.h"
#include "startup/run_log.h"
#include "support/test_store.h"
#include "work/work_context.h"

namespace zav5::test {

class WorkingStore : public TestStore {
 public:
  static constexpr std::string_view kPercorsoDati = "C:\\sulvo\\neg01\\dati.mdb";
  // The store database's file under c/.
  static constexpr std::string_view kStoreFile = "sulvo/neg01/dati.mdb";

  // Creates the store database with `rows` (SQL INSERTs) and the folders c/sulvo/bkp,
  // c/sulvo/neg01, c/sulvo/esl and z.
  explicit WorkingStore(std::string_view rows = {});
  // The same, with the database engine's options `engine_options`. The test engine's ODBC setting,
  // when it has one, takes the place of `engine_options`'s.
  WorkingStore(std::string_view rows, data::EngineOptions engine_options);

  work::WorkContext& work() { return work_; }
  startup::ContestoNegozio& store_context() { return work_.store_context(); }
  data::DataSources& sources() { return work_.sources(); }
  data::DbEngine& engine() { return work_.engine(); }
  labels::Outbox& outbox() { return outbox_; }
  std::string& FtpElettro() { return work_.FtpElettro; }
  std::string& VexularElettro() { return work_.VexularElettro; }

  // Hands over the label files that the label operations made for offer `numero`/`anno`, as the
  // processing cycle does after its commit, to every label system they were made for (the tests
  // of those operations need no table elettro). The run log's lines, when a log is given.
  void HandOver(std::int32_t numero, std::int32_t anno = 2026, startup::RunLog* log = nullptr);

  // SQL and queries on the store database (TestStore::Sql and TestStore::Rows).
  using TestStore::Sql;
  void Sql(std::string_view sql) const { TestStore::Sql(kStoreFile, sql); }
  std::vector<std::string> QueryRows(std::string_view sql) const { return Rows(kStoreFile, sql); }
  std::vector<std::string> File(std::string_view relative) const { return Files(relative); }

 private:
  work::WorkContext work_;
  labels::Outbox outbox_;
};

}  // namespace zav5::test
