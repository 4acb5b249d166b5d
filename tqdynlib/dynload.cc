// SPDX-License-Identifier: MIT
#include "tqdynlib/dynload.h"

#include <dlfcn.h>

#include <cerrno>

#include "error/json.h"
#include "tqapal/errors.h"
#include "tqapal/tStatus.h"
#include "error/errnoDetail.h"

namespace {

const tqerr::ErrorLocation kLoadLocation = {
    "tqdynlib/dynload", 65, nTQVLKAET100::nTQAPAL000::kComponentTool, "tqapalerr_invalidParameter"};
const tqerr::ErrorLocation kSymbolLocation = {"tqdynlib/dynload", 140,
                                              nTQVLKAET100::nTQAPAL000::kComponentTool,
                                              "tqapalerr_invalidParameter"};

// Records a loader failure: the location, our own debug object (whose second
// member names what was asked for), then the loader's message. The message is
// read once for the detail and once more to leave the loader's error state
// clear for whoever asks next.
void recordLoaderFailure(tqerr::JsonStatus& status, const tqerr::ErrorLocation& location,
                         const char* debugText, const char* nameKey, const char* name) {
  if (!tqerr::recordAt(status, tqapalerr_invalidParameter, location)) return;
  const tqerr::json::Grower grower = tqerr::grower(status);
  char* at = tqerr::reserve(status, 2);
  at = tqerr::json::appendObject(at, "tqdynlib_debug", grower);
  at = tqerr::json::appendString(at, "debug", debugText, grower);
  at = tqerr::json::appendString(at, nameKey, name, grower);

  const char* loaderText = dlerror();
  at = tqerr::reserve(status, 2);
  at = tqerr::json::appendObject(at, "internal_error", grower);
  at = tqerr::json::appendString(at, "api", "dlerror", grower);
  at = tqerr::json::appendString(at, "string", loaderText ? loaderText : "", grower);
  dlerror();
}

}  // namespace

tqdynlib_handle tqdynlib_load(const char* fileName, int flags, tqerr::JsonStatus& status) {
  if (status.code < 0) return nullptr;
  tqdynlib_handle handle = dlopen(fileName, flags);
  if (handle == nullptr) {
    const int loaderErrno = errno;
    recordLoaderFailure(status, kLoadLocation, "failed to tqdynlib_load library", "path",
                        fileName ? fileName : "");
    errno = loaderErrno;
  }
  return handle;
}

void* tqdynlib_getSymbol(tqdynlib_handle handle, const char* symbolName,
                         tqerr::JsonStatus& status) {
  if (status.code < 0) return nullptr;
  void* address = dlsym(handle, symbolName);
  if (address == nullptr) {
    recordLoaderFailure(status, kSymbolLocation, "failed to get symbol", "tqdynlib_symbol",
                        symbolName ? symbolName : "");
  }
  return address;
}

int tqdynlib_unload(tqdynlib_handle handle) {
  return dlclose(handle);
}
