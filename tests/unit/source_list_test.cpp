// The packed list of collected paths gives back every text exactly.
#include <gtest/gtest.h>

#include "run/source_collection.h"
#include "u16_display.h"

TEST(SourceListTest, TextsComeBackExactly) {
  const Text texts[] = {
      u"",
      u"\\tmp\\Game\\main.pb",
      u"caf\u00e9\\\u65e5\u672c.pb",
      u"emoji \U0001F600.pb",
      Text(u"lone \xD83D high"),
      Text(u"lone \xDE00 low"),
      Text(u"ends high \xD83D"),
      Text(u"mapped \xF03A and byte \xDCFF"),
      Text(1, u'\0') + u"nul inside",
  };
  SourceList list(1);
  list.Resize(std::size(texts) + 1);
  for (size_t i = 0; i < std::size(texts); ++i) list.Set(i + 1, texts[i]);
  EXPECT_EQ(list.LastIndex(), static_cast<int>(std::size(texts)));
  EXPECT_TEXT_EQ(list.Get(0), u"");
  for (size_t i = 0; i < std::size(texts); ++i) EXPECT_TEXT_EQ(list.Get(i + 1), texts[i]);
}

TEST(SourceListTest, ResizeKeepsWhatRemainsAndJoinsSpillIntoNewBlocks) {
  SourceList list(1);
  const int count = 20000;  // several blocks' worth
  list.Resize(count + 1);
  const Text folder = u"\\a\\rather\\long\\folder\\name\\to\\fill\\blocks\\";
  for (int i = 1; i <= count; ++i) {
    list.SetJoined(i, folder, u"file" + Text(static_cast<size_t>(i % 50), u'x') + u".pb");
  }
  list.Resize(count / 2 + 1);
  EXPECT_EQ(list.LastIndex(), count / 2);
  for (int i = 1; i <= count / 2; ++i) {
    ASSERT_TEXT_EQ(list.Get(i), folder + u"file" + Text(static_cast<size_t>(i % 50), u'x') + u".pb");
  }
  list.Resize(count / 2 + 3);
  EXPECT_TEXT_EQ(list.Get(count / 2 + 2), u"");
}
