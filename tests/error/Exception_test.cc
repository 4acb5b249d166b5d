// SPDX-License-Identifier: MIT
#include "error/Exception.h"

#include <string>

#include <gtest/gtest.h>

namespace tqerr {
namespace {

JsonStatus failed(std::int32_t code, const char* text) {
  JsonStatus status;
  status.code = code;
  if (text) {
    EXPECT_TRUE(setText(status, text));
  }
  return status;
}

TEST(Exception, TakesTheStatusOver) {
  JsonStatus status = failed(-52006, R"({"file":"f"})");
  const char* buffer = status.text;
  const Exception e(status);
  EXPECT_EQ(e.code(), -52006);
  EXPECT_EQ(e.what(), buffer);
  EXPECT_STREQ(e.what(), R"({"file":"f"})");
  EXPECT_EQ(status.text, nullptr);
  const std::exception& asStd = e;
  const ExceptionBase& asBase = e;
  EXPECT_STREQ(asStd.what(), R"({"file":"f"})");
  EXPECT_STREQ(asBase.what(), R"({"file":"f"})");
}

TEST(Exception, WithoutTextWhatIsEmpty) {
  JsonStatus status = failed(-1, nullptr);
  const Exception e(status);
  EXPECT_STREQ(e.what(), "");
  EXPECT_STREQ(ExceptionBase().what(), "");
}

TEST(Exception, CopyHandsTheBufferOver) {
  JsonStatus status = failed(-3, R"({"a":1})");
  Exception original(status);
  const char* buffer = original.what();
  const Exception copied(original);
  EXPECT_EQ(copied.code(), -3);
  EXPECT_EQ(copied.what(), buffer);
  EXPECT_STREQ(original.what(), "");
  EXPECT_EQ(original.code(), -3);
}

TEST(Exception, CaughtAsEitherBase) {
  try {
    JsonStatus status = failed(-9, R"({"x":1})");
    throw Exception(status);
  } catch (const ExceptionBase& e) {
    EXPECT_EQ(e.code(), -9);
    EXPECT_STREQ(e.what(), R"({"x":1})");
  }
  try {
    JsonStatus status = failed(-9, nullptr);
    throw Exception(status);
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "");
  }
}

TEST(ThrowIfFailed, ThrowsOnlyErrors) {
  JsonStatus error = failed(-5, R"({"e":1})");
  try {
    throwIfFailed(error);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.code(), -5);
    EXPECT_STREQ(e.what(), R"({"e":1})");
  }
  for (std::int32_t code : {0, 7}) {
    JsonStatus status = failed(code, R"({"w":1})");
    EXPECT_NO_THROW(throwIfFailed(status));
    EXPECT_EQ(status.text, nullptr);
    EXPECT_EQ(status.capacity, 0u);
  }
}

// Runs throwIfFailed from a destructor, as a class front's status does.
struct FrontDuringUnwinding {
  ~FrontDuringUnwinding() {
    JsonStatus status = failed(-5, R"({"e":1})");
    throwIfFailed(status);  // must neither throw nor leak
    released = status.text == nullptr;
  }
  bool& released;
};

TEST(ThrowIfFailed, DoesNothingWhileUnwinding) {
  bool released = false;
  try {
    FrontDuringUnwinding front{released};
    throw std::runtime_error("first");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "first");
  }
  EXPECT_TRUE(released);
}

}  // namespace
}  // namespace tqerr
