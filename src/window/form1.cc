#include "window/form1.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace zav5::window {

namespace {

// The window's data sources with the captions they carry on their bars.
constexpr std::array<std::pair<std::string_view, std::string_view>, 20> kSorgenti = {{
    {"var", "Data3"},      {"var2", "Data3"},    {"Semafori", "Data2"}, {"Data2", "Data3"},
    {"listipro", "Data3"}, {"data3", "Data3"},   {"elettro", "Data4"},  {"Data1", "Data1"},
    {"listi01", "Data2"},  {"unita2", "Data3"},  {"offtab", "Data3"},   {"codean2", "Data3"},
    {"codean", "Data3"},   {"variab2", "Data3"}, {"ivadb", "Data3"},    {"variab", "Data3"},
    {"numeri", "Data3"},   {"carteTX", "Data3"}, {"caselle", "Data4"},  {"articoli", "Data2"},
}};

}  // namespace

Form1::Form1(platform::Env& env) : env_(env), engine_(env), log_(env), drive_(env.CurrentDrive()) {
  for (const auto& [name, caption] : kSorgenti) {
    sorgenti_.emplace(std::string(name), std::make_unique<data::DataSource>(
                                             engine_, std::string(name), std::string(caption)));
  }
}

void Form1::Form_Load() {
  esito_ = startup::EseguiAvvio({env_, contesto_, log_, Sorgente("var"), drive_});
  // After the message box of a missing company database the text box keeps its design state.
  if (*esito_ != startup::EsitoAvvio::kAziendaMancante) {
    nrposw_ = std::to_string(contesto_.NumeroPos);
  }
}

void Form1::Form_Unload() {
  env_.CloseAll();
}

std::int32_t Form1::OggiScansione() {
  if (oggi_fisso_) {
    return data::DayNumber(*oggi_fisso_);
  }
  return data::DayNumber(
      std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(env_.Now())});
}

data::DataSource& Form1::Sorgente(std::string_view name) {
  const auto found = sorgenti_.find(name);
  if (found == sorgenti_.end()) {
    throw std::out_of_range("the window has no data source " + std::string(name));
  }
  return *found->second;
}

}  // namespace zav5::window
