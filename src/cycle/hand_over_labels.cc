#include "cycle/hand_over_labels.h"

#include <string>

#include "cycle/elabora_offerte_scadute.h"
#include "labels/invio_frontalini.h"
#include "labels/outbox.h"

namespace zav5::cycle {

void HandOverLabels(CycleContext& cycle_context) {
  const std::string& store = cycle_context.work.store_context().PercorsoDati;
  if (store.empty()) {
    return;
  }
  const TimerPause fermo(cycle_context.Timer2);
  // The label writer closes every file of the program, the run log among them.
  if (!cycle_context.log.IsOpen()) {
    cycle_context.log.ApriLog(cycle_context.work.store_context().PercorsoLog);
  }
  labels::Outbox& outbox = cycle_context.outbox;
  outbox.Settle(store, [&cycle_context](std::int32_t numero, std::int32_t anno) {
    return OfferDeactivated(cycle_context, numero, anno);
  });
  labels::HandOverToActiveSystems(cycle_context.work, cycle_context.outbox, cycle_context.log);
}

}  // namespace zav5::cycle
