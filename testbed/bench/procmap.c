// SPDX-License-Identifier: MIT
/* libtqbench-proc.so: the benchmark's driver stand-in for the shapes whose
 * cost is mostly start-up. Preloaded into the tool and into the floor alike,
 * it shows the directory named by TQBENCH_PROC (a tree that the simulated
 * driver generated and left behind) in place of /proc/driver/tq, for glob
 * and fopen, and does nothing else. It is plain C, so that neither program
 * gets a C++ runtime loaded that it would not load on a real machine; the
 * simulated driver, being C++, would hand the floor that cost for free.
 * It answers no ioctl: listing shapes only. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <glob.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char kProcRoot[] = "/proc/driver/tq";

typedef int (*GlobFn)(const char*, int, int (*)(const char*, int), glob_t*);
typedef FILE* (*FopenFn)(const char*, const char*);

/* The tree's path for a path at or below /proc/driver/tq (malloc'd), or
 * NULL when the path lies elsewhere or no tree is given. With escape, glob's
 * special characters in the tree's own name are escaped. */
static char* mapped(const char* path, int escape) {
  const size_t n = sizeof kProcRoot - 1;
  const char* tree = getenv("TQBENCH_PROC");
  if (tree == NULL || path == NULL || strncmp(path, kProcRoot, n) != 0 ||
      (path[n] != 0 && path[n] != '/'))
    return NULL;
  char* out = malloc(2 * strlen(tree) + strlen(path + n) + 1);
  if (out == NULL) return NULL;
  char* end = out;
  for (const char* c = tree; *c != 0; ++c) {
    if (escape && strchr("*?[]\\", *c) != NULL) *end++ = '\\';
    *end++ = *c;
  }
  strcpy(end, path + n);
  return out;
}

static int globMapped(GlobFn real, const char* pattern, int flags,
                      int (*errfunc)(const char*, int), glob_t* result) {
  char* pathPattern = mapped(pattern, 1);
  if (pathPattern == NULL) return real(pattern, flags, errfunc, result);
  const int rc = real(pathPattern, flags, errfunc, result);
  free(pathPattern);
  const char* tree = getenv("TQBENCH_PROC");
  const size_t treeLength = strlen(tree);
  const size_t offs = (flags & GLOB_DOOFFS) != 0 ? result->gl_offs : 0;
  for (size_t i = offs; result->gl_pathv != NULL && i < offs + result->gl_pathc; ++i) {
    char* entry = result->gl_pathv[i];
    if (entry == NULL || strncmp(entry, tree, treeLength) != 0) continue;
    /* The caller's globfree releases every entry with free(). */
    char* shown = malloc(sizeof kProcRoot + strlen(entry + treeLength));
    if (shown == NULL) continue;
    strcpy(shown, kProcRoot);
    strcat(shown, entry + treeLength);
    free(entry);
    result->gl_pathv[i] = shown;
  }
  return rc;
}

static FILE* fopenMapped(FopenFn real, const char* path, const char* mode) {
  char* file = mapped(path, 0);
  if (file == NULL) return real(path, mode);
  FILE* f = real(file, mode);
  free(file);
  return f;
}

__attribute__((visibility("default"))) int glob(const char* pattern, int flags,
                                                int (*errfunc)(const char*, int),
                                                glob_t* result) {
  static GlobFn real;
  if (real == NULL) real = (GlobFn)dlsym(RTLD_NEXT, "glob");
  return globMapped(real, pattern, flags, errfunc, result);
}

/* glob64_t is glob_t with 64-bit directory entries: the same layout. */
__attribute__((visibility("default"))) int glob64(const char* pattern, int flags,
                                                  int (*errfunc)(const char*, int),
                                                  glob64_t* result) {
  static GlobFn real;
  if (real == NULL) real = (GlobFn)dlsym(RTLD_NEXT, "glob64");
  return globMapped(real, pattern, flags, errfunc, (glob_t*)result);
}

__attribute__((visibility("default"))) FILE* fopen(const char* path, const char* mode) {
  static FopenFn real;
  if (real == NULL) real = (FopenFn)dlsym(RTLD_NEXT, "fopen");
  return fopenMapped(real, path, mode);
}

__attribute__((visibility("default"))) FILE* fopen64(const char* path, const char* mode) {
  static FopenFn real;
  if (real == NULL) real = (FopenFn)dlsym(RTLD_NEXT, "fopen64");
  return fopenMapped(real, path, mode);
}
