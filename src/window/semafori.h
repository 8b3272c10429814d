// The till semaphores: the busy flag that each till keeps in the first row of the table Semafori
// of its own database. Flag1 0 or 2 means the till is free, any other value that it is busy.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "data/data_source.h"
#include "platform/env.h"

namespace zav5::window {

// What the till functions work with; all of it belongs to the main window.
struct Tills {
  platform::Env& env;                                // the operator's message box
  const std::array<std::string, 11>& PercorsiCasse;  // till databases, by till number
  data::DataSource& Semafori;                        // the window's data source "Semafori"
};

// 1 when till `NumeroCassa`'s flag says busy, 0 when it says free. A till table without rows is
// reported to the operator (a message box) and reads as free.
// Binds casse.Semafori to the till's database (hidden) and leaves it open there.
// Throws RangeError for a till number outside 0..10, DatabaseError when the database, the table or
// the field cannot be reached, ConversionError when Flag1 is Null or not a number.
std::int16_t LeggiSemaforo(Tills& casse, std::int16_t NumeroCassa);

// Sets till `NumeroCassa`'s flag back to 0 when it says free (0 or 2); a busy flag is left as it
// is. A till table without rows is reported to the operator as by LeggiSemaforo, and nothing is
// written. Always returns 0 and never throws: whatever fails leaves the flag as it was.
std::int16_t AzzeraSemaforo(Tills& casse, std::int16_t NumeroCassa);

// Touches nothing and returns 0, whatever the till.
std::int16_t ControllaSemaforo(std::int16_t NumeroCassa);

}  // namespace zav5::window
