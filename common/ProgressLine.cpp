#include "common/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <system_error>

namespace {

void WriteToStandardError(const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(STDERR_FILENO, bytes.data() + written, bytes.size() - written);
    if (n <= 0) return;  // nothing sensible to do about a failing terminal
    written += static_cast<std::size_t>(n);
  }
}

// Columns of the terminal, so that the line never wraps (a wrapped line
// cannot be rewritten in place).
std::size_t TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col;
  return 80;
}

}  // namespace

ProgressLine::ProgressLine(Text text) : ProgressLine(std::move(text), StandardErrorIsTerminal()) {}

ProgressLine::ProgressLine(Text text, bool enabled) : text(std::move(text)) {
  if (!enabled) return;
  // A ticker that cannot be started leaves the run without its line.
  try {
    StartTicker();
  } catch (const std::system_error&) {
  }
}

void ProgressLine::StartTicker() {
  ticker = std::thread([this] {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex);
    // Shown at least once, however short the run. A line that cannot be
    // made (its text's allocation failed) is given up, not the run.
    try {
      do {
        Tick(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        wake.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping; });
      } while (!stopping);
    } catch (const std::exception&) {
    }
  });
}

ProgressLine::~ProgressLine() { Erase(); }

bool ProgressLine::StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void ProgressLine::Tick(double seconds) {
  std::string line = this->text(seconds);
  const std::size_t width = TerminalColumns() - 1;
  if (line.size() > width) line.resize(width);
  std::string bytes = "\r" + line;
  if (line.size() < shown) bytes += std::string(shown - line.size(), ' ') + "\r" + line;
  shown = line.size();
  WriteToStandardError(bytes);
}

void ProgressLine::Erase() {
  if (!ticker.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  wake.notify_all();
  ticker.join();
  WriteToStandardError("\r" + std::string(shown, ' ') + "\r");
  shown = 0;
}
