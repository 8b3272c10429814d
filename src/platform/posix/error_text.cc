#include "platform/posix/error_text.h"

#include <cerrno>

namespace zav5::platform {

std::string ErrorText(int error) {
  switch (error) {
    case ENOENT:
      return "file o cartella inesistente";
    case EACCES:
    case EPERM:
      return "permesso negato";
    case ENOTDIR:
      return "un elemento del percorso non è una cartella";
    case EISDIR:
      return "è una cartella";
    case ENOSPC:
      return "spazio esaurito sul disco";
    case EDQUOT:
      return "quota del disco esaurita";
    case EROFS:
      return "il disco è in sola lettura";
    case EFBIG:
      return "file troppo grande";
    case ENAMETOOLONG:
      return "nome troppo lungo";
    case ELOOP:
      return "troppi collegamenti simbolici nel percorso";
    case EMFILE:
    case ENFILE:
      return "troppi file aperti";
    case EBUSY:
    case ETXTBSY:
      return "il file è in uso";
    case EIO:
      return "errore di lettura o scrittura sul disco";
    default:
      return std::generic_category().message(error);
  }
}

std::string ErrorText(const std::error_code& error) {
  if (error.category() == std::generic_category() || error.category() == std::system_category()) {
    return ErrorText(error.value());
  }
  return error.message();
}

}  // namespace zav5::platform
