#include "checks/status_output.h"

#include <algorithm>
#include <string>

#include <fmt/core.h>

#include "checks/json_text.h"
#include "checks/store_text.h"
#include "checks/text_table.h"

namespace zav5::checks {

namespace {

std::string_view VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk:
      return "OK";
    case Verdict::kWarning:
      return "WARNING";
    case Verdict::kCritical:
      return "CRITICAL";
    case Verdict::kUnknown:
      break;
  }
  return "UNKNOWN";
}

std::string_view VerdictWord(Verdict verdict, Language language) {
  switch (verdict) {
    case Verdict::kOk:
      return Say(language, {"tutto bene", "all well"});
    case Verdict::kWarning:
      return Say(language, {"qualcosa aspetta più del dovuto", "something waits too long"});
    case Verdict::kCritical:
      return Say(language, {"errore", "error"});
    case Verdict::kUnknown:
      break;
  }
  return Say(language, {"stato sconosciuto", "status unknown"});
}

std::string YesNo(bool yes, Language language) {
  return std::string(yes ? Say(language, {"sì", "yes"}) : Say(language, {"no", "no"}));
}

void Section(std::ostream& out, std::string_view title) {
  out << '\n' << title << '\n';
}

void WriteStore(const StoreStatus& status, Language language, std::ostream& out) {
  Section(out, Say(language, {"Negozio", "Store"}));
  TextTable table({{""}, {""}});
  const auto found = [&](bool yes) {
    return yes ? std::string() : std::string(Say(language, {" (non trovato)", " (not found)"}));
  };
  table.AddRow({std::string(Say(language, {"database aziendale", "company database"})),
                status.company_database + found(status.company_found)});
  table.AddRow({std::string(Say(language, {"database del negozio", "store database"})),
                status.store_database.empty()
                    ? std::string(Say(language, {"non trovato", "not found"}))
                    : status.store_database});
  table.AddRow({std::string(Say(language, {"registro", "run log"})),
                status.run_log + found(status.run_log_found)});
  std::string drives;
  for (const auto& [letter, folder] : status.drives) {
    drives += fmt::format("{}{}: = {}", drives.empty() ? "" : ", ", letter, folder);
  }
  table.AddRow({std::string(Say(language, {"unità", "drives"})),
                drives.empty()
                    ? std::string(Say(language, {"quelle del sistema", "the system's own"}))
                    : drives});
  table.AddRow({std::string(Say(language, {"zav5 in esecuzione", "zav5 running"})),
                status.running
                    ? fmt::format("{} ({})", YesNo(*status.running, language), status.lock_file)
                    : std::string(Say(language, {"non si sa", "cannot tell"}))});
  table.AddRow({std::string(Say(language, {"ultimo ciclo", "last cycle"})),
                status.last_cycle
                    ? *status.last_cycle
                    : std::string(Say(language, {"nessuno nel registro", "none in the run log"}))});
  table.Write(out, 0, language);
}

void WriteExpired(const StoreStatus& status, Language language, std::size_t limit,
                  std::ostream& out) {
  if (!status.offers_known) {
    return;
  }
  Section(out, fmt::format(fmt::runtime(Say(language, {"Offerte scadute ancora attive: {}",
                                                       "Expired offers still active: {}"})),
                           status.expired.size()));
  if (status.expired.empty()) {
    return;
  }
  const auto oldest =
      std::min_element(status.expired.begin(), status.expired.end(),
                       [](const auto& a, const auto& b) { return a.last_day < b.last_day; });
  const auto largest =
      std::max_element(status.expired.begin(), status.expired.end(),
                       [](const auto& a, const auto& b) { return a.rows < b.rows; });
  out << "  "
      << fmt::format(
             fmt::runtime(
                 Say(language, {"la più vecchia {} (ultimo giorno {}), la più grande {} ({} righe)",
                                "oldest {} (last day {}), largest {} ({} rows)"})),
             oldest->offer, FormatDay(oldest->last_day), largest->offer, largest->rows)
      << '\n';
  TextTable table({{std::string(Say(language, {"offerta", "offer"}))},
                   {std::string(Say(language, {"descrizione", "description"}))},
                   {std::string(Say(language, {"ultimo giorno", "last day"}))},
                   {std::string(Say(language, {"righe", "rows"})), TextTable::Align::kRight}});
  for (const StoreStatus::ExpiredOffer& offer : status.expired) {
    table.AddRow(
        {offer.offer, offer.description, FormatDay(offer.last_day), std::to_string(offer.rows)});
  }
  table.Write(out, limit, language);
}

void WriteFailing(const StoreStatus& status, Language language, std::size_t limit,
                  std::ostream& out) {
  Section(out, fmt::format(fmt::runtime(Say(language, {"Offerte che non si disattivano: {}",
                                                       "Offers that fail to deactivate: {}"})),
                           status.failing.size()));
  if (status.failing.empty()) {
    return;
  }
  TextTable table({{std::string(Say(language, {"offerta", "offer"}))},
                   {std::string(Say(language, {"quando", "when"}))},
                   {std::string(Say(language, {"ultimo errore", "last error"}))}});
  for (const StoreStatus::FailingOffer& failing : status.failing) {
    table.AddRow({failing.offer, failing.at, failing.reason});
  }
  table.Write(out, limit, language);
}

void WriteDeliveries(const StoreStatus& status, Language language, std::size_t limit,
                     std::ostream& out) {
  if (!status.deliveries_known) {
    return;
  }
  Section(out, fmt::format(fmt::runtime(Say(language, {"Consegne di etichette in attesa: {}",
                                                       "Label deliveries waiting: {}"})),
                           status.deliveries.size()));
  if (status.deliveries.empty()) {
    return;
  }
  TextTable table({{std::string(Say(language, {"sistema di etichette", "label system"}))},
                   {std::string(Say(language, {"offerta", "offer"}))},
                   {std::string(Say(language, {"dal", "since"}))},
                   {std::string(Say(language, {"stato", "state"}))},
                   {std::string(Say(language, {"motivo", "reason"}))}});
  for (const StoreStatus::Delivery& delivery : status.deliveries) {
    table.AddRow({delivery.system, delivery.offer, FormatMoment(delivery.since),
                  std::string(delivery.in_folder
                                  ? Say(language, {"nella cartella, lo script non li ha presi",
                                                   "in the folder, not taken by the script"})
                                  : Say(language, {"da consegnare", "to hand over"})),
                  delivery.reason});
  }
  table.Write(out, limit, language);
}

// A run log's "dd/mm/yyyy-hh:mm:ss" in ISO 8601; as it stands when it is not one.
std::string IsoStamp(const std::string& stamp) {
  const std::optional<platform::LocalTime> moment = ParseMoment(stamp);
  return moment ? IsoMoment(*moment) : stamp;
}

}  // namespace

void WriteStatus(const StoreStatus& status, const Judgement& judgement, Language language,
                 std::size_t limit, std::ostream& out) {
  out << fmt::format(fmt::runtime(Say(language, {"zav5 status {}: {} ({}, codice {})",
                                                 "zav5 status {}: {} ({}, code {})"})),
                     FormatMoment(status.checked_at), VerdictName(judgement.code),
                     VerdictWord(judgement.code, language), static_cast<int>(judgement.code))
      << '\n';
  for (const Finding& finding : judgement.findings) {
    out << "  " << VerdictName(finding.level) << ": " << finding.text << '\n';
  }
  WriteStore(status, language, out);
  WriteExpired(status, language, limit, out);
  WriteFailing(status, language, limit, out);
  WriteDeliveries(status, language, limit, out);
}

void WriteStatusJson(const StoreStatus& status, const Judgement& judgement, std::ostream& out) {
  const auto text = [](std::string_view t) { return JsonString(t); };
  out << "{\"code\":" << static_cast<int>(judgement.code)
      << ",\"state\":" << text(VerdictName(judgement.code))
      << ",\"checked_at\":" << text(IsoMoment(status.checked_at))
      << ",\"today\":" << text(IsoDay(status.today)) << ",\"findings\":[";
  for (std::size_t i = 0; i < judgement.findings.size(); ++i) {
    out << (i ? "," : "") << "{\"state\":" << text(VerdictName(judgement.findings[i].level))
        << ",\"text\":" << text(judgement.findings[i].text) << "}";
  }
  out << "],\"store\":{\"company_database\":" << text(status.company_database)
      << ",\"company_found\":" << (status.company_found ? "true" : "false")
      << ",\"store_database\":"
      << (status.store_database.empty() ? "null" : text(status.store_database))
      << ",\"problem\":" << (status.store_problem.empty() ? "null" : text(status.store_problem))
      << ",\"run_log\":" << text(status.run_log)
      << ",\"run_log_found\":" << (status.run_log_found ? "true" : "false") << ",\"drives\":{";
  bool first = true;
  for (const auto& [letter, folder] : status.drives) {
    out << (first ? "" : ",") << text(std::string(1, letter)) << ":" << text(folder);
    first = false;
  }
  out << "},\"lock_file\":" << text(status.lock_file)
      << ",\"running\":" << (status.running ? (*status.running ? "true" : "false") : "null")
      << ",\"last_cycle\":" << (status.last_cycle ? text(IsoStamp(*status.last_cycle)) : "null")
      << "},\"expired_offers\":";
  if (!status.offers_known) {
    out << "null";
  } else {
    out << "[";
    for (std::size_t i = 0; i < status.expired.size(); ++i) {
      const StoreStatus::ExpiredOffer& offer = status.expired[i];
      out << (i ? "," : "") << "{\"offer\":" << text(offer.offer)
          << ",\"description\":" << text(offer.description)
          << ",\"last_day\":" << text(IsoDay(offer.last_day)) << ",\"rows\":" << offer.rows << "}";
    }
    out << "]";
  }
  out << ",\"failing_offers\":[";
  for (std::size_t i = 0; i < status.failing.size(); ++i) {
    const StoreStatus::FailingOffer& failing = status.failing[i];
    out << (i ? "," : "") << "{\"offer\":" << text(failing.offer)
        << ",\"at\":" << text(IsoStamp(failing.at)) << ",\"reason\":" << text(failing.reason)
        << "}";
  }
  out << "],\"waiting_deliveries\":";
  if (!status.deliveries_known) {
    out << "null";
  } else {
    out << "[";
    for (std::size_t i = 0; i < status.deliveries.size(); ++i) {
      const StoreStatus::Delivery& delivery = status.deliveries[i];
      out << (i ? "," : "") << "{\"label_system\":" << text(delivery.system)
          << ",\"offer\":" << text(delivery.offer)
          << ",\"since\":" << text(IsoMoment(delivery.since))
          << ",\"in_folder\":" << (delivery.in_folder ? "true" : "false")
          << ",\"reason\":" << (delivery.reason.empty() ? "null" : text(delivery.reason)) << "}";
    }
    out << "]";
  }
  out << "}\n";
}

}  // namespace zav5::checks
