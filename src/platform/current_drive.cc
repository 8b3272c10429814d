#include "platform/current_drive.h"

#include <cctype>

#include <fmt/format.h>

#include "errors.h"
#include "platform/windows_path.h"

namespace zav5::platform {

char DriveOfDirectory(std::string_view directory) {
  std::string_view path = directory;
  // Long paths come as "\\?\D:\..."; a network folder that way is "\\?\UNC\server\share".
  if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\")) {
    path.remove_prefix(4);
  }
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':' &&
      (path.size() == 2 || path[2] == '\\' || path[2] == '/')) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
  }
  throw FileError(fmt::format(
      "la cartella corrente {} non è su un'unità con una lettera (è una cartella di rete?): "
      "zav5 prende l'unità del negozio dalla cartella in cui parte. Avviarlo da un'unità "
      "(\"Da:\" del collegamento, \"Start in\"), oppure indicarla con --current-drive",
      directory));
}

}  // namespace zav5::platform
