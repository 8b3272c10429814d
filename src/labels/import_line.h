// One line of a label import file: what it says about one offer row, and its text.
#pragma once

#include <string>

#include "data/value.h"

namespace zav5::labels {

// What one line of an import file says about one offer row. Fixed-length fields may be given
// shorter or longer: the line fits them itself.
struct ImportLine {
  bool promotion = false;       // kind: false = price line ("0"), true = promotion line ("1")
  std::string supplier_code;    // supplier code, fixed 16, written trimmed
  std::string ean;              // the row's EAN, fixed 13, written trimmed
  std::string descrizione;      // fixed 50
  std::string unit_of_measure;  // as text
  double quantity = 0;          // written in its text form (0.5 is "0,5", 2 is "2")
  std::string vat_code;         // fixed 2
  std::string supplier;         // fixed 45 (price line only)
  std::string department;       // fixed 30
  std::string group;            // fixed 30 (price line only)
  std::string subgroup;         // fixed 30 (price line only)
  std::string end_date;         // promotion line only, already "DD-MM-YYYY" or empty
  std::string label_code;       // fixed 1
  data::Currency price;         // written as money
  std::string unit_price = "0";
  std::string normal_price = "0";       // promotion line only
  std::string normal_unit_price = "0";  // promotion line only
  data::Currency sconto;                // written as money
  std::string offer_description;        // fixed 25
  std::string provenienza;              // as text
  std::string categoria;                // as text
};

// The line, without its line end: 54 fields joined by ";" (53 of them), so it ends with the ";"
// after field 53 and field 54 is empty. A ";" inside a text becomes a "," and a line break a
// blank, so that no text can move the fields after it. Fixed-length fields are fitted in
// characters, not bytes.
std::string ImportLineText(const ImportLine& line,
                           const data::RegionalSettings& regionale = data::kItalianSettings);

}  // namespace zav5::labels
