// SPDX-License-Identifier: MIT
// A library under the right name that lacks get_relocated_dir.
extern "C" int get_relocated_directory(const char*, char*, int) {
  return 1;
}
