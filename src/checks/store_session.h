// A check's hold on the store: the machine read only, a database engine of its own, the store
// found as start-up finds it, and the part of the window that the offer and label operations work
// with, whose label files go to an outbox in memory.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "checks/read_only_env.h"
#include "checks/store_lookup.h"
#include "cycle/elabora_offerte_scadute.h"
#include "data/database.h"
#include "data/sorgenti_dati.h"
#include "labels/consegne.h"
#include "labels/finestra.h"
#include "platform/fake/mem_env.h"

namespace zav5::checks {

class StoreSession {
 public:
  // Finds the store on env's current drive. REQUIRES: `env` outlives the session
  StoreSession(platform::Env& env, const data::OpzioniMotore& motore);
  // Closes every data source and connection.
  ~StoreSession();
  StoreSession(const StoreSession&) = delete;
  StoreSession& operator=(const StoreSession&) = delete;

  const StoreLookup& lookup() const { return lookup_; }
  const std::string& store() const { return lookup_.context.PercorsoDati; }
  ReadOnlyEnv& env() { return env_; }
  data::DbEngine& engine() { return engine_; }
  labels::Finestra& finestra() { return finestra_; }
  platform::MemEnv& memory() { return memory_; }
  labels::Consegne& outbox() { return outbox_; }

  // The day the cycle's scan takes for today: `today` when given, else the clock's.
  std::int32_t ScanDay(const std::optional<std::chrono::year_month_day>& today) {
    return cycle::GiornoScansione(env_, today);
  }

  // Closes every data source and connection: what a connection left unfinished is undone.
  void CloseAll() noexcept;

 private:
  ReadOnlyEnv env_;
  data::DbEngine engine_;
  StoreLookup lookup_;
  platform::MemEnv memory_;
  labels::Consegne outbox_;
  data::SorgentiDati sources_;
  std::string ftp_ = "0";
  std::string vexular_;
  labels::Finestra finestra_;
};

}  // namespace zav5::checks
