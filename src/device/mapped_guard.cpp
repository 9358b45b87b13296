#include "device/mapped_guard.h"

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <mutex>

namespace dulvex::device {

namespace {

struct Armed {
  sigjmp_buf jump;
  std::uintptr_t begin = 0, end = 0;
};

// The armed range of this thread; read by the handler on the same thread, so the compiler
// must store it before the work runs (a signal fence) but no other thread ever looks.
thread_local Armed* armed __attribute__((tls_model("initial-exec"))) = nullptr;

struct sigaction previous {};

void OnSigbus(int signal, siginfo_t* info, void* context) {
  Armed* a = armed;
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  if (a != nullptr && address >= a->begin && address < a->end) {
    armed = nullptr;
    siglongjmp(a->jump, 1);
  }
  // Not a fault of a guarded mapping: what was there before deals with it.
  if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
    previous.sa_sigaction(signal, info, context);
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signal);
  } else {
    // The default action: back to it, and the faulting access runs again and ends the program.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGBUS, &fallback, nullptr);
  }
}

void Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = OnSigbus;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &previous);
  });
}

}  // namespace

bool RunGuarded(const void* begin, std::size_t length, void (*work)(void*), void* context) {
  Install();
  Armed a;
  a.begin = reinterpret_cast<std::uintptr_t>(begin);
  a.end = a.begin + length;
  // Saves the signal mask too, so leaving the handler by the jump unblocks SIGBUS again.
  if (sigsetjmp(a.jump, 1) != 0) return false;
  armed = &a;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  work(context);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  armed = nullptr;
  return true;
}

}  // namespace dulvex::device
