#include <boost/lexical_cast.hpp>
#include <string>
#include <typeinfo>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace nTQVLKAET100
