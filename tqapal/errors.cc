// SPDX-License-Identifier: MIT
#include "tqapal/errors.h"

#include <cerrno>

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

std::int32_t mapErrno(int e) {
  switch (e) {
    case 0:
      return 0;
    case ENOMEM:
    case ENFILE:
    case EMFILE:
      return -52000;
    case ENOTTY:
    case ENOTSUP:
      return -52002;
    case EINVAL:
      return -52005;
    case ENOENT:
    case ESRCH:
    case ENXIO:
    case EBADF:
    case ENODEV:
      return -52006;
    case ETIMEDOUT:
      return -52007;
    case EALREADY:
    case EINPROGRESS:
      return -52011;
    case ENOSPC:
    case EOVERFLOW:
      return -52012;
    case EEXIST:
    case EADDRINUSE:
      return -52013;
    case EOWNERDEAD:
      return -52014;
    case EDEADLK:
    case ENOLCK:
      return -52015;
    case ENOBUFS:
      return -52019;
    case EIDRM:
      return -52020;
    case ECONNABORTED:
      return -52023;
    case EIO:
    case EPIPE:
    case EBADMSG:
      return -52024;
    case EINTR:
    case ECONNRESET:
      return -52025;
    case EPERM:
    case EACCES:
    case EROFS:
      return -52026;
    case EBUSY:
      return -52031;
    default:
      return -52008;
  }
}

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
