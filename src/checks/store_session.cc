#include "checks/store_session.h"

#include <exception>

#include "window/form1.h"

namespace zav5::checks {

StoreSession::StoreSession(platform::Env& env, const data::EngineOptions& engine_options)
    : env_(env),
      work_(env_, engine_options),
      lookup_(LookUpStore(env_, work_.engine())),
      memory_(env.CurrentDrive()),
      outbox_(memory_, labels::OutboxFolder(env.CurrentDrive())) {
  work_.store_context() = lookup_.context;
  for (const window::Control* source : window::Form1::Design().DataSources()) {
    work_.sources().Add(source->name, source->caption);
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
