// SPDX-License-Identifier: MIT
// The request and reply records of the AE requests exchanged with the kernel
// driver, and their request codes.
//
// A request record holds the arguments in parameter order at naturally
// aligned offsets, then the caller's tCompactStatus; a record with a 64-bit
// field is padded to a multiple of 8 bytes. A reply record holds the results
// first, then the driver's tCompactStatus. Host byte order throughout. The
// driver reads these bytes, so every size and offset is pinned below.
#ifndef DEVICE_AERECORDS_H_
#define DEVICE_AERECORDS_H_

#include <cstddef>
#include <cstdint>

#include "tqapal/tCompactStatus.h"

namespace nTQVLKAET100 {
namespace ae {

using nTQAPAL000::tCompactStatus;

// Linux ioctl numbers: direction 0, argument size 32 (the ioctl block), type
// 1, request number in the low byte.
constexpr std::uint32_t requestCode(std::uint32_t number) {
  return (32u << 16) | (1u << 8) | number;
}

constexpr std::uint32_t kAeRequest01 = requestCode(0x01);
constexpr std::uint32_t kAeRequest02 = requestCode(0x02);
constexpr std::uint32_t kAeRequest03 = requestCode(0x03);
constexpr std::uint32_t kAeRequest04 = requestCode(0x04);
constexpr std::uint32_t kAeRequest05 = requestCode(0x05);
constexpr std::uint32_t kAeRequest06 = requestCode(0x06);
constexpr std::uint32_t kSetProperty = requestCode(0x09);
constexpr std::uint32_t kGetProperty = requestCode(0x0A);
constexpr std::uint32_t kAeRequest0B = requestCode(0x0B);
constexpr std::uint32_t kAeRequest0C = requestCode(0x0C);
constexpr std::uint32_t kAeRequest0D = requestCode(0x0D);
constexpr std::uint32_t kAeRequest0E = requestCode(0x0E);
constexpr std::uint32_t kAeRequest0F = requestCode(0x0F);
constexpr std::uint32_t kAeRequest10 = requestCode(0x10);
constexpr std::uint32_t kAeRequest11 = requestCode(0x11);
constexpr std::uint32_t kAeRequest13 = requestCode(0x13);
constexpr std::uint32_t kAeRequest14 = requestCode(0x14);
constexpr std::uint32_t kAeRequest15 = requestCode(0x15);
constexpr std::uint32_t kAeRequest17 = requestCode(0x17);
constexpr std::uint32_t kAeRequest18 = requestCode(0x18);
constexpr std::uint32_t kAeRequest19 = requestCode(0x19);

static_assert(kAeRequest01 == 0x200101);
static_assert(kSetProperty == 0x200109);
static_assert(kGetProperty == 0x20010A);
static_assert(kAeRequest19 == 0x200119);

// ---- Request records ----

// Only the caller's status: aeRequest13, aeRequest14.
struct tStatusOnlyRequest {
  tCompactStatus status;
};
static_assert(sizeof(tStatusOnlyRequest) == 32);
static_assert(offsetof(tStatusOnlyRequest, status) == 0);

// Two u32: aeRequest02, 04, 05, 06.
struct tU32x2Request {
  std::uint32_t a;
  std::uint32_t b;
  tCompactStatus status;
};
static_assert(sizeof(tU32x2Request) == 40);
static_assert(offsetof(tU32x2Request, a) == 0);
static_assert(offsetof(tU32x2Request, b) == 4);
static_assert(offsetof(tU32x2Request, status) == 8);

// Three u32: aeRequest18.
struct tU32x3Request {
  std::uint32_t a;
  std::uint32_t b;
  std::uint32_t c;
  tCompactStatus status;
};
static_assert(sizeof(tU32x3Request) == 44);
static_assert(offsetof(tU32x3Request, a) == 0);
static_assert(offsetof(tU32x3Request, b) == 4);
static_assert(offsetof(tU32x3Request, c) == 8);
static_assert(offsetof(tU32x3Request, status) == 12);

// Four u32: aeRequest01, 0C, 0D, 0F, 10.
struct tU32x4Request {
  std::uint32_t a;
  std::uint32_t b;
  std::uint32_t c;
  std::uint32_t d;
  tCompactStatus status;
};
static_assert(sizeof(tU32x4Request) == 48);
static_assert(offsetof(tU32x4Request, a) == 0);
static_assert(offsetof(tU32x4Request, b) == 4);
static_assert(offsetof(tU32x4Request, c) == 8);
static_assert(offsetof(tU32x4Request, d) == 12);
static_assert(offsetof(tU32x4Request, status) == 16);

// u32, u32, u64, u64: aeRequest03.
struct tU32x2U64x2Request {
  std::uint32_t a;
  std::uint32_t b;
  std::uint64_t c;
  std::uint64_t d;
  tCompactStatus status;
};
static_assert(sizeof(tU32x2U64x2Request) == 56);
static_assert(offsetof(tU32x2U64x2Request, a) == 0);
static_assert(offsetof(tU32x2U64x2Request, b) == 4);
static_assert(offsetof(tU32x2U64x2Request, c) == 8);
static_assert(offsetof(tU32x2U64x2Request, d) == 16);
static_assert(offsetof(tU32x2U64x2Request, status) == 24);

// setProperty and getProperty.
struct tPropertyRequest {
  std::uint32_t port;
  std::uint32_t selector;
  std::uint32_t propertyId;
  std::uint64_t buffer;  // address of the value bytes in the caller's memory
  std::uint32_t bufferSize;
  tCompactStatus status;
};
static_assert(sizeof(tPropertyRequest) == 64);
static_assert(offsetof(tPropertyRequest, port) == 0);
static_assert(offsetof(tPropertyRequest, selector) == 4);
static_assert(offsetof(tPropertyRequest, propertyId) == 8);
static_assert(offsetof(tPropertyRequest, buffer) == 16);
static_assert(offsetof(tPropertyRequest, bufferSize) == 24);
static_assert(offsetof(tPropertyRequest, status) == 28);

// u64, u32: aeRequest0B.
struct tU64U32Request {
  std::uint64_t a;
  std::uint32_t b;
  tCompactStatus status;
};
static_assert(sizeof(tU64U32Request) == 48);
static_assert(offsetof(tU64U32Request, a) == 0);
static_assert(offsetof(tU64U32Request, b) == 8);
static_assert(offsetof(tU64U32Request, status) == 12);

// u32, u32, u64, u64 value, u32: aeRequest0E.
struct tValueRequest {
  std::uint32_t a;
  std::uint32_t b;
  std::uint64_t c;
  std::uint64_t value;
  std::uint32_t e;
  tCompactStatus status;
};
static_assert(sizeof(tValueRequest) == 64);
static_assert(offsetof(tValueRequest, a) == 0);
static_assert(offsetof(tValueRequest, b) == 4);
static_assert(offsetof(tValueRequest, c) == 8);
static_assert(offsetof(tValueRequest, value) == 16);
static_assert(offsetof(tValueRequest, e) == 24);
static_assert(offsetof(tValueRequest, status) == 28);

// u32, u32, u64, u32: aeRequest11.
struct tU32x2U64U32Request {
  std::uint32_t a;
  std::uint32_t b;
  std::uint64_t c;
  std::uint32_t d;
  tCompactStatus status;
};
static_assert(sizeof(tU32x2U64U32Request) == 56);
static_assert(offsetof(tU32x2U64U32Request, a) == 0);
static_assert(offsetof(tU32x2U64U32Request, b) == 4);
static_assert(offsetof(tU32x2U64U32Request, c) == 8);
static_assert(offsetof(tU32x2U64U32Request, d) == 16);
static_assert(offsetof(tU32x2U64U32Request, status) == 20);

// u32, u32, u64, u64 value, u32, u32: aeRequest15, 17.
struct tValueU32x2Request {
  std::uint32_t a;
  std::uint32_t b;
  std::uint64_t c;
  std::uint64_t value;
  std::uint32_t e;
  std::uint32_t f;
  tCompactStatus status;
};
static_assert(sizeof(tValueU32x2Request) == 64);
static_assert(offsetof(tValueU32x2Request, a) == 0);
static_assert(offsetof(tValueU32x2Request, b) == 4);
static_assert(offsetof(tValueU32x2Request, c) == 8);
static_assert(offsetof(tValueU32x2Request, value) == 16);
static_assert(offsetof(tValueU32x2Request, e) == 24);
static_assert(offsetof(tValueU32x2Request, f) == 28);
static_assert(offsetof(tValueU32x2Request, status) == 32);

// u32, u32, u64: aeRequest19.
struct tU32x2U64Request {
  std::uint32_t a;
  std::uint32_t b;
  std::uint64_t c;
  tCompactStatus status;
};
static_assert(sizeof(tU32x2U64Request) == 48);
static_assert(offsetof(tU32x2U64Request, a) == 0);
static_assert(offsetof(tU32x2U64Request, b) == 4);
static_assert(offsetof(tU32x2U64Request, c) == 8);
static_assert(offsetof(tU32x2U64Request, status) == 16);

// ---- Reply records ----

// Only the driver's status: every request without results.
struct tStatusReply {
  tCompactStatus status;
};
static_assert(sizeof(tStatusReply) == 32);
static_assert(offsetof(tStatusReply, status) == 0);

// One u32 result: aeRequest01 (value), getProperty (size).
struct tU32Reply {
  std::uint32_t value;
  tCompactStatus status;
};
static_assert(sizeof(tU32Reply) == 36);
static_assert(offsetof(tU32Reply, value) == 0);
static_assert(offsetof(tU32Reply, status) == 4);

// One u64 result: aeRequest0E, 15, 17.
struct tU64Reply {
  std::uint64_t value;
  tCompactStatus status;
};
static_assert(sizeof(tU64Reply) == 40);
static_assert(offsetof(tU64Reply, value) == 0);
static_assert(offsetof(tU64Reply, status) == 8);

// Three u64 results: aeRequest0C.
struct tU64x3Reply {
  std::uint64_t values[3];
  tCompactStatus status;
};
static_assert(sizeof(tU64x3Reply) == 56);
static_assert(offsetof(tU64x3Reply, values) == 0);
static_assert(offsetof(tU64x3Reply, status) == 24);

}  // namespace ae
}  // namespace nTQVLKAET100

#endif  // DEVICE_AERECORDS_H_
