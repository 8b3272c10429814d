#include "platform/current_drive.h"

namespace zav5::platform {

// A POSIX folder is on no drive: the store's drives are all mapped by option, and the program
// runs on C unless one names another.
char ProcessCurrentDrive() {
  return 'C';
}

}  // namespace zav5::platform
