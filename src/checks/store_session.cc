#include "checks/store_session.h"

#include <exception>

#include "window/form1.h"

namespace zav5::checks {

StoreSession::StoreSession(platform::Env& env, const data::OpzioniMotore& motore)
    : env_(env),
      engine_(env_, motore),
      lookup_(LookUpStore(env_, engine_)),
      memory_(env.CurrentDrive()),
      outbox_(memory_, labels::CartellaConsegne(env.CurrentDrive())),
      sources_(engine_),
      finestra_{env_, engine_, sources_, lookup_.context, outbox_, ftp_, vexular_} {
  for (const window::Controllo* source : window::Form1::Progetto().SorgentiDati()) {
    sources_.Aggiungi(source->nome, source->didascalia);
  }
}

StoreSession::~StoreSession() {
  CloseAll();
}

void StoreSession::CloseAll() noexcept {
  try {
    sources_.CloseAll();
    engine_.CloseAll();
  } catch (const std::exception&) {
    // Closing undoes what is unfinished; nothing more can be done here.
  }
}

}  // namespace zav5::checks
