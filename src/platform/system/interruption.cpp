#include "platform/system/interruption.h"

#include <csignal>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "platform/system/console.h"
#else
#include <pthread.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

// What the one line says, by how far the run had got.
constexpr char kStoppedReading[] = "Abgebrochen beim Lesen von KASOR.dat; KASOR_max.dat bleibt unverändert.\n";
constexpr char kStoppedWriting[] = "Abgebrochen beim Schreiben; KASOR_max.dat bleibt unverändert.\n";
[[maybe_unused]] constexpr char kAlreadyNew[] =
    "Abgebrochen, als KASOR_max.dat schon neu geschrieben war; das Ergebnis ist vollständig.\n";

// The only state a signal handler touches: plain buffers and flags.
char g_unfinished[4096];
volatile std::sig_atomic_t g_unfinished_set = 0;
volatile std::sig_atomic_t g_writing = 0;   // a temporary file was made: reading is over
volatile std::sig_atomic_t g_in_place = 0;  // the new result is taking its name

#ifdef _WIN32
BOOL WINAPI on_console_event(DWORD) {
  const char* const text = g_in_place ? kAlreadyNew : g_writing ? kStoppedWriting : kStoppedReading;
  write_text(stderr, std::string("\n") + text);
  return FALSE;  // and Windows ends the run, closing the temporary file's handle, which deletes it
}
#else
bool g_holding = false;
sigset_t g_mask_before;

sigset_t interruptions() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
  return set;
}

// Only async-signal-safe calls.
extern "C" void on_interruption(int signal) {
  if (g_unfinished_set) ::unlink(g_unfinished);
  const char* const text = g_writing ? kStoppedWriting : kStoppedReading;
  // After the "^C" that the terminal shows, on a line of its own.
  if (::isatty(2) == 1) (void)!::write(2, "\n", 1);
  (void)!::write(2, text, std::strlen(text));
  ::raise(signal);  // the handler was reset on entry: this ends the run
}
#endif

}  // namespace

void answer_interruptions() {
#ifdef _WIN32
  SetConsoleCtrlHandler(on_console_event, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = on_interruption;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
  }
#endif
}

void note_unfinished_file(const char* name) {
  g_unfinished_set = 0;
  if (!name) return;
  g_writing = 1;
  const std::size_t length = std::strlen(name);
  if (length >= sizeof g_unfinished) return;  // left to the next run's clean-up
  std::memcpy(g_unfinished, name, length + 1);
  g_unfinished_set = 1;
}

#ifndef _WIN32
sigset_t g_mask_deferred;
#endif

void defer_interruptions() {
#ifndef _WIN32
  const sigset_t set = interruptions();
  pthread_sigmask(SIG_BLOCK, &set, &g_mask_deferred);
#endif
}

void resume_interruptions() {
#ifndef _WIN32
  pthread_sigmask(SIG_SETMASK, &g_mask_deferred, nullptr);
#endif
}

void hold_interruptions() {
#ifndef _WIN32
  const sigset_t set = interruptions();
  g_holding = pthread_sigmask(SIG_BLOCK, &set, &g_mask_before) == 0;
#endif
  g_in_place = 1;
}

bool release_interruptions(bool take) {
  if (!take) g_in_place = 0;  // the older result stays
#ifdef _WIN32
  return false;
#else
  if (!g_holding) return false;
  g_holding = false;
  const sigset_t set = interruptions();
  bool came = false;
  if (take) {
    const timespec now{};
    while (sigtimedwait(&set, nullptr, &now) > 0) came = true;
  }
  pthread_sigmask(SIG_SETMASK, &g_mask_before, nullptr);
  return came;
#endif
}

}  // namespace platform
