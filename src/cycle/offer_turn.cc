#include "cycle/offer_turn.h"

namespace zav5::cycle {

std::size_t OfferTurn::Choose(const std::vector<std::string>& scadute) {
  // An offer that is no longer expired and active (another program closed it, say) leaves the
  // rotation.
  std::set<std::string> ancora;
  for (const std::string& offer : scadute) {
    if (failed_.count(offer) != 0) {
      ancora.insert(offer);
    }
  }
  failed_ = std::move(ancora);

  for (std::size_t i = 0; i < scadute.size(); ++i) {
    if (failed_.count(scadute[i]) == 0) {
      return i;
    }
  }
  failed_.clear();
  return 0;
}

}  // namespace zav5::cycle
