// What a run log tells of the program's work: when its last processing cycle began, which offers
// failed and why, and what it said about each label delivery.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zav5::checks {

struct RunLogDigest {
  // "dd/mm/yyyy-hh:mm:ss" of the last cycle's start line.
  std::optional<std::string> last_cycle;

  struct OfferFailure {
    std::string offer;   // "101/2026"
    std::string at;      // the dated line before the error, "dd/mm/yyyy-hh:mm:ss"; may be empty
    std::string reason;  // the error line without its "ERRORE : "
  };
  // The last failure of each offer, in the order of their first failures.
  std::vector<OfferFailure> offer_failures;

  // Every line about label files not delivered ("ERRORE : etichette dell'offerta ..."), without
  // its "ERRORE : ", with the dated line before it; a later line that says the files went out
  // ("- Etichette dell'offerta X consegnate al sistema Y") clears those of the offer and system.
  struct LabelLine {
    std::string at;
    std::string text;
  };
  std::vector<LabelLine> label_lines;

  // The last label line about offer `offer` ("101/2026") and the system named `system` (as the
  // run log names it), or nothing.
  const LabelLine* LastAbout(std::string_view offer, std::string_view system) const;
};

// Reads a run log (UTF-8, any line ends).
RunLogDigest DigestRunLog(std::string_view text);

// The part of a label line that says why the files did not go: after "<system>: " and before the
// advice that follows the reason.
std::string LabelReason(std::string_view text, std::string_view system);

}  // namespace zav5::checks
