// The CSV files of both programs against the report of the same run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "support/ParvelOutput.h"
#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

const std::string kDay = std::string(EXAMPLES_DIR) + "/day.csv";

std::vector<std::vector<std::string>> ReadCsv(const std::string& path, std::string& header) {
  std::istringstream lines(ReadFile(path));
  std::getline(lines, header);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

// The chains of the report element `parent`, as comma-joined texts.
std::vector<std::string> ChainsOf(const boost::property_tree::ptree& parent) {
  std::vector<std::string> chains;
  for (const auto& child : parent)
    if (child.first == "chain") chains.push_back(child.second.data());
  return chains;
}

// Rotations of a rotations file, checked row by row against the
// timetable; balanced and rested rotations counted, and the last day any
// rotation reaches.
struct Rotations {
  std::vector<std::string> chains;
  int balanced = 0;
  int rested = 0;
  std::size_t lastDay = 0;
};

const char kRotationsHeader[] =
    "rotation,position,passage,origin,destination,departure,arrival,balanced,rest_hours,day";

Rotations ReadRotations(const std::string& path, double threshold) {
  std::string header;
  const auto rows = ReadCsv(path, header);
  EXPECT_EQ(header, kRotationsHeader);
  const std::map<unsigned, Flight> flights = ReadFlights(kDay);
  Rotations rotations;
  double arrivedAt = 0.0;  // hours since the rotation's first midnight
  for (const auto& row : rows) {
    EXPECT_EQ(row.size(), 10u);
    if (row.size() != 10u) break;
    const std::size_t rotation = std::stoul(row[0]);
    const std::size_t position = std::stoul(row[1]);
    const Flight& flight = flights.at(static_cast<unsigned>(std::stoul(row[2])));
    EXPECT_EQ(std::stoul(row[3]), flight.origin);
    EXPECT_EQ(std::stoul(row[4]), flight.destination);
    EXPECT_EQ(std::stod(row[5]), flight.departure);
    EXPECT_EQ(std::stod(row[6]), flight.arrival);
    // On the day given, a passage leaves after the one before has arrived,
    // and less than a day later: the vehicle takes the first departure.
    const std::size_t day = std::stoul(row[9]);
    const double leaves = 24.0 * static_cast<double>(day - 1) + flight.departure;
    if (position == 1) {
      EXPECT_EQ(day, 1u);
    } else {
      EXPECT_GE(leaves, arrivedAt) << "passage " << row[2];
      EXPECT_LT(leaves, arrivedAt + 24.0) << "passage " << row[2];
    }
    arrivedAt = leaves + flight.arrival - flight.departure +
                (flight.arrival < flight.departure ? 24.0 : 0.0);
    rotations.lastDay = std::max(rotations.lastDay, day);
    if (position == 1) {
      EXPECT_EQ(rotation, rotations.chains.size() + 1);
      rotations.chains.push_back(row[2]);
      rotations.balanced += row[7] == "true" ? 1 : 0;
      rotations.rested += std::stod(row[8]) >= threshold ? 1 : 0;
    } else {
      EXPECT_EQ(rotation, rotations.chains.size());
      rotations.chains.back() += "," + row[2];
    }
  }
  return rotations;
}

}  // namespace

TEST(RotationsFile, ParvelWritesItsBestDecompositionAndItsCounts) {
  TempDir dir;
  const std::string csv = dir.File("rotations.csv");
  const std::string report = dir.File("opt.xml");
  const ProgramResult run = RunParvel({"--timetable", kDay, "--search", "exchange", "--seed", "4",
                                       "--treshold", "12", "--rotations", csv, "--outpath",
                                       report});
  ASSERT_EQ(run.status, 0) << run.out;
  const boost::property_tree::ptree opt = ParseReport(report).get_child("OPT");
  const Rotations rotations = ReadRotations(csv, 12.0);
  EXPECT_EQ(rotations.chains, ChainsOf(opt.get_child("opt_decomp")));
  EXPECT_EQ(rotations.balanced, std::stoi(opt.get<std::string>("number_of_balanced_chains")));
  EXPECT_EQ(rotations.rested, std::stoi(opt.get<std::string>("number_of_chains_with_rest")));
  EXPECT_GE(rotations.lastDay, 2u);  // the example's overnight flights carry rotations on
}

TEST(RotationsFile, QuorlinWritesTheFirstReportedDecompositionAndTheTraceItsRuns) {
  TempDir dir;
  const std::string rotationsCsv = dir.File("rotations.csv");
  const std::string traceCsv = dir.File("trace.csv");
  const std::string report = dir.File("se.xml");
  const ProgramResult run =
      RunQuorlin({"--timetable", kDay, "--B", "3", "--N", "12", "--seed", "2", "--exact",
                  "--rotations", rotationsCsv, "--trace", traceCsv, "--outpath", report});
  ASSERT_EQ(run.status, 0) << run.out;
  const boost::property_tree::ptree se = ParseReport(report).get_child("SE");
  EXPECT_EQ(ReadRotations(rotationsCsv, 11.0).chains,
            ChainsOf(se.get_child("decompositions").front().second));

  std::string header;
  const auto rows = ReadCsv(traceCsv, header);
  EXPECT_EQ(header,
            "repetition,estimate,log10_estimate,running_mean,log10_running_mean,"
            "running_relative_error,fully_enumerated,seconds,log10_exact");
  ASSERT_EQ(rows.size(), 12u);
  double sum = 0.0;
  double lastSeconds = 0.0;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    ASSERT_EQ(rows[k].size(), 9u);
    EXPECT_EQ(rows[k][0], std::to_string(k + 1));
    const double estimate = std::stod(rows[k][1]);
    sum += estimate;
    EXPECT_NEAR(std::stod(rows[k][2]), std::log10(estimate), 1e-6);
    EXPECT_NEAR(std::stod(rows[k][3]) / (sum / static_cast<double>(k + 1)), 1.0, 1e-15);
    EXPECT_GE(std::stod(rows[k][7]), lastSeconds);
    lastSeconds = std::stod(rows[k][7]);
    EXPECT_NEAR(std::stod(rows[k][8]), std::stod(se.get<std::string>("exact_number_of_decompositions_log10")),
                1e-6);
  }
  // The last row holds the report's mean and relative error, as written there.
  EXPECT_EQ(rows.back()[3], se.get<std::string>("se_counting_estimator"));
  EXPECT_EQ(rows.back()[5], se.get<std::string>("se_counting_estimator_re"));
  EXPECT_EQ(rows.back()[6], se.get<std::string>("is_fully_enumerated"));
}

TEST(RotationsFile, NoDecompositionGivesTheHeaderAloneAndAnUnwritablePathFails) {
  TempDir dir;
  const std::string csv = dir.File("rotations.csv");
  const ProgramResult empty = RunQuorlin({"--timetable", kDay, "--N", "0", "--rotations", csv});
  ASSERT_EQ(empty.status, 0);
  EXPECT_EQ(ReadFile(csv), std::string(kRotationsHeader) + "\n");

  const std::string nowhere = dir.File("missing/rotations.csv");
  for (const ProgramResult& failed :
       {RunParvel({"--timetable", kDay, "--N", "5", "--rotations", nowhere}),
        RunQuorlin({"--timetable", kDay, "--N", "5", "--rotations", nowhere})}) {
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "Cannot write the rotations file " + nowhere + ": the folder " +
                              dir.File("missing") + " does not exist\n");
  }
}
