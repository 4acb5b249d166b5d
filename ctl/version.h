// The version of the programs, the one that CMake's project() names and
// debian/changelog carries (a test holds the two equal).
#ifndef CTL_VERSION_H_
#define CTL_VERSION_H_

namespace nTQVLKAET100 {

extern const char kCtlVersion[];

}  // namespace nTQVLKAET100

#endif  // CTL_VERSION_H_
