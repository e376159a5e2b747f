#include "localsearch/ParvelExtensions.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "common/ProgramFrame.h"
#include "common/TimeTable.h"

namespace po = boost::program_options;

namespace parvel {

void validate(boost::any& value, const std::vector<std::string>& tokens, TimeLimit*, int) {
  po::validators::check_first_occurrence(value);
  const std::string& text = po::validators::get_single_string(tokens);
  TimeLimit limit;
  limit.given = true;
  char* end = nullptr;
  errno = 0;
  const double seconds = std::strtod(text.c_str(), &end);
  if (!text.empty() && end == text.c_str() + text.size() && errno == 0 &&
      std::isfinite(seconds) && seconds > 0.0)
    limit.seconds = seconds;
  else
    limit.error = "--time_limit must be a number of seconds above 0: \"" + Quoted(text) + "\"";
  value = limit;
}

void validate(boost::any& value, const std::vector<std::string>& tokens, RepairShare*, int) {
  po::validators::check_first_occurrence(value);
  const std::string& text = po::validators::get_single_string(tokens);
  RepairShare repair;
  repair.given = true;
  char* end = nullptr;
  errno = 0;
  const double share = std::strtod(text.c_str(), &end);
  if (!text.empty() && end == text.c_str() + text.size() && errno == 0 && share >= 0.0 &&
      share <= 1.0)
    repair.share = share;
  else
    repair.error = "--exchange_repair must be a share from 0 to 1: \"" + Quoted(text) + "\"";
  value = repair;
}

po::options_description MakeExtensionOptions(ExtensionSettings& settings) {
  po::options_description group(80, 40);
  group.add_options()
      ("search", po::value<SearchKind>(&settings.search),
       "walk (default) or exchange: simulated annealing over exchanges of chain pieces, "
       "N rounds")
      ("bound", po::value<bool>(&settings.bound)->zero_tokens()->implicit_value(true),
       "also report the upper bound on balanced chains (always with exchange)")
      ("rotations", po::value<std::string>(&settings.rotationsPath),
       "write the best decomposition as a CSV table to this file")
      ("max_memory", po::value<memory::Size>(&settings.maxMemory), memory::kLimitOptionHelp)
      ("restarts", po::value<frame::Count>(&settings.restarts),
       "run this many exchange searches, each with its own random stream, and keep the best "
       "(ties to the lowest restart); over threads and MPI ranks")
      ("threads", po::value<frame::Count>(&settings.threads),
       "threads the restarts share (default 1); the output is the same for any number")
      ("strict", po::value<bool>(&settings.strict)->zero_tokens()->implicit_value(true),
       "stop at the first timetable warning (a field read in part or as 0, a time outside 0 "
       "to 24 or infinite, a header that looks like a passage, a repeated passage number, no "
       "passages) instead of reading on")
      ("certify", po::value<bool>(&settings.certify)->zero_tokens()->implicit_value(true),
       "bound the best decomposition's balanced and rested chains by linear programs, and "
       "say when it is optimal")
      ("certify_seconds", po::value<PositiveSeconds>(&settings.certifySeconds),
       "CPU seconds of each of the certificate's two budgets (default 60): one for the "
       "programs on balanced chains, one for those on rested chains")
      ("time_limit", po::value<TimeLimit>(&settings.timeLimit),
       "wall seconds the run may take at most, the exchange search and the certificate "
       "(the run is then no longer repeatable)")
      ("min_turn", po::value<MinTurnOption>(&settings.minTurn), kMinTurnOptionHelp)
      ("exchange_repair", po::value<RepairShare>(&settings.repair),
       "share of the exchange search's proposals, 0 to 1 (default 0), that re-pair up to five "
       "rotations passing one terminal in their best order")
      ("exchange_polish", po::value<bool>(&settings.polish)->zero_tokens()->implicit_value(true),
       "polish the best of each exchange search: re-pair all connections at each terminal, "
       "around each time, in their best order, until none improves");
  return group;
}

void validate(boost::any& value, const std::vector<std::string>& tokens, PositiveSeconds*, int) {
  po::validators::check_first_occurrence(value);
  const std::string& text = po::validators::get_single_string(tokens);
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) ||
      !(seconds > 0.0))
    throw po::invalid_option_value(text);
  value = PositiveSeconds{seconds};
}

int CheckExtensionValues(const ExtensionSettings& settings) {
  for (const std::string* error :
       {&settings.minTurn.error, &settings.timeLimit.error, &settings.repair.error}) {
    if (error->empty()) continue;
    std::cout << *error << std::endl;
    return 1;
  }
  if (settings.timeLimit.given && settings.search != SearchKind::Exchange) {
    std::cout << "--time_limit needs --search exchange" << std::endl;
    return 1;
  }
  if (settings.repair.given && settings.search != SearchKind::Exchange) {
    std::cout << "--exchange_repair needs --search exchange" << std::endl;
    return 1;
  }
  if (settings.polish && settings.search != SearchKind::Exchange) {
    std::cout << "--exchange_polish needs --search exchange" << std::endl;
    return 1;
  }
  return -1;
}

SearchStop TimeLimitStop(const ExtensionSettings& settings, frame::Clock::time_point runStart) {
  SearchStop stop;
  if (!settings.timeLimit.given) return stop;
  const std::chrono::duration<double> left =
      std::chrono::duration<double>(settings.timeLimit.seconds) - (frame::Clock::now() - runStart);
  stop.hasDeadline = true;
  stop.deadline = SearchStop::SteadyClock::now() +
                  std::chrono::duration_cast<SearchStop::SteadyClock::duration>(left);
  return stop;
}

bool AnyGiven(const po::variables_map& vm, const po::options_description& group) {
  for (const auto& option : group.options())
    if (vm.count(option->long_name()) > 0) return true;
  return false;
}

}  // namespace parvel

void validate(boost::any& value, const std::vector<std::string>& tokens, SearchKind*, int) {
  frame::ReadNamedChoice<SearchKind>(value, tokens, ParseSearchKind, "walk, exchange");
}
