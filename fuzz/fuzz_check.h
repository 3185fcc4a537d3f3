// The fuzzers' one check: CHECK(condition) or CHECK(condition, detail) aborts with
// the fuzzer's name, the condition's text and the detail, which libFuzzer reports
// as a crash and keeps the input of.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace velkar::fuzz {

// The running fuzzer's name, for the line before the abort.
extern const char kFuzzerName[];

[[noreturn]] inline void Fail(const char* what, const std::string& detail = std::string()) {
  std::fprintf(stderr, "%s: %s %s\n", kFuzzerName, what, detail.c_str());
  std::abort();
}

}  // namespace velkar::fuzz

#define CHECK(cond, ...)                                                               \
  do {                                                                                 \
    if (!(cond)) velkar::fuzz::Fail("check failed: " #cond, std::string(__VA_ARGS__)); \
  } while (0)
