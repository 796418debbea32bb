#include "cli/batch.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "platform/file_system.h"

namespace povezava::cli {
namespace {

std::vector<std::string> names(std::size_t count) {
  std::vector<std::string> files;
  for (std::size_t i = 0; i < count; ++i) files.push_back("f" + std::to_string(i) + ".mdb");
  return files;
}

struct ProgressCase {
  const char* name;
  bool terminal;
  std::size_t files;
  bool shown;
};

class ProgressTest : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressTest, ShownOnlyOnATerminalForMoreThanAFewFiles) {
  std::ostringstream out;
  std::ostringstream err;
  links::Program program(engine::posixFileSystem());
  Console console{out, err, GetParam().terminal, &program};
  const auto files = names(GetParam().files);
  forEachFile(files, console, [&](const std::string& file) {
    out << file << '\n';
    return true;
  });
  EXPECT_EQ(err.str().find("povezava-cli: 0/") != std::string::npos, GetParam().shown) << err.str();
  // Results never mix with progress.
  EXPECT_EQ(out.str().find('\r'), std::string::npos);
  if (GetParam().shown) {
    const std::string last = "povezava-cli: " + std::to_string(files.size() - 1) + '/' +
                             std::to_string(files.size()) + " files";
    EXPECT_NE(err.str().find(last), std::string::npos);
    // The line is cleared at the end, so the summary starts on a clean line.
    EXPECT_TRUE(err.str().ends_with("\r\033[K")) << err.str();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressTest,
    ::testing::Values(ProgressCase{"TerminalManyFiles", true, kProgressThreshold + 1, true},
                      ProgressCase{"TerminalFewFiles", true, kProgressThreshold, false},
                      ProgressCase{"PipeManyFiles", false, 50, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ForEachFileTest, AFailedFileDoesNotStopTheOthersAndIsCounted) {
  std::ostringstream out;
  std::ostringstream err;
  links::Program program(engine::posixFileSystem());
  Console console{out, err, true, &program};
  std::vector<std::string> seen;
  const auto files = names(8);
  const std::size_t failed = forEachFile(files, console, [&](const std::string& file) {
    seen.push_back(file);
    return file != "f2.mdb" && file != "f5.mdb";
  });
  EXPECT_EQ(seen, files);
  EXPECT_EQ(failed, 2u);
  EXPECT_NE(err.str().find("7/8 files, 2 failed"), std::string::npos) << err.str();
}

TEST(AppendFieldTest, EveryControlCharacterIsReplacedWhereverItStands) {
  // Fields are checked eight bytes at a time: each control character (and its
  // printable neighbours) at each position of a field longer than two words.
  const char16_t controls[] = {u'\x00', u'\x01', u'\t', u'\n', u'\x1F', u'\x7F'};
  const char16_t printable[] = {u' ', u'~', u'\x80', u'\u010D', u'\xFF'};
  for (std::size_t at = 0; at < 19; ++at) {
    for (const char16_t c : controls) {
      std::u16string text(19, u'b');
      text[at] = c;
      std::string out = "a\t";
      appendField(out, text);
      std::string expected = "a\t" + std::string(19, 'b');
      expected[2 + at] = '?';
      EXPECT_EQ(out, expected) << at << " " << int(c);
    }
    for (const char16_t c : printable) {
      std::u16string text(19, u'b');
      text[at] = c;
      std::string out;
      appendField(out, text);
      EXPECT_EQ(out, engine::toUtf8(text)) << at << " " << int(c);
    }
  }
}

TEST(OneFieldTest, ControlCharactersCannotSplitAFieldOrALine) {
  EXPECT_EQ(oneField("a\tb\nc\rd\x7f" "e"), "a?b?c?d?e");
  EXPECT_EQ(oneField("C:\\Šiška\\TQ.mdb"), "C:\\Šiška\\TQ.mdb");
}

}  // namespace
}  // namespace povezava::cli
