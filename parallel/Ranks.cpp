#include "parallel/Ranks.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include <boost/mpi/collectives.hpp>
#include <boost/mpi/communicator.hpp>
#include <boost/mpi/environment.hpp>
#include <boost/serialization/vector.hpp>

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

Ranks::Ranks(int& argc, char**& argv) {
  if (!LaunchedByMpi()) return;
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

FollowerOutput::FollowerOutput(bool leader, unsigned int rank) : rank_(rank) {
  if (!leader) original_ = std::cout.rdbuf(held_.rdbuf());
}

FollowerOutput::~FollowerOutput() {
  if (original_ != nullptr) std::cout.rdbuf(original_);
}

int FollowerOutput::Finish(int status) {
  if (original_ == nullptr) return status;
  std::cout.rdbuf(original_);
  original_ = nullptr;
  if (status != 0) {
    std::istringstream lines(held_.str());
    std::string last;
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) last = line;
    if (!last.empty()) std::cerr << "rank " << rank_ << ": " << last << std::endl;
  }
  return status;
}

}  // namespace parallel
