#include "base/errors.h"

#include <gtest/gtest.h>

TEST(ErrorRecord, TakeReturnsTheRecordAndClearsTheCode) {
  TErrorRecord errors;
  TErrors e;
  e.Code = 39;
  e.Text = "x";
  e.Measure = 4;
  errors.Set(e);
  EXPECT_EQ(errors.Code(), 39);
  TErrors taken = errors.Take();
  EXPECT_EQ(taken.Code, 39);
  EXPECT_EQ(taken.Text, "x");
  EXPECT_EQ(taken.Measure, 4u);
  EXPECT_EQ(errors.Code(), 0);
  EXPECT_EQ(errors.Get().Text, "x");
}
