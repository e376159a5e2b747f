#pragma once

// Quorlin's options beyond the counting program's own: the exact count of
// decompositions, the order in which a run decides the vertices, the
// rotations and trace files, the memory the precedence graph may take, and
// the threads and random streams of the runs, the estimate made of parts
// (one per connected component) with importance-guided choices, whether a
// timetable that draws a warning is refused, and the minimum turnaround time
// of the follow rule.
// They form a group of their own, listed after the own options, so that the
// program without them behaves and prints as before.

#include <string>

#include <boost/program_options.hpp>

#include "common/FollowRule.h"
#include "common/MemoryLimit.h"
#include "common/ProgramFrame.h"
#include "parallel/Streams.h"
#include "se/EstimateParts.h"
#include "se/VertexOrder.h"

namespace quorlin {

extern const char* const kCaption;

// Variables bound to the options of the group.
struct ExtensionSettings {
  bool exact = false;
  VertexOrder vertexOrder = VertexOrder::Random;
  std::string rotationsPath;  // empty: no rotations file
  std::string tracePath;      // empty: no trace file
  memory::Size maxMemory{memory::DefaultLimit()};
  frame::Count threads;
  parallel::StreamKind streams = parallel::StreamKind::Single;
  bool strict = false;  // a timetable warning is an error
  parts::Split split = parts::Split::None;
  parts::Importance importance = parts::Importance::Uniform;
  MinTurnOption minTurn;
};

// The group, without caption (see frame::DescribeOptions). An unknown
// vertex order is a command-line error.
boost::program_options::options_description MakeExtensionOptions(ExtensionSettings& settings);

}  // namespace quorlin

// Reads a vertex order option value ("random" or "degree").
void validate(boost::any& value, const std::vector<std::string>& tokens, VertexOrder*, int);

namespace parallel {
// Reads a streams option value ("single" or "repetition").
void validate(boost::any& value, const std::vector<std::string>& tokens, StreamKind*, int);
}  // namespace parallel

namespace parts {
// Reads a split option value ("none" or "boards").
void validate(boost::any& value, const std::vector<std::string>& tokens, Split*, int);
// Reads an importance option value ("uniform" or "sinkhorn").
void validate(boost::any& value, const std::vector<std::string>& tokens, Importance*, int);
}  // namespace parts
