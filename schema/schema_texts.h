// The database definitions of schema/*.sql, compiled into the program.
#pragma once

namespace zav5::schema {

extern const char* const k_azienda;  // company database: società, inizio
extern const char* const k_negozio;  // store database dati.mdb
extern const char* const k_cassa;    // till database: Semafori

}  // namespace zav5::schema
