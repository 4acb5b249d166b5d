#include "settings/settingKey.h"

#include <optional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "sim/bench.h"
#include "tests/support/readmeTable.h"

namespace nTQVLKAET100 {
namespace {

TEST(LookupPropertyId, TableIgnoresLetterCase) {
  struct Case {
    const char* name;
    std::uint32_t id;
  } cases[] = {
      {"portmode", 0x13FFFE},
      {"phystate", 0x13FFFD},
      {"forcelinkdisable", 0x0210FEEA},
      {"linkspeed", 0x13FFF7},
      {"jumboframes", 0x13FFF5},
      {"interruptmoderation", 0x13FFF3},
      {"sleepcapabilityconfigured", 0x13FFEF},
      {"LinkSpeed", 0x13FFF7},
      {"FORCELINKDISABLE", 0x0210FEEA},
  };
  for (const Case& c : cases) EXPECT_EQ(lookupPropertyId(c.name), c.id) << c.name;
}

TEST(LookupPropertyId, UnknownNameIsOutOfRange) {
  for (const char* name : {"linkspeed_x", "", "link speed", "linkspeed ", "portmodes"}) {
    try {
      lookupPropertyId(name);
      ADD_FAILURE() << "no exception for '" << name << "'";
    } catch (const std::out_of_range& error) {
      EXPECT_STREQ(error.what(), "map::at") << name;
    }
  }
}

TEST(ParseSettingKey, Accepted) {
  struct Case {
    std::string key;
    std::uint32_t serial;
    std::uint32_t port;
    std::uint32_t property;
  } cases[] = {
      {"1a5_2_linkspeed", 0x1A5, 2, 0x13FFF7},
      {"1A5_0_LinkSpeed", 0x1A5, 0, 0x13FFF7},
      {"0x1a5_0_linkspeed", 0x1A5, 0, 0x13FFF7},
      {"ffffffff_4294967295_portmode", 0xFFFFFFFF, 4294967295u, 0x13FFFE},
      {"0_0_forcelinkdisable", 0, 0, 0x0210FEEA},
      // The property word ends at white space; what follows is not read.
      {"1a5_1_phystate trailing", 0x1A5, 1, 0x13FFFD},
      // Leading zeros add no magnitude, however many there are.
      {std::string(10000, '0') + "1a5_" + std::string(100, '0') + "7_portmode", 0x1A5, 7, 0x13FFFE},
      {"0XFFFFFFFF_0_portmode", 0xFFFFFFFF, 0, 0x13FFFE},
      // A sign is taken as scanf takes it: negated modulo 2^32.
      {"-1_-1_portmode", 0xFFFFFFFF, 0xFFFFFFFF, 0x13FFFE},
  };
  for (const Case& c : cases) {
    const tSettingKey key = parseSettingKey(c.key);
    EXPECT_EQ(key.serialNumber, c.serial) << c.key;
    EXPECT_EQ(key.port, c.port) << c.key;
    EXPECT_EQ(key.propertyId, c.property) << c.key;
    // The reader without exceptions reads the same key.
    const std::optional<tSettingKey> read = readSettingKey(c.key);
    ASSERT_TRUE(read.has_value()) << c.key;
    EXPECT_EQ(read->serialNumber, c.serial) << c.key;
    EXPECT_EQ(read->port, c.port) << c.key;
    EXPECT_EQ(read->propertyId, c.property) << c.key;
  }
}

TEST(ParseSettingKey, Rejected) {
  struct Case {
    std::string key;
    const char* what;
  } cases[] = {
      {"1a5_0_", "Invalid token found in settings INI."},
      {"1a5_x_linkspeed", "Invalid token found in settings INI."},
      {"zz_0_linkspeed", "Invalid token found in settings INI."},
      {"1a5-0-linkspeed", "Invalid token found in settings INI."},
      {"", "Invalid token found in settings INI."},
      // Numbers beyond 32 bits: scanf would keep only their low bits and
      // name another device or port.
      {"1000001a5_0_linkspeed", "Invalid token found in settings INI."},
      {"0x100000000_0_linkspeed", "Invalid token found in settings INI."},
      {"1a5_4294967296_linkspeed", "Invalid token found in settings INI."},
      {"1a5_-4294967296_linkspeed", "Invalid token found in settings INI."},
      {std::string(10000, 'f') + "_0_linkspeed", "Invalid token found in settings INI."},
      {"1a5_0_linkspeed_x", "map::at"},
      {"1a5_0_speed", "map::at"},
  };
  for (const Case& c : cases) {
    try {
      parseSettingKey(c.key);
      ADD_FAILURE() << "no exception for '" << c.key << "'";
    } catch (const std::exception& error) {
      EXPECT_STREQ(error.what(), c.what) << c.key;
    }
    EXPECT_FALSE(readSettingKey(c.key).has_value()) << c.key;
  }
}

// The README's property table: every name, its identifier and the size the
// simulated driver reports unless a bench says otherwise.
TEST(LookupPropertyId, ReadmeTableMatches) {
  const auto rows = tqtest::readmeTable("| property word | identifier | usual size |");
  ASSERT_EQ(rows.size(), 7u);
  const auto sizes = tqsim::defaultPropertySizes();
  EXPECT_EQ(sizes.size(), 7u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 3u);
    const std::uint32_t id = std::stoul(row[1], nullptr, 16);
    EXPECT_EQ(lookupPropertyId(row[0]), id) << row[0];
    ASSERT_EQ(sizes.count(id), 1u) << row[0];
    EXPECT_EQ(std::to_string(sizes.at(id)), row[2]) << row[0];
  }
}

// The README's table of keys and the serial and port they name.
TEST(ParseSettingKey, ReadmeTableMatches) {
  const auto rows = tqtest::readmeTable("| key | serial | port |");
  ASSERT_GE(rows.size(), 8u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 3u);
    if (row[1] == "invalid key") {
      EXPECT_THROW(parseSettingKey(row[0]), std::runtime_error) << row[0];
      continue;
    }
    const tSettingKey key = parseSettingKey(row[0]);
    EXPECT_EQ(key.serialNumber, std::stoul(row[1], nullptr, 16)) << row[0];
    EXPECT_EQ(key.port, std::stoul(row[2])) << row[0];
  }
}

}  // namespace
}  // namespace nTQVLKAET100
