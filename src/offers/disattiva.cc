#include "offers/disattiva.h"

#include <optional>
#include <string_view>

#include <fmt/core.h>

#include "data/field_reading.h"
#include "data/sql_text.h"
#include "data/table_cursor.h"
#include "data/value.h"
#include "errors.h"
#include "labels/articolo_ean.h"
#include "labels/invio_frontalini.h"

namespace zav5::offers {

namespace {

using data::DataSource;
using data::Recordset;
using data::Value;

// A date field as a whole day number; nothing when it is Null.
std::optional<std::int32_t> Giorno(const data::RowEditor& row, std::string_view field) {
  if (row.Field(field).IsNull()) {
    return std::nullopt;
  }
  return data::FieldLong(row, "listi01", field);
}

// True when the article's promotion, both ends included, contains the offer's first and last
// day. A promotion without a start or an end contains nothing.
bool PeriodoCoperto(const data::TableCursor& articolo, std::int32_t DataX, std::int32_t DataY) {
  const std::optional<std::int32_t> inizio = Giorno(articolo, "data1");
  const std::optional<std::int32_t> fine = Giorno(articolo, "data2");
  if (!inizio || !fine) {
    return false;
  }
  return DataY >= *inizio && DataY <= *fine && DataX >= *inizio && DataX <= *fine;
}

// Takes the promotion off the article at the cursor and records its promotion number in
// listipro.
void RipristinaArticolo(data::TableCursor& articolo, Recordset& listipro) {
  const std::int32_t numpro_precedente = data::FieldLong(articolo, "listi01", "numpro");
  listipro.AddNew();
  listipro.SetField("numpro", Value::Long(numpro_precedente));
  listipro.Update();

  const Value zero = Value::Integer(0);
  const Value blank = Value::Text(" ");
  articolo.Edit();
  articolo.SetField("przsal", zero);
  articolo.SetField("cosoff", zero);
  articolo.SetField("data1", zero);
  articolo.SetField("data2", zero);
  articolo.SetField("escludo", zero);
  articolo.SetField("fl2art", blank);
  articolo.SetField("taglia", blank);
  articolo.SetField("stapro", Value::Text("D"));
  articolo.SetField("numpro", zero);
  articolo.SetField("codpro", zero);
  articolo.SetField("AA_offerta", zero);
  articolo.SetField("NR_offerta", zero);
  articolo.SetField("descom", Value::Text(std::string(kDescrizioneVuota)));
  articolo.Update();
}

// Clears the promotion fields of every EAN row of the article.
void RipristinaEan(work::WorkContext& work, std::int32_t codice_articolo) {
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
std::int32_t CodiceArticolo(work::WorkContext& work, Recordset& riga, const std::string& ean,
                            std::int32_t Numpro, std::int32_t AnnoPro, int numero_riga) {
  if (const std::optional<std::int32_t> articolo = labels::ArticoloDellEan(work, ean)) {
    return *articolo;
  }
  if (riga.Field("articoli").IsNull()) {
    throw ConversionError(
        fmt::format("offerta {}/{}, riga {}: EAN {} non trovato in codean e campo offmo.articoli "
                    "vuoto (Null)",
                    Numpro, AnnoPro, numero_riga, ean));
  }
  return data::FieldLong(riga, "offmo", "articoli");
}

}  // namespace

void Disattiva(work::WorkContext& work, labels::Consegne& outbox, std::int32_t Numpro,
               std::int32_t AnnoPro, std::int32_t DataX, std::int32_t DataY,
               const RowWatcher& watcher) {
  data::TableCursor listino(work.engine().OpenDatabase(work.contesto().PercorsoDati), "listi01");

  Recordset& listipro = work.PointSource("listipro", "SELECT * FROM listipro", false).Recordset();
  if (!listipro.Eof()) {
    listipro.MoveFirst();
    while (!listipro.Eof()) {
      listipro.Delete();
      listipro.MoveNext();
    }
  }

  Recordset& righe =
      work.PointSource("data3",
                       "SELECT * FROM offmo  WHERE bnumer= " + std::to_string(Numpro) +
                           " and bannoc = " + std::to_string(AnnoPro) + " ",
                       true)
          .Recordset();
  int numero_riga = 0;
  if (!righe.Eof()) {
    righe.MoveFirst();
    while (!righe.Eof()) {
      ++numero_riga;
      const Value& eanrig = righe.Field("eanrig");
      if (eanrig.IsNull()) {
        throw ConversionError(
            fmt::format("offerta {}/{}, riga {}: il campo offmo.eanrig è vuoto (Null)", Numpro,
                        AnnoPro, numero_riga));
      }
      const std::string EanRiga = data::FitText(eanrig.ToText(), 13);
      const std::int32_t codice =
          CodiceArticolo(work, righe, EanRiga, Numpro, AnnoPro, numero_riga);

      listino.Index("primary");
      listino.Seek("=", Value::Long(codice));
      const bool Ripristinato = !listino.NoMatch() && PeriodoCoperto(listino, DataX, DataY);
      if (watcher) {
        watcher({numero_riga, EanRiga, codice, !listino.NoMatch(), Ripristinato,
                 listino.NoMatch() ? nullptr : &listino});
      }
      if (Ripristinato) {
        RipristinaArticolo(listino, listipro);
        RipristinaEan(work, codice);
      }

      righe.Edit();
      righe.SetField("stato", Value::Text("D"));
      righe.SetField("bflag2", Value::Text("R"));
      righe.Update();
      righe.MoveNext();
    }
  }

  labels::InvioFrontaliniElettronici(work, outbox, Numpro, AnnoPro);
}

}  // namespace zav5::offers
