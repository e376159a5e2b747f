#include "localsearch/ParvelRun.h"
#include "parallel/Ranks.h"

int main(int argc, char* argv[]) {
  // Under an MPI launcher every rank runs this; only the leader prints.
  return parallel::RunOnRanks(argc, argv, RunParvel);
}
