#include "window/headless.h"

namespace zav5::window {

namespace {

void PrintNumeroPos(const Form1& form, std::ostream& out) {
  out << "nrposw: " << form.nrposw() << std::endl;
}

}  // namespace

data::EngineOptions EngineOptionsWithStop(data::EngineOptions engine_options,
                                          platform::StopSignal& stop) {
  engine_options.stop_requested = [&stop] { return stop.Requested(); };
  return engine_options;
}

void RunHeadless(Form1& form, platform::StopSignal& stop, std::ostream& out) {
  form.Form_Load();
  PrintNumeroPos(form, out);
  while (!form.Unloaded()) {
    const platform::SteadyTime due = form.Timer2().Due().value_or(platform::SteadyTime::max());
    if (stop.WaitUntil(due)) {
      form.Command1_Click();
    } else if (form.Timer2().IsDue()) {
      form.Timer2().Delivered();
      form.Timer2_Timer();
    }
  }
}

int RunOnce(Form1& form, std::ostream& out) {
  form.Form_Load();
  PrintNumeroPos(form, out);
  const cycle::CycleOutcome esito = form.RunCycle();
  const bool in_attesa = form.DeliveriesPending();
  form.Form_Unload();
  return esito == cycle::CycleOutcome::kError || esito == cycle::CycleOutcome::kNoStoreDatabase ||
                 in_attesa
             ? 1
             : 0;
}

}  // namespace zav5::window
