// SPDX-License-Identifier: MIT
// tqdynlib: loads a shared library by file name, looks a symbol up in it and
// releases it again, through the system's dynamic loader.
//
// Failures are recorded in the caller's JsonStatus as -52005 with the
// loader's own message in the detail (-52000 for a load that failed because
// memory ran out, as the message says); nothing is thrown or printed. An
// operation entered with a status that already holds an error does nothing
// and returns null, so a symbol lookup after a failed load is skipped and the
// load failure stays in the status.
#ifndef TQDYNLIB_DYNLOAD_H_
#define TQDYNLIB_DYNLOAD_H_

#include "error/JsonStatus.h"

// Opaque handle of the dynamic loader; null means no library is loaded.
typedef void* tqdynlib_handle;

// dlopen(fileName, flags); the loader's search rules apply to a bare name.
// The code of a failed load tells a library that could not be loaded for
// want of memory (-52000) from one that is not there or not loadable.
tqdynlib_handle tqdynlib_load(const char* fileName, int flags, tqerr::JsonStatus& status);

// dlsym(handle, symbolName); the caller casts the address to its type.
void* tqdynlib_getSymbol(tqdynlib_handle handle, const char* symbolName, tqerr::JsonStatus& status);

// dlclose(handle); the loader's result, nothing reported.
int tqdynlib_unload(tqdynlib_handle handle);

#endif  // TQDYNLIB_DYNLOAD_H_
