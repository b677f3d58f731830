#include <gtest/gtest.h>

#include <string>

#include "glib_ptr.h"
#include "streak_layer.h"

namespace {

std::string name_from(const char *name) { return GCharPtr(layer_name_from(name)).get(); }

TEST(StreakLayerName, TheStreakLayerKeepsItsName) {
  EXPECT_EQ(GCharPtr(make_layer_name()).get(), std::string("Zipstroke Layer"));
}

TEST(StreakLayerName, LongNamesAreCutAtTwentyCharactersNotBytes) {
  EXPECT_EQ(name_from("12345678901234567890"), "12345678901234567890");
  EXPECT_EQ(name_from("123456789012345678901"), "12345678901234567890...");
  // Twenty two-byte characters stay whole; the twenty-first goes.
  std::string umlauts;
  for (int i = 0; i < 21; ++i) umlauts += "\xc3\xa4";
  EXPECT_EQ(name_from(umlauts.c_str()), umlauts.substr(0, 40) + "...");
  EXPECT_EQ(name_from(""), "");
}

TEST(StreakLayerName, LineFeedsBecomeSlashes) {
  EXPECT_EQ(name_from("a\nb\n"), "a/b/");
  EXPECT_EQ(name_from("\n2345678901234567890\n2"), "/2345678901234567890...");
}

}  // namespace
