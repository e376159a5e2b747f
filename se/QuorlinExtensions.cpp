#include "se/QuorlinExtensions.h"

#include "common/ProgramFrame.h"

namespace po = boost::program_options;

namespace quorlin {

const char* const kCaption = "Extensions";

po::options_description MakeExtensionOptions(ExtensionSettings& settings) {
  po::options_description group(80, 40);
  group.add_options()
      ("exact", po::value<bool>(&settings.exact)->zero_tokens()->implicit_value(true),
       "also compute the exact number of decompositions")
      ("vertex_order", po::value<VertexOrder>(&settings.vertexOrder),
       "order in which each run decides the vertices: random (default) or degree")
      ("rotations", po::value<std::string>(&settings.rotationsPath),
       "write the first reported decomposition as a CSV table to this file")
      ("trace", po::value<std::string>(&settings.tracePath),
       "write one CSV row per repetition (estimate, running mean and error) to this file")
      ("max_memory", po::value<memory::Size>(&settings.maxMemory), memory::kLimitOptionHelp)
      ("threads", po::value<frame::Count>(&settings.threads),
       "threads of the run (default 1): the nodes of a level, or with --streams repetition "
       "whole repetitions, shared among them; the output is the same for any number")
      ("streams", po::value<parallel::StreamKind>(&settings.streams),
       "random streams: single (default, one for the run) or repetition (one per repetition, "
       "so that repetitions run at once, on threads and MPI ranks)")
      ("strict", po::value<bool>(&settings.strict)->zero_tokens()->implicit_value(true),
       "stop at the first timetable warning (a field read in part or as 0, a time outside 0 "
       "to 24 or infinite, a header that looks like a passage, a repeated passage number, no "
       "passages) instead of reading on")
      ("split", po::value<parts::Split>(&settings.split),
       "none (default) or boards: estimate each connected component of the split graph on its "
       "own (N repetitions each, spread over threads and MPI ranks) and multiply the means")
      ("importance", po::value<parts::Importance>(&settings.importance),
       "uniform (default) or sinkhorn: choose each vertex's partner in proportion to a "
       "matrix-scaling estimate of its completions, deciding per board the side with fewer "
       "unmatched vertices")
      ("min_turn", po::value<MinTurnOption>(&settings.minTurn), kMinTurnOptionHelp);
  return group;
}

}  // namespace quorlin

void validate(boost::any& value, const std::vector<std::string>& tokens, VertexOrder*, int) {
  frame::ReadNamedChoice<VertexOrder>(value, tokens, ParseVertexOrder, "random, degree");
}

namespace parallel {

void validate(boost::any& value, const std::vector<std::string>& tokens, StreamKind*, int) {
  frame::ReadNamedChoice<StreamKind>(value, tokens, ParseStreamKind, "single, repetition");
}

}  // namespace parallel

namespace parts {

void validate(boost::any& value, const std::vector<std::string>& tokens, Split*, int) {
  frame::ReadNamedChoice<Split>(value, tokens, ParseSplit);
}

void validate(boost::any& value, const std::vector<std::string>& tokens, Importance*, int) {
  frame::ReadNamedChoice<Importance>(value, tokens, ParseImportance);
}

}  // namespace parts
