// SPDX-License-Identifier: MIT
#include "tqapal/tStatus.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "error/Exception.h"
#include "error/JsonStatus.h"

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

std::string describe(const tStatus& s) {
  return "code " + std::to_string(s.code) + " component '" + s.component + "' file '" + s.file +
         "' line " + std::to_string(s.line);
}

TEST(tStatusSetCode, MergeRule) {
  struct Case {
    std::int64_t first;
    std::int64_t second;
    bool secondTaken;
  } cases[] = {
      {0, 0, false},  {5, 0, false},   {5, 6, false},  {5, -6, true},
      {-5, 6, false}, {-5, -6, false}, {-5, 0, false}, {0, -6, true},
  };
  for (const Case& c : cases) {
    tStatus s;
    if (c.first != 0) {
      ASSERT_TRUE(setCode(s, c.first, "first", "first/site", 1));
    }
    EXPECT_EQ(setCode(s, c.second, "second", "second/site", 2), c.secondTaken)
        << c.first << " then " << c.second;
    const bool second = c.secondTaken;
    // The location always belongs to the stored code.
    EXPECT_EQ(s.code, second ? c.second : c.first) << describe(s);
    if (second || c.first != 0) {
      EXPECT_STREQ(s.component, second ? "second" : "first") << describe(s);
      EXPECT_STREQ(s.file, second ? "second/site" : "first/site") << describe(s);
      EXPECT_EQ(s.line, second ? 2u : 1u) << describe(s);
    } else {
      EXPECT_STREQ(s.file, "") << describe(s);
    }
  }
}

TEST(tStatusSetCode, FieldRules) {
  const std::string hundred(100, 'h');
  const std::string long101 = std::string(49, 'a') + "MID" + std::string(49, 'z');
  const std::string long300 = std::string(150, 'b') + std::string(150, 'e');
  struct Case {
    const char* component;
    std::string file;
    const char* storedComponent;
    std::string storedFile;
  } cases[] = {
      {"tqvlkaepropinit", "device/x", "tqvlkaepr", "device/x"},
      {"tqvlkae", "", "tqvlkae", ""},
      {"123456789", hundred, "123456789", hundred},
      {"", long101, "", std::string(49, 'a') + ".." + std::string(49, 'z')},
      {"c", long300, "c", std::string(49, 'b') + ".." + std::string(49, 'e')},
  };
  for (const Case& c : cases) {
    tStatus s;
    s.extension = 77;
    ASSERT_TRUE(setCode(s, -52005, c.component, c.file.c_str(), 85));
    EXPECT_STREQ(s.component, c.storedComponent);
    EXPECT_EQ(std::string(s.file), c.storedFile);
    EXPECT_EQ(s.line, 85u);
    EXPECT_EQ(s.extension, 0u);
    EXPECT_EQ(s.component[9], 0);
    EXPECT_EQ(s.file[100], 0);
  }
}

TEST(tStatusSetCode, ShortRecordCarriesOnlyTheCode) {
  tStatus s;
  s.structSize = 100;
  s.line = 4;
  EXPECT_TRUE(setCode(s, -52000, "tqvlkaepropinit", "tqapal/x", 9));
  EXPECT_EQ(s.code, -52000);
  EXPECT_STREQ(s.component, "");
  EXPECT_STREQ(s.file, "");
  EXPECT_EQ(s.line, 4u);
}

TEST(tStatusToJson, DeviceFailureText) {
  tStatus s;
  setCode(s, -52006, kComponentTool, "tqapal/protons/driver/linuxU/tDeviceInterfaceProxy", 85);
  tqerr::JsonStatus json;
  EXPECT_TRUE(toJsonStatus(s, json));
  EXPECT_EQ(json.code, -52006);
  ASSERT_NE(json.text, nullptr);
  EXPECT_STREQ(json.text,
               R"({"file":"tqapal/protons/driver/linuxU/tDeviceInterfaceProxy","line":85,)"
               R"("component":"tqvlkaepr"})");
  tqerr::release(json);
}

TEST(tStatusToJson, Forms) {
  struct Case {
    std::uint64_t size;
    const char* component;
    const char* file;
    const char* text;  // null: no detail
  } cases[] = {
      {216, "", "a/b", R"({"file":"a/b","line":3})"},
      {216, "tqvlkae", "", R"({"component":"tqvlkae"})"},
      {216, "", "", nullptr},
      {100, "x", "y", nullptr},
  };
  for (const Case& c : cases) {
    tStatus s;
    s.structSize = c.size;
    setCode(s, 4, c.component, c.file, 3);
    tqerr::JsonStatus json;
    EXPECT_TRUE(toJsonStatus(s, json));
    EXPECT_EQ(json.code, 4);
    if (c.text == nullptr) {
      EXPECT_EQ(json.text, nullptr);
    } else {
      ASSERT_NE(json.text, nullptr) << c.text;
      EXPECT_STREQ(json.text, c.text);
    }
    tqerr::release(json);
  }
}

TEST(tStatusToJson, CleanRecordOrEarlierErrorLeaveTheJson) {
  tStatus clean;
  tqerr::JsonStatus json;
  EXPECT_TRUE(toJsonStatus(clean, json));
  EXPECT_EQ(json.code, 0);
  EXPECT_EQ(json.text, nullptr);

  json.code = -1;
  ASSERT_TRUE(tqerr::setText(json, R"({"first":1})"));
  tStatus failed;
  setCode(failed, -2, "c", "f", 1);
  EXPECT_TRUE(toJsonStatus(failed, json));
  EXPECT_EQ(json.code, -1);
  EXPECT_STREQ(json.text, R"({"first":1})");
  tqerr::release(json);
}

TEST(tStatusThrowIfFatal, ThrowsErrorsOnly) {
  tStatus warning;
  setCode(warning, 3, "c", "f", 1);
  EXPECT_NO_THROW(throwIfFatal(warning));
  EXPECT_NO_THROW(throwIfFatal(tStatus()));

  tStatus error;
  setCode(error, -52024, kComponentDriver, "tDeviceInterfaceProxy", 12);
  try {
    throwIfFatal(error);
    ADD_FAILURE() << "no exception";
  } catch (const tqerr::ExceptionBase& e) {
    EXPECT_EQ(e.code(), -52024);
    EXPECT_STREQ(e.what(), R"({"file":"tDeviceInterfaceProxy","line":12,"component":"tqvlkae"})");
  }
}

TEST(tStatusThrowIfFatal, EmptyFieldsGiveAnEmptyWhat) {
  tStatus s;
  s.structSize = 100;
  setCode(s, -1, "c", "f", 1);
  try {
    throwIfFatal(s);
    ADD_FAILURE() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "");
  }
}

TEST(tStatusThrowIfFatal, FullRecordWithEmptyFieldsGivesAnEmptyWhat) {
  tStatus s;
  setCode(s, -52003, "", "", 44);
  try {
    throwIfFatal(s);
    ADD_FAILURE() << "no exception";
  } catch (const tqerr::ExceptionBase& e) {
    EXPECT_EQ(e.code(), -52003);
    EXPECT_STREQ(e.what(), "");
  }
}

struct FatalOwner {
  ~FatalOwner() {
    tStatus s;
    setCode(s, -1, "c", "f", 1);
    throwIfFatal(s);  // an exception is unwinding: must return
    returned = true;
  }
  bool& returned;
};

TEST(tStatusThrowIfFatal, DoesNothingWhileUnwinding) {
  bool returned = false;
  try {
    FatalOwner owner{returned};
    throw std::runtime_error("first");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "first");
  }
  EXPECT_TRUE(returned);
}

TEST(tStatusFromJson, CopiesTheSiteBack) {
  tqerr::JsonStatus json;
  json.code = -52000;
  ASSERT_TRUE(tqerr::setText(json,
                             R"({"error_constant":"x","file":"tqhtl\/err\/Allocator","line":32,)"
                             R"("component":"tqvlkaepropinit"})"));
  tStatus s;
  fromJsonStatus(json, s);
  EXPECT_EQ(s.code, -52000);
  EXPECT_STREQ(s.component, "tqvlkaepr");
  EXPECT_STREQ(s.file, "tqhtl/err/Allocator");
  EXPECT_EQ(s.line, 32u);
  tqerr::release(json);
}

std::string repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// The cut is made in the JSON text (the raw, still escaped value): at most its
// last 100 characters are kept, and backslashes at the cut are skipped.
TEST(tStatusFromJson, LongFileKeepsItsTailWithoutLeadingBackslashes) {
  struct Case {
    std::string escapedFile;  // as it stands in the JSON text
    std::string stored;
  } cases[] = {
      // 100 characters: whole.
      {std::string(100, 'a'), std::string(100, 'a')},
      // 103 characters: the last 100.
      {"abc" + std::string(100, 'y'), std::string(100, 'y')},
      // "xx\\" + 99: the cut lands on the second backslash of the escape,
      // which is skipped.
      {R"(xx\\)" + std::string(99, 'y'), std::string(99, 'y')},
      // 60 escaped slashes are 120 raw characters (60 decoded): the last 100
      // raw ones start with a backslash, skipped, and decode to 50 slashes.
      {repeated(R"(\/)", 60), std::string(50, '/')},
      // 20 escapes of A are 120 raw characters: the cut lands inside an
      // escape, whose rest is plain text.
      {repeated(R"(\u0041)", 20), "0041" + std::string(16, 'A')},
      // 100 escaped slashes that decode to 100 characters are still cut.
      {repeated(R"(\/)", 100), std::string(50, '/')},
  };
  for (const Case& c : cases) {
    tqerr::JsonStatus json;
    json.code = -1;
    const std::string text = R"({"file":")" + c.escapedFile + R"(","line":5})";
    ASSERT_TRUE(tqerr::setText(json, text.c_str()));
    tStatus s;
    fromJsonStatus(json, s);
    EXPECT_EQ(std::string(s.file), c.stored) << c.escapedFile;
    EXPECT_EQ(s.line, 5u);
    tqerr::release(json);
  }
}

TEST(tStatusFromJson, CleanOrTextlessJson) {
  tqerr::JsonStatus clean;
  tStatus s;
  fromJsonStatus(clean, s);
  EXPECT_EQ(s.code, 0);
  tqerr::JsonStatus bare;
  bare.code = -7;
  fromJsonStatus(bare, s);
  EXPECT_EQ(s.code, -7);
  EXPECT_STREQ(s.file, "");
  EXPECT_EQ(s.line, 0u);
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
