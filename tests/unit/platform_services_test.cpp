// Contract tests of the platform's case mapping, clock and instance lock.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <random>
#include <string>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/text_case.h"
#include "u16_display.h"

namespace {

TEST(PlatformTextCaseTest, SimplePerUnitMapping) {
  struct Case {
    std::u16string text;
    std::u16string upper;
    std::u16string lower;
  };
  const Case cases[] = {
      {u"Main.PB 09_[]", u"MAIN.PB 09_[]", u"main.pb 09_[]"},
      // Beyond ASCII, whatever the process's own locale says; sharp s has no
      // one-unit capital and stays.
      {u"\u00E9\u00C9\u00FF\u0178\u00DF", u"\u00C9\u00C9\u0178\u0178\u00DF", u"\u00E9\u00E9\u00FF\u00FF\u00DF"},
      {u"\u03C3\u03A3\u0436\uFF41", u"\u03A3\u03A3\u0416\uFF21", u"\u03C3\u03C3\u0436\uFF41"},
      // Surrogates (paired or lone) and mapped characters stay as they are.
      {u"\U00010428\xDC80\uF03A", u"\U00010428\xDC80\uF03A", u"\U00010428\xDC80\uF03A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.text));
    std::u16string upper = c.text, lower = c.text;
    platform::UpperUnits(upper);
    platform::LowerUnits(lower);
    EXPECT_TEXT_EQ(upper, c.upper);
    EXPECT_TEXT_EQ(lower, c.lower);
    for (std::size_t i = 0; i < c.text.size(); ++i) EXPECT_EQ(platform::LowerUnit(c.text[i]), c.lower[i]) << i;
  }
}

TEST(PlatformClockTest, LocalTimeMatchesTheCLibrary) {
  std::time_t before = std::time(nullptr);
  const platform::LocalTimeFields now = platform::CurrentLocalTime();
  std::tm fields{};
  fields.tm_year = now.year - 1900;
  fields.tm_mon = now.month - 1;
  fields.tm_mday = now.day;
  fields.tm_hour = now.hour;
  fields.tm_min = now.minute;
  fields.tm_sec = now.second;
  fields.tm_isdst = -1;
  const std::time_t back = std::mktime(&fields);
  EXPECT_GE(back, before - 1);
  EXPECT_LE(back, std::time(nullptr));
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_LE(now.second, 59);
}

TEST(PlatformClockTest, SleepLastsAsLongAsAsked) {
  for (unsigned ms : {0u, 1u, 40u}) {
    const auto start = std::chrono::steady_clock::now();
    platform::SleepMilliseconds(ms);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(ms));
    EXPECT_LT(took, std::chrono::milliseconds(ms + 25));
  }
}

TEST(PlatformLockTest, SecondHolderSeesTheLockUntilAllHandlesClose) {
  const std::u16string name = u"Quillfort test lock " + [] {
    std::random_device random;
    const std::string digits = std::to_string(random());
    return std::u16string(digits.begin(), digits.end());
  }();
  bool exists = true;
  const std::intptr_t first = platform::CreateNamedLock(name, exists);
  ASSERT_NE(first, 0);
  EXPECT_FALSE(exists);

  const std::intptr_t second = platform::CreateNamedLock(name, exists);
  EXPECT_NE(second, 0);
  EXPECT_TRUE(exists);
  platform::CloseNamedLock(second);

  // Another name is another lock.
  const std::intptr_t other = platform::CreateNamedLock(name + u" 2", exists);
  EXPECT_NE(other, 0);
  EXPECT_FALSE(exists);
  platform::CloseNamedLock(other);

  platform::CloseNamedLock(first);
  const std::intptr_t third = platform::CreateNamedLock(name, exists);
  EXPECT_NE(third, 0);
  EXPECT_FALSE(exists);
  platform::CloseNamedLock(third);
}

}  // namespace
