// Another program of the store suite at work on a SQLite file, as a child process (POSIX only:
// it is started with fork).
#pragma once

#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>

#include <sqlite3.h>

namespace zav5::test {

// A child process that opens the file with SQLite and runs `lavoro`, which begins a transaction
// and takes a lock: "BEGIN IMMEDIATE; UPDATE ..." the write lock, "BEGIN; SELECT ..." a read lock.
// It holds the lock until told to let go (or until the test process goes away); then, `ritardo`
// later, it runs `alla_fine` (when not empty) in the same transaction, rolls back and ends. The
// destructor kills it if it is still there, so that no failure of the test leaves it holding the
// file.
class OtherProgram {
 public:
  OtherProgram(const std::filesystem::path& file, std::string lavoro,
               std::chrono::milliseconds ritardo = {}, std::string alla_fine = {}) {
    int segnale[2];
    int command[2];
    if (pipe(segnale) != 0) {
      throw std::runtime_error("pipe non creata");
    }
    if (pipe(command) != 0) {
      close(segnale[0]);
      close(segnale[1]);
      throw std::runtime_error("pipe non creata");
    }
    const std::string path = file.string();
    pid_ = fork();
    if (pid_ < 0) {
      for (int fd : {segnale[0], segnale[1], command[0], command[1]}) {
        close(fd);
      }
      throw std::runtime_error("fork non riuscita");
    }
    if (pid_ == 0) {
      close(segnale[0]);
      close(command[1]);
      ChildMain(path, lavoro, ritardo, alla_fine, segnale[1], command[0]);
    }
    close(segnale[1]);
    close(command[0]);
    from_child_ = segnale[0];
    to_child_ = command[1];
  }

  ~OtherProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(from_child_);
    close(to_child_);
  }

  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;

  // Waits until the process holds the lock with its work done; false when it could not.
  bool Lock() {
    char risposta = 0;
    ssize_t letti;
    do {
      letti = read(from_child_, &risposta, 1);
    } while (letti < 0 && errno == EINTR);
    return letti == 1 && risposta == 'L';
  }

  // Whether the process is still running (it is not waited for).
  bool Alive() const {
    siginfo_t info = {};
    return pid_ > 0 &&
           waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }

  // Tells the process to let go; returns at once.
  void Release() {
    // A process that has died must fail the test, not kill it with SIGPIPE.
    struct sigaction ignora = {};
    struct sigaction prima = {};
    ignora.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignora, &prima);
    const char parola = 'R';
    while (write(to_child_, &parola, 1) < 0 && errno == EINTR) {
    }
    sigaction(SIGPIPE, &prima, nullptr);
  }

  // Waits for the process to end: true when its last work, its rollback and the closing of the
  // file all succeeded.
  bool Terminate() {
    int status = 0;
    pid_t end_day;
    do {
      end_day = waitpid(pid_, &status, 0);
    } while (end_day < 0 && errno == EINTR);
    pid_ = -1;
    return end_day > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  // The child's whole life; never returns. Reports 'L' once it holds the lock, 'E' when it
  // cannot take it.
  [[noreturn]] static void ChildMain(const std::string& path, const std::string& lavoro,
                                     std::chrono::milliseconds ritardo,
                                     const std::string& alla_fine, int segnale, int command) {
    sqlite3* db = nullptr;
    const bool bloccato =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, lavoro.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    const char risposta = bloccato ? 'L' : 'E';
    if (write(segnale, &risposta, 1) != 1 || !bloccato) {
      _exit(1);
    }
    // The parent's word, or the end of the pipe when the parent has gone.
    char parola = 0;
    while (read(command, &parola, 1) < 0 && errno == EINTR) {
    }
    if (ritardo.count() > 0) {
      usleep(static_cast<useconds_t>(
          std::chrono::duration_cast<std::chrono::microseconds>(ritardo).count()));
    }
    const bool fatto = alla_fine.empty() ||
                       sqlite3_exec(db, alla_fine.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    const bool annullato = sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK;
    const bool chiuso = sqlite3_close(db) == SQLITE_OK;
    _exit(fatto && annullato && chiuso ? 0 : 2);
  }

  pid_t pid_ = -1;
  int from_child_ = -1;
  int to_child_ = -1;
};

}  // namespace zav5::test

#endif  // _WIN32
