#include "checks/audit_output.h"

#include <algorithm>
#include <string>

#include <fmt/core.h>

#include "checks/text_table.h"

namespace zav5::checks {

namespace {

using Kind = AuditFinding::Kind;

Words Title(Kind kind) {
  switch (kind) {
    case Kind::kPromotionEnded:
      return {"Articoli ancora in promozione dopo l'ultimo giorno della promozione: {}",
              "Articles still on a promotion whose last day has passed: {}"};
    case Kind::kOfferDeactivated:
      return {"Articoli ancora in promozione per un'offerta già disattivata: {}",
              "Articles still on a promotion whose offer is already deactivated: {}"};
    case Kind::kNotInPriceList:
      break;
  }
  return {"Righe di offerte attive il cui articolo non è nel listino: {}",
          "Rows of active offers whose article is not in the price list: {}"};
}

void WriteKind(const AuditResult& audit, Kind kind, Language language, std::size_t limit,
               std::ostream& out) {
  const auto count = std::count_if(audit.findings.begin(), audit.findings.end(),
                                   [kind](const AuditFinding& f) { return f.kind == kind; });
  out << '\n' << fmt::format(fmt::runtime(Say(language, Title(kind))), count) << '\n';
  if (count == 0) {
    return;
  }
  const std::string offer(Say(language, {"offerta", "offer"}));
  const std::string article(Say(language, {"articolo", "article"}));
  if (kind == Kind::kNotInPriceList) {
    TextTable table({{article, TextTable::Align::kRight}, {"EAN"}, {offer}});
    for (const AuditFinding& f : audit.findings) {
      if (f.kind == kind) {
        table.AddRow({std::to_string(f.article), f.ean, f.offer});
      }
    }
    table.Write(out, limit, language);
    return;
  }
  TextTable table(
      {{article, TextTable::Align::kRight},
       {std::string(Say(language, {"descrizione", "description"}))},
       {std::string(Say(language, {"prezzo normale", "regular price"})), TextTable::Align::kRight},
       {std::string(Say(language, {"prezzo promozionale", "promotional price"})),
        TextTable::Align::kRight},
       {std::string(Say(language, {"promozione", "promotion"}))},
       {offer},
       {std::string(Say(language, {"stato offerta", "offer state"}))}});
  std::size_t active = 0;
  for (const AuditFinding& f : audit.findings) {
    if (f.kind == kind) {
      table.AddRow({std::to_string(f.article), f.description, f.regular_price, f.promotional_price,
                    f.promotion, f.offer, f.offer_state});
      active += f.offer_state == "A" ? 1 : 0;
    }
  }
  table.Write(out, limit, language);
  if (kind == Kind::kPromotionEnded && active > 0) {
    out << "  "
        << fmt::format(
               fmt::runtime(
                   Say(language,
                       {"{} di questi sono di offerte ancora attive: zav5 li ripristina quando "
                        "disattiva l'offerta, se la promozione dell'articolo copre il periodo "
                        "dell'offerta (zav5 preview mostra quali)",
                        "{} of these belong to offers still active: zav5 restores them when it "
                        "deactivates the offer, where the article's promotion covers the offer's "
                        "period (zav5 preview shows which)"})),
               active)
        << '\n';
  }
}

}  // namespace

void WriteAudit(const AuditResult& audit, Language language, std::size_t limit, std::ostream& out) {
  out << Say(language, {"Controllo dei prezzi: solo un resoconto, nulla è stato cambiato.",
                        "Price check: a report only, nothing was changed."})
      << '\n';
  if (!audit.store_found || !audit.error.empty()) {
    out << (audit.error.starts_with("ERRORE") ? "" : "ERRORE : ") << audit.error << '\n';
    if (!audit.store_found) {
      return;
    }
  }
  for (const Kind kind : {Kind::kPromotionEnded, Kind::kOfferDeactivated, Kind::kNotInPriceList}) {
    WriteKind(audit, kind, language, limit, out);
  }
  out << '\n'
      << fmt::format(
             fmt::runtime(Say(language, {"Totale: {} da controllare.", "Total: {} to check."})),
             audit.findings.size())
      << '\n';
}

}  // namespace zav5::checks
