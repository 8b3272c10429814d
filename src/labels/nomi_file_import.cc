#include "labels/nomi_file_import.h"

#include <chrono>
#include <string>

#include "labels/testi_etichette.h"

namespace zav5::labels {

namespace {

// `n` in at least `cifre` digits, zeros in front.
std::string Cifre(long long n, std::size_t cifre) {
  std::string testo = std::to_string(n);
  if (testo.size() < cifre) {
    testo.insert(0, cifre - testo.size(), '0');
  }
  return testo;
}

}  // namespace

std::string TimbroFile(platform::LocalTime t) {
  const auto giorno = std::chrono::floor<std::chrono::days>(t);
  const std::chrono::year_month_day data{giorno};
  const std::chrono::hh_mm_ss ora{t - giorno};
  return Cifre(static_cast<int>(data.year()), 4) + Cifre(static_cast<unsigned>(data.month()), 2) +
         Cifre(static_cast<unsigned>(data.day()), 2) + Cifre(ora.hours().count(), 2) +
         Cifre(ora.minutes().count(), 2) + Cifre(ora.seconds().count(), 2);
}

std::optional<platform::LocalTime> LeggiTimbro(std::string_view timbro) {
  if (timbro.size() != 14 || timbro.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  const auto cifre = [timbro](std::size_t da, std::size_t quante) {
    int n = 0;
    for (std::size_t i = da; i < da + quante; ++i) {
      n = n * 10 + (timbro[i] - '0');
    }
    return n;
  };
  using namespace std::chrono;
  const year_month_day data{year{cifre(0, 4)}, month{static_cast<unsigned>(cifre(4, 2))},
                            day{static_cast<unsigned>(cifre(6, 2))}};
  const int ore = cifre(8, 2);
  const int minuti = cifre(10, 2);
  const int secondi = cifre(12, 2);
  if (!data.ok() || ore > 23 || minuti > 59 || secondi > 59) {
    return std::nullopt;
  }
  return local_days{data} + hours{ore} + minutes{minuti} + seconds{secondi};
}

std::string NomeFilePrezzi(std::string_view cartella, platform::LocalTime t) {
  return std::string(cartella) + "\\Import_VPA_" + TimbroFile(t) + ".txt";
}

std::string NomeFilePromozioni(std::string_view cartella, platform::LocalTime t) {
  return std::string(cartella) + "\\Import_PRO_" + TimbroFile(t) + ".txt";
}

std::string NomeFileUnico(std::string_view cartella, std::string_view prefisso,
                          platform::LocalTime t) {
  return std::string(cartella) + std::string(Rifilato(prefisso)) + TimbroFile(t) + ".txt";
}

std::string ModelloPulizia(std::string_view cartella) {
  return std::string(cartella) + "import*.*";
}

}  // namespace zav5::labels
