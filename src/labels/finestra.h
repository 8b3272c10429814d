// The part of the main window that the offer and label operations work with. All of it belongs to
// the window and lives as long as it does.
#pragma once

#include <string>
#include <string_view>

#include "data/database.h"
#include "data/sorgenti_dati.h"
#include "platform/env.h"
#include "startup/contesto_negozio.h"

namespace zav5::labels {

class Consegne;

struct Finestra {
  platform::Env& env;
  data::DbEngine& engine;
  data::SorgentiDati& sorgenti;
  const startup::ContestoNegozio& contesto;
  // Where the import files are made and from where they are handed over after the commit.
  Consegne& consegne;
  // Settings of the label system being served: its `ftp` (the layout) and `vexular` (the file-name
  // prefix of the one-file layout).
  std::string& FtpElettro;
  std::string& VexularElettro;
};

// Points the window's data source `nome` at the store database with the query `sql`, hides it
// when `nascosta`, and refreshes it. Throws DatabaseError.
data::DataSource& PuntaSorgente(Finestra& finestra, std::string_view nome, std::string_view sql,
                                bool nascosta = false);

}  // namespace zav5::labels
