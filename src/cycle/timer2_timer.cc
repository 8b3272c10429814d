#include "cycle/timer2_timer.h"

#include <exception>

#include "cycle/hand_over_labels.h"

namespace zav5::cycle {

std::optional<CycleOutcome> Timer2_Timer(CycleContext& cycle_context) {
  if (cycle_context.work.store_context().ContatoreCicli < 2) {
    ++cycle_context.work.store_context().ContatoreCicli;
    return std::nullopt;
  }
  const CycleOutcome esito = RunCycle(cycle_context);
  // Also after an error: the next cycle comes two ticks later, as after any other, and does not
  // press on a database that another program holds.
  cycle_context.work.store_context().ContatoreCicli = 1;
  return esito;
}

CycleOutcome RunCycle(CycleContext& cycle_context) {
  cycle_context.log.ApriLog(cycle_context.work.store_context().PercorsoLog);
  cycle_context.log.ScriviRigaDatata("- Inizio elaborazione ");
  // The scan, the offer's transaction and the hand-over of the label files share one bound for
  // their waits on other programs' locks: the time that a cycle can be held up by them.
  const data::CycleWaitBound limite = cycle_context.work.engine().BoundWaits();
  CycleOutcome esito = CycleOutcome::kError;
  try {
    esito = ElaboraOfferteScadute(cycle_context);
  } catch (const std::exception& error) {
    // The label writer may have closed the log: it comes back for the error.
    cycle_context.work.env().CloseAll();
    cycle_context.log.ApriLog(cycle_context.work.store_context().PercorsoLog);
    cycle_context.log.ScriviRiga(startup::ErrorLine(error.what()));
  }
  // Also after a failed offer: files that earlier cycles could not hand over go out all the same.
  HandOverLabels(cycle_context);
  return esito;
}

}  // namespace zav5::cycle
