#include "window/form1.h"

#include <utility>

#include "cycle/timer2_timer.h"
#include "labels/invio_frontalini.h"
#include "labels/trasmetto_elettronici.h"
#include "offers/disattiva.h"

namespace zav5::window {

Form1::Form1(platform::Env& env, data::EngineOptions engine_options)
    : work_(env, std::move(engine_options)),
      log_(env),
      drive_(env.CurrentDrive()),
      outbox_(env, labels::OutboxFolder(drive_)),
      timer2_(env, std::chrono::milliseconds{5000}, true) {
  for (const Control* dati : Design().DataSources()) {
    work_.sources().Add(dati->name, dati->caption);
  }
}

void Form1::Form_Load() {
  startup_outcome_ =
      startup::RunStartup({work_.env(), work_.store_context(), log_, Source("var"), drive_});
  // After the message box of a missing company database the text box keeps its design state.
  if (*startup_outcome_ != startup::StartupOutcome::kNoCompanyDatabase) {
    nrposw_ = std::to_string(work_.store_context().NumeroPos);
  }
  // Label files owed since an earlier run are reported at every start until they go out.
  if (!work_.store_context().PercorsoDati.empty()) {
    outbox_.ReportPending(work_.store_context().PercorsoDati, log_);
  }
}

bool Form1::DeliveriesPending() {
  return !work_.store_context().PercorsoDati.empty() &&
         !outbox_.Pending(work_.store_context().PercorsoDati).empty();
}

void Form1::Form_Unload() {
  work_.env().CloseAll();
}

void Form1::Unload() {
  if (unloaded_) {
    return;
  }
  Form_Unload();
  unloaded_ = true;
}

void Form1::Command1_Click() {
  Unload();
}

void Form1::Timer2_Timer() {
  cycle::CycleContext cycle_context = CycleContext();
  if (const std::optional<cycle::CycleOutcome> esito = cycle::Timer2_Timer(cycle_context)) {
    last_cycle_ = esito;
  }
}

cycle::CycleOutcome Form1::RunCycle() {
  cycle::CycleContext cycle_context = CycleContext();
  last_cycle_ = cycle::RunCycle(cycle_context);
  return *last_cycle_;
}

std::int32_t Form1::TodayForScan() {
  return cycle::ScanDayNumber(work_.env(), fixed_today_);
}

std::int16_t Form1::LeggiSemaforo(std::int16_t NumeroCassa) {
  window::Tills casse = TillAccess();
  return window::LeggiSemaforo(casse, NumeroCassa);
}

std::int16_t Form1::AzzeraSemaforo(std::int16_t NumeroCassa) {
  window::Tills casse = TillAccess();
  return window::AzzeraSemaforo(casse, NumeroCassa);
}

std::int16_t Form1::ControllaSemaforo(std::int16_t NumeroCassa) {
  return window::ControllaSemaforo(NumeroCassa);
}

window::Tills Form1::TillAccess() {
  return {work_.env(), work_.store_context().PercorsiCasse, Source("Semafori")};
}

cycle::CycleContext Form1::CycleContext() {
  return {work_, outbox_, log_, timer2_, offer_turn_, fixed_today_};
}

void Form1::Disattiva(std::int32_t Numpro, std::int32_t AnnoPro, std::int32_t DataX,
                      std::int32_t DataY) {
  offers::Disattiva(work_, outbox_, Numpro, AnnoPro, DataX, DataY);
  HandOverNow(Numpro, AnnoPro);
}

void Form1::InvioFrontaliniElettronici(std::int32_t Numpro, std::int32_t AnnoPro) {
  labels::InvioFrontaliniElettronici(work_, outbox_, Numpro, AnnoPro);
  HandOverNow(Numpro, AnnoPro);
}

void Form1::Trasmetto_Elettronici(const std::string& PercorsoElettro, std::int32_t Numpro,
                                  std::int32_t AnnoPro) {
  labels::Trasmetto_Elettronici(work_, outbox_, PercorsoElettro, Numpro, AnnoPro);
  HandOverNow(Numpro, AnnoPro);
}

void Form1::HandOverNow(std::int32_t Numpro, std::int32_t AnnoPro) {
  outbox_.Confirm(work_.store_context().PercorsoDati, Numpro, AnnoPro);
  labels::HandOverToActiveSystems(work_, outbox_, log_);
}

}  // namespace zav5::window
