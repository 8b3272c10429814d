#include "labels/invio_frontalini.h"

#include <optional>
#include <string>

#include "data/field_reading.h"
#include "labels/label_texts.h"
#include "labels/outbox.h"
#include "labels/trasmetto_elettronici.h"

namespace zav5::labels {

namespace {

constexpr std::string_view kActiveSystemsQuery = "SELECT * FROM elettro WHERE attivato = '1'";

// The engine compares without regard to case; the setting counts only as exactly "1".
bool IsActivated(const data::Recordset& sistemi) {
  const data::Value& attivato = sistemi.Field("attivato");
  return !attivato.IsNull() && attivato.ToText() == "1";
}

// Takes the row's `ftp` and `vexular` into `ftp` and `vexular`, each unless it is Null.
void Settings(const data::Recordset& sistemi, std::string& ftp, std::string& vexular) {
  if (const data::Value& valore = sistemi.Field("ftp"); !valore.IsNull()) {
    ftp = valore.ToText();
  }
  if (const data::Value& valore = sistemi.Field("vexular"); !valore.IsNull()) {
    vexular = valore.ToText();
  }
}

}  // namespace

void InvioFrontaliniElettronici(work::WorkContext& work, Outbox& outbox, std::int32_t Numpro,
                                std::int32_t AnnoPro) {
  data::Recordset& sistemi = work.PointSource("elettro", kActiveSystemsQuery, true).Recordset();
  // The defaults, once per call: "0" (two files) and no prefix.
  work.FtpElettro.assign(1, '0');
  work.VexularElettro.clear();

  if (sistemi.Eof()) {
    return;
  }
  sistemi.MoveFirst();
  while (!sistemi.Eof()) {
    if (IsActivated(sistemi)) {
      Settings(sistemi, work.FtpElettro, work.VexularElettro);
      const std::string PercorsoElettro = data::FieldText(sistemi, "elettro", "percorsoint");
      Trasmetto_Elettronici(work, outbox, PercorsoElettro, Numpro, AnnoPro);
    }
    sistemi.MoveNext();
  }
}

std::vector<LabelSystem> ActiveLabelSystems(work::WorkContext& work) {
  data::Recordset& sistemi = work.PointSource("elettro", kActiveSystemsQuery, true).Recordset();
  std::vector<LabelSystem> active;
  if (sistemi.Eof()) {
    return active;
  }
  std::string ftp = "0";
  std::string vexular;
  for (sistemi.MoveFirst(); !sistemi.Eof(); sistemi.MoveNext()) {
    if (!IsActivated(sistemi)) {
      continue;
    }
    Settings(sistemi, ftp, vexular);
    if (const data::Value& folder = sistemi.Field("percorsoint"); !folder.IsNull()) {
      active.push_back({folder.ToText(), LayoutFromFtp(ftp), std::string(Trimmed(vexular))});
    }
  }
  return active;
}

void HandOverToActiveSystems(work::WorkContext& work, Outbox& outbox, startup::RunLog& log) {
  std::optional<std::vector<LabelSystem>> active;
  outbox.HandOverAll(
      work.store_context().PercorsoDati,
      [&]() -> const std::vector<LabelSystem>& {
        if (!active) {
          active = ActiveLabelSystems(work);
        }
        return *active;
      },
      log);
}

}  // namespace zav5::labels
