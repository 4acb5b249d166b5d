// SPDX-License-Identifier: MIT
// StateFile: the property values a simulated driver keeps across processes,
// in the file that a bench's 'state' line names.
//
// The file holds value lines of the bench's grammar, one per stored value,
// sorted by device, port and property. The first program that finds it
// missing makes it from the bench's own value lines; from then on it alone
// holds the driver's values, until it is removed (the bench's reset).
// Every use waits for an exclusive lock on "<file>.lock", so programs on one
// bench take turns request by request and never lose each other's writes;
// the file is replaced whole (a new file renamed into place), so a program
// stopped half-way leaves the old values, never half of the new ones. The
// file calls go to the system directly, past the simulator's own wrappers
// of open, read and flock, so the faults of a bench never reach them.
#ifndef SIM_STATE_H_
#define SIM_STATE_H_

#include <string>

#include "sim/bench.h"

namespace tqsim {

class StateFile {
 public:
  explicit StateFile(std::string path);
  ~StateFile();  // lets go of the lock
  StateFile(const StateFile&) = delete;
  StateFile& operator=(const StateFile&) = delete;

  // Waits for the lock and reads the values; a missing file is made from
  // the bench's value lines first. False with a message naming the file.
  bool load(const Bench& bench, Values& values, std::string& error);
  // Replaces the file's content with values; only after a load, which
  // holds the lock.
  bool save(const Values& values, std::string& error);

 private:
  std::string path_;
  int lock_ = -1;
};

}  // namespace tqsim

#endif  // SIM_STATE_H_
