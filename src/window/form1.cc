#include "window/form1.h"

#include <utility>

#include "cycle/timer2_timer.h"
#include "labels/invio_frontalini.h"
#include "labels/trasmetto_elettronici.h"
#include "offers/disattiva.h"

namespace zav5::window {

Form1::Form1(platform::Env& env, data::OpzioniMotore motore)
    : work_(env, std::move(motore)),
      log_(env),
      drive_(env.CurrentDrive()),
      consegne_(env, labels::CartellaConsegne(drive_)),
      timer2_(env, std::chrono::milliseconds{5000}, true) {
  for (const Controllo* dati : Progetto().SorgentiDati()) {
    work_.sources().Aggiungi(dati->nome, dati->didascalia);
  }
}

void Form1::Form_Load() {
  esito_ = startup::EseguiAvvio({work_.env(), work_.contesto(), log_, Sorgente("var"), drive_});
  // After the message box of a missing company database the text box keeps its design state.
  if (*esito_ != startup::EsitoAvvio::kAziendaMancante) {
    nrposw_ = std::to_string(work_.contesto().NumeroPos);
  }
  // Label files owed since an earlier run are reported at every start until they go out.
  if (!work_.contesto().PercorsoDati.empty()) {
    consegne_.SegnalaInAttesa(work_.contesto().PercorsoDati, log_);
  }
}

bool Form1::ConsegneInAttesa() {
  return !work_.contesto().PercorsoDati.empty() &&
         !consegne_.InAttesa(work_.contesto().PercorsoDati).empty();
}

void Form1::Form_Unload() {
  work_.env().CloseAll();
}

void Form1::Scarica() {
  if (scaricata_) {
    return;
  }
  Form_Unload();
  scaricata_ = true;
}

void Form1::Command1_Click() {
  Scarica();
}

void Form1::Timer2_Timer() {
  cycle::Ciclo ciclo = Ciclo();
  if (const std::optional<cycle::EsitoCiclo> esito = cycle::Timer2_Timer(ciclo)) {
    ultimo_ciclo_ = esito;
  }
}

cycle::EsitoCiclo Form1::EseguiCiclo() {
  cycle::Ciclo ciclo = Ciclo();
  ultimo_ciclo_ = cycle::EseguiCiclo(ciclo);
  return *ultimo_ciclo_;
}

std::int32_t Form1::OggiScansione() {
  return cycle::GiornoScansione(work_.env(), oggi_fisso_);
}

std::int16_t Form1::LeggiSemaforo(std::int16_t NumeroCassa) {
  window::Casse casse = DatiCasse();
  return window::LeggiSemaforo(casse, NumeroCassa);
}

std::int16_t Form1::AzzeraSemaforo(std::int16_t NumeroCassa) {
  window::Casse casse = DatiCasse();
  return window::AzzeraSemaforo(casse, NumeroCassa);
}

std::int16_t Form1::ControllaSemaforo(std::int16_t NumeroCassa) {
  return window::ControllaSemaforo(NumeroCassa);
}

window::Casse Form1::DatiCasse() {
  return {work_.env(), work_.contesto().PercorsiCasse, Sorgente("Semafori")};
}

cycle::Ciclo Form1::Ciclo() {
  return {work_, consegne_, log_, timer2_, turno_, oggi_fisso_};
}

void Form1::Disattiva(std::int32_t Numpro, std::int32_t AnnoPro, std::int32_t DataX,
                      std::int32_t DataY) {
  offers::Disattiva(work_, consegne_, Numpro, AnnoPro, DataX, DataY);
  ConsegnaOra(Numpro, AnnoPro);
}

void Form1::InvioFrontaliniElettronici(std::int32_t Numpro, std::int32_t AnnoPro) {
  labels::InvioFrontaliniElettronici(work_, consegne_, Numpro, AnnoPro);
  ConsegnaOra(Numpro, AnnoPro);
}

void Form1::Trasmetto_Elettronici(const std::string& PercorsoElettro, std::int32_t Numpro,
                                  std::int32_t AnnoPro) {
  labels::Trasmetto_Elettronici(work_, consegne_, PercorsoElettro, Numpro, AnnoPro);
  ConsegnaOra(Numpro, AnnoPro);
}

void Form1::ConsegnaOra(std::int32_t Numpro, std::int32_t AnnoPro) {
  consegne_.Conferma(work_.contesto().PercorsoDati, Numpro, AnnoPro);
  labels::ConsegnaAiSistemiAttivi(work_, consegne_, log_);
}

}  // namespace zav5::window
