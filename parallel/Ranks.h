#pragma once

// The processes of a run started by an MPI launcher (mpirun, mpiexec,
// Slurm's srun), through Boost.MPI.
//
// MPI is started only when the environment shows a launcher (the variables
// Open MPI, PMI and PMIx set for their processes); a program started
// without one is a single process of rank 0 and never touches MPI, so it
// behaves and prints as if MPI did not exist. Rank 0 leads: it alone
// prints and writes files, from what the other ranks send it.
//
// What the ranks exchange is flattened to 64-bit words (Words.h).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace parallel {

class Ranks {
 public:
  // Starts MPI when a launcher started this process.
  Ranks(int& argc, char**& argv);
  ~Ranks();
  Ranks(const Ranks&) = delete;
  Ranks& operator=(const Ranks&) = delete;

  unsigned int Rank() const { return rank_; }
  unsigned int Size() const { return size_; }
  bool IsLeader() const { return rank_ == 0; }

  // Every rank's words, by rank, at the leader; empty elsewhere. Every rank
  // must call it, in the same order as the others' calls.
  std::vector<std::vector<std::uint64_t>> Gather(const std::vector<std::uint64_t>& mine) const;

  // The leader's value at every rank. Every rank must call it.
  std::uint32_t Broadcast(std::uint32_t value) const;

  // The items of [0, count) this rank runs: those with index % Size() ==
  // Rank(), in increasing order.
  std::vector<unsigned int> Share(unsigned int count) const;

  // Whether this rank runs: every rank when `shared` (the work is spread
  // among them), else the leader alone, which then says why on standard
  // error when there are other ranks. A rank that does not run ends with 0.
  bool Runs(bool shared, const std::string& whyAlone) const;

  // Ends every process of the job with `status` (MPI_Abort); returns only
  // without MPI.
  void Abort(int status) const;

 private:
  struct Mpi;
  std::unique_ptr<Mpi> mpi_;
  unsigned int rank_ = 0;
  unsigned int size_ = 1;
};

// True when the environment shows that an MPI launcher started this
// process.
bool LaunchedByMpi();

// Holds back what a process other than the leader writes to standard
// output and standard error: the leader alone prints a run's results and
// warnings. A follower that ends with a non-zero status (an error only it
// met, such as a memory limit of its own machine or a file its machine
// cannot read) writes the error's line to standard error as
// "rank <r>: <line>", so that the error is not lost: the line noted with
// frame::NoteErrorLine (a command-line mistake's), else the last line it
// wrote to standard output. The same happens when a
// follower ends through std::exit.
class FollowerOutput {
 public:
  FollowerOutput(bool leader, unsigned int rank);
  ~FollowerOutput();
  FollowerOutput(const FollowerOutput&) = delete;
  FollowerOutput& operator=(const FollowerOutput&) = delete;

  // Ends the holding back; returns `status`.
  int Finish(int status);

  // The leader of a job of several processes: what it prints passes on as
  // before, and its last line is kept for the line of a failed job.
  void KeepLeaderLine();
  const std::string& LeaderLine() const;

 private:
  class LastLine;
  std::unique_ptr<LastLine> leaderLine_;
  std::ostringstream held_;
  std::ostringstream heldErrors_;
  std::streambuf* original_ = nullptr;
  std::streambuf* originalErrors_ = nullptr;
  unsigned int rank_;
};

// The whole of a program's process under ranks: starts them, runs
// `run(argc, argv, ranks)` with the followers' output held back, and when
// any process fails, ends the whole job at once with status 1 (the others
// may be waiting for it), its line on standard error. A process that ends
// through std::exit before the ranks are done ends the job the same way.
int RunOnRanks(int argc, char* argv[], int (*run)(int, char**, const Ranks&));

}  // namespace parallel
