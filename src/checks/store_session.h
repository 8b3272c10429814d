// A check's hold on the store: the machine read only, a work context of its own (its own database
// engine and data sources), the store found as start-up finds it, and an outbox in memory for the
// label files.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "checks/read_only_env.h"
#include "checks/store_lookup.h"
#include "cycle/elabora_offerte_scadute.h"
#include "data/database.h"
#include "labels/outbox.h"
#include "platform/fake/mem_env.h"
#include "work/work_context.h"

namespace zav5::checks {

class StoreSession {
 public:
  // Finds the store on env's current drive. REQUIRES: `env` outlives the session
  StoreSession(platform::Env& env, const data::EngineOptions& engine_options);
  // Closes every data source and connection.
  ~StoreSession();
  StoreSession(const StoreSession&) = delete;
  StoreSession& operator=(const StoreSession&) = delete;

  const StoreLookup& lookup() const { return lookup_; }
  const std::string& store() const { return work_.store_context().PercorsoDati; }
  ReadOnlyEnv& env() { return env_; }
  data::DbEngine& engine() { return work_.engine(); }
  work::WorkContext& work() { return work_; }
  platform::MemEnv& memory() { return memory_; }
  labels::Outbox& outbox() { return outbox_; }

  // The day the cycle's scan takes for today: `today` when given, else the clock's.
  std::int32_t ScanDay(const std::optional<std::chrono::year_month_day>& today) {
    return cycle::ScanDayNumber(env_, today);
  }

  // Closes every data source and connection: what a connection left unfinished is undone.
  void CloseAll() noexcept;

 private:
  ReadOnlyEnv env_;
  work::WorkContext work_;
  StoreLookup lookup_;
  platform::MemEnv memory_;
  labels::Outbox outbox_;
};

}  // namespace zav5::checks
