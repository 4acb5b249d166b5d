// SPDX-License-Identifier: GPL-2.0
/*
 * The records of the AE requests other than the two property requests.
 *
 * Each record is a C structure with natural alignment, arguments first and
 * the 32-byte status block last, so the compiler works out the offsets and
 * the padding; the static_asserts pin every record to the size and status
 * position the requests are defined with, so a wrong member type or order
 * fails the build. The table names each request's input and reply record;
 * the node code logs the input fields by name and fills the reply fields.
 */

#include <linux/build_bug.h>
#include <linux/kernel.h>
#include <linux/stddef.h>

#include "tqtest.h"

/* Input records, named by their argument lists. */
struct tq_in_none {
	struct tq_compact_status status;
};

struct tq_in_ab {
	u32 a, b;
	struct tq_compact_status status;
};

struct tq_in_abc {
	u32 a, b, c;
	struct tq_compact_status status;
};

struct tq_in_abcd {
	u32 a, b, c, d;
	struct tq_compact_status status;
};

struct tq_in_a64b {
	u64 a;
	u32 b;
	struct tq_compact_status status;
};

struct tq_in_abc64 {
	u32 a, b;
	u64 c;
	struct tq_compact_status status;
};

struct tq_in_abc64d {
	u32 a, b;
	u64 c;
	u32 d;
	struct tq_compact_status status;
};

struct tq_in_abc64d64 {
	u32 a, b;
	u64 c, d;
	struct tq_compact_status status;
};

struct tq_in_abc64value {
	u32 a, b;
	u64 c, value;
	u32 e;
	struct tq_compact_status status;
};

struct tq_in_abc64valueef {
	u32 a, b;
	u64 c, value;
	u32 e, f;
	struct tq_compact_status status;
};

/* Reply records: the results, then the driver's status block. */
struct tq_out_status {
	struct tq_compact_status status;
};

struct tq_out_value32 {
	u32 value;
	struct tq_compact_status status;
};

struct tq_out_value64 {
	u64 value;
	struct tq_compact_status status;
};

struct tq_out_values3 {
	u64 values0, values1, values2;
	struct tq_compact_status status;
};

#define TQ_ASSERT_RECORD(type, size, status_at)                                   \
	static_assert(sizeof(struct type) == (size), #type " size");              \
	static_assert(offsetof(struct type, status) == (status_at), #type " status")

TQ_ASSERT_RECORD(tq_in_none, 32, 0);
TQ_ASSERT_RECORD(tq_in_ab, 40, 8);
TQ_ASSERT_RECORD(tq_in_abc, 44, 12);
TQ_ASSERT_RECORD(tq_in_abcd, 48, 16);
TQ_ASSERT_RECORD(tq_in_a64b, 48, 12); /* 4 bytes of padding at 44 */
TQ_ASSERT_RECORD(tq_in_abc64, 48, 16);
TQ_ASSERT_RECORD(tq_in_abc64d, 56, 20); /* padding at 52 */
TQ_ASSERT_RECORD(tq_in_abc64d64, 56, 24);
TQ_ASSERT_RECORD(tq_in_abc64value, 64, 28); /* padding at 60 */
TQ_ASSERT_RECORD(tq_in_abc64valueef, 64, 32);
TQ_ASSERT_RECORD(tq_out_status, 32, 0);
TQ_ASSERT_RECORD(tq_out_value32, 36, 4);
TQ_ASSERT_RECORD(tq_out_value64, 40, 8);
TQ_ASSERT_RECORD(tq_out_values3, 56, 24);
static_assert(offsetof(struct tq_in_a64b, b) == 8);
static_assert(offsetof(struct tq_in_abc64valueef, value) == 16);
static_assert(offsetof(struct tq_in_abc64valueef, f) == 28);
static_assert(offsetof(struct tq_out_values3, values2) == 16);

/* One field of a record: its name in the log, offset and width. */
#define TQ_FIELD(type, member) \
	{ #member, offsetof(struct type, member), sizeof_field(struct type, member) }

static const struct tq_field tq_in_none_fields[] = { {} };
static const struct tq_field tq_in_ab_fields[] = {
	TQ_FIELD(tq_in_ab, a), TQ_FIELD(tq_in_ab, b), {}
};
static const struct tq_field tq_in_abc_fields[] = {
	TQ_FIELD(tq_in_abc, a), TQ_FIELD(tq_in_abc, b), TQ_FIELD(tq_in_abc, c), {}
};
static const struct tq_field tq_in_abcd_fields[] = {
	TQ_FIELD(tq_in_abcd, a), TQ_FIELD(tq_in_abcd, b),
	TQ_FIELD(tq_in_abcd, c), TQ_FIELD(tq_in_abcd, d), {}
};
static const struct tq_field tq_in_a64b_fields[] = {
	TQ_FIELD(tq_in_a64b, a), TQ_FIELD(tq_in_a64b, b), {}
};
static const struct tq_field tq_in_abc64_fields[] = {
	TQ_FIELD(tq_in_abc64, a), TQ_FIELD(tq_in_abc64, b), TQ_FIELD(tq_in_abc64, c), {}
};
static const struct tq_field tq_in_abc64d_fields[] = {
	TQ_FIELD(tq_in_abc64d, a), TQ_FIELD(tq_in_abc64d, b),
	TQ_FIELD(tq_in_abc64d, c), TQ_FIELD(tq_in_abc64d, d), {}
};
static const struct tq_field tq_in_abc64d64_fields[] = {
	TQ_FIELD(tq_in_abc64d64, a), TQ_FIELD(tq_in_abc64d64, b),
	TQ_FIELD(tq_in_abc64d64, c), TQ_FIELD(tq_in_abc64d64, d), {}
};
static const struct tq_field tq_in_abc64value_fields[] = {
	TQ_FIELD(tq_in_abc64value, a),	   TQ_FIELD(tq_in_abc64value, b),
	TQ_FIELD(tq_in_abc64value, c),	   TQ_FIELD(tq_in_abc64value, value),
	TQ_FIELD(tq_in_abc64value, e),	   {}
};
static const struct tq_field tq_in_abc64valueef_fields[] = {
	TQ_FIELD(tq_in_abc64valueef, a),     TQ_FIELD(tq_in_abc64valueef, b),
	TQ_FIELD(tq_in_abc64valueef, c),     TQ_FIELD(tq_in_abc64valueef, value),
	TQ_FIELD(tq_in_abc64valueef, e),     TQ_FIELD(tq_in_abc64valueef, f), {}
};
static const struct tq_field tq_out_status_fields[] = { {} };
static const struct tq_field tq_out_value32_fields[] = { TQ_FIELD(tq_out_value32, value), {} };
static const struct tq_field tq_out_value64_fields[] = { TQ_FIELD(tq_out_value64, value), {} };
static const struct tq_field tq_out_values3_fields[] = {
	TQ_FIELD(tq_out_values3, values0), TQ_FIELD(tq_out_values3, values1),
	TQ_FIELD(tq_out_values3, values2), {}
};

#define TQ_IN(kind) \
	sizeof(struct tq_in_##kind), offsetof(struct tq_in_##kind, status), tq_in_##kind##_fields
#define TQ_OUT(kind) \
	sizeof(struct tq_out_##kind), offsetof(struct tq_out_##kind, status), tq_out_##kind##_fields

/* By request number; 0x09 and 0x0A are the property requests. */
static const struct tq_layout tq_layouts[] = {
	{ 0x01, TQ_IN(abcd), TQ_OUT(value32) },
	{ 0x02, TQ_IN(ab), TQ_OUT(status) },
	{ 0x03, TQ_IN(abc64d64), TQ_OUT(status) },
	{ 0x04, TQ_IN(ab), TQ_OUT(status) },
	{ 0x05, TQ_IN(ab), TQ_OUT(status) },
	{ 0x06, TQ_IN(ab), TQ_OUT(status) },
	{ 0x0B, TQ_IN(a64b), TQ_OUT(status) },
	{ 0x0C, TQ_IN(abcd), TQ_OUT(values3) },
	{ 0x0D, TQ_IN(abcd), TQ_OUT(status) },
	{ 0x0E, TQ_IN(abc64value), TQ_OUT(value64) },
	{ 0x0F, TQ_IN(abcd), TQ_OUT(status) },
	{ 0x10, TQ_IN(abcd), TQ_OUT(status) },
	{ 0x11, TQ_IN(abc64d), TQ_OUT(status) },
	{ 0x13, TQ_IN(none), TQ_OUT(status) },
	{ 0x14, TQ_IN(none), TQ_OUT(status) },
	{ 0x15, TQ_IN(abc64valueef), TQ_OUT(value64) },
	{ 0x17, TQ_IN(abc64valueef), TQ_OUT(value64) },
	{ 0x18, TQ_IN(abc), TQ_OUT(status) },
	{ 0x19, TQ_IN(abc64), TQ_OUT(status) },
};

static_assert(ARRAY_SIZE(tq_layouts) == 19, "the AE requests besides set and get");

const struct tq_layout *tq_layout_of(u32 code)
{
	unsigned int i;

	for (i = 0; i < ARRAY_SIZE(tq_layouts); i++)
		if ((TQ_FIRST_REQUEST & ~0xFFu) + tq_layouts[i].number == code)
			return &tq_layouts[i];
	return NULL;
}
