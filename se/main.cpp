#include "parallel/Ranks.h"
#include "se/QuorlinRun.h"

int main(int argc, char* argv[]) {
  // Under an MPI launcher every rank runs this; only the leader prints.
  return parallel::RunOnRanks(argc, argv, RunQuorlin);
}
