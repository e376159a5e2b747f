#pragma once

// A single self-updating status line on standard error, for long runs.
//
// When standard error is a terminal, a ticker thread writes the line at
// once and rewrites it in place (carriage return, no line feed) about four
// times a second; `Erase` (or destruction) stops the ticker and blanks the
// line, leaving the cursor where the line began. When standard error is not
// a terminal nothing is started and nothing is written, so standard output,
// redirected error output and report files stay byte for byte as without
// it. A line that cannot be started or made is left out; the run goes on.
// The text comes from a callback that runs on the ticker thread: it may
// read only what is safe to read concurrently (atomics).

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class ProgressLine {
 public:
  // The line's text, given the seconds since the line started.
  using Text = std::function<std::string(double seconds)>;

  explicit ProgressLine(Text text);
  // `enabled` overrides the terminal test.
  ProgressLine(Text text, bool enabled);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Stops the ticker and blanks the line. Idempotent.
  void Erase();

  static bool StandardErrorIsTerminal();

 private:
  Text text;
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  std::size_t shown = 0;  // length of the line on screen
  std::thread ticker;

  void StartTicker();
  void Tick(double seconds);
};
