// SPDX-License-Identifier: MIT
#include "tqafa/FileLock.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "error/Exception.h"
#include "tests/tqsysq/scopedFixtures.h"

namespace tqafa {
namespace {

std::string text(const tqerr::JsonStatus& status) {
  return status.text ? status.text : "";
}

int openReadOnly(const std::string& path) {
  return open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

// Whether another open file description could take an exclusive lock now.
bool exclusiveFree(const std::string& path) {
  const int fd = openReadOnly(path);
  const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return free;
}

// Reads one byte from fd if one arrives within timeoutMs; 0 otherwise.
char readWithin(int fd, int timeoutMs) {
  struct pollfd p = {fd, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) != 1) return 0;
  char c = 0;
  return read(fd, &c, 1) == 1 ? c : 0;
}

int g_reportFd = -1;
void reportSignal(int) {
  const char s = 'S';
  (void)!write(g_reportFd, &s, 1);
}

// A child process that takes the shared lock through FileLock and reports on
// the pipe: 'R' when about to lock, 'S' for each SIGUSR1 while waiting (the
// handler does not restart interrupted calls), then '0' when locked or 'E'
// when lockShared threw.
pid_t startReader(const std::string& path, int reportFd) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  g_reportFd = reportFd;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = reportSignal;
  sigaction(SIGUSR1, &action, nullptr);
  alarm(30);  // never outlive a broken test
  const int fd = openReadOnly(path);
  char result = '0';
  (void)!write(reportFd, "R", 1);
  try {
    FileLock lock(fd);
    lock.lockShared();
  } catch (const tqerr::Exception&) {
    result = 'E';
  }
  (void)!write(reportFd, &result, 1);
  _exit(0);
}

int waitExit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FileLockImpl, ClosedDescriptorIsReported) {
  tqtest::ScopedTempDir dir;
  const int fd = openReadOnly(dir.write("f", "x"));
  close(fd);
  tqerr::JsonStatus status;
  FileLockImpl lock(fd, status);
  lock.lockShared(status);
  EXPECT_EQ(status.code, -52008);
  EXPECT_EQ(text(status),
            std::string("{\"error_constant\":\"tqapalerr_osFault\",\"file\":\"tqafa/internal/"
                        "FileLockImpl\",\"line\":218,\"component\":\"tqvlkaepropinit\","
                        "\"internal_error\":{\"api\":\"errno\",\"code\":9,\"string\":\"") +
                std::strerror(EBADF) + "\"}}");
  tqerr::release(status);
}

TEST(FileLockImpl, DoesNothingAfterAnError) {
  tqtest::ScopedTempDir dir;
  const std::string path = dir.write("f", "x");
  const int fd = openReadOnly(path);
  tqerr::JsonStatus status;
  status.code = -52006;
  FileLockImpl lock(fd, status);
  lock.lockShared(status);
  EXPECT_EQ(status.code, -52006);
  EXPECT_TRUE(exclusiveFree(path));
  close(fd);
}

TEST(FileLock, ClosedDescriptorThrows) {
  tqtest::ScopedTempDir dir;
  const int fd = openReadOnly(dir.write("f", "x"));
  close(fd);
  FileLock lock(fd);
  try {
    lock.lockShared();
    FAIL() << "no exception";
  } catch (const tqerr::Exception& e) {
    EXPECT_EQ(e.code(), -52008);
    EXPECT_NE(std::string(e.what()).find("\"code\":9"), std::string::npos) << e.what();
  }
}

TEST(FileLock, UnlockReleasesButDestructionDoesNot) {
  tqtest::ScopedTempDir dir;
  const std::string path = dir.write("f", "x");
  const int fd = openReadOnly(path);
  {
    FileLock lock(fd);
    lock.lockShared();
    EXPECT_FALSE(exclusiveFree(path));
    lock.unlock();
    EXPECT_TRUE(exclusiveFree(path));
    lock.lockShared();
  }
  // Destroyed while locked: the lock lasts until the descriptor is closed.
  EXPECT_FALSE(exclusiveFree(path));
  EXPECT_NE(fcntl(fd, F_GETFD), -1) << "the lock closed the descriptor";
  close(fd);
  EXPECT_TRUE(exclusiveFree(path));
}

TEST(FileLock, TwoReadersTogether) {
  tqtest::ScopedTempDir dir;
  const std::string path = dir.write("f", "x");
  const int fd = openReadOnly(path);
  FileLock lock(fd);
  lock.lockShared();

  int report[2];
  ASSERT_EQ(pipe2(report, O_CLOEXEC), 0);
  const pid_t reader = startReader(path, report[1]);
  EXPECT_EQ(readWithin(report[0], 10000), 'R');
  EXPECT_EQ(readWithin(report[0], 10000), '0') << "the second reader did not get the lock";
  EXPECT_EQ(waitExit(reader), 0);
  lock.unlock();
  close(fd);
  close(report[0]);
  close(report[1]);
}

TEST(FileLock, ReaderWaitsForAnExclusiveHolderThroughSignals) {
  tqtest::ScopedTempDir dir;
  const std::string path = dir.write("f", "x");
  const int writer = openReadOnly(path);
  ASSERT_EQ(flock(writer, LOCK_EX), 0);

  int report[2];
  ASSERT_EQ(pipe2(report, O_CLOEXEC), 0);
  const pid_t reader = startReader(path, report[1]);
  ASSERT_EQ(readWithin(report[0], 10000), 'R');
  EXPECT_EQ(readWithin(report[0], 200), 0) << "the reader did not wait";

  // Interrupted while waiting, the reader keeps waiting.
  kill(reader, SIGUSR1);
  EXPECT_EQ(readWithin(report[0], 10000), 'S');
  EXPECT_EQ(readWithin(report[0], 200), 0) << "the reader gave up on a signal";

  ASSERT_EQ(flock(writer, LOCK_UN), 0);
  EXPECT_EQ(readWithin(report[0], 10000), '0') << "the reader did not finish after release";
  EXPECT_EQ(waitExit(reader), 0);
  close(writer);
  close(report[0]);
  close(report[1]);
}

TEST(FileLockDeathTest, UnlockOfAClosedDescriptorIsAnInvariantViolation) {
  tqtest::ScopedTempDir dir;
  const int fd = openReadOnly(dir.write("f", "x"));
  close(fd);
  FileLock lock(fd);
  EXPECT_DEATH(lock.unlock(),
               "tqafa/internal/FileLockImpl:251: void unlockImpl\\(int\\): Assertion `false' "
               "failed");
}

}  // namespace
}  // namespace tqafa
