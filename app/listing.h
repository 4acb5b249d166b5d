// SPDX-License-Identifier: MIT
// Listing mode of the entry point: one line per AE device interface on
// standard output, "<serial> <interface path> <ports> <PID>" with the numbers
// in lower-case hexadecimal.
#ifndef APP_LISTING_H_
#define APP_LISTING_H_

#include <ostream>

namespace nTQVLKAET100 {

// Writes the lines; throws tqerr::Exception on the first failed read, and
// when the lines could not be written (the stream is flushed).
void listInterfaces(std::ostream& out);

// listInterfaces with its failures reported on err; returns the exit status.
int runListingMode(std::ostream& out, std::ostream& err);

}  // namespace nTQVLKAET100

#endif  // APP_LISTING_H_
