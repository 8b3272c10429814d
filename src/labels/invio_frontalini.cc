#include "labels/invio_frontalini.h"

#include <optional>
#include <string>

#include "data/field_reading.h"
#include "labels/consegne.h"
#include "labels/testi_etichette.h"
#include "labels/trasmetto_elettronici.h"

namespace zav5::labels {

namespace {

constexpr std::string_view kSistemiAttivi = "SELECT * FROM elettro WHERE attivato = '1'";

// The engine compares without regard to case; the setting counts only as exactly "1".
bool Attivato(const data::Recordset& sistemi) {
  const data::Value& attivato = sistemi.Field("attivato");
  return !attivato.IsNull() && attivato.ToText() == "1";
}

// Takes the row's `ftp` and `vexular` into `ftp` and `vexular`, each unless it is Null.
void Impostazioni(const data::Recordset& sistemi, std::string& ftp, std::string& vexular) {
  if (const data::Value& valore = sistemi.Field("ftp"); !valore.IsNull()) {
    ftp = valore.ToText();
  }
  if (const data::Value& valore = sistemi.Field("vexular"); !valore.IsNull()) {
    vexular = valore.ToText();
  }
}

}  // namespace

void InvioFrontaliniElettronici(work::WorkContext& work, Consegne& outbox, std::int32_t Numpro,
                                std::int32_t AnnoPro) {
  data::Recordset& sistemi = work.PointSource("elettro", kSistemiAttivi, true).Recordset();
  // The defaults, once per call: "0" (two files) and no prefix.
  work.FtpElettro.assign(1, '0');
  work.VexularElettro.clear();

  if (sistemi.Eof()) {
    return;
  }
  sistemi.MoveFirst();
  while (!sistemi.Eof()) {
    if (Attivato(sistemi)) {
      Impostazioni(sistemi, work.FtpElettro, work.VexularElettro);
      const std::string PercorsoElettro = data::FieldText(sistemi, "elettro", "percorsoint");
      Trasmetto_Elettronici(work, outbox, PercorsoElettro, Numpro, AnnoPro);
    }
    sistemi.MoveNext();
  }
}

std::vector<SistemaEtichette> SistemiAttivi(work::WorkContext& work) {
  data::Recordset& sistemi = work.PointSource("elettro", kSistemiAttivi, true).Recordset();
  std::vector<SistemaEtichette> attivi;
  if (sistemi.Eof()) {
    return attivi;
  }
  std::string ftp = "0";
  std::string vexular;
  for (sistemi.MoveFirst(); !sistemi.Eof(); sistemi.MoveNext()) {
    if (!Attivato(sistemi)) {
      continue;
    }
    Impostazioni(sistemi, ftp, vexular);
    if (const data::Value& cartella = sistemi.Field("percorsoint"); !cartella.IsNull()) {
      attivi.push_back({cartella.ToText(), TracciatoDa(ftp), std::string(Rifilato(vexular))});
    }
  }
  return attivi;
}

void ConsegnaAiSistemiAttivi(work::WorkContext& work, Consegne& outbox, startup::RunLog& log) {
  std::optional<std::vector<SistemaEtichette>> attivi;
  outbox.ConsegnaTutte(
      work.contesto().PercorsoDati,
      [&]() -> const std::vector<SistemaEtichette>& {
        if (!attivi) {
          attivi = SistemiAttivi(work);
        }
        return *attivi;
      },
      log);
}

}  // namespace zav5::labels
