#include "window/form1.h"

#include <utility>

#include "cycle/timer2_timer.h"
#include "labels/invio_frontalini.h"
#include "labels/trasmetto_elettronici.h"
#include "offers/disattiva.h"

namespace zav5::window {

Form1::Form1(platform::Env& env, data::OpzioniMotore motore)
    : env_(env),
      engine_(env, std::move(motore)),
      log_(env),
      sorgenti_(engine_),
      drive_(env.CurrentDrive()),
      consegne_(env, labels::CartellaConsegne(drive_)),
      timer2_(env, std::chrono::milliseconds{5000}, true) {
  for (const Controllo* dati : Progetto().SorgentiDati()) {
    sorgenti_.Aggiungi(dati->nome, dati->didascalia);
  }
}

void Form1::Form_Load() {
  esito_ = startup::EseguiAvvio({env_, contesto_, log_, Sorgente("var"), drive_});
  // After the message box of a missing company database the text box keeps its design state.
  if (*esito_ != startup::EsitoAvvio::kAziendaMancante) {
    nrposw_ = std::to_string(contesto_.NumeroPos);
  }
  // Label files owed since an earlier run are reported at every start until they go out.
  if (!contesto_.PercorsoDati.empty()) {
    consegne_.SegnalaInAttesa(contesto_.PercorsoDati, log_);
  }
}

bool Form1::ConsegneInAttesa() {
  return !contesto_.PercorsoDati.empty() && !consegne_.InAttesa(contesto_.PercorsoDati).empty();
}

void Form1::Form_Unload() {
  env_.CloseAll();
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
  labels::Finestra finestra = Finestra();
  cycle::Ciclo ciclo = Ciclo(finestra);
  if (const std::optional<cycle::EsitoCiclo> esito = cycle::Timer2_Timer(ciclo)) {
    ultimo_ciclo_ = esito;
  }
}

cycle::EsitoCiclo Form1::EseguiCiclo() {
  labels::Finestra finestra = Finestra();
  cycle::Ciclo ciclo = Ciclo(finestra);
  ultimo_ciclo_ = cycle::EseguiCiclo(ciclo);
  return *ultimo_ciclo_;
}

std::int32_t Form1::OggiScansione() {
  return cycle::GiornoScansione(env_, oggi_fisso_);
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
  return {env_, contesto_.PercorsiCasse, Sorgente("Semafori")};
}

labels::Finestra Form1::Finestra() {
  return {env_, engine_, sorgenti_, contesto_, consegne_, FtpElettro, VexularElettro};
}

cycle::Ciclo Form1::Ciclo(labels::Finestra& finestra) {
  return {finestra, contesto_, log_, timer2_, turno_, oggi_fisso_};
}

void Form1::Disattiva(std::int32_t Numpro, std::int32_t AnnoPro, std::int32_t DataX,
                      std::int32_t DataY) {
  labels::Finestra finestra = Finestra();
  offers::Disattiva(finestra, Numpro, AnnoPro, DataX, DataY);
  ConsegnaOra(finestra, Numpro, AnnoPro);
}

void Form1::InvioFrontaliniElettronici(std::int32_t Numpro, std::int32_t AnnoPro) {
  labels::Finestra finestra = Finestra();
  labels::InvioFrontaliniElettronici(finestra, Numpro, AnnoPro);
  ConsegnaOra(finestra, Numpro, AnnoPro);
}

void Form1::Trasmetto_Elettronici(const std::string& PercorsoElettro, std::int32_t Numpro,
                                  std::int32_t AnnoPro) {
  labels::Finestra finestra = Finestra();
  labels::Trasmetto_Elettronici(finestra, PercorsoElettro, Numpro, AnnoPro);
  ConsegnaOra(finestra, Numpro, AnnoPro);
}

void Form1::ConsegnaOra(labels::Finestra& finestra, std::int32_t Numpro, std::int32_t AnnoPro) {
  consegne_.Conferma(contesto_.PercorsoDati, Numpro, AnnoPro);
  labels::ConsegnaAiSistemiAttivi(finestra, log_);
}

}  // namespace zav5::window
