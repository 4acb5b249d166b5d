#include "tqapal/errors.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

TEST(MapErrno, Table) {
  struct Case {
    int errnoValue;
    int code;
  } cases[] = {
      {0, 0},
      {ENOMEM, -52000}, {ENFILE, -52000}, {EMFILE, -52000},
      {ENOTTY, -52002}, {ENOTSUP, -52002},
      {EINVAL, -52005},
      {ENOENT, -52006}, {ESRCH, -52006}, {ENXIO, -52006}, {EBADF, -52006}, {ENODEV, -52006},
      {ETIMEDOUT, -52007},
      {EALREADY, -52011}, {EINPROGRESS, -52011},
      {ENOSPC, -52012}, {EOVERFLOW, -52012},
      {EEXIST, -52013}, {EADDRINUSE, -52013},
      {EOWNERDEAD, -52014},
      {EDEADLK, -52015}, {ENOLCK, -52015},
      {ENOBUFS, -52019},
      {EIDRM, -52020},
      {ECONNABORTED, -52023},
      {EIO, -52024}, {EPIPE, -52024}, {EBADMSG, -52024},
      {EINTR, -52025}, {ECONNRESET, -52025},
      {EPERM, -52026}, {EACCES, -52026}, {EROFS, -52026},
      {EBUSY, -52031},
      // Unlisted numbers inside the table (EOWNERDEAD, 130, is its last
      // entry), and numbers outside it.
      {E2BIG, -52008}, {ENOEXEC, -52008}, {EKEYREJECTED, -52008}, {131, -52008}, {-1, -52008}, {4096, -52008},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mapErrno(c.errnoValue), c.code) << "errno " << c.errnoValue;
  }
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
