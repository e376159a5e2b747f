#pragma once

// The files a run writes (the report and every other output option), checked
// before any work and put in place together at its end.
//
// Check, before the run spends anything: an output path must not be the
// timetable, two outputs must not share a path, the folder must exist and
// be writable, and the path must not be a directory. Character devices and
// pipes (/dev/null, /dev/stdout) pass and are written in place; they may be
// named by several outputs.
//
// Stage writes each regular output to a temporary file made exclusively
// (mkstemp) in the target's folder, so nothing is followed and no name can be
// guessed in advance; Commit renames them all onto their paths once every one
// is whole. A symbolic link at the path is kept: its target is replaced. A
// replaced file keeps its mode (and owner, where allowed); a new one gets
// 0666 less the umask, as an ordinary create would. A file with other hard
// links is written in place instead, after its new size has been reserved,
// so the links keep sharing it. Until Commit, and on any failure, SIGINT or
// SIGTERM, the temporary files are removed: a run leaves all its outputs or
// none.
//
// Cost: one extra rename per output; the text goes straight to disk.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace output {

class OutputFiles {
 public:
  OutputFiles() = default;
  ~OutputFiles();
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // Declares the output `what` ("report", "trace", ...) at `path`; an empty
  // path declares nothing.
  void Add(const std::string& what, const std::string& path);

  // The refusal of the declared outputs for a run reading `inputPath`, as
  // one line "Cannot write the <what> file <path>: <reason>"; empty when all
  // may be written.
  std::string Check(const std::string& inputPath) const;

  // Whether `what` was declared with a path.
  bool Wants(const std::string& what) const;

  // Writes output `what` (declared) through `write`; false, with Error(),
  // when it cannot be written whole.
  bool Stage(const std::string& what, const std::function<void(std::ostream&)>& write);
  bool Stage(const std::string& what, const std::string& text);

  // Puts every staged output in place; false, with Error(), when one could
  // not be (the temporaries are removed either way).
  bool Commit();

  // Removes every temporary file; Commit and the destructor do it too.
  void Discard();

  const std::string& Error() const { return error_; }

 private:
  struct Output {
    std::string what;
    std::string path;
    std::string temporary;  // empty when written in place or not staged
    bool staged = false;
  };
  Output* Find(const std::string& what);
  bool Fail(const Output& output, const std::string& reason);

  std::vector<Output> outputs_;
  std::string error_;
};

}  // namespace output
