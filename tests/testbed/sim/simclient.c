// SPDX-License-Identifier: MIT
/* A client of the simulated driver that makes the calls the tool makes, so
 * the simulator can be tested without the tool. Each command prints one
 * line; commands run in order in one process (the driver keeps its values
 * per process):
 *   list                          glob the AE interfaces, read their files
 *   size NODE PORT PROP           0x20010A with buffer 0
 *   get NODE PORT PROP BUFSIZE    0x20010A with a buffer
 *   set NODE PORT PROP HEX        0x200109 with the value bytes
 *   warn NODE PORT PROP HEX       as set, sending a warning status block
 *   raw NODE REQ INSIZE OUTSIZE   any request; input bytes 0, 1, 2, ...
 *   badptr NODE                   ioctl with an unreadable argument block
 *   dirty NODE RETURNED ZERO      0x200113 with those values in the block's
 *                                 bytes-returned and last words
 *   file PATH                     open, flock shared, fstat, read
 *   leak PATH                     open and never close
 *   pipe                          FIONREAD on a pipe: ioctl passes through
 *   opens PATH                    open PATH read-write through every entry of
 *                                 the C library (plain, 64-bit, fortified, at)
 */
#define _GNU_SOURCE /* open64, openat64 */
#include <errno.h>
#include <fcntl.h>
#include <glob.h>
#include <libgen.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

/* The fortified entries, which the headers declare only for fortified
 * builds. */
int __open_2(const char* path, int flags);
int __open64_2(const char* path, int flags);
int __openat_2(int dirfd, const char* path, int flags);
int __openat64_2(int dirfd, const char* path, int flags);

static void open_variants(const char* path) {
  const int flags = O_RDWR | O_CLOEXEC;
  const struct {
    const char* name;
    int fd;
  } opened[] = {
      {"open", open(path, flags)},
      {"open64", open64(path, flags)},
      {"__open_2", __open_2(path, flags)},
      {"__open64_2", __open64_2(path, flags)},
      {"openat", openat(AT_FDCWD, path, flags)},
      {"openat64", openat64(AT_FDCWD, path, flags)},
      {"__openat_2", __openat_2(AT_FDCWD, path, flags)},
      {"__openat64_2", __openat64_2(AT_FDCWD, path, flags)},
  };
  for (size_t i = 0; i < sizeof opened / sizeof opened[0]; ++i) {
    printf("%s%s=%d", i == 0 ? "" : " ", opened[i].name, opened[i].fd >= 0);
    if (opened[i].fd >= 0) close(opened[i].fd);
  }
  printf("\n");
}

struct compact {
  int32_t code;
  uint32_t line;
  char file[24];
};

struct block {
  uint64_t in, out;
  uint32_t in_size, out_size, returned, zero;
};

struct prop_request {
  uint32_t port, selector, property, pad0;
  uint64_t buffer;
  uint32_t buffer_size;
  struct compact status;
  uint32_t pad1;
};

struct get_reply {
  uint32_t size;
  struct compact status;
};

_Static_assert(sizeof(struct prop_request) == 64, "request record");
_Static_assert(sizeof(struct get_reply) == 36, "get reply");

static void print_hex(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) printf("%02x", p[i]);
}

static void print_status(const struct compact* s) {
  printf("status=%d:%u:%.24s", s->code, s->line, s->file);
}

static int read_file(const char* dir, const char* name, unsigned char* buf, size_t cap,
                     size_t* got) {
  char path[4096];
  snprintf(path, sizeof path, "%s/%s", dir, name);
  FILE* f = NULL;
  for (int i = 0; i < 10 && f == NULL; ++i) f = fopen(path, "re");
  if (f == NULL) {
    printf(" %s=fopen:%d", name, errno);
    return -1;
  }
  size_t n = fread(buf, 1, cap, f);
  int bad = ferror(f);
  fclose(f);
  if (bad) {
    printf(" %s=fread", name);
    return -1;
  }
  *got = n;
  return 0;
}

static void list(void) {
  glob_t g;
  int rc = glob("/proc/driver/tq/*/deviceInterfaces/ae_ae\\\\*", GLOB_ONLYDIR, NULL, &g);
  printf("glob=%d", rc);
  if (rc == 0) {
    for (size_t i = 0; i < g.gl_pathc; ++i) {
      unsigned char buf[4096];
      size_t n = 0;
      printf(" [%s", g.gl_pathv[i]);
      if (read_file(g.gl_pathv[i], "interfacePath", buf, sizeof buf, &n) == 0)
        printf(" path=%.*s", (int)n, (const char*)buf);
      char dev[4096];
      snprintf(dev, sizeof dev, "%s", g.gl_pathv[i]);
      dirname(dev);
      dirname(dev);
      static const char* const props[] = {"SerialNum", "NumPorts", "PID"};
      for (int p = 0; p < 3; ++p) {
        char name[64];
        snprintf(name, sizeof name, "deviceProperties/%s", props[p]);
        if (read_file(dev, name, buf, sizeof buf, &n) == 0) {
          printf(" %s=", props[p]);
          print_hex(buf, n);
        }
      }
      printf("]");
    }
  }
  globfree(&g);
  printf("\n");
}

static int open_node(const char* node) {
  int fd = open(node, O_RDWR | O_CLOEXEC);
  if (fd < 0) printf("open=%d\n", errno);
  return fd;
}

static int send_block(int fd, unsigned long req, void* in, uint32_t in_size, void* out,
                      uint32_t out_size, uint32_t returned, uint32_t zero) {
  struct block b = {(uint64_t)(uintptr_t)in, (uint64_t)(uintptr_t)out, in_size, out_size,
                    returned, zero};
  if (ioctl(fd, req, &b) == -1) {
    printf("ioctl=%d\n", errno);
    return -1;
  }
  return (int)b.returned;
}

static int send(int fd, unsigned long req, void* in, uint32_t in_size, void* out,
                uint32_t out_size) {
  return send_block(fd, req, in, in_size, out, out_size, 0, 0);
}

static int parse_hex(const char* text, unsigned char* out, size_t cap) {
  size_t n = strlen(text) / 2;
  if (n > cap) n = cap;
  for (size_t i = 0; i < n; ++i) sscanf(text + 2 * i, "%2hhx", &out[i]);
  return (int)n;
}

static void property(const char* node, int set, uint32_t port, uint32_t prop, const char* arg,
                     int warn) {
  int fd = open_node(node);
  if (fd < 0) return;
  unsigned char value[4096];
  memset(value, 0xee, sizeof value);
  struct prop_request r;
  memset(&r, 0, sizeof r);
  r.port = port;
  r.selector = 0xFFFFFFFFu;
  r.property = prop;
  if (warn) {
    r.status.code = 7;
    r.status.line = 12;
    strcpy(r.status.file, "client.c");
  }
  if (set) {
    r.buffer_size = (uint32_t)parse_hex(arg, value, sizeof value);
    r.buffer = (uint64_t)(uintptr_t)value;
    struct compact reply = {99, 99, "unset"};
    if (send(fd, 0x200109, &r, 64, &reply, 32) >= 0) {
      print_status(&reply);
      printf("\n");
    }
  } else {
    r.buffer_size = arg ? (uint32_t)strtoul(arg, NULL, 0) : 0;
    r.buffer = arg ? (uint64_t)(uintptr_t)value : 0;
    struct get_reply reply;
    memset(&reply, 0xaa, sizeof reply);
    if (send(fd, 0x20010A, &r, 64, &reply, 36) >= 0) {
      printf("size=%u ", reply.size);
      print_status(&reply.status);
      if (arg) {
        printf(" value=");
        print_hex(value, r.buffer_size);
      }
      printf("\n");
    }
  }
  close(fd);
}

static void raw(const char* node, unsigned long req, uint32_t in_size, uint32_t out_size) {
  int fd = open_node(node);
  if (fd < 0) return;
  unsigned char in[256], out[256];
  for (int i = 0; i < 256; ++i) in[i] = (unsigned char)i;
  memset(out, 0xaa, sizeof out);
  int returned = send(fd, req, in, in_size, out, out_size);
  if (returned >= 0) {
    printf("returned=%d reply=", returned);
    print_hex(out, out_size);
    printf("\n");
  }
  close(fd);
}

static void file(const char* path) {
  int fd = open(path, O_RDONLY);
  if (fd < 0) {
    printf("open=%d\n", errno);
    return;
  }
  if (flock(fd, LOCK_SH) != 0) {
    printf("flock=%d\n", errno);
    close(fd);
    return;
  }
  struct stat st;
  char buf[256];
  ssize_t n = fstat(fd, &st) == 0 ? read(fd, buf, sizeof buf) : -2;
  if (n < 0)
    printf("read=%d\n", errno);
  else
    printf("read=%.*s\n", (int)n, buf);
  flock(fd, LOCK_UN);
  close(fd);
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc;) {
    const char* cmd = argv[i];
    int left = argc - i - 1;
    if (strcmp(cmd, "list") == 0) {
      list();
      i += 1;
    } else if (strcmp(cmd, "size") == 0 && left >= 3) {
      property(argv[i + 1], 0, strtoul(argv[i + 2], NULL, 0), strtoul(argv[i + 3], NULL, 0), NULL,
               0);
      i += 4;
    } else if ((strcmp(cmd, "get") == 0 || strcmp(cmd, "set") == 0 || strcmp(cmd, "warn") == 0) &&
               left >= 4) {
      property(argv[i + 1], cmd[0] != 'g', strtoul(argv[i + 2], NULL, 0),
               strtoul(argv[i + 3], NULL, 0), argv[i + 4], cmd[0] == 'w');
      i += 5;
    } else if (strcmp(cmd, "raw") == 0 && left >= 4) {
      raw(argv[i + 1], strtoul(argv[i + 2], NULL, 0), strtoul(argv[i + 3], NULL, 0),
          strtoul(argv[i + 4], NULL, 0));
      i += 5;
    } else if (strcmp(cmd, "badptr") == 0 && left >= 1) {
      int fd = open_node(argv[i + 1]);
      if (fd >= 0) {
        if (ioctl(fd, 0x200109, (void*)8) == -1) printf("ioctl=%d\n", errno);
        close(fd);
      }
      i += 2;
    } else if (strcmp(cmd, "dirty") == 0 && left >= 3) {
      int fd = open_node(argv[i + 1]);
      if (fd >= 0) {
        struct compact in = {0, 0, ""}, out = {99, 99, "unset"};
        if (send_block(fd, 0x200113, &in, 32, &out, 32, strtoul(argv[i + 2], NULL, 0),
                       strtoul(argv[i + 3], NULL, 0)) >= 0)
          printf("dirty accepted\n");
        close(fd);
      }
      i += 4;
    } else if (strcmp(cmd, "file") == 0 && left >= 1) {
      file(argv[i + 1]);
      i += 2;
    } else if (strcmp(cmd, "pipe") == 0) {
      int fds[2];
      int pending = -1;
      if (pipe(fds) == 0 && write(fds[1], "abc", 3) == 3 && ioctl(fds[0], FIONREAD, &pending) == 0)
        printf("pending=%d\n", pending);
      else
        printf("pipe=%d\n", errno);
      i += 1;
    } else if (strcmp(cmd, "opens") == 0 && left >= 1) {
      open_variants(argv[i + 1]);
      i += 2;
    } else if (strcmp(cmd, "leak") == 0 && left >= 1) {
      printf("leak=%d\n", open(argv[i + 1], O_RDONLY) >= 0);
      i += 2;
    } else {
      fprintf(stderr, "simclient: bad command at '%s'\n", cmd);
      return 2;
    }
  }
  return 0;
}
