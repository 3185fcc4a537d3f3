// The rows of the option table: the words after the program, the settings they
// make and the first up-down's position the window shows for them. Shared by the
// settings layer's tests (the value from the words) and the window's (the value
// put into the controls and read back).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/run_settings.h"

namespace velkar::test {

struct CommandLineWant {
  RunSettings settings;
  int upDown1 = 1;
};

struct CommandLineRow {
  std::vector<std::string> words;
  CommandLineWant want;
};

inline std::vector<CommandLineRow> CommandLineRows() {
  const std::string digits200(200, '7');
  const std::string longName = "/tmp/" + std::string(40000, 'n');  // past Qt's 32767
  auto with = [](auto change) {
    CommandLineWant w;
    change(w.settings, w.upDown1);
    return w;
  };
  return {
      {{}, CommandLineWant{}},
      {{"-a"}, with([](RunSettings& s, int&) { s.autoRun = true; })},
      {{"-a+"}, with([](RunSettings& s, int&) { s.autoRun = s.quietFinish = true; })},
      {{"-A+"}, with([](RunSettings& s, int&) { s.autoRun = s.quietFinish = true; })},
      {{"-r"}, with([](RunSettings& s, int&) { s.descending = true; })},
      {{"-R", "-I", "-U"},
       with([](RunSettings& s, int&) { s.descending = s.ignoreCase = s.unique = true; })},
      {{"-r", "-r", "-i", "-i", "-u", "-u"},
       with([](RunSettings& s, int&) { s.descending = s.ignoreCase = s.unique = true; })},
      // Position options: only "n" then "f" take effect.
      {{"-3nf"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.numberKey = s.fieldKey = true;
       })},
      {{"-3NF"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.numberKey = s.fieldKey = true;
       })},
      {{"-3fn"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.fieldKey = true;
       })},
      {{"-3n"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.numberKey = true;
       })},
      {{"-3f"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.fieldKey = true;
       })},
      {{"-12x"}, with([](RunSettings& s, int& up) {
         s.positionText = "12";
         up = 12;
       })},
      {{"-12xnf"}, with([](RunSettings& s, int& up) {
         s.positionText = "12";
         up = 12;
       })},
      // All digits go into the edit; the up-down keeps to its range.
      {{"-123456"}, with([](RunSettings& s, int& up) {
         s.positionText = "123456";
         up = 1024;
       })},
      {{"-1024"}, with([](RunSettings& s, int& up) {
         s.positionText = "1024";
         up = 1024;
       })},
      // 127 digits are stored; no integer, so the up-down takes 1.
      {{"-" + digits200 + "nf"}, with([](RunSettings& s, int&) {
         s.positionText = std::string(127, '7');
         s.numberKey = s.fieldKey = true;
       })},
      // Words that are no option are input file names, taken verbatim.
      {{"-0"}, with([](RunSettings& s, int&) { s.inputName = "-0"; })},
      {{"-x"}, with([](RunSettings& s, int&) { s.inputName = "-x"; })},
      {{"--"}, with([](RunSettings& s, int&) { s.inputName = "--"; })},
      {{"-"}, with([](RunSettings& s, int&) { s.inputName = "-"; })},
      {{"-ai"}, with([](RunSettings& s, int&) { s.inputName = "-ai"; })},
      {{"-a+x"}, with([](RunSettings& s, int&) { s.inputName = "-a+x"; })},
      {{"-reverse"}, with([](RunSettings& s, int&) { s.inputName = "-reverse"; })},
      {{"MiXeD.TXT"}, with([](RunSettings& s, int&) { s.inputName = "MiXeD.TXT"; })},
      {{"-F", "Name.Txt"}, with([](RunSettings& s, int&) { s.inputName = "Name.Txt"; })},
      {{"my file.txt"}, with([](RunSettings& s, int&) { s.inputName = "my file.txt"; })},
      {{"\x82\xa0.txt"}, with([](RunSettings& s, int&) { s.inputName = "\x82\xa0.txt"; })},
      {{longName}, with([&](RunSettings& s, int&) { s.inputName = longName; })},
      {{"-o", longName}, with([&](RunSettings& s, int&) { s.outputName = longName; })},
      // "-f" and "-o": the next word is the name, whatever it looks like.
      {{"-f"}, CommandLineWant{}},
      {{"-o"}, CommandLineWant{}},
      {{"-f", "-r"}, with([](RunSettings& s, int&) { s.inputName = "-r"; })},
      {{"-o", "-a"}, with([](RunSettings& s, int&) { s.outputName = "-a"; })},
      {{"-o", "out.txt", "-a"}, with([](RunSettings& s, int&) {
         s.outputName = "out.txt";
         s.autoRun = true;
       })},
      // Later names replace earlier ones.
      {{"a.txt", "-f", "b.txt"}, with([](RunSettings& s, int&) { s.inputName = "b.txt"; })},
      {{"-f", "a.txt", "c.txt"}, with([](RunSettings& s, int&) { s.inputName = "c.txt"; })},
      {{"-o", "x.txt", "-O", "y.txt"}, with([](RunSettings& s, int&) { s.outputName = "y.txt"; })},
      {{"-a+", "-r", "-2nf", "in.csv", "-o", "out.csv"}, with([](RunSettings& s, int& up) {
         s.autoRun = s.quietFinish = s.descending = s.numberKey = s.fieldKey = true;
         s.positionText = "2";
         up = 2;
         s.inputName = "in.csv";
         s.outputName = "out.csv";
       })},
  };
}

inline void ExpectSettings(const RunSettings& got, const RunSettings& want,
                           const std::string& label) {
  EXPECT_EQ(got.descending, want.descending) << label;
  EXPECT_EQ(got.ignoreCase, want.ignoreCase) << label;
  EXPECT_EQ(got.unique, want.unique) << label;
  EXPECT_EQ(got.inputName, want.inputName) << label;
  EXPECT_EQ(got.outputName, want.outputName) << label;
  EXPECT_EQ(got.positionText, want.positionText) << label;
  EXPECT_EQ(got.numberKey, want.numberKey) << label;
  EXPECT_EQ(got.fieldKey, want.fieldKey) << label;
  EXPECT_EQ(got.autoRun, want.autoRun) << label;
  EXPECT_EQ(got.quietFinish, want.quietFinish) << label;
}

inline std::string Label(const std::vector<std::string>& words) {
  std::string label = "words:";
  for (const std::string& w : words) label += " [" + w + "]";
  return label;
}

inline std::vector<std::string> WithProgram(const std::vector<std::string>& words) {
  std::vector<std::string> all{"velkar"};
  all.insert(all.end(), words.begin(), words.end());
  return all;
}

}  // namespace velkar::test
