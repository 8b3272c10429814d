#include "cycle/turno_offerte.h"

namespace zav5::cycle {

std::size_t TurnoOfferte::Scegli(const std::vector<std::string>& scadute) {
  // An offer that is no longer expired and active (another program closed it, say) leaves the
  // rotation.
  std::set<std::string> ancora;
  for (const std::string& offerta : scadute) {
    if (fallite_.count(offerta) != 0) {
      ancora.insert(offerta);
    }
  }
  fallite_ = std::move(ancora);

  for (std::size_t i = 0; i < scadute.size(); ++i) {
    if (fallite_.count(scadute[i]) == 0) {
      return i;
    }
  }
  fallite_.clear();
  return 0;
}

}  // namespace zav5::cycle
