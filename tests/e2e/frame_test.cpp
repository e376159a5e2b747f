// Command-line frame shared by both programs: help, checks, exit statuses,
// malformed input and report saving.

#include <gtest/gtest.h>

#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

struct Program {
  const char* name;
  ProgramResult (*run)(const std::vector<std::string>&);
  const char* usagePrefix;
  const char* root;
};

const Program kPrograms[] = {
    {"Quorlin", RunQuorlin, " (Usage example: Quorlin --timetable", "SE"},
    {"Parvel", RunParvel, " (Usage example: Parvel --timetable", "OPT"},
};

const std::string kSmallTable = "id,o,d,dep,arr\n1,1,2,8,9\n2,2,1,10,11\n3,1,2,12,13\n";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The options description printed on a command-line error: banner first, no
// usage line; the reason alone on standard error.
void ExpectDescriptionOnly(const ProgramResult& result) {
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(StartsWith(result.out, "\n" + std::string(68, '*') + " \n")) << result.out;
  EXPECT_NE(result.out.find("Allowed options:\n"), std::string::npos);
  EXPECT_EQ(result.out.find("Usage example"), std::string::npos);
  EXPECT_EQ(SplitLines(result.err).size(), 1u) << result.err;
}

class Frame : public testing::TestWithParam<Program> {
 protected:
  ProgramResult Run(const std::vector<std::string>& args) const { return GetParam().run(args); }
  TempDir dir;
};

}  // namespace

TEST_P(Frame, HelpAndNoArgumentsPrintUsageAndFail) {
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"--help"},
                           std::vector<std::string>{"--help", "--timetable", "x.csv"}}) {
    const ProgramResult result = Run(args);
    EXPECT_EQ(result.status, 1);
    const std::vector<std::string> lines = SplitLines(result.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_TRUE(StartsWith(lines.back(), GetParam().usagePrefix)) << lines.back();
    EXPECT_EQ(result.out.back(), '\n');
    EXPECT_NE(result.out.find("  --help                "), std::string::npos);
  }
}

TEST_P(Frame, SeedChecksComeBeforeTheTimetableCheck) {
  ProgramResult result = Run({"--seed", "-1"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "The seed should be positive integer.\n");
  result = Run({"--seed", "4"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "No input timetable was specified\n");
}

TEST_P(Frame, BadOptionValuesAndUnknownOptionsPrintTheDescription) {
  ExpectDescriptionOnly(Run({"--timetable", "x.csv", "--seed", "abc"}));
  ExpectDescriptionOnly(Run({"--timetable", "x.csv", "--seed", "3000000000"}));
  ExpectDescriptionOnly(Run({"--timetable", "x.csv", "--bogus", "1"}));
  ExpectDescriptionOnly(Run({"--timetable", "x.csv", "--timetable", "y.csv"}));
  ExpectDescriptionOnly(Run({"--timetable"}));
}

TEST_P(Frame, NegativeCountsAreRejectedInsteadOfWrapping) {
  const std::string table = dir.Write("t.csv", kSmallTable);
  ExpectDescriptionOnly(Run({"--timetable", table, "--N=-5"}));
  ExpectDescriptionOnly(Run({"--timetable", table, "--N", "-5"}));
  ExpectDescriptionOnly(Run({"--timetable", table, "--N= -1"}));
}

TEST_P(Frame, UnreadableTimetableStopsWithTheLoaderMessage) {
  for (const std::string& path : {dir.File("missing.csv"), std::string()}) {
    const ProgramResult result = Run({"--timetable", path, "--outpath", dir.File("r.xml")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Error in openening file \n");
    EXPECT_FALSE(FileExists(dir.File("r.xml")));
  }
}

TEST_P(Frame, MalformedTimetableLineNamesFileLineAndProblem) {
  const std::string table = dir.Write("bad.csv", "id,o,d,dep,arr\n1,1,2,8,9\n\n2,2,-1,10,11\n");
  const ProgramResult result = Run({"--timetable", table, "--outpath", dir.File("r.xml")});
  EXPECT_EQ(result.status, 1);
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_EQ(lines.size(), 1u) << result.out;
  EXPECT_NE(lines[0].find(table), std::string::npos);
  EXPECT_NE(lines[0].find("line 4"), std::string::npos);
  EXPECT_NE(lines[0].find("destination"), std::string::npos);
  EXPECT_FALSE(FileExists(dir.File("r.xml")));

  const std::string shortLine = dir.Write("short.csv", "id,o,d,dep,arr\n1,1,2\n");
  const ProgramResult tooFew = Run({"--timetable", shortLine});
  EXPECT_EQ(tooFew.status, 1);
  EXPECT_NE(tooFew.out.find("line 2"), std::string::npos);
  EXPECT_NE(tooFew.out.find("found 3"), std::string::npos);
}

TEST_P(Frame, AbbreviatedOptionNamesAreAccepted) {
  const std::string table = dir.Write("t.csv", kSmallTable);
  const ProgramResult result = Run({"--time", table, "--se", "3", "--out", dir.File("r.xml")});
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_TRUE(FileExists(dir.File("r.xml")));
}

TEST_P(Frame, ReportIsDeclarationLineThenOneLineWithoutFinalLineFeed) {
  const std::string table = dir.Write("t.csv", kSmallTable);
  const std::string report = dir.Write("r.xml", "old content that must disappear\n\n\n");
  const ProgramResult result = Run({"--timetable", table, "--seed", "2", "--outpath", report});
  EXPECT_EQ(result.status, 0) << result.out;
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(StartsWith(lines.back(), "Run time: ")) << lines.back();
  EXPECT_EQ(lines.back().substr(lines.back().size() - 5), " sec.");
  const std::string text = ReadFile(report);
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  ASSERT_TRUE(StartsWith(text, declaration)) << text;
  const std::string body = text.substr(declaration.size());
  EXPECT_EQ(body.find('\n'), std::string::npos);
  EXPECT_TRUE(StartsWith(body, std::string("<") + GetParam().root + " version=\"1.0\""));
  EXPECT_EQ(body.back(), '>');
}

TEST_P(Frame, WithoutOutpathNoFileIsWrittenAndTheRunSucceeds) {
  const std::string table = dir.Write("t.csv", kSmallTable);
  const ProgramResult result = Run({"--timetable", table, "--seed", "0"});
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_TRUE(StartsWith(SplitLines(result.out).back(), "Run time: "));
}

TEST_P(Frame, UnwritableReportPathFailsWithOneLine) {
  const std::string table = dir.Write("t.csv", kSmallTable);
  const std::string target = dir.File("no/such/dir/r.xml");
  const ProgramResult result = Run({"--timetable", table, "--outpath", target});
  EXPECT_EQ(result.status, 1);
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(target), std::string::npos) << lines.back();
  EXPECT_EQ(result.out.find("Run time: "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, Frame, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<Program>& info) {
                           return std::string(info.param.name);
                         });
