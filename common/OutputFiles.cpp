#include "common/OutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <streambuf>

namespace output {

namespace {

// Temporary files to remove when the process ends before they are put in
// place: the slots are read by a signal handler, so they hold plain C
// strings and change atomically.
constexpr int kSlots = 64;
std::atomic<char*> gTemporaries[kSlots];

void RemoveAll() {
  for (std::atomic<char*>& slot : gTemporaries) {
    char* path = slot.exchange(nullptr);
    if (path != nullptr) ::unlink(path);  // the copy is left to the exiting process
  }
}

extern "C" void RemoveOnSignal(int signal) {
  RemoveAll();
  ::raise(signal);  // SA_RESETHAND: ends the process as the signal would have
}

void InstallCleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::atexit(RemoveAll);
    for (int signal : {SIGINT, SIGTERM}) {
      struct sigaction current {};
      if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
      struct sigaction action {};
      action.sa_handler = RemoveOnSignal;
      sigemptyset(&action.sa_mask);
      action.sa_flags = SA_RESETHAND;
      ::sigaction(signal, &action, nullptr);
    }
  });
}

bool Register(const std::string& path) {
  InstallCleanup();
  char* copy = ::strdup(path.c_str());
  if (copy == nullptr) return false;
  for (std::atomic<char*>& slot : gTemporaries) {
    char* expected = nullptr;
    if (slot.compare_exchange_strong(expected, copy)) return true;
  }
  std::free(copy);
  return false;
}

// Holds SIGINT and SIGTERM back while a temporary file is made and
// registered, or while the outputs are put in place, so that a signal never
// falls between a file's creation and its registration.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

void Unregister(const std::string& path) {
  for (std::atomic<char*>& slot : gTemporaries) {
    char* held = slot.load();
    if (held != nullptr && path == held && slot.compare_exchange_strong(held, nullptr)) {
      std::free(held);
      return;
    }
  }
}

// An output stream on a file descriptor, with write errors remembered.
class DescriptorBuffer : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~DescriptorBuffer() override { sync(); }
  bool Failed() const { return failed_; }

 protected:
  int_type overflow(int_type c) override {
    if (!Flush()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Flush() ? 0 : -1; }

 private:
  bool Flush() {
    const char* at = pbase();
    while (at < pptr()) {
      const ssize_t wrote = ::write(fd_, at, static_cast<std::size_t>(pptr() - at));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) {
        failed_ = true;
        break;
      }
      at += wrote;
    }
    setp(buffer_, buffer_ + sizeof buffer_);
    return !failed_;
  }
  int fd_;
  bool failed_ = false;
  char buffer_[1 << 16];
};

// Writes through `write` to `fd`; true when every byte was written.
bool WriteTo(int fd, const std::function<void(std::ostream&)>& write) {
  DescriptorBuffer buffer(fd);
  std::ostream stream(&buffer);
  write(stream);
  stream.flush();
  return !buffer.Failed() && static_cast<bool>(stream);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Names of the process's own standard streams: written where they point,
// at the end of what is there (a console redirected to a file keeps it).
bool IsStreamName(const std::string& path) {
  return path == "/dev/stdout" || path == "/dev/stderr" || path.rfind("/dev/fd/", 0) == 0 ||
         path.rfind("/proc/self/fd/", 0) == 0;
}

// The path with symbolic links at its end followed (a dangling link gives
// the path it names); the path itself when nothing is to be followed.
std::string FollowLinks(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return path;
    const std::string next(target, static_cast<std::size_t>(length));
    path = next[0] == '/' ? next : FolderOf(path) + "/" + next;
  }
  return path;
}

// What an output is, as far as the checks go.
struct Target {
  std::string resolved;  // links followed
  bool exists = false;
  struct stat status {};
  bool inPlace = false;  // a device, pipe or socket, or a standard stream's name
};

Target Inspect(const std::string& path) {
  Target target;
  target.resolved = FollowLinks(path);
  target.exists = ::stat(target.resolved.c_str(), &target.status) == 0;
  target.inPlace = IsStreamName(path) || (target.exists && !S_ISREG(target.status.st_mode) &&
                                          !S_ISDIR(target.status.st_mode));
  return target;
}

// One text per file, whether or not it exists yet.
std::string Identity(const Target& target) {
  if (target.exists)
    return std::to_string(target.status.st_dev) + ":" + std::to_string(target.status.st_ino);
  char folder[PATH_MAX];
  if (::realpath(FolderOf(target.resolved).c_str(), folder) == nullptr) return target.resolved;
  return std::string(folder) + "/" + NameOf(target.resolved);
}

mode_t CreationMode() {
  // The umask can only be read by setting it; nothing else runs yet when
  // the first output is staged.
  static const mode_t mask = [] {
    const mode_t old = ::umask(022);
    ::umask(old);
    return old;
  }();
  return 0666 & ~mask;
}

}  // namespace

OutputFiles::~OutputFiles() { Discard(); }

void OutputFiles::Add(const std::string& what, const std::string& path) {
  if (path.empty()) return;
  outputs_.push_back({what, path, "", false});
}

bool OutputFiles::Wants(const std::string& what) const {
  for (const Output& output : outputs_)
    if (output.what == what) return true;
  return false;
}

OutputFiles::Output* OutputFiles::Find(const std::string& what) {
  for (Output& output : outputs_)
    if (output.what == what) return &output;
  return nullptr;
}

std::string OutputFiles::Check(const std::string& inputPath) const {
  struct stat input {};
  const bool inputExists = !inputPath.empty() && ::stat(inputPath.c_str(), &input) == 0;
  std::vector<std::string> identities;
  for (const Output& output : outputs_) {
    const std::string prefix = "Cannot write the " + output.what + " file " + output.path + ": ";
    const Target target = Inspect(output.path);
    if (target.exists && S_ISDIR(target.status.st_mode)) return prefix + "it is a directory";
    if (target.exists && inputExists && target.status.st_dev == input.st_dev &&
        target.status.st_ino == input.st_ino)
      return prefix + "it is the timetable";
    if (target.inPlace) {
      if (::access(output.path.c_str(), W_OK) != 0)
        return prefix + "it is not writable";
      identities.push_back("");
      continue;
    }
    const std::string folder = FolderOf(target.resolved);
    struct stat folderStatus {};
    if (::stat(folder.c_str(), &folderStatus) != 0 || !S_ISDIR(folderStatus.st_mode))
      return prefix + "the folder " + folder + " does not exist";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
      return prefix + "the folder " + folder + " is not writable";
    if (target.exists && ::access(target.resolved.c_str(), W_OK) != 0)
      return prefix + "it is not writable";
    const std::string identity = Identity(target);
    for (std::size_t k = 0; k < identities.size(); ++k)
      if (identities[k] == identity)
        return prefix + "it is also the " + outputs_[k].what + " file";
    identities.push_back(identity);
  }
  return "";
}

bool OutputFiles::Fail(const Output& output, const std::string& reason) {
  error_ = "Cannot write the " + output.what + " file " + output.path +
           (reason.empty() ? "" : ": " + reason);
  Discard();
  return false;
}

bool OutputFiles::Stage(const std::string& what, const std::string& text) {
  return Stage(what, [&text](std::ostream& out) { out << text; });
}

bool OutputFiles::Stage(const std::string& what,
                        const std::function<void(std::ostream&)>& write) {
  Output* output = Find(what);
  if (output == nullptr) return true;
  const Target target = Inspect(output->path);
  if (target.inPlace) {
    std::cout.flush();
    // Opened by the given name: the system follows what a stream's name
    // points to (a pipe has no path to follow).
    const int fd = ::open(output->path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return Fail(*output, std::strerror(errno));
    const bool whole = WriteTo(fd, write);
    const bool closed = ::close(fd) == 0;
    if (!whole || !closed) return Fail(*output, "the write failed");
    output->staged = true;
    return true;
  }
  std::string name = FolderOf(target.resolved) + "/." + NameOf(target.resolved) + ".XXXXXX";
  int fd = -1;
  {
    const SignalsHeld held;
    fd = ::mkstemp(&name[0]);
    if (fd < 0) return Fail(*output, std::strerror(errno));
    if (!Register(name)) {
      ::close(fd);
      ::unlink(name.c_str());
      return Fail(*output, "too many output files");
    }
    output->temporary = name;
  }
  bool whole = WriteTo(fd, write);
  if (target.exists && S_ISREG(target.status.st_mode)) {
    whole = whole && ::fchmod(fd, target.status.st_mode & 07777) == 0;
    if (::fchown(fd, target.status.st_uid, target.status.st_gid) != 0) {
      // Another owner cannot be given away; the mode is what matters.
    }
  } else {
    whole = whole && ::fchmod(fd, CreationMode()) == 0;
  }
  whole = ::close(fd) == 0 && whole;
  if (!whole) return Fail(*output, "the write failed");
  output->staged = true;
  return true;
}

namespace {

// Copies `from` over the content of `to` in place, its size reserved first
// so that a full disk is found before the old content is touched.
bool CopyInPlace(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat status {};
  const int out = ::open(to.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  bool ok = out >= 0 && ::fstat(in, &status) == 0 &&
            (status.st_size == 0 || ::posix_fallocate(out, 0, status.st_size) == 0);
  char buffer[1 << 16];
  while (ok) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t at = 0; ok && at < got;) {
      const ssize_t wrote = ::write(out, buffer + at, static_cast<std::size_t>(got - at));
      if (wrote < 0 && errno == EINTR) continue;
      ok = wrote > 0;
      at += wrote > 0 ? wrote : 0;
    }
  }
  ok = ok && ::ftruncate(out, status.st_size) == 0;
  if (out >= 0) ok = ::close(out) == 0 && ok;
  ::close(in);
  return ok;
}

}  // namespace

bool OutputFiles::Commit() {
  for (const Output& output : outputs_)
    if (!output.staged) return Fail(output, "it was not written");
  const SignalsHeld held;
  for (Output& output : outputs_) {
    if (output.temporary.empty()) continue;
    const std::string target = FollowLinks(output.path);
    struct stat status {};
    const bool linked = ::lstat(target.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
                        status.st_nlink > 1;
    const bool placed = linked ? CopyInPlace(output.temporary, target)
                               : ::rename(output.temporary.c_str(), target.c_str()) == 0;
    if (!placed) return Fail(output, std::strerror(errno));
    if (linked) ::unlink(output.temporary.c_str());
    Unregister(output.temporary);
    output.temporary.clear();
  }
  return true;
}

void OutputFiles::Discard() {
  for (Output& output : outputs_) {
    if (output.temporary.empty()) continue;
    ::unlink(output.temporary.c_str());
    Unregister(output.temporary);
    output.temporary.clear();
  }
}

}  // namespace output
