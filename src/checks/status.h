// "Is it working?": the store found, whether a zav5 runs on it, the expired offers that wait, the
// offers that fail, the label deliveries that wait and the last cycle, with a verdict whose code
// follows the monitoring plugins' convention.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "checks/language.h"
#include "data/database.h"
#include "platform/env.h"

namespace zav5::checks {

struct StatusOptions {
  // The day the scan takes for today; the clock's when not given.
  std::optional<std::chrono::year_month_day> today;
  // How long an expired offer or a label delivery may wait before it counts as late.
  std::chrono::minutes max_wait{15};
  // The drive map in use, for the report: letter -> folder.
  std::map<char, std::string> drives;
  // zav5 runs from a scheduled task (--once), not all the time: its not running is no warning.
  bool allow_stopped = false;
};

struct StoreStatus {
  platform::LocalTime checked_at{};
  std::int32_t today = 0;  // OLE day number the scan takes for today

  std::string company_database;
  bool company_found = false;
  std::string store_database;  // empty: not found
  std::string store_problem;   // start-up's "ERRORE" line, when it stopped
  bool store_locked = false;   // the problem is a database another program keeps locked now
  std::string run_log;         // the newest run log, or today's name when there is none
  bool run_log_found = false;
  std::map<char, std::string> drives;
  std::string lock_file;
  std::optional<bool> running;  // nothing: the lock file could not be asked

  struct ExpiredOffer {
    std::string offer;  // "101/2026"
    std::string description;
    std::int32_t last_day = 0;
    std::size_t rows = 0;
  };
  bool offers_known = false;
  std::string offers_problem;
  std::vector<ExpiredOffer> expired;  // in the order the cycle takes them

  struct FailingOffer {
    std::string offer;
    std::string at;
    std::string reason;
  };
  std::vector<FailingOffer> failing;

  struct Delivery {
    std::string system;  // as the run log names it
    std::string offer;
    platform::LocalTime since{};
    bool in_folder = false;  // handed over; the script has not taken the files yet
    std::string reason;      // the run log's last word on it; empty: none
    std::string at;
  };
  bool deliveries_known = false;
  std::string deliveries_problem;
  std::vector<Delivery> deliveries;
  // Records of the outbox that cannot be read, "path: reason": their labels never go out.
  std::vector<std::string> unreadable_records;

  std::optional<std::string> last_cycle;  // "dd/mm/yyyy-hh:mm:ss"
};

// Looks at the store on env's current drive and changes nothing: no file is written, no lock
// taken, no database changed.
StoreStatus CollectStatus(platform::Env& env, const data::EngineOptions& engine_options,
                          const StatusOptions& options);

// The monitoring plugins' codes.
enum class Verdict { kOk = 0, kWarning = 1, kCritical = 2, kUnknown = 3 };

struct Finding {
  Verdict level = Verdict::kOk;
  std::string text;
};

// What is wrong, most serious first, and the code: the most serious finding's; kOk without any.
struct Judgement {
  Verdict code = Verdict::kOk;
  std::vector<Finding> findings;
};

Judgement Judge(const StoreStatus& status, const StatusOptions& options, Language language);

}  // namespace zav5::checks
