#include "window/form1.h"

#include <array>
#include <utility>

#include "labels/invio_frontalini.h"
#include "labels/trasmetto_elettronici.h"
#include "offers/disattiva.h"

namespace zav5::window {

namespace {

// The window's data sources with the captions they carry on their bars.
constexpr std::array<std::pair<std::string_view, std::string_view>, 20> kSorgenti = {{
    {"var", "Data3"},      {"var2", "Data3"},    {"Semafori", "Data2"}, {"Data2", "Data3"},
    {"listipro", "Data3"}, {"data3", "Data3"},   {"elettro", "Data4"},  {"Data1", "Data1"},
    {"listi01", "Data2"},  {"unita2", "Data3"},  {"offtab", "Data3"},   {"codean2", "Data3"},
    {"codean", "Data3"},   {"variab2", "Data3"}, {"ivadb", "Data3"},    {"variab", "Data3"},
    {"numeri", "Data3"},   {"carteTX", "Data3"}, {"caselle", "Data4"},  {"articoli", "Data2"},
}};

}  // namespace

Form1::Form1(platform::Env& env, data::OpzioniMotore motore)
    : env_(env),
      engine_(env, std::move(motore)),
      log_(env),
      sorgenti_(engine_),
      drive_(env.CurrentDrive()) {
  for (const auto& [name, caption] : kSorgenti) {
    sorgenti_.Aggiungi(name, caption);
  }
}

void Form1::Form_Load() {
  esito_ = startup::EseguiAvvio({env_, contesto_, log_, Sorgente("var"), drive_});
  // After the message box of a missing company database the text box keeps its design state.
  if (*esito_ != startup::EsitoAvvio::kAziendaMancante) {
    nrposw_ = std::to_string(contesto_.NumeroPos);
  }
}

void Form1::Form_Unload() {
  env_.CloseAll();
}

std::int32_t Form1::OggiScansione() {
  if (oggi_fisso_) {
    return data::DayNumber(*oggi_fisso_);
  }
  return data::DayNumber(
      std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(env_.Now())});
}

labels::Finestra Form1::Finestra() {
  return {env_, engine_, sorgenti_, contesto_, FtpElettro, VexularElettro};
}

void Form1::Disattiva(std::int32_t Numpro, std::int32_t AnnoPro, std::int32_t DataX,
                      std::int32_t DataY) {
  labels::Finestra finestra = Finestra();
  offers::Disattiva(finestra, Numpro, AnnoPro, DataX, DataY);
}

void Form1::InvioFrontaliniElettronici(std::int32_t Numpro, std::int32_t AnnoPro) {
  labels::Finestra finestra = Finestra();
  labels::InvioFrontaliniElettronici(finestra, Numpro, AnnoPro);
}

void Form1::Trasmetto_Elettronici(const std::string& PercorsoElettro, std::int32_t Numpro,
                                  std::int32_t AnnoPro) {
  labels::Finestra finestra = Finestra();
  labels::Trasmetto_Elettronici(finestra, PercorsoElettro, Numpro, AnnoPro);
}

}  // namespace zav5::window
