// SPDX-License-Identifier: MIT
#include "tqapal/protons/driver/linuxU/tDeviceInterfaceProxy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/statusChecks.h"
#include "support/tempDirectory.h"

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

using tqtest::reportedAt;

const std::string kProxy = "tqapal/protons/driver/linuxU/tDeviceInterfaceProxy";

TEST(DeviceProxyOpen, MissingNodeIsNotFoundAtLine46) {
  tqtest::tTempDirectory dir;
  tDeviceInterfaceProxy proxy;
  tStatus status;
  proxy.open(dir.path() + "/absent", status);
  EXPECT_TRUE(reportedAt(status, -52006, kProxy, 46));
  EXPECT_FALSE(proxy.isOpen());
}

TEST(DeviceProxyOpen, NodeWithoutPermissionIsAccessDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  tqtest::tTempDirectory dir;
  const std::string node = dir.writeFile("node", "x");
  ASSERT_EQ(chmod(node.c_str(), 0400), 0);
  tDeviceInterfaceProxy proxy;
  tStatus status;
  proxy.open(node, status);
  EXPECT_TRUE(reportedAt(status, -52026, kProxy, 46));
}

// The descriptors of this process that refer to path.
std::vector<int> descriptorsOf(const std::string& path) {
  std::vector<int> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == path) {
      found.push_back(std::stoi(entry.path().filename().string()));
    }
  }
  return found;
}

TEST(DeviceProxyOpen, OpensReadWriteAndCloseOnExecAndClosesWhenDestroyed) {
  tqtest::tTempDirectory dir;
  const std::string node = std::filesystem::canonical(dir.writeFile("node", "x")).string();
  {
    tDeviceInterfaceProxy proxy;
    tStatus status;
    proxy.open(node, status);
    ASSERT_EQ(status.code, 0);
    const std::vector<int> open = descriptorsOf(node);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(fcntl(open[0], F_GETFL) & O_ACCMODE, O_RDWR);
    EXPECT_NE(fcntl(open[0], F_GETFD) & FD_CLOEXEC, 0);
  }
  EXPECT_TRUE(descriptorsOf(node).empty());
}

TEST(DeviceProxyOpen, FailedStatusOpensNothing) {
  tqtest::tTempDirectory dir;
  const std::string node = dir.writeFile("node", "x");
  tDeviceInterfaceProxy proxy;
  tStatus status = tqtest::failedStatus();
  proxy.open(node, status);
  EXPECT_FALSE(proxy.isOpen());
  EXPECT_EQ(status.line, 7u);
}

TEST(DeviceProxyClose, NeverOpenedReturnsZeroOpenedClosesOnce) {
  tDeviceInterfaceProxy never;
  EXPECT_EQ(never.close(), 0);

  tDeviceInterfaceProxy proxy;
  tStatus status;
  proxy.open("/dev/null", status);
  ASSERT_EQ(status.code, 0);
  ASSERT_TRUE(proxy.isOpen());
  EXPECT_EQ(proxy.close(), 0);
  EXPECT_FALSE(proxy.isOpen());
  EXPECT_EQ(proxy.close(), 0);
}

TEST(DeviceProxyIoctl, RefusedRequestsMapTheirErrno) {
  tqtest::tTempDirectory dir;
  const std::string regular = dir.writeFile("regular", "x");
  struct {
    const char* name;
    std::string node;  // empty: never opened
    std::int64_t code;
  } const cases[] = {
      {"regular file", regular, -52002},  // ENOTTY
      {"/dev/null", "/dev/null", -52002},
      {"closed proxy", "", -52006},  // EBADF
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tDeviceInterfaceProxy proxy;
    tStatus status;
    if (!c.node.empty()) proxy.open(c.node, status);
    ASSERT_EQ(status.code, 0);
    unsigned char in[32] = {};
    unsigned char out[32] = {};
    EXPECT_EQ(proxy.ioctl(0x200109, in, sizeof(in), out, sizeof(out), status), 0u);
    EXPECT_TRUE(reportedAt(status, c.code, kProxy, 85));
  }
}

TEST(DeviceProxyIoctl, FailedStatusIssuesNoSystemCall) {
  // On a closed proxy the system call would fail and set errno.
  tDeviceInterfaceProxy proxy;
  tStatus status = tqtest::failedStatus();
  errno = 0;
  unsigned char record[32] = {};
  EXPECT_EQ(proxy.ioctl(0x200109, record, sizeof(record), record, sizeof(record), status), 0u);
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(status.line, 7u);
}

TEST(DeviceProxyReadWrite, TransfersAndReportsAtTheirOwnLines) {
  tqtest::tTempDirectory dir;
  const std::string file = dir.writeFile("data", "stored");
  {
    tDeviceInterfaceProxy proxy;
    tStatus status;
    proxy.open(file, status);
    char buffer[16] = {};
    EXPECT_EQ(proxy.read(buffer, sizeof(buffer), status), 6);
    EXPECT_STREQ(buffer, "stored");
    EXPECT_EQ(proxy.write("+more", 5, status), 5);
    EXPECT_EQ(status.code, 0);
  }
  std::ifstream in(file);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "stored+more");

  tDeviceInterfaceProxy closed;
  char buffer[4];
  tStatus readStatus;
  EXPECT_EQ(closed.read(buffer, sizeof(buffer), readStatus), -1);
  EXPECT_TRUE(reportedAt(readStatus, -52006, kProxy, 105));
  tStatus writeStatus;
  EXPECT_EQ(closed.write(buffer, sizeof(buffer), writeStatus), -1);
  EXPECT_TRUE(reportedAt(writeStatus, -52006, kProxy, 123));

  tStatus failed = tqtest::failedStatus();
  EXPECT_EQ(closed.read(buffer, sizeof(buffer), failed), 0);
  EXPECT_EQ(closed.write(buffer, sizeof(buffer), failed), 0);
  EXPECT_EQ(failed.line, 7u);
}

TEST(DeviceProxyReadWrite, FullDeviceIsNoSpace) {
  tDeviceInterfaceProxy proxy;
  tStatus status;
  proxy.open("/dev/full", status);
  if (status.code != 0) GTEST_SKIP() << "no /dev/full here";
  EXPECT_EQ(proxy.write("x", 1, status), -1);
  EXPECT_TRUE(reportedAt(status, -52012, kProxy, 123));  // ENOSPC
}

class DeviceProxyMapping : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::string content;
    for (char fill : {'0', '1', '2'}) content.append(page_, fill);
    file_ = dir_.writeFile("regions", content);
    tStatus status;
    proxy_.open(file_, status);
    ASSERT_EQ(status.code, 0);
  }

  tqtest::tTempDirectory dir_;
  std::string file_;
  std::size_t page_ = 0;
  tDeviceInterfaceProxy proxy_;
};

TEST_F(DeviceProxyMapping, RegionIndexUsesItsLow16BitsInPages) {
  const struct {
    std::uint32_t region;
    char expected;
  } cases[] = {{0, '0'}, {1, '1'}, {0x10001, '1'}, {0xFFFF0002u, '2'}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.region);
    tMapping mapping;
    tStatus status;
    void* address = proxy_.mapMemory(c.region, page_, 0, mapping, status);
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(mapping.address, address);
    EXPECT_EQ(mapping.length, page_);
    const char* bytes = static_cast<const char*>(address);
    EXPECT_EQ(bytes[0], c.expected);
    EXPECT_EQ(bytes[page_ - 1], c.expected);
    proxy_.unmapMemory(mapping);
    EXPECT_EQ(mapping.address, nullptr);
  }
}

TEST_F(DeviceProxyMapping, ReadWriteMappingIsShared) {
  tMapping mapping;
  tStatus status;
  char* bytes = static_cast<char*>(proxy_.mapMemory(2, page_, kMapReadWrite, mapping, status));
  ASSERT_NE(bytes, nullptr);
  bytes[0] = 'W';
  proxy_.unmapMemory(mapping);
  proxy_.unmapMemory(mapping);  // a second unmap does nothing

  std::ifstream in(file_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(2 * page_));
  EXPECT_EQ(in.get(), 'W');
}

TEST_F(DeviceProxyMapping, FailureClearsTheMappingAndReportsAtLine148) {
  tDeviceInterfaceProxy closed;
  tMapping mapping;
  int marker = 0;
  mapping.address = &marker;
  tStatus status;
  EXPECT_EQ(closed.mapMemory(0, page_, 0, mapping, status), nullptr);
  EXPECT_EQ(mapping.address, nullptr);
  EXPECT_TRUE(reportedAt(status, -52006, kProxy, 148));  // EBADF

  tStatus failed = tqtest::failedStatus();
  EXPECT_EQ(proxy_.mapMemory(0, page_, 0, mapping, failed), nullptr);
  EXPECT_EQ(failed.line, 7u);
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
