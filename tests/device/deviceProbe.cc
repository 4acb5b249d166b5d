// deviceProbe: drives the device layer of the tool from the command line, to
// be run under the simulated driver. Commands, run in order:
//   find SERIAL     findInterfacePath (SERIAL in any base strtoul takes);
//                   prints "[path]"
//   requests NODE   opens NODE with tInterfaceProxy_ae and issues each of the
//                   21 AE operations once, with a fresh status each; prints
//                   one line per operation: its out-parameters and status
//   plan KEY=VALUE  planEntry only (no write); prints the step reached, the
//                   device path, the size and the bytes
//   read NODE:PORT:PROPERTY  readPropertyValue; prints the value's bytes
// A failure that is thrown is printed as the tool prints it ("Error (" ...)
// and ends the run with status 1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "device/deviceLookup.h"
#include "device/propertyAccess.h"
#include "device/tInterfaceProxy_ae.h"
#include "error/Exception.h"
#include "restore/entryPlan.h"
#include "restore/reports.h"
#include "tqapal/tCompactStatus.h"
#include "tqapal/tStatus.h"

namespace {

using nTQVLKAET100::tInterfaceProxy_ae;
using nTQVLKAET100::nTQAPAL000::tCompactStatus;
using nTQVLKAET100::nTQAPAL000::tCompactStatusAdaptor;
using nTQVLKAET100::nTQAPAL000::tStatus;
using u32 = std::uint32_t;
using u64 = std::uint64_t;

std::string hex(u64 value) {
  char text[24];
  std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

// One operation with a fresh status and adaptor; returns the merged status
// as "code:line:file".
std::string issue(const std::function<void(tCompactStatus&)>& operation) {
  tStatus status;
  tCompactStatusAdaptor adaptor(status);
  operation(adaptor.block());
  adaptor.mergeBack();
  return std::to_string(status.code) + ":" + std::to_string(status.line) + ":" + status.file;
}

void requests(const char* node) {
  tInterfaceProxy_ae proxy;
  {
    tStatus status;
    proxy.open(node, status);
    nTQVLKAET100::nTQAPAL000::throwIfFatal(status);
  }
  // Distinct argument values, so that a field at a wrong offset shows.
  const u32 a = 0xa1, b = 0xb2, c = 0xc3, d = 0xd4, e = 0xe5, f = 0xf6;
  const u64 a64 = 0xa1000000a1, c64 = 0xc3000000c3, d64 = 0xd4000000d4;
  const u64 sent = 0x7700000077;
  const u32 propertyValue = 0x2a;
  u32 value32 = 0;
  u64 value64 = sent;
  u64 values[3] = {0, 0, 0};
  std::string s;
  auto line = [](const char* name, const std::string& outputs, const std::string& status) {
    std::cout << name << outputs << " status=" << status << "\n";
  };
  s = issue([&](tCompactStatus& st) { proxy.aeRequest01(a, b, c, d, value32, st); });
  line("aeRequest01", " value=" + hex(value32), s);
  line("aeRequest02", "", issue([&](tCompactStatus& st) { proxy.aeRequest02(a, b, st); }));
  line("aeRequest03", "",
       issue([&](tCompactStatus& st) { proxy.aeRequest03(a, b, c64, d64, st); }));
  line("aeRequest04", "", issue([&](tCompactStatus& st) { proxy.aeRequest04(a, b, st); }));
  line("aeRequest05", "", issue([&](tCompactStatus& st) { proxy.aeRequest05(a, b, st); }));
  line("aeRequest06", "", issue([&](tCompactStatus& st) { proxy.aeRequest06(a, b, st); }));
  s = issue([&](tCompactStatus& st) {
    proxy.setProperty(1, nTQVLKAET100::kAllSelectors, 0x13FFF7, &propertyValue, 4, st);
  });
  line("setProperty", "", s);
  value32 = 0;
  s = issue([&](tCompactStatus& st) {
    proxy.getProperty(1, nTQVLKAET100::kAllSelectors, 0x13FFF7, nullptr, 0, value32, st);
  });
  line("getProperty", " size=" + hex(value32), s);
  line("aeRequest0B", "", issue([&](tCompactStatus& st) { proxy.aeRequest0B(a64, b, st); }));
  s = issue([&](tCompactStatus& st) { proxy.aeRequest0C(a, b, c, d, values, st); });
  line("aeRequest0C", " values=" + hex(values[0]) + "," + hex(values[1]) + "," + hex(values[2]), s);
  line("aeRequest0D", "", issue([&](tCompactStatus& st) { proxy.aeRequest0D(a, b, c, d, st); }));
  s = issue([&](tCompactStatus& st) { proxy.aeRequest0E(a, b, c64, value64, e, st); });
  line("aeRequest0E", " value=" + hex(value64), s);
  line("aeRequest0F", "", issue([&](tCompactStatus& st) { proxy.aeRequest0F(a, b, c, d, st); }));
  line("aeRequest10", "", issue([&](tCompactStatus& st) { proxy.aeRequest10(a, b, c, d, st); }));
  line("aeRequest11", "", issue([&](tCompactStatus& st) { proxy.aeRequest11(a, b, c64, d, st); }));
  line("aeRequest13", "", issue([&](tCompactStatus& st) { proxy.aeRequest13(st); }));
  line("aeRequest14", "", issue([&](tCompactStatus& st) { proxy.aeRequest14(st); }));
  value64 = sent;
  s = issue([&](tCompactStatus& st) { proxy.aeRequest15(a, b, c64, value64, e, f, st); });
  line("aeRequest15", " value=" + hex(value64), s);
  value64 = sent;
  s = issue([&](tCompactStatus& st) { proxy.aeRequest17(a, b, c64, value64, e, f, st); });
  line("aeRequest17", " value=" + hex(value64), s);
  line("aeRequest18", "", issue([&](tCompactStatus& st) { proxy.aeRequest18(a, b, c, st); }));
  line("aeRequest19", "", issue([&](tCompactStatus& st) { proxy.aeRequest19(a, b, c64, st); }));
}

std::string bytesHex(const unsigned char* bytes, std::size_t count) {
  std::string text;
  char digits[3];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(digits, sizeof(digits), "%02x", bytes[i]);
    text += digits;
  }
  return text;
}

void plan(const std::string& entry) {
  const std::size_t equals = entry.find('=');
  nTQVLKAET100::tEntryPlan p =
      nTQVLKAET100::planEntry(entry.substr(0, equals), entry.substr(equals + 1));
  std::cout << "plan step=" << static_cast<int>(p.step) << " path=[" << p.devicePath
            << "] size=" << p.size << " bytes=" << bytesHex(p.bytes, p.failed() ? 0 : p.size)
            << "\n";
}

void read(const std::string& target) {
  const std::size_t first = target.find(':');
  const std::size_t second = target.find(':', first + 1);
  tInterfaceProxy_ae proxy;
  tStatus status;
  proxy.open(target.substr(0, first), status);
  const std::vector<unsigned char> value = nTQVLKAET100::readPropertyValue(
      proxy, static_cast<u32>(std::stoul(target.substr(first + 1, second - first - 1))),
      static_cast<u32>(std::stoul(target.substr(second + 1), nullptr, 0)), status);
  nTQVLKAET100::nTQAPAL000::throwIfFatal(status);
  std::cout << "read value=" << bytesHex(value.data(), value.size()) << "\n";
}

}  // namespace

int main(int argc, char* argv[]) {
  try {
    for (int i = 1; i + 1 < argc; i += 2) {
      if (std::strcmp(argv[i], "find") == 0) {
        const auto serial = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 0));
        const std::string path = nTQVLKAET100::findInterfacePath(serial);
        std::cout << "[" << path << "]\n";
      } else if (std::strcmp(argv[i], "requests") == 0) {
        requests(argv[i + 1]);
      } else if (std::strcmp(argv[i], "plan") == 0) {
        plan(argv[i + 1]);
      } else if (std::strcmp(argv[i], "read") == 0) {
        read(argv[i + 1]);
      } else {
        std::cerr << "deviceProbe: unknown command " << argv[i] << "\n";
        return 2;
      }
    }
  } catch (const tqerr::ExceptionBase& error) {
    nTQVLKAET100::reportError(std::cerr, error);
    return 1;
  }
  return 0;
}
