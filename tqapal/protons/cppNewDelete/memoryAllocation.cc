// SPDX-License-Identifier: MIT
#include "tqapal/protons/cppNewDelete/memoryAllocation.h"

#include <new>

#include "error/JsonStatus.h"
#include "tqapal/errors.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

namespace {

constexpr tqerr::ErrorLocation kSiteMemoryFull = {"tqapal/protons/cppNewDelete/memoryAllocation",
                                                  342, kComponentTool, "tqapalerr_memoryFull"};

}  // namespace

char* allocateArray(std::size_t size, tStatus& status) {
  if (isFatal(status)) return nullptr;
  char* array = new (std::nothrow) char[size];
  if (array == nullptr) {
    setCode(status, tqapalerr_memoryFull, kSiteMemoryFull);
  }
  return array;
}

void freeArray(char* array) { delete[] array; }

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
