// What the offer, label and cycle operations share: the machine, the database engine with its
// open databases, the main window's data sources, the run's ContestoNegozio and the settings of the
// label system being served. One object owns all of it; whoever runs those operations (the main
// window, a check, a test, the benchmark) holds one and hands it down.
#pragma once

#include <string>
#include <string_view>

#include "data/data_source.h"
#include "data/data_sources.h"
#include "data/database.h"
#include "platform/env.h"
#include "startup/contesto_negozio.h"

namespace zav5::work {

class WorkContext {
 public:
  // Databases are reached as `options` say. The data sources start empty: the owner adds those
  // its operations use (the window adds the ones it is designed with).
  // REQUIRES: `env` outlives this object
  explicit WorkContext(platform::Env& env, data::EngineOptions options = {});
  WorkContext(const WorkContext&) = delete;
  WorkContext& operator=(const WorkContext&) = delete;

  platform::Env& env() { return env_; }
  data::DbEngine& engine() { return engine_; }
  data::DataSources& sources() { return sources_; }
  startup::ContestoNegozio& store_context() { return store_context_; }
  const startup::ContestoNegozio& store_context() const { return store_context_; }

  // Points the data source `name` at the store database with the query `sql`, hides it when
  // `hidden`, and refreshes it. Throws DatabaseError; std::out_of_range for a name not carried.
  data::DataSource& PointSource(std::string_view name, std::string_view sql, bool hidden = false);

  // Settings of the label system being served: its `ftp` (the layout) and `vexular` (the file-name
  // prefix of the one-file layout).
  std::string FtpElettro = "0";
  std::string VexularElettro;

 private:
  platform::Env& env_;
  data::DbEngine engine_;
  data::DataSources sources_;
  startup::ContestoNegozio store_context_;
};

}  // namespace zav5::work
