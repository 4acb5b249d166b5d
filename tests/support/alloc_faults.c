// SPDX-License-Identifier: MIT
/* Preloaded into the tool, before the simulated driver, by the tests of a
 * full memory: it makes chosen allocations of the program fail as a
 * malloc without memory does (null, errno ENOMEM).
 *
 * TQ_ALLOC_FAULT, words separated by spaces:
 *   nth=N            fail the Nth allocation only (counted from 1)
 *   size=S           fail the allocations of exactly S bytes ...
 *   from=F times=T   ... number F (default 1) to F+T-1 among them (T=0, the
 *                    default: every one from F on)
 * Unset or empty: nothing fails, allocations are only counted.
 *
 * Allocations are counted from this library's start; those the simulator
 * makes for itself (while its tqsim_busy is not zero) are neither counted nor
 * failed, so the bench, the tree and the log stay whole. Each failure adds
 * "fault alloc n=<N> size=<S>" to the simulator's log (TQSIM_LOG), and exit
 * adds "alloc count=<N>", the number of allocations counted.
 *
 * The program's memory comes from the C library's own allocator, so this
 * must not be combined with a sanitizer's runtime or valgrind. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* old, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

/* Defined by the simulated driver when it is loaded. */
extern int tqsim_busy __attribute__((weak));

static int g_armed;
static unsigned long g_nth;
static unsigned long g_size;
static int g_bySize;
static unsigned long g_from = 1;
static unsigned long g_times;
static unsigned long g_count;
static unsigned long g_matches;
static int g_log = -1;

/* No stdio here: it may allocate, and this runs inside the allocator. */
static char* appendNumber(char* at, unsigned long value) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) *at++ = digits[--n];
  return at;
}

static char* appendText(char* at, const char* text) {
  const size_t length = strlen(text);
  memcpy(at, text, length);
  return at + length;
}

static void logLine(const char* first, unsigned long a, const char* second, unsigned long b,
                    int withSecond) {
  if (g_log < 0) return;
  char line[128];
  char* at = appendNumber(appendText(line, first), a);
  if (withSecond) at = appendNumber(appendText(at, second), b);
  *at++ = '\n';
  ssize_t ignored = write(g_log, line, (size_t)(at - line));
  (void)ignored;
}

static unsigned long number(const char* text) {
  unsigned long value = 0;
  while (*text >= '0' && *text <= '9') value = value * 10 + (unsigned long)(*text++ - '0');
  return value;
}

static void readWord(const char* word) {
  if (strncmp(word, "nth=", 4) == 0) {
    g_nth = number(word + 4);
  } else if (strncmp(word, "size=", 5) == 0) {
    g_size = number(word + 5);
    g_bySize = 1;
  } else if (strncmp(word, "from=", 5) == 0) {
    g_from = number(word + 5);
  } else if (strncmp(word, "times=", 6) == 0) {
    g_times = number(word + 6);
  }
}

__attribute__((constructor)) static void start(void) {
  const char* log = getenv("TQSIM_LOG");
  if (log != NULL && *log != 0) {
    /* Straight to the kernel: the simulator would count this descriptor
     * among the program's own. */
    g_log = (int)syscall(SYS_openat, AT_FDCWD, log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC,
                         0644);
  }
  const char* faults = getenv("TQ_ALLOC_FAULT");
  for (const char* word = faults; word != NULL && *word != 0;) {
    while (*word == ' ') ++word;
    readWord(word);
    word = strchr(word, ' ');
  }
  g_armed = 1;
}

__attribute__((destructor)) static void finish(void) {
  g_armed = 0;
  logLine("alloc count=", g_count, "", 0, 0);
}

static int failNow(size_t size) {
  if (!g_armed || (&tqsim_busy != NULL && tqsim_busy != 0)) return 0;
  const unsigned long n = ++g_count;
  int fail = 0;
  if (g_nth != 0) {
    fail = n == g_nth;
  } else if (g_bySize && size == g_size) {
    const unsigned long match = ++g_matches;
    fail = match >= g_from && (g_times == 0 || match < g_from + g_times);
  }
  if (fail) {
    logLine("fault alloc n=", n, " size=", size, 1);
    errno = ENOMEM;
  }
  return fail;
}

void* malloc(size_t size) {
  return failNow(size) ? NULL : __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  return failNow(count * size) ? NULL : __libc_calloc(count, size);
}

void* realloc(void* old, size_t size) {
  /* realloc(p, 0) frees: there is nothing to fail. */
  if (size == 0 || !failNow(size)) return __libc_realloc(old, size);
  return NULL;
}

void* memalign(size_t alignment, size_t size) {
  return failNow(size) ? NULL : __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
  return memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
  if (failNow(size)) return ENOMEM;
  void* memory = __libc_memalign(alignment, size);
  if (memory == NULL) return ENOMEM;
  *result = memory;
  return 0;
}
