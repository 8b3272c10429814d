#include "offers/disattiva.h"

#include <optional>
#include <string_view>

#include <fmt/core.h>

#include "data/field_reading.h"
#include "data/sql_text.h"
#include "data/table_cursor.h"
#include "data/value.h"
#include "data/value_text.h"
#include "errors.h"
#include "labels/article_of_ean.h"
#include "labels/invio_frontalini.h"

namespace zav5::offers {

namespace {

using data::DataSource;
using data::Recordset;
using data::Value;

// A date field as a whole day number; nothing when it is Null.
std::optional<std::int32_t> DayField(const data::RowEditor& row, std::string_view field) {
  if (row.Field(field).IsNull()) {
    return std::nullopt;
  }
  return data::FieldLong(row, "listi01", field);
}

// True when the article's promotion, both ends included, contains the offer's first and last
// day. A promotion without a start or an end contains nothing.
bool CoversPeriod(const data::TableCursor& article, std::int32_t DataX, std::int32_t DataY) {
  const std::optional<std::int32_t> inizio = DayField(article, "data1");
  const std::optional<std::int32_t> end_day = DayField(article, "data2");
  if (!inizio || !end_day) {
    return false;
  }
  return DataY >= *inizio && DataY <= *end_day && DataX >= *inizio && DataX <= *end_day;
}

// Takes the promotion off the article at the cursor and records its promotion number in
// listipro.
void RestoreArticle(data::TableCursor& article, Recordset& listipro) {
  const std::int32_t numpro_precedente = data::FieldLong(article, "listi01", "numpro");
  listipro.AddNew();
  listipro.SetField("numpro", Value::Long(numpro_precedente));
  listipro.Update();

  const Value zero = Value::Integer(0);
  const Value blank = Value::Text(" ");
  article.Edit();
  article.SetField("przsal", zero);
  article.SetField("cosoff", zero);
  article.SetField("data1", zero);
  article.SetField("data2", zero);
  article.SetField("escludo", zero);
  article.SetField("fl2art", blank);
  article.SetField("taglia", blank);
  article.SetField("stapro", Value::Text("D"));
  article.SetField("numpro", zero);
  article.SetField("codpro", zero);
  article.SetField("AA_offerta", zero);
  article.SetField("NR_offerta", zero);
  article.SetField("descom", Value::Text(std::string(kDescrizioneVuota)));
  article.Update();
}

// Clears the promotion fields of every EAN row of the article.
void RestoreEanRows(work::WorkContext& work, std::int32_t codice_articolo) {
  Recordset& ean =
      work.PointSource(
              "Data2",
              "SELECT * FROM codean WHERE codare = " + std::to_string(codice_articolo) + "  ", true)
          .Recordset();
  if (ean.Eof()) {
    return;
  }
  const Value zero = Value::Integer(0);
  ean.MoveFirst();
  while (!ean.Eof()) {
    ean.Edit();
    ean.SetField("soglia", zero);
    ean.SetField("sconto", zero);
    ean.SetField("scoval", zero);
    ean.SetField("omaggio", zero);
    ean.SetField("puntif", zero);
    ean.SetField("mix", zero);
    ean.SetField("codpro", zero);
    ean.SetField("nrcard", zero);
    ean.SetField("descom", Value::Text(std::string(kDescrizioneVuota)));
    ean.SetField("przpro", zero);
    ean.SetField("numpro", zero);
    ean.Update();
    ean.MoveNext();
  }
}

// The article code of the current offer row: the article of its EAN when codean has the EAN,
// else the row's own article code.
std::int32_t CodiceArticolo(work::WorkContext& work, Recordset& line, const std::string& ean,
                            std::int32_t Numpro, std::int32_t AnnoPro, int numero_riga) {
  if (const std::optional<std::int32_t> article = labels::ArticleOfEan(work, ean)) {
    return *article;
  }
  if (line.Field("articoli").IsNull()) {
    throw ConversionError(
        fmt::format("offerta {}/{}, riga {}: EAN {} non trovato in codean e campo offmo.articoli "
                    "vuoto (Null)",
                    Numpro, AnnoPro, numero_riga, ean));
  }
  return data::FieldLong(line, "offmo", "articoli");
}

}  // namespace

void Disattiva(work::WorkContext& work, labels::Outbox& outbox, std::int32_t Numpro,
               std::int32_t AnnoPro, std::int32_t DataX, std::int32_t DataY,
               const RowWatcher& watcher) {
  data::TableCursor listino(work.engine().OpenDatabase(work.store_context().PercorsoDati),
                            "listi01");

  Recordset& listipro = work.PointSource("listipro", "SELECT * FROM listipro", false).Recordset();
  if (!listipro.Eof()) {
    listipro.MoveFirst();
    while (!listipro.Eof()) {
      listipro.Delete();
      listipro.MoveNext();
    }
  }

  Recordset& lines =
      work.PointSource("data3",
                       "SELECT * FROM offmo  WHERE bnumer= " + std::to_string(Numpro) +
                           " and bannoc = " + std::to_string(AnnoPro) + " ",
                       true)
          .Recordset();
  int numero_riga = 0;
  if (!lines.Eof()) {
    lines.MoveFirst();
    while (!lines.Eof()) {
      ++numero_riga;
      const Value& eanrig = lines.Field("eanrig");
      if (eanrig.IsNull()) {
        throw ConversionError(
            fmt::format("offerta {}/{}, riga {}: il campo offmo.eanrig è vuoto (Null)", Numpro,
                        AnnoPro, numero_riga));
      }
      const std::string EanRiga = data::FitText(eanrig.ToText(), 13);
      const std::int32_t codice =
          CodiceArticolo(work, lines, EanRiga, Numpro, AnnoPro, numero_riga);

      listino.Index("primary");
      listino.Seek("=", Value::Long(codice));
      const bool Ripristinato = !listino.NoMatch() && CoversPeriod(listino, DataX, DataY);
      if (watcher) {
        watcher({numero_riga, EanRiga, codice, !listino.NoMatch(), Ripristinato,
                 listino.NoMatch() ? nullptr : &listino});
      }
      if (Ripristinato) {
        RestoreArticle(listino, listipro);
        RestoreEanRows(work, codice);
      }

      lines.Edit();
      lines.SetField("stato", Value::Text("D"));
      lines.SetField("bflag2", Value::Text("R"));
      lines.Update();
      lines.MoveNext();
    }
  }

  labels::InvioFrontaliniElettronici(work, outbox, Numpro, AnnoPro);
}

}  // namespace zav5::offers
