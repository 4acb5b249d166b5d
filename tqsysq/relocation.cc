// SPDX-License-Identifier: MIT
#include "tqsysq/relocation.h"

#include <dlfcn.h>

#include <cstring>
#include <new>

#include "tqapal/errors.h"
#include "tqapal/protons/cppNewDelete/memoryAllocation.h"
#include "tqapal/tStatus.h"
#include "tqdynlib/dynload.h"
#include "tqsysq/stdpath_util.h"

namespace tqsysq {

const RelocationKey kRelocationKeys[19] = {
    {"prefixdir", "/usr"},
    {"execprefixdir", "/usr"},
    {"bindir", "/usr/bin"},
    {"sbindir", "/usr/sbin"},
    {"libdir", "/usr/lib"},
    {"lib32dir", "/usr/lib"},  // there is no separate 32-bit directory
    {"lib64dir", "/usr/lib64"},
    {"nativelibdir", "/usr/lib64"},
    {"multiarchlibdir", "/usr/lib/x86_64-linux-gnu"},
    {"libexecdir", "/usr/libexec"},
    {"sharedstatedir", "/var/lib"},
    {"datarootdir", "/usr/share"},
    {"datadir", "/usr/share"},
    {"sysconfdir", "/etc"},
    {"localstatedir", "/var"},
    {"runstatedir", "/var/run"},
    {"includedir", "/usr/include"},
    {"docdir", "/usr/share/doc"},
    {"initddir", "/etc/init.d"},
};

namespace {

typedef int (*GetRelocatedDir)(const char* key, char* buffer, int size);

}  // namespace

RelocationTable::RelocationTable(const char* libraryName) {
  try {
    build(libraryName);
  } catch (const std::bad_alloc&) {
    recordMemoryFull(status_);
  }
}

RelocationTable::~RelocationTable() {
  tqerr::release(status_);
}

void RelocationTable::build(const char* libraryName) {
  entries_.reserve(sizeof kRelocationKeys / sizeof kRelocationKeys[0]);
  for (const RelocationKey& k : kRelocationKeys) {
    entries_.push_back(RelocationEntry{k.key, k.defaultDir, k.defaultDir});
  }

  tqerr::JsonStatus loading;
  tqdynlib_handle handle = tqdynlib_load(libraryName, RTLD_NOW | RTLD_GLOBAL, loading);
  // A library that is there but could not be loaded for want of memory is not
  // an absent one: keeping the defaults would look for the settings in the
  // wrong place and report success.
  if (handle == nullptr && loading.code == tqapalerr_memoryFull) recordMemoryFull(status_);
  void* symbol = tqdynlib_getSymbol(handle, "get_relocated_dir", loading);
  if (loading.code == 0 && status_.code == 0) {
    try {
      askLibrary(reinterpret_cast<GetRelocatedDir>(symbol));
    } catch (...) {
      tqdynlib_unload(handle);
      tqerr::release(loading);
      throw;
    }
  }
  if (handle != nullptr) tqdynlib_unload(handle);
  // Without the library (or its function) every default stays: not a failure.
  tqerr::release(loading);
}

void RelocationTable::askLibrary(GetRelocatedDir getRelocatedDir) {
  using nTQVLKAET100::nTQAPAL000::allocateArray;
  using nTQVLKAET100::nTQAPAL000::freeArray;
  using nTQVLKAET100::nTQAPAL000::toJsonStatus;
  using nTQVLKAET100::nTQAPAL000::tStatus;

  for (const RelocationKey& k : kRelocationKeys) {
    if (status_.code < 0) return;
    tStatus allocation;
    char* buffer = allocateArray(kRelocationBufferSize, allocation);
    toJsonStatus(allocation, status_);
    if (buffer == nullptr) return;

    const int answer = getRelocatedDir(k.key, buffer, kRelocationBufferSize);
    if (answer > 0) {
      // The library promises a terminated text, but we never read past the
      // buffer it was given.
      std::string text(buffer, strnlen(buffer, kRelocationBufferSize));
      RelocationEntry* entry = nullptr;
      for (RelocationEntry& e : entries_) {
        if (e.key == k.key) {
          entry = &e;
          break;
        }
      }
      if (entry != nullptr) {
        entry->value = std::move(text);
      } else {
        entries_.push_back(RelocationEntry{k.key, text, text});
      }
    } else if (answer < 0) {
      tqerr::mergeCode(status_, tqapalerr_resourceNotFound);
    }
    freeArray(buffer);
  }
}

void RelocationTable::lookup(const char* key, std::string& result,
                             tqerr::JsonStatus& status) const {
  bool ok = true;
  tqerr::mergeAndCopy(status, status_, &ok);
  if (status.code < 0) return;
  const std::size_t length = std::strlen(key);
  for (const RelocationEntry& e : entries_) {
    if (e.key.size() == length && std::memcmp(e.key.data(), key, length) == 0) {
      try {
        result.assign(e.value.c_str());  // up to the first NUL
      } catch (const std::bad_alloc&) {
        recordMemoryFull(status);
      }
      return;
    }
  }
  tqerr::mergeCode(status, tqapalerr_osFault);
}

const RelocationTable& processRelocationTable() {
  static const RelocationTable table(kRelocationLibrary);
  return table;
}

}  // namespace tqsysq
