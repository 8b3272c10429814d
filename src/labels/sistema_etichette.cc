#include "labels/sistema_etichette.h"

#include <fmt/core.h>

#include "platform/case_fold.h"

namespace zav5::labels {

bool SistemaEtichette::Stesso(const SistemaEtichette& altro) const {
  return tracciato == altro.tracciato && platform::EqualsIgnoringCase(prefisso, altro.prefisso) &&
         platform::EqualsIgnoringCase(cartella, altro.cartella);
}

std::string NomeSistema(const SistemaEtichette& sistema) {
  if (sistema.tracciato == Tracciato::kFileUnico) {
    return fmt::format("{} (cartella {})", sistema.prefisso, sistema.cartella);
  }
  return fmt::format("a due file Import_VPA/Import_PRO (cartella {})", sistema.cartella);
}

}  // namespace zav5::labels
