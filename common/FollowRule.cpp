#include "common/FollowRule.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include <boost/program_options.hpp>

#include "common/TimeTable.h"

const char* const kMinTurnOptionHelp =
    "minimum turnaround time in hours (default 0): a passage can follow another only when it "
    "leaves at least this long after the other arrives";

void validate(boost::any& value, const std::vector<std::string>& tokens, MinTurnOption*, int) {
  namespace po = boost::program_options;
  po::validators::check_first_occurrence(value);
  const std::string& text = po::validators::get_single_string(tokens);
  MinTurnOption option;
  option.given = true;
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double hours = std::strtod(begin, &end);
  const bool number = !text.empty() && end == begin + text.size() && errno == 0;
  if (number && std::isfinite(hours) && hours >= 0.0 && hours <= FollowRule::kMaxMinTurn) {
    option.hours = hours + 0.0;  // -0 turns into 0
  } else {
    option.error = "--min_turn must be a number of hours from 0 to 24: \"" + Quoted(text) + "\"";
  }
  value = option;
}
