// SPDX-License-Identifier: MIT
// Non-throwing array allocation for the status-passing layers: a failure is
// recorded as -52000 in the caller's tStatus instead of raising bad_alloc.
#ifndef TQAPAL_PROTONS_CPPNEWDELETE_MEMORYALLOCATION_H_
#define TQAPAL_PROTONS_CPPNEWDELETE_MEMORYALLOCATION_H_

#include <cstddef>

#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

// Null at once when status holds an error; null and -52000 when the memory
// cannot be had. Release with freeArray.
char* allocateArray(std::size_t size, tStatus& status);
void freeArray(char* array);

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_PROTONS_CPPNEWDELETE_MEMORYALLOCATION_H_
