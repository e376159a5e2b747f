#include <gtest/gtest.h>

#include <string>

#include "common/MemoryLimit.h"

TEST(MemoryLimit, ReadsBytesAndBinarySuffixesAndRejectsTheRest) {
  const std::pair<const char*, std::uint64_t> good[] = {
      {"1", 1},
      {"4096", 4096},
      {"512M", 512ull << 20},
      {"512m", 512ull << 20},
      {"8G", 8ull << 30},
      {"8GB", 8ull << 30},
      {"1.5G", 3ull << 29},
      {"2T", 2ull << 40},
      {"1K", 1024},
  };
  for (const auto& [text, bytes] : good) {
    std::uint64_t read = 0;
    EXPECT_TRUE(memory::ParseSize(text, read)) << text;
    EXPECT_EQ(read, bytes) << text;
  }
  for (const char* text : {"", "0", "0M", "-1", "1.5", "G", "8X", "8GG", "8 G", " 8G", "1e3",
                           ".5G", "5.G", "99999999999999999999T", "nan", "0x10"}) {
    std::uint64_t read = 7;
    EXPECT_FALSE(memory::ParseSize(text, read)) << text;
  }
}

TEST(MemoryLimit, RefusalNamesPairsMemoryAndTheOption) {
  const memory::GraphCheck fits = memory::CheckGraph(1000, 100, 1ull << 30);
  EXPECT_TRUE(fits.fits);
  EXPECT_TRUE(fits.message.empty());

  const memory::GraphCheck refused = memory::CheckGraph(2500000000ull, 100000, 8ull << 30);
  EXPECT_FALSE(refused.fits);
  EXPECT_EQ(refused.bytes, memory::GraphBytes(2500000000ull, 100000));
  EXPECT_GT(refused.bytes, 8ull << 30);
  EXPECT_EQ(refused.message.find('\n'), std::string::npos);
  EXPECT_NE(refused.message.find("2500000000 pairs"), std::string::npos) << refused.message;
  EXPECT_NE(refused.message.find(memory::FormatSize(refused.bytes)), std::string::npos);
  EXPECT_NE(refused.message.find("limit of 8 GB"), std::string::npos) << refused.message;
  EXPECT_NE(refused.message.find("--max_memory"), std::string::npos);

  // The estimate saturates instead of wrapping around.
  EXPECT_FALSE(memory::CheckGraph(~0ull, 10, ~0ull - 1).fits);
}

TEST(MemoryLimit, FormatsBinaryUnits) {
  EXPECT_EQ(memory::FormatSize(12), "12 bytes");
  EXPECT_EQ(memory::FormatSize(1536), "1.5 KB");
  EXPECT_EQ(memory::FormatSize(512ull << 20), "512 MB");
  EXPECT_EQ(memory::FormatSize(3ull << 29), "1.5 GB");
  EXPECT_GT(memory::DefaultLimit(), 0u);
}
