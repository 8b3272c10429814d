// The main window, as a model: it owns the shared state of the run, the run log, the data
// sources and the controls that the program's work reads and writes. Front ends render it.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cycle/elabora_offerte_scadute.h"
#include "cycle/offer_turn.h"
#include "cycle/timer.h"
#include "data/data_source.h"
#include "data/database.h"
#include "labels/outbox.h"
#include "platform/env.h"
#include "startup/contesto_negozio.h"
#include "startup/run_log.h"
#include "startup/run_startup.h"
#include "window/semafori.h"
#include "window/window_model.h"
#include "work/work_context.h"

namespace zav5::window {

class Form1 {
 public:
  // Databases are reached as `engine_options` says.
  explicit Form1(platform::Env& env, data::EngineOptions engine_options = {});

  // Load handler: runs start-up once, before the window is shown.
  void Form_Load();
  // Unload handler: closes every file the program holds open. Unloading always goes ahead.
  void Form_Unload();

  // The timer that drives the processing cycle: 5000 ms, running from the window's creation.
  cycle::Timer& Timer2() { return timer2_; }
  // Handler of each tick of Timer2: every second tick runs a processing cycle.
  void Timer2_Timer();
  // One processing cycle at once, whatever the tick count (a single run from the command line).
  cycle::CycleOutcome RunCycle();
  // Whether label files owed to a label system wait in the outbox, not handed over.
  bool DeliveriesPending();
  // How the last processing cycle ended; empty before the first.
  std::optional<cycle::CycleOutcome> LastCycle() const { return last_cycle_; }

  // Unloads the window: runs the unload handler, once. The exit button does this, and so does
  // closing the window by the window system (Alt+F4, the end of the Windows session).
  void Unload();
  // Click of the exit button "Uscita": unloads the window.
  void Command1_Click();
  // True once the window has unloaded; the front end then ends the program.
  bool Unloaded() const { return unloaded_; }

  // The data source named `name` (var, var2, Data1, listi01, ...). Throws std::out_of_range for
  // a name the window does not carry.
  data::DataSource& Source(std::string_view name) { return work_.sources().Source(name); }

  // Takes the expired offer `Numpro`/`AnnoPro` (days `DataX` to `DataY`) off the articles and
  // writes the import files of every active label system. These three operations work outside
  // the processing cycle's transaction, where every save is final: their label files are handed
  // over as soon as they are made.
  void Disattiva(std::int32_t Numpro, std::int32_t AnnoPro, std::int32_t DataX, std::int32_t DataY);
  // Writes the offer's import files for every active label system.
  void InvioFrontaliniElettronici(std::int32_t Numpro, std::int32_t AnnoPro);
  // Writes the offer's import files for the label system in `PercorsoElettro`, in the layout of
  // FtpElettro.
  void Trasmetto_Elettronici(const std::string& PercorsoElettro, std::int32_t Numpro,
                             std::int32_t AnnoPro);

  // Till semaphores: whether till `NumeroCassa` is busy (1) or free (0), clearing its free flag,
  // and the check that touches nothing. The till's database is PercorsiCasse(NumeroCassa).
  std::int16_t LeggiSemaforo(std::int16_t NumeroCassa);
  std::int16_t AzzeraSemaforo(std::int16_t NumeroCassa);
  std::int16_t ControllaSemaforo(std::int16_t NumeroCassa);

  // The window as designed: frame, controls, menu. Front ends draw it from this, with the state
  // below (the text of nrposw, which data sources are hidden).
  static const WindowModel& Design() { return Form1Design(); }

  // What the offer, label and cycle operations share, the settings of the label system being
  // served (FtpElettro, VexularElettro) among it.
  work::WorkContext& Work() { return work_; }
  startup::ContestoNegozio& StoreContext() { return work_.store_context(); }
  startup::RunLog& Log() { return log_; }
  data::DbEngine& Engine() { return work_.engine(); }
  platform::Env& Env() { return work_.env(); }

  // Text box with the number of tills; empty until start-up fills it.
  const std::string& nrposw() const { return nrposw_; }
  // The drive list's current drive, one lower-case letter.
  char Drive1() const { return drive_; }
  // Fixes the day that the processing cycle takes for today (tests and previews); the run log
  // and the file names keep the real clock.
  void FixToday(std::chrono::year_month_day today) { fixed_today_ = today; }
  // Today's OLE day number for the processing cycle's scan.
  std::int32_t TodayForScan();

  // How the last start-up ended; empty before Form_Load.
  std::optional<startup::StartupOutcome> LastStartup() const { return startup_outcome_; }

 private:
  window::Tills TillAccess();
  // Hands over the label files just made for the offer, with any that wait.
  void HandOverNow(std::int32_t Numpro, std::int32_t AnnoPro);
  // What the processing cycle works with.
  cycle::CycleContext CycleContext();

  work::WorkContext work_;
  startup::RunLog log_;
  std::string nrposw_;
  char drive_;
  labels::Outbox outbox_;
  std::optional<startup::StartupOutcome> startup_outcome_;
  std::optional<std::chrono::year_month_day> fixed_today_;
  cycle::Timer timer2_;
  cycle::OfferTurn offer_turn_;
  std::optional<cycle::CycleOutcome> last_cycle_;
  bool unloaded_ = false;
};

}  // namespace zav5::window
