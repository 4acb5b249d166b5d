// SPDX-License-Identifier: MIT
#include "tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/statusChecks.h"
#include "support/tempDirectory.h"

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

using tqtest::reportedAt;

const std::string kIterator = "tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator";

std::string u32Bytes(std::uint32_t value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

// A driver tree below a temporary directory: one call per interface.
class DriverTree : public ::testing::Test {
 protected:
  void addInterface(const std::string& device, const std::string& interfaceName,
                    const std::string& nodePath) {
    dir_.writeFile(device + "/deviceInterfaces/" + interfaceName + "/interfacePath", nodePath);
  }
  void addProperty(const std::string& device, const std::string& name, const std::string& content) {
    dir_.writeFile(device + "/deviceProperties/" + name, content);
  }

  std::vector<std::string> visitedNodes(const char* kind) {
    tStatus status;
    tDeviceInterfaceIterator it(dir_.path().c_str(), kind, status);
    EXPECT_EQ(status.code, 0);
    std::vector<std::string> nodes;
    for (; !it.atEnd(); it.next()) {
      tFixedPath path;
      path.length = 0;
      tStatus readStatus;
      it.getInterfacePath(path, readStatus);
      EXPECT_EQ(readStatus.code, 0);
      nodes.emplace_back(path.text, path.length - 1);
    }
    return nodes;
  }

  tqtest::tTempDirectory dir_;
};

TEST_F(DriverTree, NothingPublishedIsAnEmptyWalkNotAFailure) {
  addInterface("dev0", "can_can\\0", "/dev/can0");
  addInterface("dev0", "ae_ae", "/dev/nosuffix");  // no backslash: not an instance
  EXPECT_TRUE(visitedNodes("ae_ae").empty());

  tStatus status;
  tDeviceInterfaceIterator missing((dir_.path() + "/nowhere").c_str(), "ae_ae", status);
  EXPECT_TRUE(missing.atEnd());
  EXPECT_EQ(missing.currentEntry(), nullptr);
  EXPECT_EQ(status.code, 0);
}

TEST_F(DriverTree, VisitsInterfacesInByteOrderOfTheirFullPaths) {
  addInterface("devB", "ae_ae\\0", "/dev/b0");
  addInterface("devA", "ae_ae\\2", "/dev/a2");
  addInterface("devA", "ae_ae\\10", "/dev/a10");
  addInterface("devA", "ae_aex\\1", "/dev/other-kind");
  addInterface("Zdev", "ae_ae\\0", "/dev/Z0");  // upper case sorts first
  EXPECT_EQ(visitedNodes("ae_ae"),
            (std::vector<std::string>{"/dev/Z0", "/dev/a10", "/dev/a2", "/dev/b0"}));
}

TEST_F(DriverTree, PropertiesComeFromTheOwningDevice) {
  addInterface("devA", "ae_ae\\0", "/dev/a0");
  addInterface("devB", "ae_ae\\0", "/dev/b0");
  addProperty("devA", "SerialNum", u32Bytes(0xA0A0));
  addProperty("devB", "SerialNum", u32Bytes(0xB0B0));
  addProperty("devB", "NumPorts", u32Bytes(6));

  tStatus status;
  tDeviceInterfaceIterator it(dir_.path().c_str(), "ae_ae", status);
  std::vector<std::uint32_t> serials;
  for (; !it.atEnd(); it.next()) {
    std::uint32_t serial = 0;
    tStatus readStatus;
    it.getDeviceProperty("SerialNum", &serial, sizeof(serial), nullptr, readStatus);
    EXPECT_EQ(readStatus.code, 0);
    serials.push_back(serial);
  }
  EXPECT_EQ(serials, (std::vector<std::uint32_t>{0xA0A0, 0xB0B0}));
}

TEST_F(DriverTree, ReadDeviceFileNamesAnyDirectoryOfTheDevice) {
  addInterface("dev0", "ae_ae\\0", "/dev/a0");
  dir_.writeFile("dev0/firmware/version", "v1");
  tStatus status;
  tDeviceInterfaceIterator it(dir_.path().c_str(), "ae_ae", status);
  char text[8] = {};
  std::size_t bytesRead = 0;
  it.readDeviceFile("firmware", "version", text, sizeof(text), &bytesRead, status);
  EXPECT_EQ(status.code, 0);
  EXPECT_EQ(bytesRead, 2u);
  EXPECT_STREQ(text, "v1");
}

TEST_F(DriverTree, FailedReadKeepsTheWalkGoing) {
  addInterface("devA", "ae_ae\\0", "/dev/a0");
  addInterface("devB", "ae_ae\\0", "/dev/b0");
  addProperty("devB", "PID", u32Bytes(0x42));
  tStatus status;
  tDeviceInterfaceIterator it(dir_.path().c_str(), "ae_ae", status);
  std::uint32_t pid = 0;
  it.getDeviceProperty("PID", &pid, sizeof(pid), nullptr, status);
  EXPECT_TRUE(
      reportedAt(status, -52006, "tqapal/protons/enumeration/linuxU/linuxDevEnumHelper", 87));
  it.next();
  ASSERT_FALSE(it.atEnd());
  tStatus fresh;
  it.getDeviceProperty("PID", &pid, sizeof(pid), nullptr, fresh);
  EXPECT_EQ(fresh.code, 0);
  EXPECT_EQ(pid, 0x42u);
}

TEST_F(DriverTree, FailedStatusStillSearchesButReadsNothing) {
  addInterface("dev0", "ae_ae\\0", "/dev/a0");
  addProperty("dev0", "SerialNum", u32Bytes(9));
  tStatus status = tqtest::failedStatus();
  tDeviceInterfaceIterator it(dir_.path().c_str(), "ae_ae", status);
  ASSERT_FALSE(it.atEnd());
  std::uint32_t serial = 0;
  it.getDeviceProperty("SerialNum", &serial, sizeof(serial), nullptr, status);
  tFixedPath path;
  path.length = 0;
  it.getInterfacePath(path, status);
  EXPECT_EQ(serial, 0u);
  EXPECT_EQ(path.length, 0u);
  EXPECT_EQ(status.code, -1);
  EXPECT_EQ(status.line, 7u);
}

TEST_F(DriverTree, ReadsWithoutACurrentEntryAreNotFoundAtLine171) {
  addInterface("dev0", "ae_ae\\0", "/dev/a0");
  tStatus status;
  tDeviceInterfaceIterator it(dir_.path().c_str(), "ae_ae", status);
  it.next();
  ASSERT_TRUE(it.atEnd());
  it.next();  // stays at the end
  EXPECT_TRUE(it.atEnd());

  std::uint32_t value = 0;
  tStatus propertyStatus;
  it.getDeviceProperty("SerialNum", &value, sizeof(value), nullptr, propertyStatus);
  EXPECT_TRUE(reportedAt(propertyStatus, -52006, kIterator, 171));

  tFixedPath path;
  path.length = 0;
  tStatus pathStatus;
  it.getInterfacePath(path, pathStatus);
  EXPECT_TRUE(reportedAt(pathStatus, -52006, kIterator, 171));
  EXPECT_EQ(path.length, 0u);
}

TEST(DriverProcTree, AbsentDriverTreeMeansNoInterfaces) {
  // This host has no driver; the tool's own search must come back empty.
  if (access("/proc/driver/tq", F_OK) == 0) GTEST_SKIP() << "a driver is loaded here";
  tStatus status;
  tDeviceInterfaceIterator it("ae_ae", status);
  EXPECT_TRUE(it.atEnd());
  EXPECT_EQ(status.code, 0);
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
