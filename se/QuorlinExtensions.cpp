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
      ("min_turn", po::value<MinTurnOption>(&settings.minTurn), kMinTurnOptionHelp);
  return group;
}

}  // namespace quorlin

void validate(boost::any& value, const std::vector<std::string>& tokens, VertexOrder*, int) {
  frame::ReadNamedChoice<VertexOrder>(value, tokens, ParseVertexOrder);
}

namespace parallel {

void validate(boost::any& value, const std::vector<std::string>& tokens, StreamKind*, int) {
  frame::ReadNamedChoice<StreamKind>(value, tokens, ParseStreamKind);
}

}  // namespace parallel
