#include "labels/trasmetto_elettronici.h"

#include <map>
#include <optional>
#include <string_view>

#include <fmt/core.h>

#include "data/field_reading.h"
#include "data/sql_text.h"
#include "data/value.h"
#include "data/value_text.h"
#include "errors.h"
#include "labels/article_of_ean.h"
#include "labels/file_layout.h"
#include "labels/import_line.h"
#include "labels/label_texts.h"
#include "labels/outbox.h"

namespace zav5::labels {

namespace {

using data::Recordset;
using data::Value;

constexpr std::size_t kSupplierCodeLength = 16;

// The kind of file that receives a line of the layout.
ImportKind KindOf(FileLayout layout, bool promotion) {
  if (layout == FileLayout::kOneFile) {
    return ImportKind::kSingle;
  }
  return promotion ? ImportKind::kPromotions : ImportKind::kPrices;
}

// Where an offer row stands, for messages.
struct Position {
  std::int32_t numero;
  std::int32_t anno;
  int row;  // counted from 1 in the order the rows are read
};

// A field that the line cannot do without; Null is an error that names the offer and the row.
const Value& Required(const data::RowEditor& row, std::string_view table, std::string_view field,
                      const Position& dove) {
  const Value& value = row.Field(field);
  if (value.IsNull()) {
    throw ConversionError(fmt::format("offerta {}/{}, riga {}: il campo {}.{} è vuoto (Null)",
                                      dove.numero, dove.anno, dove.row, table, field));
  }
  return value;
}

// The article of the current offer row: its own article code, or, when the row has none (Null),
// the article of its EAN, the one the deactivation restored. Without either the row is an error.
std::int32_t ArticleCodeOfRow(work::WorkContext& work, const Recordset& offer,
                              const std::string& ean, const Position& dove) {
  if (!offer.Field("articoli").IsNull()) {
    return data::FieldLong(offer, "offmo", "articoli");
  }
  if (const std::optional<std::int32_t> article = ArticleOfEan(work, ean)) {
    return *article;
  }
  throw ConversionError(fmt::format(
      "offerta {}/{}, riga {}: EAN {} non trovato in codean e campo offmo.articoli vuoto (Null)",
      dove.numero, dove.anno, dove.row, ean));
}

// Copies a text field into `target` unless it is Null.
void TextIfPresent(const Recordset& row, std::string_view field, std::string& target) {
  const Value& value = row.Field(field);
  if (value.Kind() == data::ValueKind::kText) {
    target = value.AsText();  // its own text form, without a copy in between
  } else if (!value.IsNull()) {
    target = value.ToText();
  }
}

// A text field as text; nothing when it is Null.
std::optional<std::string> OptionalFieldText(const Recordset& row, std::string_view field) {
  if (row.Field(field).IsNull()) {
    return std::nullopt;
  }
  std::string testo;
  TextIfPresent(row, field, testo);
  return testo;
}

// What the promotion type of an offtab row gives the line; nothing for a Null field.
struct PromotionType {
  std::optional<std::string> descrizione;
  std::optional<std::string> codelettro;
};

// The rows of the small tables unitam and offtab that the lines of one offer ask for, each read
// once: an offer's articles share a handful of units and promotion types. Each code is looked up
// by the engine the first time, so that it matches as the engine compares (case, blanks).
class LookupTables {
 public:
  // The factor of the unit of measure for unit prices; 0 for a unit that unitam does not have.
  double UnitFactor(work::WorkContext& work, const std::string& codice_unita) {
    if (const auto nota = factors_.find(codice_unita); nota != factors_.end()) {
      return nota->second;
    }
    Recordset& drive = work.PointSource("unita2", "SELECT * FROM unitam WHERE  coduni = '" +
                                                      data::DoubleQuotes(codice_unita) + "' ")
                           .Recordset();
    const double fattore = drive.Eof() ? 0 : data::FieldDouble(drive, "unitam", "fatxmul");
    factors_.emplace(codice_unita, fattore);
    return fattore;
  }

  // The promotion type `codice` of offtab; nothing when offtab does not have it.
  const std::optional<PromotionType>& PromotionTypeOf(work::WorkContext& work,
                                                      std::int32_t codice) {
    if (const auto nota = promotion_types_.find(codice); nota != promotion_types_.end()) {
      return nota->second;
    }
    Recordset& kind =
        work.PointSource("offtab",
                         "SELECT * FROM offtab WHERE  codice = " + std::to_string(codice) + " ")
            .Recordset();
    std::optional<PromotionType> trovato;
    if (!kind.Eof()) {
      trovato = PromotionType{OptionalFieldText(kind, "descrizione"),
                              OptionalFieldText(kind, "codelettro")};
    }
    return promotion_types_.emplace(codice, std::move(trovato)).first->second;
  }

 private:
  std::map<std::string, double> factors_;
  std::map<std::int32_t, std::optional<PromotionType>> promotion_types_;
};

// Stores the supplier code into a codafo field with all its 16 characters, as the suite keeps it.
// Where the store's column is narrower, only trailing blanks give way; a code that does not fit
// even then is refused by the column.
void StoreSupplierCode(data::RowEditor& row, const std::string& codice) {
  std::size_t lunghezza = kSupplierCodeLength;
  const data::Column& colonna = row.FieldColumn("codafo");
  if (colonna.kind == data::ColumnKind::kText && colonna.size < lunghezza) {
    const std::string_view codice_stretto(codice.data(), codice.find_last_not_of(' ') + 1);
    lunghezza = std::max(colonna.size, data::CharacterCount(codice_stretto));
  }
  row.Edit();
  row.SetField("codafo", Value::Text(data::FitText(codice, lunghezza)));
  row.Update();
}

// Whether the article of the current row of `article` is on promotion: its promotional price is
// not 0 (a Null price counts as a promotion).
bool OnPromotion(const Recordset& article) {
  return article.Field("przsal").IsNull() || data::FieldDouble(article, "listi01", "przsal") != 0;
}

// The line of the current offer row, whose article is the current row of `article`. Stores the
// supplier code when the article has none.
ImportLine ArticleLine(work::WorkContext& work, LookupTables& tabelle, Recordset& offer,
                       Recordset& article, const std::string& ean, const Position& dove) {
  ImportLine line;
  line.ean = ean;
  line.descrizione = ArticleDescription(Required(article, "listi01", "desart", dove).ToText());
  const Value& codafo = article.Field("codafo");
  if (!codafo.IsNull()) {
    line.supplier_code = data::MidText(codafo.ToText(), 3, 7);
  }
  std::string codice_unita;
  TextIfPresent(article, "umart", line.unit_of_measure);
  TextIfPresent(article, "umquaco", codice_unita);
  if (!article.Field("quaco").IsNull()) {
    line.quantity = data::FieldDouble(article, "listi01", "quaco");
  }
  TextIfPresent(article, "ivart", line.vat_code);
  TextIfPresent(article, "desfor", line.supplier);
  TextIfPresent(article, "desrep", line.department);
  TextIfPresent(article, "desgru", line.group);
  TextIfPresent(article, "dessot", line.subgroup);

  double normal_price = 0;
  if (!article.Field("przpub").IsNull()) {
    const double przpub = data::FieldDouble(article, "listi01", "przpub");
    line.price = PriceTwoDecimals(przpub);
    line.normal_price = Amount(przpub);
    normal_price = line.price.ToDouble();
  }
  const double fattore = tabelle.UnitFactor(work, codice_unita);
  if (line.quantity != 0) {
    line.unit_price = UnitPrice(line.price.ToDouble(), line.quantity, fattore);
    line.normal_unit_price = UnitPrice(normal_price, line.quantity, fattore);
  }

  if (!offer.Field("sconto").IsNull()) {
    line.sconto = data::FieldCurrency(offer, "offmo", "sconto");
  }

  if (Trimmed(data::FitText(line.supplier_code, kSupplierCodeLength)).empty()) {
    const std::string codice =
        data::FitText("AB" + data::FieldText(article, "listi01", "codart"), kSupplierCodeLength);
    line.supplier_code = codice;
    StoreSupplierCode(article, codice);
    StoreSupplierCode(offer, codice);
  }

  TextIfPresent(article, "provenienza", line.provenienza);
  TextIfPresent(article, "categoria", line.categoria);

  if (!OnPromotion(article)) {
    return line;  // a price line
  }
  line.promotion = true;
  std::int32_t codice_promozione = 0;
  if (!article.Field("codpro").IsNull()) {
    codice_promozione = data::FieldLong(article, "listi01", "codpro");
  }
  if (const std::optional<PromotionType>& kind = tabelle.PromotionTypeOf(work, codice_promozione)) {
    line.offer_description = kind->descrizione.value_or(line.offer_description);
    line.label_code = kind->codelettro.value_or(line.label_code);
  }
  if (!article.Field("przsal").IsNull()) {
    line.price = PriceTwoDecimals(data::FieldDouble(article, "listi01", "przsal"));
    if (!article.Field("data2").IsNull()) {
      line.end_date = EndDate(data::FieldLong(article, "listi01", "data2"));
    }
    line.price = DiscountedPrice(line.price, line.sconto);
    if (line.quantity != 0) {
      line.unit_price = UnitPrice(line.price.ToDouble(), line.quantity, fattore);
    }
  }
  return line;
}

}  // namespace

void Trasmetto_Elettronici(work::WorkContext& work, Outbox& outbox,
                           const std::string& PercorsoElettro, std::int32_t Numpro,
                           std::int32_t AnnoPro) {
  platform::Env& env = work.env();
  Recordset& offer =
      work.PointSource("Data1",
                       "SELECT * FROM offmo WHERE bnumer =  " + std::to_string(Numpro) +
                           " and bannoc = " + std::to_string(AnnoPro) + " ",
                       true)
          .Recordset();
  offer.LockEdits(false);

  const LabelSystem system{PercorsoElettro, LayoutFromFtp(work.FtpElettro),
                           std::string(Trimmed(work.VexularElettro))};
  const std::unique_ptr<DeliveryPreparation> file =
      outbox.StartDelivery(work.store_context().PercorsoDati, Numpro, AnnoPro, system);
  if (offer.Eof()) {
    // Nothing to write; the hand-over only cleans the label folder.
    file->Close(false);
    return;
  }
  env.CloseAll();

  Position dove{Numpro, AnnoPro, 0};
  LookupTables tabelle;
  offer.MoveFirst();
  while (!offer.Eof()) {
    ++dove.row;
    const std::string ean = data::FitText(Required(offer, "offmo", "eanrig", dove).ToText(), 13);
    const std::int32_t codice_articolo = ArticleCodeOfRow(work, offer, ean, dove);
    Recordset& article = work.PointSource("listi01", "SELECT * FROM listi01 WHERE  codart = " +
                                                         std::to_string(codice_articolo) + " ")
                             .Recordset();
    if (!article.Eof()) {
      const bool promotion = OnPromotion(article);
      const ImportLine line = ArticleLine(work, tabelle, offer, article, ean, dove);
      file->Write(KindOf(system.layout, promotion), ImportLineText(line));
    }
    offer.MoveNext();
  }
  file->Close(true);
  env.CloseAll();
}

}  // namespace zav5::labels
