#include "labels/import_file_names.h"

#include <chrono>
#include <string>

#include "labels/label_texts.h"

namespace zav5::labels {

namespace {

// `n` in at least `digits` digits, zeros in front.
std::string ZeroPadded(long long n, std::size_t digits) {
  std::string testo = std::to_string(n);
  if (testo.size() < digits) {
    testo.insert(0, digits - testo.size(), '0');
  }
  return testo;
}

}  // namespace

std::string FileStamp(platform::LocalTime t) {
  const auto giorno = std::chrono::floor<std::chrono::days>(t);
  const std::chrono::year_month_day data{giorno};
  const std::chrono::hh_mm_ss ora{t - giorno};
  return ZeroPadded(static_cast<int>(data.year()), 4) +
         ZeroPadded(static_cast<unsigned>(data.month()), 2) +
         ZeroPadded(static_cast<unsigned>(data.day()), 2) + ZeroPadded(ora.hours().count(), 2) +
         ZeroPadded(ora.minutes().count(), 2) + ZeroPadded(ora.seconds().count(), 2);
}

std::optional<platform::LocalTime> ParseFileStamp(std::string_view timbro) {
  if (timbro.size() != 14 || timbro.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  const auto digits = [timbro](std::size_t da, std::size_t quante) {
    int n = 0;
    for (std::size_t i = da; i < da + quante; ++i) {
      n = n * 10 + (timbro[i] - '0');
    }
    return n;
  };
  using namespace std::chrono;
  const year_month_day data{year{digits(0, 4)}, month{static_cast<unsigned>(digits(4, 2))},
                            day{static_cast<unsigned>(digits(6, 2))}};
  const int ore = digits(8, 2);
  const int minuti = digits(10, 2);
  const int secondi = digits(12, 2);
  if (!data.ok() || ore > 23 || minuti > 59 || secondi > 59) {
    return std::nullopt;
  }
  return local_days{data} + hours{ore} + minutes{minuti} + seconds{secondi};
}

std::string PriceFileName(std::string_view folder, platform::LocalTime t) {
  return std::string(folder) + "\\Import_VPA_" + FileStamp(t) + ".txt";
}

std::string PromotionFileName(std::string_view folder, platform::LocalTime t) {
  return std::string(folder) + "\\Import_PRO_" + FileStamp(t) + ".txt";
}

std::string SingleFileName(std::string_view folder, std::string_view prefix,
                           platform::LocalTime t) {
  return std::string(folder) + std::string(Trimmed(prefix)) + FileStamp(t) + ".txt";
}

std::string CleanUpPattern(std::string_view folder) {
  return std::string(folder) + "import*.*";
}

}  // namespace zav5::labels
