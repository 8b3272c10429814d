#include "cycle/consegna_etichette.h"

#include <string>

#include "cycle/elabora_offerte_scadute.h"
#include "labels/consegne.h"
#include "labels/invio_frontalini.h"

namespace zav5::cycle {

void ConsegnaEtichette(Ciclo& ciclo) {
  const std::string& negozio = ciclo.work.contesto().PercorsoDati;
  if (negozio.empty()) {
    return;
  }
  const TimerFermo fermo(ciclo.Timer2);
  // The label writer closes every file of the program, the run log among them.
  if (!ciclo.log.IsOpen()) {
    ciclo.log.ApriLog(ciclo.work.contesto().PercorsoLog);
  }
  labels::Consegne& consegne = ciclo.outbox;
  consegne.Risolvi(negozio, [&ciclo](std::int32_t numero, std::int32_t anno) {
    return OffertaDisattivata(ciclo, numero, anno);
  });
  labels::ConsegnaAiSistemiAttivi(ciclo.work, ciclo.outbox, ciclo.log);
}

}  // namespace zav5::cycle
