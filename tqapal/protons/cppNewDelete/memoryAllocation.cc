#include "tqapal/protons/cppNewDelete/memoryAllocation.h"

#include <new>

#include "tqapal/errors.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

char* allocateArray(std::size_t size, tStatus& status) {
  if (isFatal(status)) return nullptr;
  char* array = new (std::nothrow) char[size];
  if (array == nullptr) {
    setCode(status, tqapalerr_memoryFull, kComponentTool,
            "tqapal/protons/cppNewDelete/memoryAllocation", 342);
  }
  return array;
}

void freeArray(char* array) { delete[] array; }

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
