// Console text, report elements and option of the exact count.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>

#include "exact/ExactCountOutput.h"
#include "se/QuorlinExtensions.h"

namespace {

namespace po = boost::program_options;

std::string PrintfG(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

std::string StreamDefault(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

mpz_class PowerOfTen(unsigned long exponent) {
  mpz_class value;
  mpz_ui_pow_ui(value.get_mpz_t(), 10, exponent);
  return value;
}

exact::ExactCount Available(const mpz_class& count) {
  exact::ExactCount result;
  result.available = true;
  result.count = count;
  result.log10 = exact::Log10(count);
  return result;
}

// Captures what the code under test writes to std::cout.
class CoutCapture {
 public:
  CoutCapture() : saved_(std::cout.rdbuf(buffer_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(saved_); }
  std::string Text() const { return buffer_.str(); }

 private:
  std::ostringstream buffer_;
  std::streambuf* saved_;
};

TEST(ExactCountFormat, EveryDigitUpToTwentyDigits) {
  EXPECT_EQ(exact::FormatExactCount(mpz_class(1)), "1");
  const mpz_class twenty("12345678901234567890");
  EXPECT_EQ(exact::FormatExactCount(twenty), "12345678901234567890");
  EXPECT_EQ(exact::FormatExactCount(PowerOfTen(20) - 1), "99999999999999999999");
}

TEST(ExactCountFormat, LongerNumbersAreWrittenLikeTheStreamWritesDoubles) {
  // Integers that are exactly doubles: the stream's text is the oracle.
  std::mt19937_64 engine(42);
  std::uniform_int_distribution<unsigned long> significand(1, (1UL << 53) - 1);
  std::uniform_int_distribution<unsigned long> shift(14, 960);
  for (int trial = 0; trial < 2000; ++trial) {
    mpz_class value = significand(engine);
    value <<= shift(engine);
    if (value.get_str().size() <= 20) continue;
    EXPECT_EQ(exact::FormatExactCount(value), StreamDefault(value.get_d())) << value.get_str();
  }
}

TEST(ExactCountFormat, RoundingTiesAndCarriesBeyondTheDoubleRange) {
  const mpz_class tail = PowerOfTen(507);
  EXPECT_EQ(exact::FormatExactCount(718661 * tail), "7.18661e+512");
  // Exactly halfway: to even.
  EXPECT_EQ(exact::FormatExactCount(7186625 * tail), "7.18662e+513");
  EXPECT_EQ(exact::FormatExactCount(7186615 * tail), "7.18662e+513");
  // Just above halfway goes up.
  EXPECT_EQ(exact::FormatExactCount(7186625 * tail + 1), "7.18663e+513");
  // Carry into a new leading digit, trailing zeros dropped.
  EXPECT_EQ(exact::FormatExactCount(9999996 * tail), "1e+514");
  EXPECT_EQ(exact::FormatExactCount(15 * PowerOfTen(20)), "1.5e+21");
  EXPECT_EQ(exact::FormatExactCount(PowerOfTen(20)), "1e+20");
  EXPECT_EQ(PrintfG(1e20), "1e+20");
}

TEST(ExactCountDeviation, SmallCountsFollowTheFormula) {
  EXPECT_EQ(exact::RelativeDeviationFromExact(12.0, mpz_class(12)), 0.0);
  EXPECT_DOUBLE_EQ(exact::RelativeDeviationFromExact(15.0, mpz_class(12)), 0.25);
  EXPECT_DOUBLE_EQ(exact::RelativeDeviationFromExact(0.0, mpz_class(7)), -1.0);
  const double mean = 123456.789;
  EXPECT_EQ(exact::RelativeDeviationFromExact(mean, mpz_class(100000)),
            (mean - 100000.0) / 100000.0);
}

TEST(ExactCountDeviation, NotANumberAndInfinityPassThrough) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(std::isnan(exact::RelativeDeviationFromExact(nan, mpz_class(3))));
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(exact::RelativeDeviationFromExact(inf, PowerOfTen(600)), inf);
}

TEST(ExactCountDeviation, CountsBeyondTheDoubleRange) {
  mpz_class exact;
  mpz_ui_pow_ui(exact.get_mpz_t(), 2, 3000);
  // Mean 1.25 * 2^3000 given as significand and exponent.
  EXPECT_DOUBLE_EQ(exact::RelativeDeviationFromExact(WideDouble::FromParts(0.625, 3001), exact), 0.25);
  EXPECT_DOUBLE_EQ(exact::RelativeDeviationFromExact(WideDouble::FromParts(0.5, 3001), exact), 0.0);
  // A double mean far below the count.
  EXPECT_DOUBLE_EQ(exact::RelativeDeviationFromExact(1e300, PowerOfTen(500)), -1.0);
  // Between 2^53 and the double range: agrees with the formula in doubles.
  const mpz_class big = PowerOfTen(40) + 12345;
  EXPECT_NEAR(exact::RelativeDeviationFromExact(2e40, big), 1.0, 1e-15);
}

TEST(ExactCountConsole, AvailableCountPrintsItsThreeLines) {
  CoutCapture capture;
  exact::PrintExactLines(Available(mpz_class(48)), 60.0);
  EXPECT_EQ(capture.Text(),
            "exact number of decompositions = 48\n"
            "relative deviation of the mean estimator from the exact number = 0.25\n"
            "decimal logarithm of mean estimator / exact number = 0.097\n");
}

TEST(ExactCountConsole, LogarithmOfTheRatioStaysTellingFarBelowTheCount) {
  CoutCapture capture;
  exact::PrintExactLines(Available(PowerOfTen(500) * 5), 2e300);
  EXPECT_NE(capture.Text().find("from the exact number = -1\n"), std::string::npos);
  EXPECT_NE(capture.Text().find("/ exact number = -200.398\n"), std::string::npos);
}

TEST(ExactCountConsole, NotANumberMeanIsWrittenLikeTheMean) {
  const double mean = std::numeric_limits<double>::quiet_NaN();
  CoutCapture capture;
  exact::PrintExactLines(Available(PowerOfTen(30) * 3), mean);
  EXPECT_EQ(capture.Text(), "exact number of decompositions = 3e+30\n"
                            "relative deviation of the mean estimator from the exact number = " +
                                StreamDefault(mean) +
                                "\ndecimal logarithm of mean estimator / exact number = nan\n");
}

TEST(ExactCountConsole, UnavailableCountSaysWhyAndNothingElse) {
  exact::ExactCount missing;
  missing.reason = "duplicate passage numbers";
  CoutCapture capture;
  exact::PrintExactLines(missing, 5.0);
  EXPECT_EQ(capture.Text(),
            "exact number of decompositions = unavailable (duplicate passage numbers)\n");
}

TEST(ExactCountReport, FourElementsAfterTheExistingOnes) {
  boost::property_tree::ptree report;
  report.add("SE.<xmlattr>.version", "1.0");
  report.add("SE.decomposition_number", 0);
  const mpz_class count = PowerOfTen(25) + 7;
  exact::AddExactReport(report, Available(count), 2e25);

  const boost::property_tree::ptree& se = report.get_child("SE");
  std::vector<std::string> names;
  for (const auto& child : se) names.push_back(child.first);
  EXPECT_EQ(names, (std::vector<std::string>{"<xmlattr>", "decomposition_number",
                                             "exact_number_of_decompositions",
                                             "exact_number_of_decompositions_log10",
                                             "relative_deviation_from_exact",
                                             "log10_ratio_to_exact"}));
  EXPECT_EQ(se.get<std::string>("exact_number_of_decompositions"), count.get_str());
  EXPECT_EQ(se.get<std::string>("exact_number_of_decompositions_log10"), "25");
  EXPECT_NEAR(std::strtod(se.get<std::string>("relative_deviation_from_exact").c_str(), nullptr),
              1.0, 1e-15);
  EXPECT_NEAR(std::strtod(se.get<std::string>("log10_ratio_to_exact").c_str(), nullptr),
              std::log10(2.0), 1e-12);
}

TEST(ExactCountReport, UnavailableCountAddsNothing) {
  boost::property_tree::ptree report;
  report.add("SE.decomposition_number", 0);
  exact::AddExactReport(report, exact::ExactCount(), 1.0);
  EXPECT_EQ(report.get_child("SE").size(), 1u);
}

po::variables_map Parse(const std::vector<const char*>& args,
                        const po::options_description& desc) {
  po::variables_map vm;
  po::store(po::parse_command_line(static_cast<int>(args.size()), args.data(), desc), vm);
  po::notify(vm);
  return vm;
}

TEST(ExtensionOptions, ExactSwitchSetsTheBoundVariableOnlyWhenGiven) {
  quorlin::ExtensionSettings settings;
  const po::options_description group = quorlin::MakeExtensionOptions(settings);

  EXPECT_TRUE(Parse({"Quorlin"}, group).empty());  // no default value in the map
  EXPECT_FALSE(settings.exact);

  EXPECT_EQ(Parse({"Quorlin", "--exact"}, group).count("exact"), 1u);
  EXPECT_TRUE(settings.exact);

  EXPECT_THROW(Parse({"Quorlin", "--exact=0"}, group), po::error);
}

TEST(ExtensionOptions, VertexOrderAcceptsOnlyKnownNames) {
  quorlin::ExtensionSettings settings;
  const po::options_description group = quorlin::MakeExtensionOptions(settings);

  Parse({"Quorlin"}, group);
  EXPECT_EQ(settings.vertexOrder, VertexOrder::Random);
  Parse({"Quorlin", "--vertex_order", "degree"}, group);
  EXPECT_EQ(settings.vertexOrder, VertexOrder::Degree);
  Parse({"Quorlin", "--vertex_order=random"}, group);
  EXPECT_EQ(settings.vertexOrder, VertexOrder::Random);

  EXPECT_THROW(Parse({"Quorlin", "--vertex_order", "Degree"}, group), po::error);
  EXPECT_THROW(Parse({"Quorlin", "--vertex_order", ""}, group), po::error);
  EXPECT_THROW(Parse({"Quorlin", "--vertex_order"}, group), po::error);
}

}  // namespace
