// Tests that run once on each build of the decoder's inner loops
// (archive/decoder_steps.h): a fixture that takes the path for the test and
// puts the default back, and the paths' names for the instantiation.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "archive/decoder_steps.h"

namespace testing_helpers {

class OnEachStepPath : public testing::TestWithParam<StepPath> {
 protected:
  void SetUp() override {
    if (!StepPathAvailable(GetParam())) GTEST_SKIP() << "the processor lacks this path";
    UseStepPath(GetParam());
    ASSERT_EQ(CurrentStepPath(), GetParam());
  }
  void TearDown() override { UseStepPath(saved_); }

 private:
  StepPath saved_ = CurrentStepPath();
};

inline const auto kEveryStepPath = testing::Values(StepPath::kPortable, StepPath::kX86V3);

inline std::string StepPathName(const testing::TestParamInfo<StepPath>& info) {
  return info.param == StepPath::kPortable ? "Portable" : "X86V3";
}

}  // namespace testing_helpers
