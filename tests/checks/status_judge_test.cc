// The verdict of a status: which finding each state of the store gives, and which code wins.

#include <chrono>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "checks/status.h"
#include "checks/store_text.h"
#include "data/value_calendar.h"

namespace zav5::checks {
namespace {

using namespace std::chrono;

// 8 December 2026, 00:10:00: ten minutes after the offers of the 7th expired.
StoreStatus Healthy() {
  StoreStatus status;
  status.checked_at = local_days{2026y / December / 8} + minutes{10};
  status.today = data::DayNumber(2026y / December / 8);
  status.company_database = "C:\\dorn\\sulvo.mdb";
  status.company_found = true;
  status.store_database = "C:\\SULVO\\NEG01\\DATI.MDB";
  status.running = true;
  status.last_cycle = "08/12/2026-00:09:55";
  status.offers_known = true;
  status.deliveries_known = true;
  status.expired.push_back({"101/2026", "OFFERTA", status.today - 1, 3});
  status.deliveries.push_back({"ESL", "100/2026", status.checked_at - minutes{5}, true, "", ""});
  return status;
}

TEST(StatusJudgeTest, EachStateGivesItsFindingAndTheMostSeriousGivesTheCode) {
  struct Case {
    const char* name;
    std::function<void(StoreStatus&)> change;
    Verdict code;
    const char* first;  // the beginning of the first finding; empty: none
    bool allow_stopped = false;
  };
  const Case cases[] = {
      {"healthy, within the longest wait", [](StoreStatus&) {}, Verdict::kOk, ""},
      {"offer waiting too long", [](StoreStatus& s) { s.checked_at += minutes{6}; },
       Verdict::kWarning, "offer 101/2026 expired on 07/12/2026"},
      {"delivery waiting too long", [](StoreStatus& s) { s.deliveries[0].since -= minutes{11}; },
       Verdict::kWarning, "the labels of offer 100/2026 for label system ESL wait since"},
      {"cycle stuck", [](StoreStatus& s) { s.last_cycle = "07/12/2026-23:50:00"; },
       Verdict::kWarning, "zav5 runs but has not begun a cycle since 07/12/2026-23:50:00"},
      {"stopped, with a stuck cycle of its last run",
       [](StoreStatus& s) {
         s.running = false;
         s.last_cycle = "07/12/2026-23:50:00";
       },
       Verdict::kWarning, "zav5 is not running on the store"},
      {"stopped where a scheduled task runs it", [](StoreStatus& s) { s.running = false; },
       Verdict::kOk, "", /*allow_stopped=*/true},
      {"running or not cannot be told", [](StoreStatus& s) { s.running.reset(); },
       Verdict::kUnknown, "whether zav5 runs cannot be told"},
      {"unreadable delivery record",
       [](StoreStatus& s) { s.unreadable_records.push_back("C:\\x.consegna: riga 3"); },
       Verdict::kCritical, "a label delivery record cannot be read, its labels do not go out: "},
      {"label system failing", [](StoreStatus& s) { s.deliveries[0].reason = "disco pieno"; },
       Verdict::kCritical, "label system ESL has not received the labels of offer 100/2026 since"},
      {"offer failing",
       [](StoreStatus& s) {
         s.failing.push_back({"101/2026", "", "riga 2"});
       },
       Verdict::kCritical, "offer 101/2026 fails to deactivate: riga 2"},
      {"offers unreadable, and late",
       [](StoreStatus& s) {
         s.offers_known = false;
         s.offers_problem = "bloccato";
         s.deliveries[0].since -= minutes{11};
       },
       Verdict::kUnknown, "the expired offers cannot be read now: bloccato"},
      {"unknown below critical",
       [](StoreStatus& s) {
         s.deliveries_known = false;
         s.failing.push_back({"101/2026", "", "riga 2"});
       },
       Verdict::kCritical, "offer 101/2026 fails"},
      {"store database locked",
       [](StoreStatus& s) {
         s.store_database.clear();
         s.store_locked = true;
         s.store_problem = "ERRORE : bloccato";
       },
       Verdict::kUnknown, "store database not found or unreadable: ERRORE : bloccato"},
      {"no store database",
       [](StoreStatus& s) {
         s.store_database.clear();
         s.store_problem = "ERRORE : DB NON ESISTE ";
       },
       Verdict::kCritical, "store database not found or unreadable: ERRORE : DB NON ESISTE"},
      {"no company database", [](StoreStatus& s) { s.company_found = false; }, Verdict::kCritical,
       "company database C:\\dorn\\sulvo.mdb not found"},
  };
  for (const Case& c : cases) {
    StoreStatus status = Healthy();
    c.change(status);
    StatusOptions options;
    options.allow_stopped = c.allow_stopped;
    const Judgement judgement = Judge(status, options, Language::kEnglish);
    EXPECT_EQ(judgement.code, c.code) << c.name;
    if (std::string(c.first).empty()) {
      EXPECT_TRUE(judgement.findings.empty()) << c.name << ": " << judgement.findings[0].text;
    } else if (judgement.findings.empty()) {
      ADD_FAILURE() << c.name << ": no finding";
    } else {
      EXPECT_EQ(judgement.findings[0].text.rfind(c.first, 0), 0u)
          << c.name << ": " << judgement.findings[0].text;
    }
  }
}

}  // namespace
}  // namespace zav5::checks
