// main() of the scenario programs: GoogleTest, plus a window dump after a case's first
// failed expectation (a failed driver step carries its own dump in the exception).

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "e2e/driver/scenario.h"

namespace e2e {

::testing::AssertionResult SameText(const char* actual_expression, const char* expected_expression,
                                    std::string_view actual, std::string_view expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actual_expression << " is \"" << Utf8(actual) << "\", expected " << expected_expression
         << " = \"" << Utf8(expected) << "\"";
}

namespace {

class FailureDump : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo& test) override {
    dumped_ = false;
    // Run by scripts/e2e-run the folder comes from KORU_E2E_SHOTS, one process per case.
    if (EnvironmentVariable("KORU_E2E_SHOTS").empty()) {
      SetScreenshotFolder(std::string("e2e-shots\\") + test.test_suite_name() + "." + test.name());
    }
  }
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed() || dumped_) return;
    dumped_ = true;
    const std::string message = result.message();
    if (message.find(kDumpHeader) != std::string::npos) return;
    try {
      const std::string shot = Screenshot("failure");
      std::printf("[e2e] screenshot at the failure: %s\n", Utf8(shot).c_str());
    } catch (const StepFailed& error) {
      std::printf("[e2e] %s\n", error.what());
    }
    std::printf("%s\n", DumpWindows().c_str());
    std::fflush(stdout);
  }

 private:
  bool dumped_ = false;
};

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // GoogleTest owns its listeners and deletes them itself.
  ::testing::UnitTest::GetInstance()->listeners().Append(new e2e::FailureDump);
  return RUN_ALL_TESTS();
}
