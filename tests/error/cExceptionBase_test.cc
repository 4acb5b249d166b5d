// SPDX-License-Identifier: MIT
#include "error/cExceptionBase.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <typeinfo>

#include <gtest/gtest.h>

#include "error/Exception.h"

namespace nTQVLKAET100::nENSPAN000 {
namespace {

TEST(cExceptionBase, LocationWordAndText) {
  struct Case {
    cExceptionBase e;
    std::int32_t code;
    std::uint32_t location;
    const char* text;
  } cases[] = {
      {cExceptionBase(22, 1, 59, cExceptionBase::AdoptedCode{-5}), -5, 0xD801C03B, "0xFFFFFFFB"},
      {cExceptionBase(22, 1, 63, static_cast<std::int32_t>(0xBFF63010u)),
       static_cast<std::int32_t>(0xBFF63010u), 0xD801403F, "0xBFF63010"},
      {cExceptionBase(22, 1, 0x3FFF), 1, 0xD801BFFF, "0x00000001"},
      {cExceptionBase(31, 1023, 16383, 0), 0, 0xFFFF7FFF, "0x00000000"},
      {cExceptionBase(0, 0, 0, 0x1234), 0x1234, 0x80004000, "0x00001234"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.e.code(), c.code);
    EXPECT_EQ(c.e.location(), c.location) << std::hex << c.e.location();
    EXPECT_STREQ(c.e.what(), c.text);
  }
}

TEST(cExceptionBase, TypeNameAndBase) {
  EXPECT_STREQ(typeid(cExceptionBase).name(), "N12nTQVLKAET10010nENSPAN00014cExceptionBaseE");
  try {
    throw cExceptionBase(kModule, kFileNumber, 1, 7);
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "0x00000007");
  }
}

// Classifies the exception that thrower raises through the path layer's
// boundary.
template <typename Thrower>
void throughBoundary(Thrower thrower) {
  try {
    thrower();
  } catch (...) {
    translateCurrentException();
  }
}

TEST(TranslateCurrentException, AdoptsErrorLibraryExceptions) {
  try {
    throughBoundary([] {
      tqerr::JsonStatus status;
      status.code = -52006;
      throw tqerr::Exception(status);
    });
    ADD_FAILURE() << "nothing thrown";
  } catch (const cExceptionBase& e) {
    EXPECT_EQ(e.code(), -52006);
    EXPECT_EQ(e.location(), 0xD801C03Bu);
  }
}

TEST(TranslateCurrentException, BadAllocBecomesOutOfMemory) {
  try {
    throughBoundary([] { throw std::bad_alloc(); });
    ADD_FAILURE() << "nothing thrown";
  } catch (const cExceptionBase& e) {
    EXPECT_EQ(e.code(), -1074384880);
    EXPECT_EQ(e.location(), 0xD801403Fu);
  }
}

TEST(TranslateCurrentException, OthersPassUnchanged) {
  EXPECT_THROW(throughBoundary([] { throw std::runtime_error("x"); }), std::runtime_error);
  try {
    throughBoundary([] { throw cExceptionBase(kModule, kFileNumber, 100, 9); });
    ADD_FAILURE() << "nothing thrown";
  } catch (const cExceptionBase& e) {
    EXPECT_EQ(e.code(), 9);
    EXPECT_EQ(e.location() & 0x3FFFu, 100u);
  }
}

TEST(BoundedCopy, Forms) {
  struct Case {
    bool nullBuffer;
    std::uint64_t size;
    std::uint32_t line;  // 0: copies
    std::int32_t code;
  } cases[] = {
      {true, 5, 71, -1074384295},  {true, 0, 76, -1074384296}, {false, 0, 76, -1074384296},
      {false, 4, 76, -1074384296}, {false, 5, 0, 0},           {false, 16, 0, 0},
  };
  for (const Case& c : cases) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    char* target = c.nullBuffer ? nullptr : buffer;
    if (c.line == 0) {
      EXPECT_NO_THROW(boundedCopy("text", target, c.size));
      EXPECT_STREQ(buffer, "text");
      continue;
    }
    try {
      boundedCopy("text", target, c.size);
      ADD_FAILURE() << "size " << c.size;
    } catch (const cExceptionBase& e) {
      EXPECT_EQ(e.code(), c.code);
      EXPECT_EQ(e.location(), 0xD8014000u | c.line);
    }
    EXPECT_EQ(buffer[0], 'x');
  }
}

}  // namespace
}  // namespace nTQVLKAET100::nENSPAN000
