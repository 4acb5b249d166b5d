// SPDX-License-Identifier: MIT
/* tqfloor: the least a program can do to list the AE interfaces or to
 * restore the stored port settings, used as the yardstick of the benchmark.
 *
 * It makes the same library and system calls as tqvlkaepropinit, in the same
 * order: at start-up the relocation library is loaded, asked for its 19
 * directories and unloaded; listing globs the interfaces and reads
 * SerialNum, NumPorts, PID and interfacePath of each; restore opens, locks,
 * sizes and reads the settings file in one read, then for every PortSetting
 * entry globs the interfaces, reads SerialNum until the serial matches, reads
 * the interfacePath, opens the node, asks the property's size, writes the
 * value and closes; the port pass globs again, and for every interface reads
 * SerialNum and NumPorts, looks the serial up with a fresh glob, opens the
 * node and writes forcelinkdisable 0 to each port.
 *
 * It trusts its input: the benchmark gives it well-formed benches and
 * settings files, so it checks only what it must to stay memory-safe, stops
 * at the first failure, and prints nothing but the listing. Duplicate keys,
 * conversion errors and the other reports of the tool are not looked for. */
#define _GNU_SOURCE
#include <ctype.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <glob.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kReadLimit = 4096, kRelocationBufferSize = 255 };

static const char kPattern[] = "/proc/driver/tq/*/deviceInterfaces/ae_ae\\\\*";
static const unsigned long kSetProperty = 0x200109;
static const unsigned long kGetProperty = 0x20010A;
static const uint32_t kForceLinkDisable = 0x0210FEEA;

static const char* const kRelocationKeys[19] = {
    "prefixdir",      "execprefixdir", "bindir",       "sbindir",         "libdir",
    "lib32dir",       "lib64dir",      "nativelibdir", "multiarchlibdir", "libexecdir",
    "sharedstatedir", "datarootdir",   "datadir",      "sysconfdir",      "localstatedir",
    "runstatedir",    "includedir",    "docdir",       "initddir"};

static const struct {
  const char* name;
  uint32_t id;
} kProperties[7] = {{"portmode", 0x13FFFE},
                    {"phystate", 0x13FFFD},
                    {"forcelinkdisable", 0x0210FEEA},
                    {"linkspeed", 0x13FFF7},
                    {"jumboframes", 0x13FFF5},
                    {"interruptmoderation", 0x13FFF3},
                    {"sleepcapabilityconfigured", 0x13FFEF}};

struct CompactStatus {
  int32_t code;
  uint32_t line;
  char file[24];
};

struct IoctlBlock {
  uint64_t input;
  uint64_t output;
  uint32_t inputSize;
  uint32_t outputSize;
  uint32_t bytesReturned;
  uint32_t reserved;
};

struct PropertyRequest {
  uint32_t port;
  uint32_t selector;
  uint32_t propertyId;
  uint64_t buffer;
  uint32_t bufferSize;
  struct CompactStatus status;
};

struct SizeReply {
  uint32_t size;
  struct CompactStatus status;
};

static char g_sharedStateDir[kRelocationBufferSize] = "/var/lib";

/* Start-up: what the tool's relocation table does before main. */
static void loadRelocations(void) {
  void* handle = dlopen("libtqrelocations.so.0", RTLD_NOW | RTLD_GLOBAL);
  if (handle == NULL) return;
  int (*get)(const char*, char*, int) =
      (int (*)(const char*, char*, int))dlsym(handle, "get_relocated_dir");
  if (get != NULL) {
    for (size_t i = 0; i < sizeof kRelocationKeys / sizeof kRelocationKeys[0]; ++i) {
      char buffer[kRelocationBufferSize];
      const int answer = get(kRelocationKeys[i], buffer, kRelocationBufferSize);
      if (answer < 0) break;
      if (answer > 0 && strcmp(kRelocationKeys[i], "sharedstatedir") == 0) {
        memcpy(g_sharedStateDir, buffer, sizeof g_sharedStateDir);
        g_sharedStateDir[sizeof g_sharedStateDir - 1] = 0;
      }
    }
  }
  dlclose(handle);
}

/* One /proc file: fopen "re", one fread of up to 4096 bytes, fclose. */
static size_t readProcFile(const char* path, void* buffer, size_t size) {
  FILE* file = fopen(path, "re");
  if (file == NULL) exit(1);
  char content[kReadLimit];
  const size_t count = fread(content, 1, sizeof content, file);
  fclose(file);
  if (count > size) exit(1);
  memcpy(buffer, content, count);
  return count;
}

/* <device>/deviceInterfaces/<kind>\<n> -> <device>/deviceProperties/<name> */
static uint32_t readProperty(const char* interfaceDir, const char* name) {
  char path[kReadLimit];
  const char* end = interfaceDir + strlen(interfaceDir);
  int slashes = 0;
  while (end > interfaceDir && slashes < 2) {
    --end;
    if (*end == '/') ++slashes;
  }
  snprintf(path, sizeof path, "%.*s/deviceProperties/%s", (int)(end - interfaceDir), interfaceDir,
           name);
  uint32_t value = 0;
  readProcFile(path, &value, sizeof value);
  return value;
}

static size_t readInterfacePath(const char* interfaceDir, char* out) {
  char path[kReadLimit];
  snprintf(path, sizeof path, "%s/interfacePath", interfaceDir);
  const size_t count = readProcFile(path, out, 255);
  out[count] = 0;
  return count;
}

static int searchInterfaces(glob_t* found) {
  const int result = glob(kPattern, GLOB_ONLYDIR, NULL, found);
  if (result != 0 && result != GLOB_NOMATCH) exit(1);
  return result == 0;
}

/* The node path of the first interface whose SerialNum is serial, or "". */
static void findInterfacePath(uint32_t serial, char* out) {
  glob_t found;
  out[0] = 0;
  if (searchInterfaces(&found)) {
    for (size_t i = 0; i < found.gl_pathc; ++i) {
      if (readProperty(found.gl_pathv[i], "SerialNum") == serial) {
        readInterfacePath(found.gl_pathv[i], out);
        break;
      }
    }
  }
  globfree(&found);
}

static void request(int fd, unsigned long code, const struct PropertyRequest* in, void* out,
                    uint32_t outSize) {
  struct IoctlBlock block = {(uintptr_t)in, (uintptr_t)out, sizeof *in, outSize, 0, 0};
  if (ioctl(fd, code, &block) == -1) exit(1);
  if (((const struct CompactStatus*)((const char*)out + outSize - 32))->code < 0) exit(1);
}

static void setProperty(int fd, uint32_t port, uint32_t id, const void* value, uint32_t size) {
  struct PropertyRequest in = {port, 0xFFFFFFFFu, id, (uintptr_t)value, size, {0, 0, {0}}};
  struct CompactStatus reply = {0, 0, {0}};
  request(fd, kSetProperty, &in, &reply, sizeof reply);
}

static void applyEntry(const char* key, const char* value) {
  unsigned int serial = 0;
  unsigned int port = 0;
  char word[256];
  if (strlen(key) >= sizeof word) exit(1);
  if (sscanf(key, "%x_%u_%s", &serial, &port, word) != 3) exit(1);
  for (char* c = word; *c; ++c) *c = (char)tolower((unsigned char)*c);
  uint32_t id = 0;
  size_t i = 0;
  while (i < 7 && strcmp(kProperties[i].name, word) != 0) ++i;
  if (i == 7) exit(1);
  id = kProperties[i].id;

  char path[256];
  findInterfacePath(serial, path);
  if (path[0] == 0) return;
  const int fd = open(path, O_RDWR | O_CLOEXEC);
  if (fd == -1) exit(1);
  struct PropertyRequest in = {port, 0xFFFFFFFFu, id, 0, 0, {0, 0, {0}}};
  struct SizeReply sizeReply = {0, {0, 0, {0}}};
  request(fd, kGetProperty, &in, &sizeReply, sizeof sizeReply);
  unsigned char buffer[4] = {0, 0, 0, 0};
  if (sizeReply.size == 4) {
    const uint32_t number = (uint32_t)strtoul(value, NULL, 10);
    memcpy(buffer, &number, sizeof number);
  } else if (sizeReply.size == 1) {
    buffer[0] = (unsigned char)value[0];
  } else {
    exit(1);
  }
  setProperty(fd, port, id, buffer, sizeReply.size);
  close(fd);
}

static char* trim(char* begin, char* end) {
  while (begin < end && isspace((unsigned char)*begin)) ++begin;
  while (end > begin && isspace((unsigned char)end[-1])) --end;
  *end = 0;
  return begin;
}

/* Walks the lines of the text and applies the PortSetting entries. */
static void applySettings(char* text) {
  int inSection = 0;
  char* line = text;
  while (*line) {
    char* end = strchr(line, '\n');
    char* next = end ? end + 1 : line + strlen(line);
    if (end == NULL) end = next;
    char* content = trim(line, end);
    if (content[0] == '[') {
      char* close = strchr(content, ']');
      inSection = close != NULL && strcmp(trim(content + 1, close), "PortSetting") == 0;
    } else if (inSection && content[0] != 0 && content[0] != ';' && content[0] != '#') {
      char* equals = strchr(content, '=');
      if (equals == NULL) exit(1);
      char* value = trim(equals + 1, equals + 1 + strlen(equals + 1));
      char* key = trim(content, equals);
      char* out = value;
      for (char* in = value; *in; ++in) {
        if (*in != '"') *out++ = *in;
      }
      *out = 0;
      applyEntry(key, value);
    }
    line = next;
  }
}

static void loadAndApplySettings(void) {
  char path[kRelocationBufferSize + 32];
  snprintf(path, sizeof path, "%s/tq-vlnk/tqvlkae.ini", g_sharedStateDir);
  const int fd = open(path, O_RDONLY);
  if (fd == -1) return;
  if (flock(fd, LOCK_SH) != 0) exit(1);
  struct stat info;
  if (fstat(fd, &info) != 0) exit(1);
  char* text = NULL;
  if (info.st_size > 0) {
    text = calloc((size_t)info.st_size + 1, 1);
    if (text == NULL || read(fd, text, (size_t)info.st_size) == -1) exit(1);
  }
  flock(fd, LOCK_UN);
  close(fd);
  if (text != NULL) applySettings(text);
  free(text);
}

static void clearForceLinkDisable(void) {
  glob_t found;
  if (searchInterfaces(&found)) {
    for (size_t i = 0; i < found.gl_pathc; ++i) {
      const uint32_t serial = readProperty(found.gl_pathv[i], "SerialNum");
      const uint32_t ports = readProperty(found.gl_pathv[i], "NumPorts");
      char path[256];
      findInterfacePath(serial, path);
      const int fd = open(path, O_RDWR | O_CLOEXEC);
      if (fd == -1) exit(1);
      for (uint32_t port = 0; port < ports; ++port) {
        const unsigned char zero = 0;
        setProperty(fd, port, kForceLinkDisable, &zero, 1);
      }
      close(fd);
    }
  }
  globfree(&found);
}

static void listInterfaces(void) {
  glob_t found;
  if (searchInterfaces(&found)) {
    for (size_t i = 0; i < found.gl_pathc; ++i) {
      const uint32_t serial = readProperty(found.gl_pathv[i], "SerialNum");
      const uint32_t ports = readProperty(found.gl_pathv[i], "NumPorts");
      const uint32_t pid = readProperty(found.gl_pathv[i], "PID");
      char path[256];
      readInterfacePath(found.gl_pathv[i], path);
      printf("%x %s %x %x\n", serial, path, ports, pid);
    }
  }
  globfree(&found);
}

int main(int argc, char** argv) {
  loadRelocations();
  if (argc == 1) {
    listInterfaces();
    return 0;
  }
  if (strcmp(argv[1], "-r") != 0 && strcmp(argv[1], "--restore") != 0) return 1;
  loadAndApplySettings();
  clearForceLinkDisable();
  return 0;
}
