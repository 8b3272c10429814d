// The shared state of a run: where the store's databases are and the store settings read at
// start-up. One record, owned by the main window for the whole run.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "data/value_text.h"

namespace zav5::startup {

struct ContestoNegozio {
  std::string PercorsoLog;          // today's run log
  std::int16_t CodiceSocieta = 0;   // company code used in every start-up query
  data::FixedText LetteraUnita{1};  // current drive, one lower-case letter
  std::string CartellaDati;         // folder of the store databases, with a trailing backslash
  std::string PercorsoDati;         // the store database; empty while none was found
  std::string PercorsoVendite;      // sales database beside it (only logged)
  std::string PercorsoFidel;        // loyalty database beside it
  std::int32_t NumeroPos = 0;       // number of tills
  data::FixedText FlagArtico{1};
  data::FixedText FlagChiusura{1};
  std::int16_t RepartoFid = 0;
  bool FlagCF = false;
  std::string EscludoCaselle;
  std::int32_t CodicePv = 0;                  // the store's own point of sale
  std::int16_t ContatoreCicli = 0;            // timer ticks towards the next processing cycle
  std::array<std::string, 11> PercorsiCasse;  // till databases, by till number 0 to 10
};

}  // namespace zav5::startup
