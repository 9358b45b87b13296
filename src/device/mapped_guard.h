// Touching a mapping of a medium safely. A page the medium cannot deliver (a damaged sector,
// a file cut short under the mapping, a device pulled out) raises SIGBUS on the thread that
// touched it. RunGuarded() arms that thread for a range of addresses: a SIGBUS there ends the
// work at once and RunGuarded() returns false, so the caller can read the same bytes again
// with pread and learn which sectors fail. A SIGBUS anywhere else, or on a thread not armed,
// goes to the handler that was there before (by default it ends the program, as it should).
//
// The work is left by siglongjmp: it must hold no lock, allocate nothing and own nothing that
// needs a destructor; what it wrote before the fault may be half done.
#pragma once

#include <cstddef>

namespace dulvex::device {

bool RunGuarded(const void* begin, std::size_t length, void (*work)(void*), void* context);

template <typename Work>
bool RunGuarded(const void* begin, std::size_t length, Work& work) {
  return RunGuarded(
      begin, length, [](void* w) { (*static_cast<Work*>(w))(); }, &work);
}

}  // namespace dulvex::device
