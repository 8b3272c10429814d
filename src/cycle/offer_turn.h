// Whose turn it is among the expired offers. An offer whose deactivation failed would otherwise be
// taken first at every cycle and keep every offer behind it on the shelves for ever; so it is
// passed over until every other expired offer has had its turn, and then tried again.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace zav5::cycle {

class OfferTurn {
 public:
  // The position in `scadute` (the expired active offers, in the order the database gives them)
  // of the offer to take: the first that has not failed in this run. When every one of them has
  // failed, each has had its turn: the failures are forgotten and the first is taken.
  // REQUIRES: `scadute` is not empty
  std::size_t Choose(const std::vector<std::string>& scadute);

  // Records the outcome of the offer's deactivation.
  void Failed(const std::string& offer) { failed_.insert(offer); }
  void Succeeded(const std::string& offer) { failed_.erase(offer); }

 private:
  std::set<std::string> failed_;
};

}  // namespace zav5::cycle
