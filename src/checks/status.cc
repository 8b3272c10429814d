#include "checks/status.h"

#include <algorithm>
#include <exception>

#include <fmt/core.h>

#include "checks/read_only_env.h"
#include "checks/run_log_digest.h"
#include "checks/store_lookup.h"
#include "checks/store_text.h"
#include "cycle/elabora_offerte_scadute.h"
#include "data/data_source.h"
#include "data/field_reading.h"
#include "data/value_calendar.h"
#include "errors.h"
#include "labels/outbox.h"
#include "platform/case_fold.h"
#include "platform/codepage.h"
#include "startup/log_format.h"
#include "startup/store_lock.h"

namespace zav5::checks {

namespace {

void ReadExpiredOffers(data::DbEngine& engine, StoreStatus& status) {
  data::DataSource offers(engine, "var2", "var2");
  data::DataSource rows(engine, "data3", "data3");
  offers.DatabaseName = status.store_database;
  rows.DatabaseName = status.store_database;
  offers.RecordSource = cycle::ExpiredOffersQuery(status.today);
  offers.Refresh();
  data::Recordset& offer = offers.Recordset();
  for (; !offer.Eof(); offer.MoveNext()) {
    StoreStatus::ExpiredOffer expired;
    expired.offer = Shown(offer.Field("numero")) + "/" + Shown(offer.Field("anno"));
    expired.description = Shown(offer.Field("descrizione"));
    expired.last_day = data::FieldLong(offer, "offte", "data2");
    rows.RecordSource = fmt::format("SELECT * FROM offmo WHERE bnumer = {} and bannoc = {}",
                                    Shown(offer.Field("numero")), Shown(offer.Field("anno")));
    rows.Refresh();
    for (data::Recordset& row = rows.Recordset(); !row.Eof(); row.MoveNext()) {
      ++expired.rows;
    }
    status.expired.push_back(std::move(expired));
  }
  offers.Close();
  rows.Close();
}

// The day of a run log's name, "logzav3_DDMMYYYY.txt"; nothing for another name.
std::optional<std::chrono::year_month_day> LogDay(std::string_view name) {
  constexpr std::string_view kPrefix = "logzav3_";
  if (name.size() != kPrefix.size() + 12 ||
      !platform::EqualsIgnoringCase(name.substr(0, 8), kPrefix) ||
      !platform::EqualsIgnoringCase(name.substr(16), ".txt")) {
    return std::nullopt;
  }
  const std::optional<platform::LocalTime> moment = ParseMoment(
      fmt::format("{}/{}/{}-00:00:00", name.substr(8, 2), name.substr(10, 2), name.substr(12, 4)));
  if (!moment) {
    return std::nullopt;
  }
  return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(*moment)};
}

// The newest run log: the program writes into the log of the day it started, however long ago.
void ReadRunLog(platform::Env& env, StoreStatus& status, RunLogDigest& digest) {
  const std::string today = startup::LogPath(status.checked_at);
  const std::string folder = today.substr(0, today.rfind('\\') + 1);
  status.run_log = today;
  std::optional<std::chrono::year_month_day> newest;
  for (const std::string& name : env.FindFiles(folder + "logzav3_*.txt")) {
    const auto day = LogDay(name);
    if (day && (!newest || *day > *newest)) {
      newest = day;
      status.run_log = folder + name;
    }
  }
  if (const std::optional<std::string> bytes = env.ReadFile(status.run_log)) {
    status.run_log_found = true;
    digest = DigestRunLog(platform::Windows1252ToUtf8(*bytes));
  }
}

void ReadDeliveries(platform::Env& env, StoreStatus& status, const RunLogDigest& digest) {
  labels::Outbox outbox(env, labels::OutboxFolder(env.CurrentDrive()));
  for (const labels::Outbox::OpenDelivery& open :
       outbox.OpenDeliveries(status.store_database, &status.unreadable_records)) {
    StoreStatus::Delivery delivery;
    delivery.system = labels::SystemName(open.delivery.system);
    delivery.offer = open.delivery.Offer();
    delivery.since = open.delivery.prepared_at;
    delivery.in_folder = open.in_label_folder;
    if (const RunLogDigest::LabelLine* line = digest.LastAbout(delivery.offer, delivery.system)) {
      delivery.reason = LabelReason(line->text, delivery.system);
      delivery.at = line->at;
    }
    status.deliveries.push_back(std::move(delivery));
  }
  status.deliveries_known = true;
}

}  // namespace

StoreStatus CollectStatus(platform::Env& env, const data::EngineOptions& engine_options,
                          const StatusOptions& options) {
  ReadOnlyEnv quiet(env);
  data::DbEngine engine(quiet, engine_options);
  StoreStatus status;
  status.checked_at = quiet.Now();
  status.today = cycle::ScanDayNumber(quiet, options.today);
  status.drives = options.drives;
  status.lock_file = startup::StoreLockPath(quiet.CurrentDrive());

  const StoreLookup lookup = LookUpStore(quiet, engine);
  status.company_database = lookup.company_database;
  status.company_found = lookup.company_found;
  status.store_problem = lookup.problem;
  status.store_locked = lookup.locked;
  if (lookup.StoreFound()) {
    status.store_database = lookup.context.PercorsoDati;
  }
  if (status.company_found) {
    try {
      status.running = quiet.LockHeld(status.lock_file);
    } catch (const Error&) {
      status.running.reset();
    }
  }

  RunLogDigest digest;
  try {
    ReadRunLog(quiet, status, digest);
  } catch (const Error&) {
    // Told as a run log not found.
  }
  status.last_cycle = digest.last_cycle;
  if (!lookup.StoreFound()) {
    return status;
  }

  try {
    ReadExpiredOffers(engine, status);
    status.offers_known = true;
  } catch (const std::exception& error) {
    status.offers_problem = error.what();
  }
  // An offer failed while the cycle still finds it: expired and active. One deactivated since,
  // or closed or extended by the operator, fails no more; while the offers cannot be read, every
  // failure counts.
  for (const RunLogDigest::OfferFailure& failure : digest.offer_failures) {
    if (!status.offers_known ||
        std::any_of(status.expired.begin(), status.expired.end(),
                    [&failure](const auto& offer) { return offer.offer == failure.offer; })) {
      status.failing.push_back({failure.offer, failure.at, failure.reason});
    }
  }
  try {
    ReadDeliveries(quiet, status, digest);
  } catch (const std::exception& error) {
    status.deliveries_problem = error.what();
  }
  engine.CloseAll();
  return status;
}

Judgement Judge(const StoreStatus& status, const StatusOptions& options, Language language) {
  const std::chrono::minutes max_wait = options.max_wait;
  Judgement judgement;
  const auto add = [&](Verdict level, Words words, auto&&... args) {
    judgement.findings.push_back({level, fmt::format(fmt::runtime(Say(language, words)),
                                                     std::forward<decltype(args)>(args)...)});
  };
  if (!status.company_found) {
    add(Verdict::kCritical,
        {"database aziendale {} non trovato: zav5 non trova il negozio",
         "company database {} not found: zav5 cannot find the store"},
        status.company_database);
  } else if (status.store_database.empty()) {
    add(status.store_locked ? Verdict::kUnknown : Verdict::kCritical,
        {"database del negozio non trovato o illeggibile: {}",
         "store database not found or unreadable: {}"},
        status.store_problem);
  } else if (!status.store_problem.empty()) {
    add(status.store_locked ? Verdict::kUnknown : Verdict::kCritical,
        {"l'avvio si fermerebbe qui: {}", "start-up would stop here: {}"}, status.store_problem);
  }
  if (!status.store_database.empty() && !status.offers_known) {
    add(Verdict::kUnknown,
        {"le offerte scadute non si leggono ora: {}", "the expired offers cannot be read now: {}"},
        status.offers_problem);
  }
  for (const StoreStatus::FailingOffer& failing : status.failing) {
    add(Verdict::kCritical,
        {"l'offerta {} non si disattiva: {}", "offer {} fails to deactivate: {}"}, failing.offer,
        failing.reason);
  }
  if (!status.store_database.empty() && !status.deliveries_known) {
    add(Verdict::kUnknown,
        {"le consegne delle etichette non si leggono ora: {}",
         "the label deliveries cannot be read now: {}"},
        status.deliveries_problem);
  }
  const auto since = [&](platform::LocalTime t) { return FormatMoment(t); };
  for (const std::string& record : status.unreadable_records) {
    add(Verdict::kCritical,
        {"un registro di consegna delle etichette non si legge, le sue etichette non partono: {}",
         "a label delivery record cannot be read, its labels do not go out: {}"},
        record);
  }
  for (const StoreStatus::Delivery& delivery : status.deliveries) {
    if (!delivery.reason.empty()) {
      add(Verdict::kCritical,
          {"il sistema di etichette {} non riceve le etichette dell'offerta {} dal {}: {}",
           "label system {} has not received the labels of offer {} since {}: {}"},
          delivery.system, delivery.offer, since(delivery.since), delivery.reason);
    } else if (status.checked_at - delivery.since > max_wait) {
      add(Verdict::kWarning,
          {"le etichette dell'offerta {} per il sistema {} aspettano dal {}",
           "the labels of offer {} for label system {} wait since {}"},
          delivery.offer, delivery.system, since(delivery.since));
    }
  }
  for (const StoreStatus::ExpiredOffer& offer : status.expired) {
    // An offer expires at the midnight after its last day.
    const platform::LocalTime expired_at{
        std::chrono::local_days{data::DayFromNumber(offer.last_day + 1)}};
    if (status.checked_at - expired_at > max_wait) {
      add(Verdict::kWarning,
          {"l'offerta {} è scaduta il {} ed è ancora attiva",
           "offer {} expired on {} and is still active"},
          offer.offer, FormatDay(offer.last_day));
    }
  }
  if (status.company_found && !status.running) {
    add(Verdict::kUnknown,
        {"non si sa se zav5 è in esecuzione: il file {} non si legge",
         "whether zav5 runs cannot be told: the file {} cannot be read"},
        status.lock_file);
  } else if (status.company_found && !*status.running && !options.allow_stopped) {
    add(Verdict::kWarning,
        {"zav5 non è in esecuzione sul negozio (se parte da un'operazione pianificata con --once, "
         "--allow-stopped)",
         "zav5 is not running on the store (if a scheduled task runs it with --once, "
         "--allow-stopped)"});
  }
  if (status.running == true && status.last_cycle) {
    const std::optional<platform::LocalTime> last = ParseMoment(*status.last_cycle);
    if (last && status.checked_at - *last > max_wait) {
      add(Verdict::kWarning,
          {"zav5 è in esecuzione ma non inizia un ciclo dal {}",
           "zav5 runs but has not begun a cycle since {}"},
          *status.last_cycle);
    }
  }
  // Unknown ranks between critical and warning: an error seen is more than one guessed at.
  const auto rank = [](Verdict v) {
    return v == Verdict::kCritical ? 3 : v == Verdict::kUnknown ? 2 : static_cast<int>(v);
  };
  std::stable_sort(
      judgement.findings.begin(), judgement.findings.end(),
      [&rank](const Finding& a, const Finding& b) { return rank(a.level) > rank(b.level); });
  if (!judgement.findings.empty()) {
    judgement.code = judgement.findings.front().level;
  }
  return judgement;
}

}  // namespace zav5::checks
