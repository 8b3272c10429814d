#include "cycle/timer2_timer.h"

#include <exception>

namespace zav5::cycle {

std::optional<EsitoCiclo> Timer2_Timer(Ciclo& ciclo) {
  if (ciclo.contesto.ContatoreCicli < 2) {
    ++ciclo.contesto.ContatoreCicli;
    return std::nullopt;
  }
  const EsitoCiclo esito = EseguiCiclo(ciclo);
  // Also after an error: the next cycle comes two ticks later, as after any other, and does not
  // press on a database that another program holds.
  ciclo.contesto.ContatoreCicli = 1;
  return esito;
}

EsitoCiclo EseguiCiclo(Ciclo& ciclo) {
  ciclo.log.ApriLog(ciclo.contesto.PercorsoLog);
  ciclo.log.ScriviRigaDatata("- Inizio elaborazione ");
  try {
    return ElaboraOfferteScadute(ciclo);
  } catch (const std::exception& error) {
    // The work may have stopped with an import file open, and the label writer may have closed
    // the log: the files go, the log comes back for the error.
    ciclo.finestra.env.CloseAll();
    ciclo.log.ApriLog(ciclo.contesto.PercorsoLog);
    ciclo.log.ScriviRiga(startup::RigaErrore(error.what()));
    return EsitoCiclo::kErrore;
  }
}

}  // namespace zav5::cycle
