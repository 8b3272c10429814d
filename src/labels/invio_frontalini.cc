#include "labels/invio_frontalini.h"

#include <string>

#include "data/field_reading.h"
#include "labels/trasmetto_elettronici.h"

namespace zav5::labels {

void InvioFrontaliniElettronici(Finestra& finestra, std::int32_t Numpro, std::int32_t AnnoPro) {
  data::Recordset& sistemi =
      PuntaSorgente(finestra, "elettro", "SELECT * FROM elettro WHERE attivato = '1'", true)
          .Recordset();
  // The defaults, once per call: "0" (two files) and no prefix.
  finestra.FtpElettro.assign(1, '0');
  finestra.VexularElettro.clear();

  if (sistemi.Eof()) {
    return;
  }
  sistemi.MoveFirst();
  while (!sistemi.Eof()) {
    // The engine compares without regard to case; the setting counts only as exactly "1".
    const data::Value& attivato = sistemi.Field("attivato");
    if (!attivato.IsNull() && attivato.ToText() == "1") {
      if (const data::Value& ftp = sistemi.Field("ftp"); !ftp.IsNull()) {
        finestra.FtpElettro = ftp.ToText();
      }
      if (const data::Value& vexular = sistemi.Field("vexular"); !vexular.IsNull()) {
        finestra.VexularElettro = vexular.ToText();
      }
      const std::string PercorsoElettro = data::FieldText(sistemi, "elettro", "percorsoint");
      Trasmetto_Elettronici(finestra, PercorsoElettro, Numpro, AnnoPro);
    }
    sistemi.MoveNext();
  }
}

}  // namespace zav5::labels
