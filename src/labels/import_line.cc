#include "labels/import_line.h"

#include <string>
#include <string_view>

#include "labels/label_texts.h"
#include "platform/utf8.h"

namespace zav5::labels {

namespace {

// Appends a field's text. The label system splits a line at every ";" and reads one line per
// line end, so a text of the store that holds one of them would shift every field after it (the
// price among them) or cut the line in two: a ";" becomes a ",", a line break a blank. Both keep
// the field's length.
void AppendField(std::string& line, std::string_view campo) {
  for (const char c : campo) {
    switch (c) {
      case ';':
        line += ',';
        break;
      case '\r':
      case '\n':
        line += ' ';
        break;
      default:
        line += c;
    }
  }
}

// The fields of a line, each appended after a ";" but the first.
class FieldWriter {
 public:
  explicit FieldWriter(std::string& line) : line_(line) {}

  // A text as it stands.
  void TextValue(std::string_view testo) {
    Separate();
    AppendField(line_, testo);
  }

  // A fixed-length text: its first `lunghezza` characters, padded with blanks (data::FitText).
  void Fixed(std::string_view testo, std::size_t lunghezza) {
    Separate();
    std::size_t caratteri = 0;
    const std::string_view parte = FirstChars(testo, lunghezza, caratteri);
    AppendField(line_, parte);
    line_.append(lunghezza - caratteri, ' ');
  }

  // A fixed-length code, stored padded, then written without its blanks.
  void FixedTrimmed(std::string_view testo, std::size_t lunghezza) {
    Separate();
    std::size_t caratteri = 0;
    AppendField(line_, Trimmed(FirstChars(testo, lunghezza, caratteri)));
  }

  // `quanti` empty fields.
  void EmptyFields(int quanti) {
    for (int i = 0; i < quanti; ++i) {
      Separate();
    }
  }

 private:
  void Separate() {
    if (first_) {
      first_ = false;
    } else {
      line_ += ';';
    }
  }

  // The first `lunghezza` characters of `testo` (fewer when it is shorter), counted as FitText
  // counts them: the file is written in the store's code page, where each byte that is not
  // well-formed UTF-8 becomes a "?" of its own. `caratteri` receives how many they are.
  static std::string_view FirstChars(std::string_view testo, std::size_t lunghezza,
                                     std::size_t& caratteri) {
    std::size_t end_day = 0;
    caratteri = 0;
    while (end_day < testo.size() && caratteri < lunghezza) {
      end_day = platform::SkipUtf8Character(testo, end_day);
      ++caratteri;
    }
    return testo.substr(0, end_day);
  }

  std::string& line_;
  bool first_ = true;
};

}  // namespace

std::string ImportLineText(const ImportLine& line, const data::RegionalSettings& regionale) {
  const bool p = line.promotion;
  const std::string quantity = data::Value::Double(line.quantity).ToText(regionale);

  // The fields numbered as the label system numbers them; the two kinds of line differ only in
  // 13 to 21 and in 25 to 26.
  std::string testo;
  testo.reserve(320);
  FieldWriter campi(testo);
  campi.FixedTrimmed(line.supplier_code, 16);  // 1 supplier code
  campi.FixedTrimmed(line.ean, 13);            // 2 EAN
  campi.FixedTrimmed(line.ean, 13);            // 3 EAN again
  campi.Fixed(line.descrizione, 50);           // 4 description
  campi.EmptyFields(5);                        // 5 to 9
  campi.TextValue(line.unit_of_measure);       // 10 unit of measure
  campi.TextValue(quantity);                   // 11 quantity
  campi.Fixed(line.vat_code, 2);               // 12 VAT code
  if (p) {
    campi.TextValue("");  // 13 supplier name
  } else {
    campi.Fixed(line.supplier, 45);
  }
  campi.Fixed(line.department, 30);  // 14 department
  if (p) {
    campi.TextValue("0");  // 15 group
    campi.TextValue("");   // 16 subgroup
  } else {
    campi.Fixed(line.group, 30);
    campi.Fixed(line.subgroup, 30);
  }
  campi.EmptyFields(2);                                                // 17, 18
  campi.TextValue(p ? std::string_view(line.end_date) : "");           // 19 end date
  campi.EmptyFields(2);                                                // 20, 21
  campi.Fixed(line.label_code, 1);                                     // 22 label code
  campi.TextValue(MoneyText(line.price, regionale));                   // 23 price
  campi.TextValue(line.unit_price);                                    // 24 unit price
  campi.TextValue(p ? std::string_view(line.normal_price) : "");       // 25 regular price
  campi.TextValue(p ? std::string_view(line.normal_unit_price) : "");  // 26 regular unit price
  campi.EmptyFields(5);                                                // 27 to 31
  campi.TextValue(MoneyText(line.sconto, regionale));                  // 32 discount
  campi.TextValue(p ? "1" : "0");                                      // 33 kind flag
  campi.Fixed(line.offer_description, 25);                             // 34 offer description
  campi.TextValue(quantity);                                           // 35 quantity again
  campi.EmptyFields(3);                                                // 36 to 38
  campi.TextValue(line.provenienza);                                   // 39 provenance
  campi.TextValue(line.categoria);                                     // 40 category
  campi.EmptyFields(14);                                               // 41 to 54
  return testo;
}

}  // namespace zav5::labels
