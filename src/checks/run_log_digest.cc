#include "checks/run_log_digest.h"

#include <algorithm>

#include <fmt/core.h>

#include "checks/store_text.h"

namespace zav5::checks {

namespace {

constexpr std::string_view kError = "ERRORE : ";
constexpr std::string_view kOffer = "offerta ";
constexpr std::string_view kLabels = "etichette dell'offerta ";
constexpr std::string_view kCycleStart = "- Inizio elaborazione";
constexpr std::string_view kDelivered = "- Etichette dell'offerta ";
constexpr std::string_view kToSystem = " al sistema ";
constexpr std::string_view kAdvice = ". Finché non arrivano";
constexpr std::string_view kAdviceAtStart = "; finché non arrivano";
// "dd/mm/yyyy-hh:mm:ss"
constexpr std::size_t kStampLength = 19;

bool Dated(std::string_view line) {
  return ParseMoment(line.substr(0, kStampLength)).has_value();
}

// The offer named at the start of `text` ("101/2026 ..."), up to a blank or a colon.
std::string OfferAt(std::string_view text) {
  const std::size_t end = text.find_first_of(" :,");
  return std::string(text.substr(0, end));
}

}  // namespace

const RunLogDigest::LabelLine* RunLogDigest::LastAbout(std::string_view offer,
                                                       std::string_view system) const {
  const std::string about = fmt::format("{}{} ", kLabels, offer);
  for (auto line = label_lines.rbegin(); line != label_lines.rend(); ++line) {
    if (line->text.starts_with(about) && line->text.find(system) != std::string::npos) {
      return &*line;
    }
  }
  return nullptr;
}

RunLogDigest DigestRunLog(std::string_view text) {
  RunLogDigest digest;
  std::string at;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    if (Dated(line)) {
      at = std::string(line.substr(0, kStampLength));
      const std::string_view rest = line.substr(kStampLength);
      if (rest.starts_with(kCycleStart)) {
        digest.last_cycle = at;
      } else if (rest.starts_with(kDelivered)) {
        const std::string offer = OfferAt(rest.substr(kDelivered.size()));
        // The system's name, before the files placed (": C:\...").
        const std::size_t system = rest.find(kToSystem);
        const std::string_view name =
            system == std::string_view::npos
                ? std::string_view{}
                : rest.substr(system + kToSystem.size())
                      .substr(0, rest.find(": ", system) - system - kToSystem.size());
        const std::string about = fmt::format("{}{} ", kLabels, offer);
        std::erase_if(digest.label_lines, [&](const RunLogDigest::LabelLine& l) {
          return l.text.starts_with(about) && !name.empty() &&
                 l.text.find(name) != std::string::npos;
        });
      }
      continue;
    }
    if (!line.starts_with(kError)) {
      continue;
    }
    const std::string_view message = line.substr(kError.size());
    if (message.starts_with(kOffer)) {
      const std::string offer = OfferAt(message.substr(kOffer.size()));
      const auto known =
          std::find_if(digest.offer_failures.begin(), digest.offer_failures.end(),
                       [&offer](const RunLogDigest::OfferFailure& f) { return f.offer == offer; });
      if (known == digest.offer_failures.end()) {
        digest.offer_failures.push_back({offer, at, std::string(message)});
      } else {
        *known = {offer, at, std::string(message)};
      }
    } else if (message.starts_with(kLabels)) {
      digest.label_lines.push_back({at, std::string(message)});
    }
  }
  return digest;
}

std::string LabelReason(std::string_view text, std::string_view system) {
  const std::size_t name = text.find(system);
  std::string_view reason = text;
  if (name != std::string_view::npos) {
    reason = text.substr(name + system.size());
    if (reason.starts_with(": ")) {
      reason.remove_prefix(2);
    }
  }
  // The advice follows the reason after ". Finché" (a failure met) or "; finché" (at start-up).
  std::size_t end = std::min(reason.find(kAdvice), reason.find(kAdviceAtStart));
  return std::string(reason.substr(0, end));
}

}  // namespace zav5::checks
