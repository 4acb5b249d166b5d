// SPDX-License-Identifier: MIT
/* libtqrelocations.so.0: tells the tool where a moved installation tree
 * keeps its directories. It reads a small "key = directory" file that lives
 * at a place fixed relative to the library itself, so a tree that is moved as
 * a whole (library and file together) relocates itself. See reloc/README.md.
 *
 * This library stands outside the tool: it links nothing of it. It is written
 * in C so that loading it brings in nothing but the C library: the tool loads
 * it at every start, and a C++ runtime would cost more than the tool's whole
 * start-up. The file is read on the first call and kept until the library is
 * unloaded; every later call answers from memory. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static const char kConfigName[] = "tqrelocations.conf";

/* Results besides 0 (not relocated) and the text length (relocated). */
enum {
  kMalformedConfig = -1,
  kValueTooLong = -2,
  kUnreadableConfig = -3,
  kBadArguments = -4,
  kInternalFailure = -5
};

struct Entry {
  char* key;
  char* dir; /* absolute: a relative directory is already put below the tree */
};

/* The configuration as read on the first call. A failure to read or parse
 * the file is kept like an answer; running out of memory or failing to find
 * the library's own location is not, so a later call tries again. */
struct Config {
  int loaded;
  int failure;
  size_t count;
  struct Entry* entries;
};

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static struct Config g_config;

static void clearConfig(struct Config* config) {
  for (size_t i = 0; i < config->count; ++i) {
    free(config->entries[i].key);
    free(config->entries[i].dir);
  }
  free(config->entries);
  memset(config, 0, sizeof *config);
}

__attribute__((destructor)) static void unload(void) { clearConfig(&g_config); }

static int isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

/* [begin, end) without the white space at either end, as a new string. */
static char* trimmedCopy(const char* begin, const char* end) {
  while (begin < end && isBlank(*begin)) ++begin;
  while (end > begin && isBlank(end[-1])) --end;
  return strndup(begin, (size_t)(end - begin));
}

/* The directory of path (path up to its last slash). */
static char* parentOf(const char* path) {
  const char* slash = strrchr(path, '/');
  if (slash == NULL) return strdup(".");
  if (slash == path) return strdup("/");
  return strndup(path, (size_t)(slash - path));
}

/* The canonical directory that holds this library, or NULL. */
static char* libraryDirectory(void) {
  Dl_info info;
  if (dladdr((void*)&libraryDirectory, &info) == 0 || info.dli_fname == NULL) return NULL;
  /* The directory is canonicalised, not the file: a symlinked library is
   * taken to live where the link is. */
  char* dir = parentOf(info.dli_fname);
  if (dir == NULL) return NULL;
  char* resolved = realpath(dir, NULL);
  free(dir);
  return resolved;
}

/* One line: "#" at the start of the line or after white space starts a
 * comment to the end of the line; what is left is blank (skipped) or
 * "key = directory" with white space around either ignored. Returns 0, or
 * kMalformedConfig, or kInternalFailure (memory). */
static int parseLine(char* line, size_t length, const char* tree, struct Config* config) {
  if (memchr(line, 0, length) != NULL) return kMalformedConfig;
  for (size_t i = 0; i < length; ++i) {
    if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
      length = i;
      break;
    }
  }
  line[length] = 0;
  const char* content = line;
  while (isBlank(*content)) ++content;
  if (*content == 0) return 0;
  const char* equals = strchr(content, '=');
  if (equals == NULL) return kMalformedConfig;

  struct Entry entry = {trimmedCopy(content, equals), trimmedCopy(equals + 1, line + length)};
  int result = 0;
  if (entry.key == NULL || entry.dir == NULL) {
    result = kInternalFailure;
  } else if (entry.key[0] == 0 || entry.dir[0] == 0) {
    result = kMalformedConfig;
  } else {
    for (size_t i = 0; i < config->count; ++i) {
      if (strcmp(config->entries[i].key, entry.key) == 0) result = kMalformedConfig;
    }
  }
  if (result == 0 && entry.dir[0] != '/') {
    char* absolute = NULL;
    if (asprintf(&absolute, "%s/%s", strcmp(tree, "/") == 0 ? "" : tree, entry.dir) < 0) {
      result = kInternalFailure;
    } else {
      free(entry.dir);
      entry.dir = absolute;
    }
  }
  if (result == 0) {
    struct Entry* grown = realloc(config->entries, (config->count + 1) * sizeof *grown);
    if (grown == NULL) {
      result = kInternalFailure;
    } else {
      config->entries = grown;
      config->entries[config->count++] = entry;
      return 0;
    }
  }
  free(entry.key);
  free(entry.dir);
  return result;
}

/* Reads file into config. Returns 0 when the file does not exist (config
 * stays empty and not loaded), 1 when it was read or found unusable (its
 * failure recorded), or kInternalFailure. */
static int readConfig(const char* file, const char* tree, struct Config* config) {
  FILE* in = fopen(file, "re");
  if (in == NULL) {
    /* Present but unreadable is a failure; absent is simply not relocated. */
    if (access(file, F_OK) != 0) return 0;
    config->failure = kUnreadableConfig;
    return 1;
  }
  char* line = NULL;
  size_t capacity = 0;
  ssize_t length;
  int result = 1;
  while ((length = getline(&line, &capacity, in)) >= 0) {
    const int parsed = parseLine(line, (size_t)length, tree, config);
    if (parsed == kInternalFailure) {
      result = kInternalFailure;
      break;
    }
    if (parsed != 0) {
      config->failure = parsed;
      break;
    }
  }
  if (result == 1 && config->failure == 0 && ferror(in)) config->failure = kUnreadableConfig;
  /* getline fails for want of memory the same way as at the end of the file. */
  if (result == 1 && length < 0 && !feof(in) && !ferror(in)) result = kInternalFailure;
  free(line);
  fclose(in);
  if (result == 1 && config->failure != 0) {
    /* A failing file answers only its failure. */
    struct Config failed = {0};
    failed.failure = config->failure;
    clearConfig(config);
    *config = failed;
  }
  return result;
}

/* Reads the first configuration file that exists, once. Returns 0 or
 * kInternalFailure. */
static int load(struct Config* config) {
  if (config->loaded) return 0;
  char* libDir = libraryDirectory();
  if (libDir == NULL) return kInternalFailure;
  /* The installation tree is the directory above the library's own. */
  char* tree = parentOf(libDir);
  char* besideLibrary = NULL;
  char* inTreeEtc = NULL;
  int result = kInternalFailure;
  if (tree != NULL && asprintf(&besideLibrary, "%s/%s", libDir, kConfigName) >= 0 &&
      asprintf(&inTreeEtc, "%s/etc/%s", tree, kConfigName) >= 0) {
    result = readConfig(besideLibrary, tree, config);
    if (result == 0) result = readConfig(inTreeEtc, tree, config);
  }
  free(libDir);
  free(tree);
  free(besideLibrary);
  free(inTreeEtc);
  if (result == kInternalFailure) {
    clearConfig(config);
    return kInternalFailure;
  }
  config->loaded = 1;
  return 0;
}

static int lookUp(const struct Config* config, const char* key, char* buffer, int size) {
  if (config->failure != 0) return config->failure;
  for (size_t i = 0; i < config->count; ++i) {
    if (strcmp(config->entries[i].key, key) != 0) continue;
    const size_t length = strlen(config->entries[i].dir);
    if (length + 1 > (size_t)size) return kValueTooLong;
    memcpy(buffer, config->entries[i].dir, length + 1);
    return (int)length;
  }
  return 0;
}

__attribute__((visibility("default"))) int get_relocated_dir(const char* key, char* buffer,
                                                              int size) {
  if (key == NULL || buffer == NULL || size <= 0) return kBadArguments;
  pthread_mutex_lock(&g_lock);
  int result = load(&g_config);
  if (result == 0) result = lookUp(&g_config, key, buffer, size);
  pthread_mutex_unlock(&g_lock);
  return result;
}
