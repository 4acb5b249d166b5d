// SPDX-License-Identifier: MIT
#include "productpath/cPath.h"

#include "error/Exception.h"
#include "error/JsonStatus.h"
#include "error/cExceptionBase.h"
#include "productpath/utf8.h"
#include "tqapal/tStatus.h"
#include "tqsysq/stdpath_util.h"

namespace nTQVLKAET100 {
namespace vlpath {

namespace {

using nENSPAN000::cExceptionBase;
using nENSPAN000::kFileNumber;
using nENSPAN000::kModule;

constexpr std::uint32_t kLineBadKind = 171;
constexpr std::uint32_t kLineBadUtf8 = 513;

const tqerr::ErrorLocation kFromMbsLocation = {"tqsstutf8/mbsToUtf8", 77,
                                               nTQAPAL000::kComponentTool, "err"};
const tqerr::ErrorLocation kToMbsLocation = {"tqsstutf8/mbsToUtf8", 99, nTQAPAL000::kComponentTool,
                                             "err"};

[[noreturn]] void throwConversionFailure(std::int32_t code, const tqerr::ErrorLocation& where) {
  tqerr::JsonStatus status;
  bool ok = true;
  tqerr::setCodeWithLocation(status, code, where, &ok);
  throw tqerr::Exception(status);
}

enum class Base { kSharedState, kDataRoot, kShareData, kTemp, kUserConfig, kKbUser };

struct KindRow {
  Base base;
  const char* components[2];  // null where a row has fewer
  bool create;
};

// The directory of each kind: its base directory, then fixed components.
KindRow rowOf(std::uint32_t kind) {
  switch (kind) {
    case 0:
    case 6:
    case 14:
    case 18:
      return {Base::kSharedState, {kProductDirName, nullptr}, false};
    case 1:
      return {Base::kSharedState, {kProductDirName, "dbCache"}, false};
    case 3:
    case 11:
    case 12:
      return {Base::kSharedState, {kProductDirName, "log"}, false};
    case 4:
      return {Base::kDataRoot, {kProductDirName, "firmware"}, false};
    case 5:
    case 16:
    case 22:
      return {Base::kDataRoot, {kProductDirName, nullptr}, false};
    case 19:
    case 20:
      return {Base::kDataRoot, {kProductDirName, "assistant"}, false};
    case 23:
      return {Base::kDataRoot, {kProductDirName, "examples"}, false};
    case 7:
      return {Base::kShareData, {"errors", "English"}, false};
    case 8:
      return {Base::kShareData, {"errors", "German"}, false};
    case 9:
      return {Base::kShareData, {"errors", "French"}, false};
    case 10:
      return {Base::kShareData, {"errors", "Japanese"}, false};
    case 13:
      return {Base::kTemp, {kProductDirName, nullptr}, false};
    case 2:
    case 15:
      return {Base::kUserConfig, {kProductDirName, nullptr}, true};
    case 21:
      return {Base::kUserConfig, {kProductDirName, nullptr}, false};
    default:  // 17
      return {Base::kKbUser, {nullptr, nullptr}, false};
  }
}

std::string baseDirectory(Base base, cSysqWrapper& wrapper) {
  switch (base) {
    case Base::kSharedState:
      return wrapper.getSharedStateDir();
    case Base::kDataRoot:
      return wrapper.getDataRootDir();
    case Base::kShareData:
      return wrapper.getShareDataDir();
    case Base::kTemp:
      return wrapper.getTempDir();
    case Base::kUserConfig:
      return wrapper.getUserConfigDir(false);
    case Base::kKbUser:
      break;
  }
  return "/home/kbuser";
}

}  // namespace

cPath::cPath(std::uint32_t kind, cSysqWrapper& wrapper) {
  try {
    build(kind, wrapper);
  } catch (...) {
    nENSPAN000::translateCurrentException();
  }
}

void cPath::build(std::uint32_t kind, cSysqWrapper& wrapper) {
  if (kind > kMaxDirectoryKind) throw cExceptionBase(kModule, kFileNumber, kLineBadKind);
  const KindRow row = rowOf(kind);
  appendUtf8(baseDirectory(row.base, wrapper));
  for (const char* component : row.components) {
    if (component != nullptr) appendUtf8(component);
  }
  if (row.create) wrapper.createDirectories(path_.c_str(), nullptr);
}

cPath& cPath::appendUtf8(const std::string& component) {
  try {
    if (!isValidUtf8(component)) throw cExceptionBase(kModule, kFileNumber, kLineBadUtf8);
    std::string head = path_;
    std::string tail = component;
    tqsysq::trimPath(head);
    tqsysq::trimPath(tail);
    path_ = head.empty() ? tail : head + "/" + tail;
  } catch (...) {
    nENSPAN000::translateCurrentException();
  }
  return *this;
}

cPath& cPath::appendMbs(const char* component) {
  try {
    std::string converted;
    const std::int32_t code = mbsToUtf8(component, converted);
    if (code != 0) throwConversionFailure(code, kFromMbsLocation);
    appendUtf8(converted);
  } catch (...) {
    nENSPAN000::translateCurrentException();
  }
  return *this;
}

std::string cPath::getUtf8() {
  return path_;
}

std::string cPath::getMbs() {
  try {
    std::string converted;
    const std::int32_t code = utf8ToMbs(path_, converted);
    if (code != 0) throwConversionFailure(code, kToMbsLocation);
    return converted;
  } catch (...) {
    nENSPAN000::translateCurrentException();
  }
}

void cPath::copyUtf8(char* buffer, std::uint64_t size) {
  nENSPAN000::boundedCopy(getUtf8(), buffer, size);
}

void cPath::copyMbs(char* buffer, std::uint64_t size) {
  nENSPAN000::boundedCopy(getMbs(), buffer, size);
}

}  // namespace vlpath
}  // namespace nTQVLKAET100
