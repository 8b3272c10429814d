// One program per store: a second zav5 on the same company database would take the same offers
// and hand the same label files over twice, so it refuses to start.
#pragma once

#include <memory>
#include <string>

#include "errors.h"
#include "platform/env.h"
#include "startup/store_lock.h"

namespace zav5::app {

// The exit code of a zav5 that refuses to run because another one runs on the same store.
inline constexpr int kAlreadyRunningExitCode = 3;

// Another zav5 holds the store's lock; what() says so in the operator's words.
class AlreadyRunning : public Error {
 public:
  using Error::Error;
};

// Takes the lock of the store on env's current drive before the program touches anything. The
// operating system releases it when the process ends in any way, so a crash never leaves a stale
// lock; the scripts the program starts do not inherit it. Returns nullptr when there is no company
// database (start-up reports that, and the program touches no store). Throws AlreadyRunning when
// another process holds the lock, FileError when the lock file cannot be made.
std::unique_ptr<platform::FileLock> LockStore(platform::Env& env);

}  // namespace zav5::app
