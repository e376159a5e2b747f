#pragma once

// One line that says what is wrong with a command line the options library
// refused: an unknown option with the nearest known name, a value that is
// not one of an option's choices, a count out of range, a missing value, an
// option given twice. It goes to standard error before the options
// description, which stays as it was on standard output.

#include <exception>
#include <string>

#include <boost/program_options.hpp>

namespace frame {

// A value refused by one of the programs' own readers, with the reason:
// the line reads "--<option>: "<value>" <reason>".
class BadValue : public boost::program_options::validation_error {
 public:
  BadValue(const std::string& value, const std::string& reason)
      : validation_error(invalid_option_value), value_(value), reason_(reason) {}
  const std::string& Value() const { return value_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string value_;
  std::string reason_;
};

// The line for `error`, thrown while parsing against `desc`.
std::string ExplainOptionError(const boost::program_options::error& error,
                               const boost::program_options::options_description& desc);

// The long option name of `desc` nearest to `name` (an abbreviation counts
// as its whole name); empty when none is near.
std::string NearestOptionName(const std::string& name,
                              const boost::program_options::options_description& desc);

}  // namespace frame
