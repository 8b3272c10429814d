#include "window/headless.h"

namespace zav5::window {

namespace {

void MostraNumeroPos(const Form1& form, std::ostream& out) {
  out << "nrposw: " << form.nrposw() << std::endl;
}

}  // namespace

data::OpzioniMotore MotoreConFermata(data::OpzioniMotore motore, platform::StopSignal& stop) {
  motore.fermata = [&stop] { return stop.Requested(); };
  return motore;
}

void EseguiSenzaFinestra(Form1& form, platform::StopSignal& stop, std::ostream& out) {
  form.Form_Load();
  MostraNumeroPos(form, out);
  while (!form.Scaricata()) {
    const platform::SteadyTime due = form.Timer2().Due().value_or(platform::SteadyTime::max());
    if (stop.WaitUntil(due)) {
      form.Command1_Click();
    } else if (form.Timer2().IsDue()) {
      form.Timer2().Delivered();
      form.Timer2_Timer();
    }
  }
}

int EseguiUnCiclo(Form1& form, std::ostream& out) {
  form.Form_Load();
  MostraNumeroPos(form, out);
  const cycle::EsitoCiclo esito = form.EseguiCiclo();
  const bool in_attesa = form.ConsegneInAttesa();
  form.Form_Unload();
  return esito == cycle::EsitoCiclo::kErrore || esito == cycle::EsitoCiclo::kDatabaseMancante ||
                 in_attesa
             ? 1
             : 0;
}

}  // namespace zav5::window
