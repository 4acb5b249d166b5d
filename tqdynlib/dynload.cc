// SPDX-License-Identifier: MIT
#include "tqdynlib/dynload.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstring>

#include "error/json.h"
#include "tqapal/errors.h"
#include "tqapal/tStatus.h"
#include "error/errnoDetail.h"

namespace {

const tqerr::ErrorLocation kLoadLocation = {
    "tqdynlib/dynload", 65, nTQVLKAET100::nTQAPAL000::kComponentTool, "tqapalerr_invalidParameter"};
const tqerr::ErrorLocation kLoadMemoryLocation = {
    "tqdynlib/dynload", 65, nTQVLKAET100::nTQAPAL000::kComponentTool, "tqapalerr_memoryFull"};
const tqerr::ErrorLocation kSymbolLocation = {"tqdynlib/dynload", 140,
                                              nTQVLKAET100::nTQAPAL000::kComponentTool,
                                              "tqapalerr_invalidParameter"};

// Whether the load failed because memory ran out: the loader's message says
// so (its own words, or the text of ENOMEM after the step that failed), or an
// allocation failed during the load. dlopen sets no errno of its own, but the
// allocator it calls does, and the message alone does not tell: when the
// allocation of a search path fails, the loader says "No such file or
// directory" of a library that is there.
bool memoryRanOut(int errnoAfterLoad, const char* loaderText) {
  if (errnoAfterLoad == ENOMEM) return true;
  if (loaderText == nullptr) return false;
  return std::strstr(loaderText, "out of memory") != nullptr ||
         std::strstr(loaderText, "cannot allocate") != nullptr ||
         std::strstr(loaderText, std::strerror(ENOMEM)) != nullptr;
}

// Records a loader failure: the location, our own debug object (whose second
// member names what was asked for), then the loader's message, which is read
// here, once; reading it leaves the loader's error state clear for whoever
// asks next.
void recordLoaderFailure(tqerr::JsonStatus& status, std::int32_t code,
                         const tqerr::ErrorLocation& location, const char* loaderText,
                         const char* debugText, const char* nameKey, const char* name) {
  if (!tqerr::recordAt(status, code, location)) return;
  const tqerr::json::Grower grower = tqerr::grower(status);
  char* at = tqerr::reserve(status, 2);
  at = tqerr::json::appendObject(at, "tqdynlib_debug", grower);
  at = tqerr::json::appendString(at, "debug", debugText, grower);
  at = tqerr::json::appendString(at, nameKey, name, grower);

  at = tqerr::reserve(status, 2);
  at = tqerr::json::appendObject(at, "internal_error", grower);
  at = tqerr::json::appendString(at, "api", "dlerror", grower);
  at = tqerr::json::appendString(at, "string", loaderText ? loaderText : "", grower);
}

}  // namespace

tqdynlib_handle tqdynlib_load(const char* fileName, int flags, tqerr::JsonStatus& status) {
  if (status.code < 0) return nullptr;
  errno = 0;
  tqdynlib_handle handle = dlopen(fileName, flags);
  if (handle == nullptr) {
    const int errnoAfterLoad = errno;
    const char* loaderText = dlerror();
    const bool full = memoryRanOut(errnoAfterLoad, loaderText);
    recordLoaderFailure(status, full ? tqapalerr_memoryFull : tqapalerr_invalidParameter,
                        full ? kLoadMemoryLocation : kLoadLocation, loaderText,
                        "failed to tqdynlib_load library", "path", fileName ? fileName : "");
  }
  return handle;
}

void* tqdynlib_getSymbol(tqdynlib_handle handle, const char* symbolName,
                         tqerr::JsonStatus& status) {
  if (status.code < 0) return nullptr;
  void* address = dlsym(handle, symbolName);
  if (address == nullptr) {
    recordLoaderFailure(status, tqapalerr_invalidParameter, kSymbolLocation, dlerror(),
                        "failed to get symbol", "tqdynlib_symbol", symbolName ? symbolName : "");
  }
  return address;
}

int tqdynlib_unload(tqdynlib_handle handle) {
  return dlclose(handle);
}
