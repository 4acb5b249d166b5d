#include <boost/lexical_cast.hpp>
#include <cstdio>
#include <exception>
#include <string>
#include <typeinfo>

#include <gtest/gtest.h>

#include "tests/support/readmeTable.h"

#include "restore/entryPlan.h"
#include "settings/valueConversion.h"

namespace nTQVLKAET100 {
namespace {

const char kConversionTypeName[] =
    "N5boost16exception_detail10clone_implINS0_19error_info_injectorINS_16bad_lexical_"
    "castEEEEE";
const char kConversionText[] =
    "bad lexical cast: source type value could not be interpreted as target";

TEST(ConvertValue32, Accepted) {
  struct Case {
    const char* text;
    std::uint32_t value;
  } cases[] = {
      {"1000", 1000},     {"+1000", 1000},    {"0", 0}, {"4294967295", 0xFFFFFFFF},
      {"-1", 0xFFFFFFFF}, {"-4294967295", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(convertValue32(c.text), c.value) << c.text;
}

TEST(ConvertValue32, RejectedWithTheConversionError) {
  for (const char* text : {"4294967296", "0x10", "1 000", "", " 1", "1 ", "1.0", "++1", "abc"}) {
    try {
      convertValue32(text);
      ADD_FAILURE() << "no exception for '" << text << "'";
    } catch (const boost::bad_lexical_cast& error) {
      EXPECT_STREQ(typeid(error).name(), kConversionTypeName) << text;
      EXPECT_STREQ(error.what(), kConversionText) << text;
    }
  }
}

// The README's table of 4-byte values and the bytes written for them.
TEST(ConvertValue32, ReadmeTableMatches) {
  const auto rows = tqtest::readmeTable("| 4-byte value | bytes written (as the log's `value=`) |");
  ASSERT_GE(rows.size(), 8u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 2u);
    if (row[1] == "bad lexical cast") {
      EXPECT_THROW(convertValue32(row[0]), boost::bad_lexical_cast) << row[0];
      continue;
    }
    const std::uint32_t value = convertValue32(row[0]);
    char bytes[9];
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&value);
    std::snprintf(bytes, sizeof bytes, "%02x%02x%02x%02x", b[0], b[1], b[2], b[3]);
    EXPECT_EQ(bytes, row[1]) << row[0];
  }
}

TEST(ConvertValue8, OneCharacterGivesItsCode) {
  EXPECT_EQ(convertValue8("1"), 0x31);
  EXPECT_EQ(convertValue8("0"), 0x30);
  EXPECT_EQ(convertValue8("A"), 0x41);
  EXPECT_EQ(convertValue8(std::string(1, '\xff')), 0xFF);
  for (const char* text : {"10", "", "ab"}) {
    try {
      convertValue8(text);
      ADD_FAILURE() << "no exception for '" << text << "'";
    } catch (const boost::bad_lexical_cast& error) {
      EXPECT_STREQ(typeid(error).name(), kConversionTypeName) << text;
    }
  }
}

// Planning without a driver: each step that can refuse an entry refuses it
// with the exception restore would throw, and a ready plan holds the bytes.
TEST(PlanEntryOffline, StopsWhereRestoreWouldFail) {
  const int kUsualSize = -1;
  struct Case {
    const char* key;
    const char* value;
    int size;
    tPlanStep step;
    std::string bytes;  // of a ready plan
    const char* failure;
  } cases[] = {
      {"1a5_0_linkspeed", "\"1000\"", kUsualSize, tPlanStep::kReady, std::string("\xe8\x03\0\0", 4),
       ""},
      {"1A5_0_ForceLinkDisable", "1", kUsualSize, tPlanStep::kReady, "1", ""},
      {"1a5_0_linkspeed", "1", 1, tPlanStep::kReady, "1", ""},
      {"1a5_0_", "1", kUsualSize, tPlanStep::kKey, "", "Invalid token found in settings INI."},
      {"1a5_0_speed", "1", 4, tPlanStep::kProperty, "", "map::at"},
      {"1a5_0_linkspeed", "0x10", kUsualSize, tPlanStep::kValue, "", kConversionText},
      {"1a5_0_phystate", "1", 2, tPlanStep::kSize, "",
       "The property size is incorrect. Verify the property ID."},
  };
  for (const Case& c : cases) {
    const tEntryPlan plan =
        c.size == kUsualSize ? planEntryOffline(c.key, c.value)
                             : planEntryOffline(c.key, c.value, static_cast<std::uint32_t>(c.size));
    EXPECT_EQ(plan.step, c.step) << c.key << "=" << c.value;
    EXPECT_EQ(plan.failed(), c.failure[0] != 0) << c.key << "=" << c.value;
    // The conversion without exceptions agrees with the plan on its value.
    unsigned char bytes[4] = {0, 0, 0, 0};
    if (plan.step == tPlanStep::kReady || plan.step == tPlanStep::kValue ||
        plan.step == tPlanStep::kSize) {
      EXPECT_EQ(convertsSettingValue(plan.value, plan.size, bytes), !plan.failed())
          << c.key << "=" << c.value;
    }
    if (!plan.failed()) {
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(plan.bytes), plan.size), c.bytes)
          << c.key;
      continue;
    }
    // The report line restore writes for it ends with the exception's text.
    const std::string& report = plan.failure->report;
    const std::string text = std::string("): ") + c.failure;
    EXPECT_TRUE(report.size() > text.size() &&
                report.compare(report.size() - text.size(), text.size(), text) == 0)
        << c.key << "=" << c.value << ": " << report;
  }
}

}  // namespace
}  // namespace nTQVLKAET100
