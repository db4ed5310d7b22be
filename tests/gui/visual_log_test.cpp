// The visual log and the error message (texts only).
#include "engine/gui/visual_log.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string message() { return has_error_message() ? std::string(error_message_text.data) : std::string("<none>"); }

TEST(ErrorMessage, SetReplacesAndEmptyClears) {
  set_error_message("first");
  set_error_message("second");
  EXPECT_EQ(message(), "second");
  EXPECT_EQ(error_message_text.size(), 7);
  set_error_message("");
  EXPECT_FALSE(has_error_message());
  set_error_message("again");
  set_error_message(nullptr);
  EXPECT_FALSE(has_error_message());
}

TEST(ErrorMessage, SetFromATailOfTheMessageItself) {
  set_error_message("shader.sh: error: bad token");
  testing::internal::CaptureStdout();
  set_error_message(error_message_text.data + 11);
  std::string logged = testing::internal::GetCapturedStdout();
  EXPECT_EQ(message(), "error: bad token");
  EXPECT_EQ(error_message_text.size(), 17);
  EXPECT_NE(logged.find("| ERROR MESSAGE SET: error: bad token\n"), std::string::npos) << logged;
  set_error_message(nullptr);
}

TEST(ErrorMessage, AppendTheMessageToItself) {
  set_error_message("abc");
  append_error_message(error_message_text.data, -1);
  EXPECT_EQ(message(), "abc\nabc");
  append_error_message(error_message_text.data + 4, 2);
  EXPECT_EQ(message(), "abc\nabc\nab");
  set_error_message(nullptr);
}

TEST(ErrorMessage, AppendAddsLines) {
  set_error_message(nullptr);
  append_error_message("a", -1);
  EXPECT_EQ(message(), "a");
  append_error_message("b", 1);
  EXPECT_EQ(message(), "a\nb");
  append_error_message("abcdef", 3);
  EXPECT_EQ(message(), "a\nb\nabc");
  // Nothing to append: no new line either.
  append_error_message(nullptr, -1);
  append_error_message("xyz", 0);
  append_error_message("", -1);
  EXPECT_EQ(message(), "a\nb\nabc");
  // A length past the text's end stops at its NUL.
  append_error_message("hi", 10);
  EXPECT_EQ(message(), "a\nb\nabc\nhi");
  EXPECT_EQ(error_message_text.size(), (int)message().size() + 1);
  set_error_message(nullptr);
}

// Two files broken at once: each one's error stands until that file loads cleanly.
TEST(ErrorMessage, EachSourceClearsOnlyItsOwnPart) {
  set_error_message(nullptr);
  set_source_error("shader level.sh", "level.sh(3): error: x");
  append_source_error("shader level.sh", "FAILED to reload shader 'level.sh'", -1);
  set_source_error("tiles", "Error loading tile image wall0_f.png");
  append_error_message("of no source", -1);
  EXPECT_EQ(message(),
            "level.sh(3): error: x\nFAILED to reload shader 'level.sh'\nError loading tile image wall0_f.png\n"
            "of no source");
  EXPECT_TRUE(has_source_error("tiles"));

  set_source_error("shader level.sh", nullptr);  // the shader compiles again
  EXPECT_EQ(message(), "Error loading tile image wall0_f.png\nof no source");
  EXPECT_FALSE(has_source_error("shader level.sh"));
  set_source_error("tiles", "Error loading tile image wall1_f.png");  // replaced in its place
  set_source_error("shader postfx.sh", "");
  EXPECT_EQ(message(), "Error loading tile image wall1_f.png\nof no source");
  set_source_error("tiles", nullptr);
  EXPECT_EQ(message(), "of no source");

  // A part's text taken from the message itself.
  set_source_error("a", "abc");
  append_source_error("a", error_message_text.data, 2);
  EXPECT_EQ(message(), "of no source\nabc\nof");
  set_error_message(nullptr);
  EXPECT_FALSE(has_error_message());
  EXPECT_FALSE(has_source_error("a"));
  EXPECT_EQ(error_message_text.size(), 0);
}

TEST(VisualLog, KeepsTheLast100Lines) {
  clear_visual_log();
  for (int i = 0; i < 101; i++)
    visual_log("line %d", i);
  ASSERT_EQ(visual_log_lines.size(), 100);
  EXPECT_STREQ(visual_log_lines[0].text, "line 1");
  EXPECT_STREQ(visual_log_lines.last().text, "line 100");
  clear_visual_log();
  EXPECT_EQ(visual_log_lines.size(), 0);
  EXPECT_EQ(visual_log_lines.data, nullptr);
}

TEST(VisualLog, ALineMayRepeatAnEarlierOne) {
  clear_visual_log();
  // Lines that fill the list's storage, so the next one makes it grow.
  visual_log("first line");
  while (visual_log_lines.size() < visual_log_lines.capacity)
    visual_log("filler %d", visual_log_lines.size());
  visual_log("again: %s", visual_log_lines[0].text);
  EXPECT_STREQ(visual_log_lines.last().text, "again: first line");
  clear_visual_log();
}

TEST(VisualLog, LongLinesAreCutAt127Characters) {
  clear_visual_log();
  std::string longText(300, 'q');
  visual_log("%s", longText.c_str());
  EXPECT_EQ(std::string(visual_log_lines[0].text), std::string(127, 'q'));
  clear_visual_log();
}

}  // namespace
