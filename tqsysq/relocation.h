// SPDX-License-Identifier: MIT
// The relocation table: the 19 installation directories under their fixed
// keys, each with its built-in default, possibly moved by the optional
// relocation library. The library is consulted once, while the table is
// built, and unloaded right after; the table is read-only from then on.
//
// An absent library, or one without "get_relocated_dir", leaves every
// default in force and is not an error. A library that fails for one key
// (negative answer) leaves -52006 in the construction status, and every
// lookup of the process then fails with it; keys after the failing one are
// not asked.
#ifndef TQSYSQ_RELOCATION_H_
#define TQSYSQ_RELOCATION_H_

#include <cstddef>
#include <string>
#include <vector>

#include "error/JsonStatus.h"

namespace tqsysq {

// File name of the relocation library, found by the loader's search rules.
inline constexpr const char* kRelocationLibrary = "libtqrelocations.so.0";
// Size of the buffer the library writes a directory into.
inline constexpr int kRelocationBufferSize = 255;

struct RelocationKey {
  const char* key;
  const char* defaultDir;
};

// The 19 keys in the order they are stored and asked.
extern const RelocationKey kRelocationKeys[19];

struct RelocationEntry {
  std::string key;
  std::string defaultDir;
  std::string value;
};

class RelocationTable {
 public:
  // Builds the table, asking the library loaded from libraryName (a bare
  // name is searched for by the loader, a path is taken as it is).
  explicit RelocationTable(const char* libraryName);
  ~RelocationTable();
  RelocationTable(const RelocationTable&) = delete;
  RelocationTable& operator=(const RelocationTable&) = delete;

  // Merges the construction status into status; then, unless status holds
  // an error, sets result to the directory of key (-52008 for an unknown
  // key).
  void lookup(const char* key, std::string& result, tqerr::JsonStatus& status) const;

  const tqerr::JsonStatus& constructionStatus() const { return status_; }
  const std::vector<RelocationEntry>& entries() const { return entries_; }

 private:
  void build(const char* libraryName);
  void askLibrary(int (*getRelocatedDir)(const char*, char*, int));

  tqerr::JsonStatus status_;  // first: created before the entries
  std::vector<RelocationEntry> entries_;
};

// The process's table, built from kRelocationLibrary on first use; the
// start-up object relocationStartup.cc forces that first use during static
// initialisation of every program.
const RelocationTable& processRelocationTable();

}  // namespace tqsysq

#endif  // TQSYSQ_RELOCATION_H_
