#include "checks/audit.h"

#include <algorithm>
#include <exception>
#include <map>
#include <tuple>
#include <utility>

#include <fmt/core.h>

#include "checks/store_session.h"
#include "checks/store_text.h"
#include "cycle/elabora_offerte_scadute.h"
#include "data/data_source.h"
#include "data/field_reading.h"
#include "data/table_cursor.h"
#include "data/value.h"
#include "data/value_text.h"
#include "errors.h"
#include "labels/article_of_ean.h"
#include "platform/case_fold.h"

namespace zav5::checks {

namespace {

using OfferKey = std::pair<std::int32_t, std::int32_t>;

std::optional<std::int32_t> WholeNumber(const data::Value& value) {
  if (value.IsNull()) {
    return std::nullopt;
  }
  try {
    return value.ToLong();
  } catch (const Error&) {
    return std::nullopt;
  }
}

// Every offer's state, by number and year.
std::map<OfferKey, std::string> OfferStates(data::DbEngine& engine, const std::string& store) {
  std::map<OfferKey, std::string> states;
  data::DataSource offers(engine, "offte", "offte");
  offers.DatabaseName = store;
  offers.RecordSource = "SELECT * FROM offte";
  offers.Refresh();
  for (data::Recordset& offer = offers.Recordset(); !offer.Eof(); offer.MoveNext()) {
    const auto number = WholeNumber(offer.Field("numero"));
    const auto year = WholeNumber(offer.Field("anno"));
    if (number && year) {
      states[{*number, *year}] = platform::UpperCase(Shown(offer.Field("stato")));
    }
  }
  offers.Close();
  return states;
}

AuditFinding ArticleFinding(AuditFinding::Kind kind, const data::RowEditor& article,
                            const std::map<OfferKey, std::string>& states) {
  AuditFinding finding;
  finding.kind = kind;
  finding.article = WholeNumber(article.Field("codart")).value_or(0);
  finding.description = Shown(article.Field("desart"));
  finding.regular_price = FormatPrice(article.Field("przpub"));
  finding.promotional_price = FormatPrice(article.Field("przsal"));
  finding.promotion = FormatPromotion(article);
  const auto number = WholeNumber(article.Field("NR_offerta"));
  const auto year = WholeNumber(article.Field("AA_offerta"));
  if (number && year && *number != 0) {
    finding.offer = fmt::format("{}/{}", *number, *year);
    if (const auto state = states.find({*number, *year}); state != states.end()) {
      finding.offer_state = state->second;
    }
  }
  return finding;
}

// The articles still on a promotion that has ended, or whose offer is deactivated.
void StillOnPromotion(data::DbEngine& engine, const std::string& store, std::int32_t today,
                      const std::map<OfferKey, std::string>& states,
                      std::vector<AuditFinding>& findings) {
  data::DataSource articles(engine, "listi01", "listi01");
  articles.DatabaseName = store;
  articles.RecordSource = "SELECT * FROM listi01 WHERE przsal <> 0";
  articles.Refresh();
  for (data::Recordset& article = articles.Recordset(); !article.Eof(); article.MoveNext()) {
    const std::optional<std::int32_t> last_day = WholeNumber(article.Field("data2"));
    if (last_day && *last_day != 0 && *last_day < today) {
      findings.push_back(ArticleFinding(AuditFinding::Kind::kPromotionEnded, article, states));
    }
    const auto number = WholeNumber(article.Field("NR_offerta"));
    const auto year = WholeNumber(article.Field("AA_offerta"));
    if (number && year) {
      const auto state = states.find({*number, *year});
      if (state != states.end() && state->second == "D") {
        findings.push_back(ArticleFinding(AuditFinding::Kind::kOfferDeactivated, article, states));
      }
    }
  }
  articles.Close();
}

// The rows of active offers whose article is not in the price list, found as the deactivation
// finds a row's article: by its EAN, else by its own article code.
void MissingArticles(StoreSession& session, const std::map<OfferKey, std::string>& states,
                     std::vector<AuditFinding>& findings) {
  data::DataSource rows(session.engine(), "offmo", "offmo");
  rows.DatabaseName = session.store();
  rows.RecordSource = "SELECT * FROM offmo";
  rows.Refresh();
  data::TableCursor price_list(session.engine().OpenDatabase(session.store()), "listi01");
  price_list.Index("primary");
  for (data::Recordset& row = rows.Recordset(); !row.Eof(); row.MoveNext()) {
    const auto number = WholeNumber(row.Field("bnumer"));
    const auto year = WholeNumber(row.Field("bannoc"));
    if (!number || !year) {
      continue;
    }
    const auto state = states.find({*number, *year});
    if (state == states.end() || state->second != "A" || row.Field("eanrig").IsNull()) {
      continue;
    }
    const std::string ean = data::FitText(row.Field("eanrig").ToText(), 13);
    std::optional<std::int32_t> article = labels::ArticleOfEan(session.work(), ean);
    if (!article) {
      article = WholeNumber(row.Field("articoli"));
    }
    if (article) {
      price_list.Seek("=", data::Value::Long(*article));
      if (!price_list.NoMatch()) {
        continue;
      }
    }
    AuditFinding finding;
    finding.kind = AuditFinding::Kind::kNotInPriceList;
    finding.article = article.value_or(0);
    finding.ean = ean;
    finding.offer = fmt::format("{}/{}", *number, *year);
    finding.offer_state = state->second;
    findings.push_back(std::move(finding));
  }
  rows.Close();
}

}  // namespace

AuditResult RunAudit(platform::Env& env, const data::EngineOptions& engine_options,
                     const AuditOptions& options) {
  AuditResult result;
  StoreSession session(env, engine_options);
  result.store_found = session.lookup().StoreFound();
  if (!result.store_found) {
    result.error = session.lookup().problem;
    return result;
  }
  const std::int32_t today = session.ScanDay(options.today);
  try {
    const std::map<OfferKey, std::string> states = OfferStates(session.engine(), session.store());
    StillOnPromotion(session.engine(), session.store(), today, states, result.findings);
    MissingArticles(session, states, result.findings);
  } catch (const std::exception& error) {
    result.error = error.what();
  }
  std::stable_sort(result.findings.begin(), result.findings.end(),
                   [](const AuditFinding& a, const AuditFinding& b) {
                     return std::tie(a.kind, a.article, a.offer, a.ean) <
                            std::tie(b.kind, b.article, b.offer, b.ean);
                   });
  return result;
}

}  // namespace zav5::checks
