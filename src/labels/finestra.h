// The part of the main window that the offer and label operations work with. All of it belongs to
// the window and lives as long as it does.
#pragma once

#include <string>

#include "data/database.h"
#include "data/sorgenti_dati.h"
#include "platform/env.h"
#include "startup/contesto_negozio.h"

namespace zav5::labels {

struct Finestra {
  platform::Env& env;
  data::DbEngine& engine;
  data::SorgentiDati& sorgenti;
  const startup::ContestoNegozio& contesto;
  // Settings of the label system being served: its `ftp` (the layout) and `vexular` (the file-name
  // prefix of the one-file layout).
  std::string& FtpElettro;
  std::string& VexularElettro;
};

}  // namespace zav5::labels
