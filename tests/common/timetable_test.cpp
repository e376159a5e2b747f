#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>

#include "common/TimeTable.h"
#include "support/TempFile.h"

namespace {

TimeTable Load(const TempDir& dir, const std::string& content) {
  TimeTable table;
  table.LoadInstance(dir.Write("table.csv", content));
  return table;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> pieces;
  TimeTable::split(line, ',', pieces);
  return pieces;
}

}  // namespace

TEST(TimeTableSplit, KeepsEmptyPiecesAndIgnoresLinesWithoutSeparator) {
  EXPECT_EQ(Split("a,b,c"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(Split("a,,b,"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(Split(",x"), (std::vector<std::string>{"", "x"}));
  EXPECT_TRUE(Split("abc").empty());
  EXPECT_TRUE(Split("").empty());

  std::vector<std::string> pieces{"kept"};
  TimeTable::split("1,2", ',', pieces);
  EXPECT_EQ(pieces, (std::vector<std::string>{"kept", "1", "2"}));
}

TEST(TimeTableLoad, SkipsHeaderAndLinesWithoutComma) {
  TempDir dir;
  const TimeTable table = Load(dir, "\nno comma here\nid,o,d,dep,arr\n\n17,3,5,6.5,8.25\nblank\n40,1,2,1,2");
  ASSERT_EQ(table.passages.size(), 2u);
  const Passage& p = table.passages[0];
  EXPECT_EQ(p.id, 17u);
  EXPECT_EQ(p.origin, 3u);
  EXPECT_EQ(p.destination, 5u);
  EXPECT_EQ(p.departure, 6.5);
  EXPECT_EQ(p.arrival, 8.25);
  EXPECT_EQ(table.passages[1].id, 40u);  // last line without line feed
}

TEST(TimeTableLoad, FirstLineWithCommaIsHeaderEvenIfItLooksLikeData) {
  TempDir dir;
  const TimeTable table = Load(dir, "1,1,2,3,4\n2,2,3,5,6\n");
  ASSERT_EQ(table.passages.size(), 1u);
  EXPECT_EQ(table.passages[0].id, 2u);
}

TEST(TimeTableLoad, EmptyFileAndHeaderOnlyGiveEmptyTable) {
  TempDir dir;
  EXPECT_TRUE(Load(dir, "").passages.empty());
  const TimeTable headerOnly = Load(dir, "id,o,d,dep,arr\n");
  EXPECT_TRUE(headerOnly.passages.empty());
  EXPECT_TRUE(headerOnly.positionById.empty());
}

TEST(TimeTableLoad, ParsesNumbersLikeStrtod) {
  TempDir dir;
  const TimeTable table =
      Load(dir, "h,h\n 12 ,4,4,0x10,1e1,extra,fields\n3.9,x,2abc,7.5junk,\n");
  ASSERT_EQ(table.passages.size(), 2u);
  const Passage& a = table.passages[0];
  EXPECT_EQ(a.id, 12u);
  EXPECT_EQ(a.origin, 4u);
  EXPECT_EQ(a.destination, 4u);
  EXPECT_EQ(a.departure, 16.0);
  EXPECT_EQ(a.arrival, 10.0);
  const Passage& b = table.passages[1];
  EXPECT_EQ(b.id, 3u);           // truncated toward zero
  EXPECT_EQ(b.origin, 0u);       // no number reads as 0
  EXPECT_EQ(b.destination, 2u);  // longest numeric prefix
  EXPECT_EQ(b.departure, 7.5);
  EXPECT_EQ(b.arrival, 0.0);
}

TEST(TimeTableLoad, WindowsLineEndsLoadTheSamePassages) {
  TempDir dir;
  const TimeTable unix = Load(dir, "id,o,d,dep,arr\n1,2,3,4.5,5.25\n2,3,2,6,7\n");
  const TimeTable windows = Load(dir, "id,o,d,dep,arr\r\n1,2,3,4.5,5.25\r\n2,3,2,6,7\r\n");
  ASSERT_EQ(windows.passages.size(), unix.passages.size());
  for (std::size_t i = 0; i < unix.passages.size(); ++i) {
    EXPECT_EQ(windows.passages[i].id, unix.passages[i].id);
    EXPECT_EQ(windows.passages[i].destination, unix.passages[i].destination);
    EXPECT_EQ(windows.passages[i].arrival, unix.passages[i].arrival);
  }
}

TEST(TimeTableLoad, PositionsFollowFileOrderAndDuplicatesKeepTheLater) {
  TempDir dir;
  const TimeTable table = Load(dir, "h,\n40,1,2,1,2\n7,1,2,1,2\n19,1,2,1,2\n7,2,1,3,4\n");
  ASSERT_EQ(table.passages.size(), 4u);
  EXPECT_EQ(table.positionById.size(), 3u);
  EXPECT_EQ(table.positionById.at(40), 0u);
  EXPECT_EQ(table.positionById.at(19), 2u);
  EXPECT_EQ(table.positionById.at(7), 3u);
}

TEST(TimeTableLoad, NanAndInfinityAreLegalTimes) {
  TempDir dir;
  const TimeTable table = Load(dir, "h,\n1,1,2,nan,inf\n");
  ASSERT_EQ(table.passages.size(), 1u);
  EXPECT_TRUE(std::isnan(table.passages[0].departure));
  EXPECT_TRUE(std::isinf(table.passages[0].arrival));
}

TEST(TimeTableLoadDeathTest, UnreadableFileEndsTheProcess) {
  EXPECT_EXIT(
      {
        TimeTable table;
        table.LoadInstance("/nonexistent/dir/table.csv");
      },
      ::testing::ExitedWithCode(1), "");
}

TEST(TimeTableLoadDeathTest, MalformedDataLinesEndTheProcess) {
  TempDir dir;
  const std::vector<std::string> bad = {
      "h,\n1,2,3,4\n",                // four fields
      "h,\n-1,2,3,4,5\n",             // negative passage number
      "h,\n1,4294967296,3,4,5\n",     // origin beyond 32 bits
      "h,\n1,2,inf,4,5\n",            // infinite destination
      "h,\n1,2,nan,4,5\n",            // not a number
  };
  for (const std::string& content : bad) {
    const std::string path = dir.Write("bad.csv", content);
    EXPECT_EXIT(
        {
          TimeTable table;
          table.LoadInstance(path);
        },
        ::testing::ExitedWithCode(1), "")
        << content;
  }
}

TEST(TimeTableLoad, BoundaryIntegersAreAccepted) {
  TempDir dir;
  const TimeTable table = Load(dir, "h,\n4294967295,0,-0.5,1,2\n");
  ASSERT_EQ(table.passages.size(), 1u);
  EXPECT_EQ(table.passages[0].id, 4294967295u);
  EXPECT_EQ(table.passages[0].destination, 0u);  // truncates to 0
}

TEST(TimeTableLoad, HostileInputGetsOneReadableLine) {
  TempDir dir;
  std::string error;
  TimeTable table;
  EXPECT_FALSE(table.Load(dir.Path(), error));
  EXPECT_EQ(error, "Error in timetable file " + dir.Path() + ": it is a directory\n");
  EXPECT_FALSE(table.Load(dir.File("missing.csv"), error));
  EXPECT_EQ(error, "Error in openening file \n");

  // Control bytes are escaped and a long field is cut, so that the message
  // stays one readable line.
  const std::string binary = "h,\n1,-1\x01\x1b[2J\x7f,3,4,5\n";
  EXPECT_FALSE(TimeTable().Load(dir.Write("binary.csv", binary), error));
  EXPECT_EQ(error, "Error in timetable file " + dir.File("binary.csv") +
                       ", line 2: field 2 (origin) \"-1\\x01\\x1b[2J\\x7f\" is not an integer in "
                       "0..4294967295\n");
  const std::string longField = "-1" + std::string(1 << 20, '0');
  EXPECT_FALSE(TimeTable().Load(dir.Write("long.csv", "h,\n1,2," + longField + ",4,5\n"), error));
  EXPECT_EQ(error, "Error in timetable file " + dir.File("long.csv") +
                       ", line 2: field 3 (destination) is longer than 4096 bytes\n");
  EXPECT_LT(error.size(), 300u);
  EXPECT_EQ(error.find('\n'), error.size() - 1);

  // Numbers past the double range and negative zero.
  EXPECT_FALSE(TimeTable().Load(dir.Write("huge.csv", "h,\n1e400,2,3,4,5\n"), error));
  EXPECT_NE(error.find("field 1 (passage number) \"1e400\""), std::string::npos) << error;
  TimeTable zero;
  ASSERT_TRUE(zero.Load(dir.Write("zero.csv", "h,\n-0,-0,-0.9,-0,1e400\n"), error)) << error;
  EXPECT_EQ(zero.passages[0].id, 0u);
  EXPECT_TRUE(std::signbit(zero.passages[0].departure));
  EXPECT_TRUE(std::isinf(zero.passages[0].arrival));
}

TEST(TimeTableLoad, StreamCoreAndFileLoaderAgree) {
  TempDir dir;
  const std::string content = "h,\n5,1,2,6,7\n6,2,1,8,9\n6,x\n";
  std::string fromFile;
  TimeTable a;
  EXPECT_FALSE(a.Load(dir.Write("t.csv", content), fromFile));
  std::istringstream in(content);
  std::string fromStream;
  TimeTable b;
  EXPECT_FALSE(b.LoadFromStream(in, dir.File("t.csv"), fromStream));
  EXPECT_EQ(fromStream, fromFile);
  EXPECT_EQ(fromFile, "Error in timetable file " + dir.File("t.csv") +
                          ", line 4: expected at least 5 comma-separated fields, found 2\n");
  EXPECT_EQ(b.passages.size(), 2u);  // the lines before the error stay
}

namespace {

// The loader as the file format states it, on whole lines split at every
// comma: the passages, or false at the first line the streaming loader must
// refuse.
bool ReferenceLoad(const std::string& content, std::vector<Passage>& passages) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(content.substr(start, end - start));
  if (start < content.size()) lines.push_back(content.substr(start));
  bool header = false;
  for (const std::string& line : lines) {
    std::vector<std::string> fields;
    TimeTable::split(line, ',', fields);
    if (fields.empty()) continue;
    if (!header) {
      header = true;
      continue;
    }
    if (fields.size() < 5) return false;
    std::uint32_t numbers[3];
    for (int k = 0; k < 3; ++k) {
      const double value = std::trunc(std::strtod(fields[k].c_str(), nullptr));
      if (!(value >= 0.0 && value <= 4294967295.0)) return false;
      numbers[k] = static_cast<std::uint32_t>(value);
    }
    passages.push_back({numbers[0], numbers[1], numbers[2], std::strtod(fields[3].c_str(), nullptr),
                        std::strtod(fields[4].c_str(), nullptr)});
  }
  return true;
}

bool SameTime(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

}  // namespace

TEST(TimeTableLoad, StreamingReadsWhatWholeLinesSplitAtCommasGive) {
  // Random files of numbers, signs, letters, blanks and separators, some
  // lines longer than the loader's read piece (in fields it does not keep).
  const std::string alphabet = "0123456789012345678,,,,,..-+eExinf \t\r\n\n";
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    std::string content;
    const int length = std::uniform_int_distribution<int>(0, 300)(random);
    for (int k = 0; k < length; ++k) {
      content += alphabet[random() % alphabet.size()];
      if (random() % 97 == 0) content += ",,,,,," + std::string(70000, '7') + "\n";
    }
    std::vector<Passage> expected;
    const bool valid = ReferenceLoad(content, expected);
    TimeTable table;
    std::string error;
    std::istringstream in(content);
    const bool loaded = table.LoadFromStream(in, "t.csv", error);
    ASSERT_EQ(loaded, valid) << trial << ": " << error;
    if (!valid) continue;
    ASSERT_EQ(table.passages.size(), expected.size()) << trial;
    std::map<std::uint32_t, std::uint32_t> lastPosition;
    for (std::size_t p = 0; p < expected.size(); ++p)
      lastPosition[expected[p].id] = static_cast<std::uint32_t>(p);
    EXPECT_EQ(table.positionById, lastPosition) << trial;
    for (std::size_t p = 0; p < expected.size(); ++p) {
      EXPECT_EQ(table.passages[p].id, expected[p].id);
      EXPECT_EQ(table.passages[p].origin, expected[p].origin);
      EXPECT_EQ(table.passages[p].destination, expected[p].destination);
      EXPECT_TRUE(SameTime(table.passages[p].departure, expected[p].departure)) << trial;
      EXPECT_TRUE(SameTime(table.passages[p].arrival, expected[p].arrival)) << trial;
    }
  }
}
