#include "ctl/jsonDocument.h"

#include <cstdio>

#include "productpath/utf8.h"

namespace nTQVLKAET100 {

void setBytes(tJson& object, const std::string& name, const std::string& bytes) {
  object[name] = bytes;
  if (vlpath::isValidUtf8(bytes)) return;
  std::string hex;
  hex.reserve(2 * bytes.size());
  char digits[4];
  for (const char byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(byte));
    hex += digits;
  }
  object[name + "Hex"] = hex;
}

tJson lineOrNull(unsigned long line) {
  return line != 0 ? tJson(line) : tJson(nullptr);
}

void writeJsonDocument(std::ostream& out, const tJson& document) {
  out << document.dump(-1, ' ', false, tJson::error_handler_t::replace) << '\n';
}

}  // namespace nTQVLKAET100
