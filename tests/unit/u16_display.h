// Shows UTF-16 texts as readable UTF-8 in unit-test failure messages.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/utf8.h"

// UTF-8 for display only: a lone surrogate or a control unit is written as
// \uXXXX, so that it stays visible in the message.
inline std::string ShowText(const std::u16string& text) {
  std::string out = "\"";
  auto escape = [&out](unsigned unit) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04X", unit);
    out += buf;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      escape(c);
      continue;
    }
    if (c < 0x20 || c == 0x7F) {
      escape(c);
    } else {
      platform::AppendUtf8(out, c);
    }
  }
  return out + "\"";
}

// Exact comparison of two UTF-16 texts that reports both in UTF-8.
inline ::testing::AssertionResult TextsEqual(const char* actualExpr, const char* expectedExpr,
                                             const std::u16string& actual,
                                             const std::u16string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actualExpr << " is " << ShowText(actual) << " (" << actual.size()
         << " units)\n  expected " << expectedExpr << ": " << ShowText(expected) << " ("
         << expected.size() << " units)";
}

#define EXPECT_TEXT_EQ(actual, expected) EXPECT_PRED_FORMAT2(TextsEqual, actual, expected)
#define ASSERT_TEXT_EQ(actual, expected) ASSERT_PRED_FORMAT2(TextsEqual, actual, expected)
