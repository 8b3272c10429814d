#include "cycle/timer2_timer.h"

#include <exception>

#include "cycle/consegna_etichette.h"

namespace zav5::cycle {

std::optional<EsitoCiclo> Timer2_Timer(Ciclo& ciclo) {
  if (ciclo.work.contesto().ContatoreCicli < 2) {
    ++ciclo.work.contesto().ContatoreCicli;
    return std::nullopt;
  }
  const EsitoCiclo esito = EseguiCiclo(ciclo);
  // Also after an error: the next cycle comes two ticks later, as after any other, and does not
  // press on a database that another program holds.
  ciclo.work.contesto().ContatoreCicli = 1;
  return esito;
}

EsitoCiclo EseguiCiclo(Ciclo& ciclo) {
  ciclo.log.ApriLog(ciclo.work.contesto().PercorsoLog);
  ciclo.log.ScriviRigaDatata("- Inizio elaborazione ");
  // The scan, the offer's transaction and the hand-over of the label files share one bound for
  // their waits on other programs' locks: the time that a cycle can be held up by them.
  const data::LimiteAttese limite = ciclo.work.engine().LimitaAttese();
  EsitoCiclo esito = EsitoCiclo::kErrore;
  try {
    esito = ElaboraOfferteScadute(ciclo);
  } catch (const std::exception& error) {
    // The label writer may have closed the log: it comes back for the error.
    ciclo.work.env().CloseAll();
    ciclo.log.ApriLog(ciclo.work.contesto().PercorsoLog);
    ciclo.log.ScriviRiga(startup::RigaErrore(error.what()));
  }
  // Also after a failed offer: files that earlier cycles could not hand over go out all the same.
  ConsegnaEtichette(ciclo);
  return esito;
}

}  // namespace zav5::cycle
