// A store for the offer and label operations: the store database at C:\sulvo\neg01\dati.mdb made
// from the project's DDL, the folders of the label systems, drive Z: mapped as their drop folder,
// and the part of the main window those operations work with.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "data/database.h"
#include "data/sorgenti_dati.h"
#include "labels/consegne.h"
#include "labels/finestra.h"
#include "startup/contesto_negozio.h"
#include "startup/run_log.h"
#include "support/temp_dir.h"
#include "support/test_store.h"

namespace zav5::testing {

class NegozioProva {
 public:
  static constexpr std::string_view kPercorsoDati = "C:\\sulvo\\neg01\\dati.mdb";

  // Creates the store database with `rows` (SQL INSERTs) and the folders c/sulvo/bkp,
  // c/sulvo/neg01, c/sulvo/esl and z.
  explicit NegozioProva(std::string_view rows = {});
  // The same, with the database engine's options `motore`. The test engine's ODBC setting, when it
  // has one, takes the place of `motore`'s.
  NegozioProva(std::string_view rows, data::OpzioniMotore motore);

  TestEnv& env() { return env_; }
  labels::Finestra& finestra() { return finestra_; }
  startup::ContestoNegozio& contesto() { return contesto_; }
  data::SorgentiDati& sorgenti() { return sorgenti_; }
  data::DbEngine& engine() { return engine_; }
  labels::Consegne& consegne() { return consegne_; }
  std::string& FtpElettro() { return ftp_; }
  std::string& VexularElettro() { return vexular_; }

  std::filesystem::path DriveC() const { return dir_.path() / "c"; }
  std::filesystem::path DriveZ() const { return dir_.path() / "z"; }

  // Hands over the label files that the label operations made for offer `numero`/`anno`, as the
  // processing cycle does after its commit, to every label system they were made for (the tests
  // of those operations need no table elettro). The run log's lines, when a log is given.
  void Consegna(std::int32_t numero, std::int32_t anno = 2026, startup::RunLog* log = nullptr);

  // Runs SQL on the store database through a connection of the test's own.
  void Sql(std::string_view sql) const;
  // The rows of a query on the store database, through a connection of the test's own: each row
  // its values as SQLite gives them as text ("NULL" for Null), joined by "|".
  std::vector<std::string> Righe(std::string_view sql) const;

  // The names of the files in the folder `relative` (under the test's folder, e.g. "c/sulvo"),
  // sorted; none when the folder does not exist.
  std::vector<std::string> File(std::string_view relative) const;

 private:
  TempDir dir_;
  TestEnv env_;
  data::DbEngine engine_;
  data::SorgentiDati sorgenti_;
  startup::ContestoNegozio contesto_;
  labels::Consegne consegne_;
  std::string ftp_ = "0";
  std::string vexular_;
  labels::Finestra finestra_;
};

}  // namespace zav5::testing
