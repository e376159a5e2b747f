#pragma once

// Two pieces of work at once: one on a thread started for it, the other on
// the caller's. Used by the fixed part's two-thread passes (pairs, adjacency,
// sorting) instead of a bare std::thread, whose exception (an allocation
// that fails) would end the process through std::terminate.
//
// Both pieces always finish before the call returns or throws; the first
// exception of either (the caller's first when both throw) then reaches the
// caller. A thread that cannot be started leaves both pieces to the caller,
// `beside` first: the pieces are independent, so the result is the same.
//
// Cost: one thread start and join.

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

template <typename Beside, typename Here>
void RunBesideThread(Beside&& beside, Here&& here) {
  std::exception_ptr besideFailure;
  std::thread helper;
  try {
    helper = std::thread([&] {
      try {
        beside();
      } catch (...) {
        besideFailure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    beside();
    here();
    return;
  }
  try {
    here();
  } catch (...) {
    helper.join();
    throw;
  }
  helper.join();
  if (besideFailure) std::rethrow_exception(besideFailure);
}
