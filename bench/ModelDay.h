#pragma once

// A day as the certificate's benchmarks take it: the timetable, its split
// graph, one maximum matching and the time-space model's reading of them
// (every home a commodity). Not to be copied or moved once laid: the graph
// was built from the table beside it.
//
// Cost: the poset, the graph and one maximum matching.

#include <iostream>
#include <string>

#include "bipartite/BGraph.h"
#include "certify/Certificate.h"
#include "common/Poset.h"
#include "common/TimeTable.h"

struct ModelDay {
  TimeTable table;
  BGraph graph;
  BGraph::Matching maximum;
  certify::Day day;

  // Builds the graph, the matching and the model's day from `table`.
  void Lay() {
    Poset poset;
    poset.CreatePoset(table);
    graph.InitGraphFromPoset(table, poset);
    maximum = graph.GetMaxMatching();
    day = certify::ReadDay(graph, table, maximum);
  }

  // Loads `file` and lays it; false, with the load's error printed, when it
  // does not load.
  bool Load(const std::string& file) {
    std::string error;
    if (!table.Load(file, error)) {
      std::cout << error << std::endl;
      return false;
    }
    Lay();
    return true;
  }
};
