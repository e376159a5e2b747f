#pragma once

// Parvel's whole run for one process: the command line, the load, the
// search, the console lines and the output files. `main` hands it to
// parallel::RunOnRanks; the fuzz targets call it directly.
//
// Returns the exit status: 0, or 1 after the run's one explaining line.
// It prints to std::cout and std::cerr and writes only the files the
// command line names; calls may follow one another in one process.

#include "parallel/Ranks.h"

int RunParvel(int argc, char* argv[], const parallel::Ranks& ranks);
