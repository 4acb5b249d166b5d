// SPDX-License-Identifier: MIT
// cExceptionBase: the one exception type that leaves the product path layer.
// It carries a 32-bit code and a qualified location word (bit 31, module in
// bits 26-30, file number in bits 16-25, kind in bits 14-15, line in bits
// 0-13); what() renders the code as "0x%08X".
//
// translateCurrentException() is the boundary of that layer: called inside a
// catch block, it re-throws the in-flight exception classified.
#ifndef ERROR_CEXCEPTIONBASE_H_
#define ERROR_CEXCEPTIONBASE_H_

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

namespace nTQVLKAET100 {
namespace nENSPAN000 {

// Module and file number of the tool's own throw sites.
constexpr std::uint32_t kModule = 22;
constexpr std::uint32_t kFileNumber = 1;

class cExceptionBase : public virtual std::exception {
 public:
  enum class Kind : std::uint32_t { kWithCode = 1, kWithoutCode = 2, kAdopted = 3 };
  struct AdoptedCode {
    std::int32_t code;
  };

  cExceptionBase(std::uint32_t module, std::uint32_t fileNumber, std::uint32_t line,
                 std::int32_t code);
  cExceptionBase(std::uint32_t module, std::uint32_t fileNumber, std::uint32_t line);
  cExceptionBase(std::uint32_t module, std::uint32_t fileNumber, std::uint32_t line,
                 AdoptedCode adopted);
  ~cExceptionBase() override;
  const char* what() const noexcept override;

  std::int32_t code() const { return code_; }
  std::uint32_t location() const { return location_; }

 private:
  void store(std::int32_t code, std::uint32_t module, std::uint32_t fileNumber, std::uint32_t line,
             Kind kind);

  mutable char text_[11];
  std::int32_t code_;
  std::uint32_t location_;
};

// Re-throws the in-flight exception: a tqerr::ExceptionBase as line 59
// adopted, std::bad_alloc as line 63 with code 0xBFF63010, anything else
// (a cExceptionBase among them) unchanged. Call only inside a catch block.
[[noreturn]] void translateCurrentException();

// Bounded copy of text into buffer[size]: a null buffer with non-zero size
// throws line 71 (0xBFF63259); too short a buffer throws line 76
// (0xBFF63258).
void boundedCopy(const std::string& text, char* buffer, std::uint64_t size);

}  // namespace nENSPAN000
}  // namespace nTQVLKAET100

#endif  // ERROR_CEXCEPTIONBASE_H_
