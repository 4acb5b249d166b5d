// SPDX-License-Identifier: MIT
// cPath: one product directory (or file) path, held as UTF-8 text.
//
// The constructor builds the directory of a kind (0..23) from the answers of
// the system-query wrapper plus fixed components under "tq-vlnk"; appends
// join components with the one normalisation of trimPath; the path is handed
// out as UTF-8 or in the C library's multibyte encoding. Only
// nENSPAN000::cExceptionBase leaves this class: failures of the layers below
// are translated into it.
#ifndef PRODUCTPATH_CPATH_H_
#define PRODUCTPATH_CPATH_H_

#include <cstdint>
#include <string>

#include "productpath/cSysqWrapper.h"

namespace nTQVLKAET100 {
namespace vlpath {

// Name of the product's own directory below each base directory.
inline constexpr const char* kProductDirName = "tq-vlnk";
// Highest directory kind.
constexpr std::uint32_t kMaxDirectoryKind = 23;

class cPathInterface {
 public:
  virtual ~cPathInterface() {}
  virtual cPathInterface& appendUtf8(const std::string& component) = 0;
  virtual cPathInterface& appendMbs(const char* component) = 0;
  virtual std::string getUtf8() = 0;
  virtual std::string getMbs() = 0;
  virtual void copyUtf8(char* buffer, std::uint64_t size) = 0;
  virtual void copyMbs(char* buffer, std::uint64_t size) = 0;
};

class cPath : public cPathInterface {
 public:
  // Builds the directory of kind; kinds 2 and 15 also create it.
  cPath(std::uint32_t kind, cSysqWrapper& wrapper);
  ~cPath() override {}

  // Appends a UTF-8 component ("/" between, trailing separators and
  // surrounding white space trimmed); invalid UTF-8 throws, path unchanged.
  cPath& appendUtf8(const std::string& component) override;
  // Appends a component in the multibyte encoding (converted to UTF-8).
  cPath& appendMbs(const char* component) override;
  std::string getUtf8() override;
  std::string getMbs() override;
  // Copy with terminating NUL into buffer[size]; throws when it does not fit.
  void copyUtf8(char* buffer, std::uint64_t size) override;
  void copyMbs(char* buffer, std::uint64_t size) override;

 private:
  void build(std::uint32_t kind, cSysqWrapper& wrapper);

  std::string path_;
};

}  // namespace vlpath
}  // namespace nTQVLKAET100

#endif  // PRODUCTPATH_CPATH_H_
