/* SPDX-License-Identifier: GPL-2.0 */
#ifndef TQTEST_H
#define TQTEST_H

#include <linux/atomic.h>
#include <linux/list.h>
#include <linux/miscdevice.h>
#include <linux/mutex.h>
#include <linux/types.h>

#define TQ_NAME_MAX 64
#define TQ_PATH_MAX 511 /* longer than the tool accepts, to test its limit */
#define TQ_MAX_VALUE 64
#define TQ_MAX_RAW_FILE 512
#define TQ_MAX_FAULTS 16
#define TQ_MAX_SIZES 32
#define TQ_MAX_RECORD 4096 /* larger set values are refused */
#define TQ_LOG_CAPACITY (256 * 1024)

#define TQ_FIRST_REQUEST 0x200101
#define TQ_SET_PROPERTY 0x200109
#define TQ_GET_PROPERTY 0x20010A
#define TQ_LAST_REQUEST 0x200119

/* Verdicts of the driver's own, with the reporting site "tqsim_driver". */
#define TQ_REPLY_INVALID_PARAMETER (-52005)
#define TQ_REPLY_UNKNOWN_PROPERTY (-52006)
#define TQ_REPLY_BUFFER_TOO_SMALL (-52019)
#define TQ_REPLY_FILE "tqsim_driver"

/* The records exchanged with the tool, host byte order. */
struct tq_compact_status {
	s32 code;
	u32 line;
	char file[24];
};

struct tq_ioctl_block {
	u64 in;
	u64 out;
	u32 in_size;
	u32 out_size;
	u32 bytes_returned;
	u32 zero;
};

struct tq_property_record {
	u32 port;
	u32 selector;
	u32 prop;
	u32 pad0;
	u64 buffer;
	u32 buffer_size;
	struct tq_compact_status status;
	u32 pad1;
};

struct tq_get_reply {
	u32 size;
	struct tq_compact_status status;
};

/*
 * A request other than set and get: its number and the size, status offset
 * and fields (ending in an entry without a name) of its input and reply
 * records. tqtest_records.c has the table.
 */
struct tq_field {
	const char *name;
	u32 offset;
	u32 width; /* 4 or 8 */
};

struct tq_layout {
	u32 number;
	u32 in_size, in_status;
	const struct tq_field *in;
	u32 out_size, out_status;
	const struct tq_field *out;
};

const struct tq_layout *tq_layout_of(u32 code);

struct tq_device {
	struct list_head node;
	char dir[TQ_NAME_MAX];
	u32 serial;
	u32 ports;
	u32 pid;
	struct proc_dir_entry *root;
	struct proc_dir_entry *property_root;
	struct proc_dir_entry *interface_root;
	struct list_head interfaces;
	struct list_head raw_files;
};

/* A deviceProperties entry set by hand: raw bytes, or a directory. */
struct tq_raw_file {
	struct list_head node;
	size_t length;
	u8 bytes[TQ_MAX_RAW_FILE];
};

struct tq_interface {
	struct list_head node;
	struct tq_device *dev;
	char name[TQ_NAME_MAX];
	char node_path[TQ_NAME_MAX + 5];
	char misc_name[TQ_NAME_MAX];
	char path[TQ_PATH_MAX + 1]; /* the text of interfacePath */
	struct proc_dir_entry *dir;
	struct miscdevice misc;
	bool registered;
	atomic_t open_count;
};

struct tq_value {
	struct list_head node;
	struct tq_device *dev;
	u32 port;
	u32 prop;
	u32 size;
	u8 bytes[TQ_MAX_VALUE];
};

struct tq_size {
	u32 prop;
	u32 size;
};

/*
 * What a fault does to the calls it fires on: fail with an errno, put a
 * status block into the reply, or answer a set as the driver would but keep
 * nothing of it (only sets match a discard).
 */
enum tq_fault_effect { TQ_FAULT_ERRNO, TQ_FAULT_STATUS, TQ_FAULT_DISCARD };

/*
 * An injected failure: every given selector must match; it fires on its
 * matching calls number from .. from + times - 1 (times 0: no end).
 */
struct tq_fault {
	u64 seq;
	char dev[TQ_NAME_MAX];
	u32 request;
	bool has_port, has_prop;
	u32 port, prop;
	enum tq_fault_effect effect;
	int error;
	struct tq_compact_status status;
	u32 from, times, seen;
};

/*
 * tq_lock guards the devices, values, sizes and faults; tq_log_lock the log.
 * Order: tq_lock, then the misc core's lock (node registration), then
 * tq_log_lock. Node open runs under the misc core's lock, so it takes only
 * tq_log_lock. The tq_log_* functions expect tq_log_lock held.
 */
extern struct mutex tq_lock;
extern struct mutex tq_log_lock;
extern struct list_head tq_devices;
extern struct list_head tq_values;
extern struct tq_fault tq_faults[TQ_MAX_FAULTS];
extern unsigned int tq_fault_count;
extern u64 tq_sequence;

__printf(1, 2) void tq_log_append(const char *fmt, ...);
void tq_log_hex(const void *data, size_t length);

struct tq_device *tq_device_find(const char *dir);
int tq_device_add(const char *dir, u32 serial, u32 ports, u32 pid);
int tq_property_set(const char *dir, const char *name, const u8 *bytes, size_t length,
		    bool directory);
int tq_interface_add(const char *dir, const char *name, const char *node, const char *text,
		     bool missing);
int tq_reset(void);

bool tq_size_of(u32 prop, u32 *size);
int tq_size_set(u32 prop, u32 size);
struct tq_value *tq_value_find(struct tq_device *dev, u32 port, u32 prop);
int tq_value_store(struct tq_device *dev, u32 port, u32 prop, const void *bytes, u32 size);

int tq_control_line(char *line);
int tq_node_register(struct tq_interface *iface);
void tq_node_unregister(struct tq_interface *iface);

#endif
