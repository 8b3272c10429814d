#include "checks/store_session.h"

#include <exception>

#include "window/form1.h"

namespace zav5::checks {

StoreSession::StoreSession(platform::Env& env, const data::OpzioniMotore& motore)
    : env_(env),
      work_(env_, motore),
      lookup_(LookUpStore(env_, work_.engine())),
      memory_(env.CurrentDrive()),
      outbox_(memory_, labels::CartellaConsegne(env.CurrentDrive())) {
  work_.contesto() = lookup_.context;
  for (const window::Controllo* source : window::Form1::Progetto().SorgentiDati()) {
    work_.sources().Aggiungi(source->nome, source->didascalia);
  }
}

StoreSession::~StoreSession() {
  CloseAll();
}

void StoreSession::CloseAll() noexcept {
  try {
    work_.sources().CloseAll();
    work_.engine().CloseAll();
  } catch (const std::exception&) {
    // Closing undoes what is unfinished; nothing more can be done here.
  }
}

}  // namespace zav5::checks
