// SPDX-License-Identifier: MIT
// tCompactStatus: the 32-byte status block that ends every request and reply
// record exchanged with the kernel driver, and its adaptor, which links one
// block to a caller's tStatus for the duration of one driver request.
//
// The adaptor copies the caller's state into the block before the request;
// mergeBack() enters the block's code and site into the caller's status with
// the component "tqvlkae", by the ordinary merge rule.
#ifndef TQAPAL_TCOMPACTSTATUS_H_
#define TQAPAL_TCOMPACTSTATUS_H_

#include <cstddef>
#include <cstdint>

#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

struct tCompactStatus {
  std::int32_t code;
  std::uint32_t line;
  char file[24];
};

static_assert(sizeof(tCompactStatus) == 32, "tCompactStatus is the 32-byte driver block");
static_assert(offsetof(tCompactStatus, code) == 0);
static_assert(offsetof(tCompactStatus, line) == 4);
static_assert(offsetof(tCompactStatus, file) == 8);

// Clears a block to code 0, line 0 and an empty file.
inline void clearCompact(tCompactStatus& block) {
  block.code = 0;
  block.line = 0;
  block.file[0] = 0;
}

// Moves a transport failure recorded in full into the caller's block, unless
// the block already holds an error.
void compactFromStatus(tCompactStatus& compact, const tStatus& full);

class tCompactStatusAdaptor {
 public:
  explicit tCompactStatusAdaptor(tStatus& owner);
  tCompactStatusAdaptor(const tCompactStatusAdaptor&) = delete;
  tCompactStatusAdaptor& operator=(const tCompactStatusAdaptor&) = delete;

  tCompactStatus& block() { return block_; }
  const tCompactStatus& block() const { return block_; }
  operator tCompactStatus&() { return block_; }

  // setCode(owner, block code, "tqvlkae", block file, block line).
  bool mergeBack();

 private:
  tCompactStatus block_;
  tStatus* owner_;
};

// One driver request on status: request gets a block linked to status
// (tCompactStatusAdaptor) and the answer is merged back afterwards.
template <typename Request>
void requestInto(tStatus& status, Request&& request) {
  tCompactStatusAdaptor adaptor(status);
  request(adaptor.block());
  adaptor.mergeBack();
}

// Whether the block holds an error: a request then sends nothing.
inline bool isFatal(const tCompactStatus& block) {
  return block.code < 0;
}

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_TCOMPACTSTATUS_H_
