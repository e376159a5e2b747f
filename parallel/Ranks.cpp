#include "parallel/Ranks.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include <boost/mpi/collectives.hpp>
#include <boost/mpi/communicator.hpp>
#include <boost/mpi/environment.hpp>
#include <boost/serialization/vector.hpp>
#include <mpi.h>

#include "common/ProgramFrame.h"

namespace parallel {

struct Ranks::Mpi {
  Mpi(int& argc, char**& argv) : environment(argc, argv) {}
  boost::mpi::environment environment;
  boost::mpi::communicator world;
};

bool LaunchedByMpi() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "PMI_RANK", "PMIX_RANK"})
    if (std::getenv(name) != nullptr) return true;
  return false;
}

namespace {

// The held output of this process, for a follower that ends through
// std::exit: its atexit handler still finds it (exit unwinds no stack).
FollowerOutput* gHeld = nullptr;

// A process that leaves through std::exit skips its ranks' finalisation;
// the others would wait for it for ever, so the job ends here.
void AbortUnfinishedJob() {
  int initialized = 0;
  int finalized = 0;
  MPI_Initialized(&initialized);
  MPI_Finalized(&finalized);
  if (!initialized || finalized) return;
  if (gHeld != nullptr) gHeld->Finish(1);
  std::cout.flush();
  MPI_Abort(MPI_COMM_WORLD, 1);
}

}  // namespace

Ranks::Ranks(int& argc, char**& argv) {
  if (!LaunchedByMpi()) return;
  std::atexit(AbortUnfinishedJob);
  mpi_ = std::make_unique<Mpi>(argc, argv);
  rank_ = static_cast<unsigned int>(mpi_->world.rank());
  size_ = static_cast<unsigned int>(mpi_->world.size());
}

Ranks::~Ranks() = default;

std::vector<std::vector<std::uint64_t>> Ranks::Gather(
    const std::vector<std::uint64_t>& mine) const {
  std::vector<std::vector<std::uint64_t>> all;
  if (!mpi_) {
    all.push_back(mine);
    return all;
  }
  boost::mpi::gather(mpi_->world, mine, all, 0);
  return all;
}

std::uint32_t Ranks::Broadcast(std::uint32_t value) const {
  if (mpi_) boost::mpi::broadcast(mpi_->world, value, 0);
  return value;
}

std::vector<unsigned int> Ranks::Share(unsigned int count) const {
  std::vector<unsigned int> share;
  for (unsigned int index = rank_; index < count; index += size_) share.push_back(index);
  return share;
}

bool Ranks::Runs(bool shared, const std::string& whyAlone) const {
  if (shared || size_ == 1) return true;
  if (!IsLeader()) return false;
  std::cerr << whyAlone << std::endl;
  return true;
}

void Ranks::Abort(int status) const {
  if (mpi_) mpi_->world.abort(status);
}

// Passes what is written on to `next`, and keeps the last complete
// non-empty line.
class FollowerOutput::LastLine : public std::streambuf {
 public:
  explicit LastLine(std::streambuf* next) : next_(next) {}
  std::streambuf* Next() const { return next_; }
  const std::string& Line() const { return last_; }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    if (byte == '\n') {
      if (!current_.empty()) last_.swap(current_);
      current_.clear();
    } else if (current_.size() < 4096) {
      current_ += byte;
    }
    return next_->sputc(byte);
  }
  int sync() override { return next_->pubsync(); }

 private:
  std::streambuf* next_;
  std::string current_;
  std::string last_;
};

void FollowerOutput::KeepLeaderLine() {
  if (original_ != nullptr || leaderLine_) return;
  leaderLine_ = std::make_unique<LastLine>(std::cout.rdbuf());
  std::cout.rdbuf(leaderLine_.get());
}

const std::string& FollowerOutput::LeaderLine() const {
  static const std::string kNone;
  return leaderLine_ ? leaderLine_->Line() : kNone;
}

FollowerOutput::FollowerOutput(bool leader, unsigned int rank) : rank_(rank) {
  if (leader) return;
  original_ = std::cout.rdbuf(held_.rdbuf());
  originalErrors_ = std::cerr.rdbuf(heldErrors_.rdbuf());
  gHeld = this;
}

FollowerOutput::~FollowerOutput() {
  if (leaderLine_) std::cout.rdbuf(leaderLine_->Next());
  if (original_ != nullptr) std::cout.rdbuf(original_);
  if (originalErrors_ != nullptr) std::cerr.rdbuf(originalErrors_);
  if (gHeld == this) gHeld = nullptr;
}

namespace {

// The last non-empty line of `text`.
std::string LastLineOf(const std::string& text) {
  std::istringstream lines(text);
  std::string last;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) last = line;
  return last;
}

}  // namespace

int FollowerOutput::Finish(int status) {
  if (original_ == nullptr) return status;
  std::cout.rdbuf(original_);
  std::cerr.rdbuf(originalErrors_);
  original_ = nullptr;
  originalErrors_ = nullptr;
  gHeld = nullptr;
  if (status != 0) {
    std::string line = frame::ErrorLine();
    if (line.empty()) line = LastLineOf(held_.str());
    // One write, so that the launcher's own lines cannot cut it.
    if (!line.empty()) std::cerr << "rank " + std::to_string(rank_) + ": " + line + "\n" << std::flush;
  }
  return status;
}

int RunOnRanks(int argc, char* argv[], int (*run)(int, char**, const Ranks&)) {
  Ranks ranks(argc, argv);
  FollowerOutput output(ranks.IsLeader(), ranks.Rank());
  if (ranks.IsLeader() && ranks.Size() > 1) output.KeepLeaderLine();
  const int status = output.Finish(run(argc, argv, ranks));
  if (status != 0 && ranks.Size() > 1) {
    std::cout.flush();
    const std::string line =
        frame::ErrorLine().empty() ? output.LeaderLine() : frame::ErrorLine();
    if (ranks.IsLeader() && !line.empty()) std::cerr << "rank 0: " + line + "\n" << std::flush;
    ranks.Abort(1);
  }
  return status;
}

}  // namespace parallel
