#include "common/OptionMistakes.h"

#include <algorithm>
#include <vector>

namespace po = boost::program_options;

namespace frame {

namespace {

std::string WithoutDashes(std::string name) {
  name.erase(0, name.find_first_not_of('-'));
  return name.substr(0, name.find('='));
}

// Edit distance from `a` to the nearest prefix of `b`: a mistyped
// abbreviation is as near as a mistyped whole name.
std::size_t DistanceToPrefix(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return *std::min_element(row.begin(), row.end());
}

// The library builds its texts by replacing placeholders such as %value%
// with the user's words until none is left, so words that hold their own
// placeholder ("--B %value%") keep it replacing for ever. The words are read
// here directly, and a text only from a copy whose words hold no '%'.
class Substitutions : public po::error_with_option_name {
 public:
  explicit Substitutions(const po::error_with_option_name& error)
      : po::error_with_option_name(error) {}

  bool Has(const std::string& name) const { return m_substitutions.count(name) > 0; }
  std::string Get(const std::string& name) const {
    const auto found = m_substitutions.find(name);
    return found == m_substitutions.end() ? "" : found->second;
  }
  // The library's text, every '%' of the user's words shown as '?'.
  std::string SafeText() {
    for (auto& substitution : m_substitutions)
      std::replace(substitution.second.begin(), substitution.second.end(), '%', '?');
    return what();
  }
};

}  // namespace

std::string NearestOptionName(const std::string& name, const po::options_description& desc) {
  const std::string wanted = WithoutDashes(name);
  std::string best;
  std::size_t bestDistance = std::max<std::size_t>(2, wanted.size() / 3) + 1;
  for (const auto& option : desc.options()) {
    const std::size_t distance = DistanceToPrefix(wanted, option->long_name());
    if (distance < bestDistance) {
      bestDistance = distance;
      best = option->long_name();
    }
  }
  return best;
}

std::string ExplainOptionError(const po::error& error, const po::options_description& desc) {
  if (const auto* unknown = dynamic_cast<const po::unknown_option*>(&error)) {
    const std::string name = "--" + WithoutDashes(unknown->get_option_name());
    const std::string nearest = NearestOptionName(name, desc);
    return "unknown option " + name + (nearest.empty() ? "" : "; did you mean --" + nearest + "?");
  }
  if (const auto* ambiguous = dynamic_cast<const po::ambiguous_option*>(&error)) {
    std::string line = "--" + WithoutDashes(ambiguous->get_option_name()) + " is ambiguous:";
    std::vector<std::string> names = ambiguous->alternatives();
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (std::size_t k = 0; k < names.size(); ++k)
      line += (k == 0 ? " --" : ", --") + names[k];
    return line;
  }
  const auto* named = dynamic_cast<const po::error_with_option_name*>(&error);
  const std::string option = named ? "--" + WithoutDashes(named->get_option_name()) : "";
  if (const auto* bad = dynamic_cast<const BadValue*>(&error))
    return option + ": \"" + bad->Value() + "\" " + bad->Reason();
  if (dynamic_cast<const po::multiple_occurrences*>(&error))
    return option + " is given more than once";
  if (const auto* syntax = dynamic_cast<const po::invalid_command_line_syntax*>(&error)) {
    if (syntax->kind() == po::invalid_syntax::missing_parameter) return option + " needs a value";
  }
  if (named == nullptr) return error.what();
  Substitutions words(*named);
  if (dynamic_cast<const po::validation_error*>(&error) && !option.empty() && words.Has("value"))
    return option + ": \"" + words.Get("value") + "\" is not a valid value";
  return words.SafeText();
}

}  // namespace frame
