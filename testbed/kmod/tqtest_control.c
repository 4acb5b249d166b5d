// SPDX-License-Identifier: GPL-2.0
/*
 * The control language, one command per line, words separated by blanks,
 * numbers decimal or 0x hexadecimal, '#' starts a comment:
 *
 *   reset
 *   device <dir> serial=<n> ports=<n> pid=<n>
 *   property <dir> <file> (hex=<bytes>|dir)
 *   interface <dir> <name> node=/dev/<misc name> [text=<interfacePath text>] [missing]
 *   size <property id> <bytes>
 *   value <dir> port=<n> prop=<id> hex=<bytes>
 *   fault ioctl [seq=<n>] [dev=<dir>] [port=<n>] [prop=<id>] [req=<code>]
 *               (errno=<E>|status=<code>:<line>:<file>|discard) [from=<n>] [times=<n>]
 */

#include <linux/errno.h>
#include <linux/kernel.h>
#include <linux/string.h>

#include "tqtest.h"

static const struct {
	const char *name;
	int value;
} tq_errno_names[] = {
	{ "EPERM", EPERM },   { "ENOENT", ENOENT },	  { "EINTR", EINTR },
	{ "EIO", EIO },	      { "ENXIO", ENXIO },	  { "EAGAIN", EAGAIN },
	{ "ENOMEM", ENOMEM }, { "EACCES", EACCES },	  { "EFAULT", EFAULT },
	{ "EBUSY", EBUSY },   { "ENODEV", ENODEV },	  { "EINVAL", EINVAL },
	{ "ENOTTY", ENOTTY }, { "ENOLCK", ENOLCK },	  { "ETIMEDOUT", ETIMEDOUT },
	{ "ENOBUFS", ENOBUFS }, { "EOVERFLOW", EOVERFLOW },
};

static int tq_parse_errno(const char *text, int *value)
{
	unsigned int i;

	for (i = 0; i < ARRAY_SIZE(tq_errno_names); i++) {
		if (!strcmp(text, tq_errno_names[i].name)) {
			*value = tq_errno_names[i].value;
			return 0;
		}
	}
	if (kstrtoint(text, 0, value) || *value <= 0 || *value >= MAX_ERRNO)
		return -EINVAL;
	return 0;
}

/* <code>:<line>:<file>, the file at most 23 characters. */
static int tq_parse_status(char *text, struct tq_compact_status *s)
{
	char *code = strsep(&text, ":");
	char *line = strsep(&text, ":");

	if (!line || !text || strlen(text) >= sizeof(s->file))
		return -EINVAL;
	memset(s, 0, sizeof(*s));
	if (kstrtos32(code, 0, &s->code) || kstrtou32(line, 0, &s->line))
		return -EINVAL;
	strscpy(s->file, text, sizeof(s->file));
	return 0;
}

/* The next blank-separated word, or NULL at the end of the line. */
static char *tq_word(char **cursor)
{
	char *word;

	do {
		word = strsep(cursor, " \t");
	} while (word && !*word);
	return word;
}

/* Splits key=value; returns the value, or NULL when there is no '='. */
static char *tq_split(char *word)
{
	char *eq = strchr(word, '=');

	if (!eq)
		return NULL;
	*eq = 0;
	return eq + 1;
}

static int tq_cmd_device(char **cursor)
{
	char *dir = tq_word(cursor), *word, *value;
	u32 serial = 0, ports = 0, pid = 0;
	int err;

	if (!dir)
		return -EINVAL;
	while ((word = tq_word(cursor))) {
		value = tq_split(word);
		if (!value)
			return -EINVAL;
		if (!strcmp(word, "serial"))
			err = kstrtou32(value, 0, &serial);
		else if (!strcmp(word, "ports"))
			err = kstrtou32(value, 0, &ports);
		else if (!strcmp(word, "pid"))
			err = kstrtou32(value, 0, &pid);
		else
			err = -EINVAL;
		if (err)
			return err;
	}
	return tq_device_add(dir, serial, ports, pid);
}

static int tq_cmd_property(char **cursor)
{
	char *dir = tq_word(cursor), *name = tq_word(cursor), *what = tq_word(cursor);
	static u8 bytes[TQ_MAX_RAW_FILE];
	char *hex;
	size_t length;

	if (!dir || !name || !what || tq_word(cursor))
		return -EINVAL;
	if (!strcmp(what, "dir"))
		return tq_property_set(dir, name, NULL, 0, true);
	hex = tq_split(what);
	if (!hex || strcmp(what, "hex"))
		return -EINVAL;
	length = strlen(hex);
	if (length % 2 || length / 2 > sizeof(bytes) || hex2bin(bytes, hex, length / 2))
		return -EINVAL;
	return tq_property_set(dir, name, bytes, length / 2, false);
}

static int tq_cmd_interface(char **cursor)
{
	char *dir = tq_word(cursor), *name = tq_word(cursor), *word, *value;
	char *node = NULL, *text = NULL;
	bool missing = false;

	if (!dir || !name)
		return -EINVAL;
	while ((word = tq_word(cursor))) {
		if (!strcmp(word, "missing")) {
			missing = true;
			continue;
		}
		value = tq_split(word);
		if (!value)
			return -EINVAL;
		if (!strcmp(word, "node"))
			node = value;
		else if (!strcmp(word, "text"))
			text = value;
		else
			return -EINVAL;
	}
	if (!node)
		return -EINVAL;
	return tq_interface_add(dir, name, node, text, missing);
}

static int tq_cmd_size(char **cursor)
{
	char *prop = tq_word(cursor), *bytes = tq_word(cursor);
	u32 id, size;

	if (!prop || !bytes || tq_word(cursor) || kstrtou32(prop, 0, &id) ||
	    kstrtou32(bytes, 0, &size))
		return -EINVAL;
	return tq_size_set(id, size);
}

/* value <dir> port=<n> prop=<id> hex=<bytes>: as if a set had stored it. */
static int tq_cmd_value(char **cursor)
{
	char *dir = tq_word(cursor), *word, *value;
	struct tq_device *dev = dir ? tq_device_find(dir) : NULL;
	static u8 bytes[TQ_MAX_VALUE];
	unsigned int seen = 0, bit;
	u32 port = 0, prop = 0;
	size_t length = 0;
	int err;

	if (!dev)
		return -EINVAL;
	while ((word = tq_word(cursor))) {
		value = tq_split(word);
		if (!value)
			return -EINVAL;
		bit = !strcmp(word, "port") ? 1 : !strcmp(word, "prop") ? 2 : !strcmp(word, "hex") ? 4 : 0;
		if (!bit || (seen & bit))
			return -EINVAL;
		seen |= bit;
		if (bit == 1) {
			err = kstrtou32(value, 0, &port);
		} else if (bit == 2) {
			err = kstrtou32(value, 0, &prop);
		} else {
			length = strlen(value);
			err = length % 2 || length / 2 > sizeof(bytes) ||
			      hex2bin(bytes, value, length / 2) ? -EINVAL : 0;
			length /= 2;
		}
		if (err)
			return err;
	}
	if (seen != 7)
		return -EINVAL;
	return tq_value_store(dev, port, prop, bytes, length);
}

static int tq_cmd_fault(char **cursor)
{
	struct tq_fault f = { .from = 1 };
	char *kind = tq_word(cursor), *word, *value;
	unsigned int effects = 0;
	int err;

	if (!kind || strcmp(kind, "ioctl"))
		return -EINVAL;
	if (tq_fault_count == TQ_MAX_FAULTS)
		return -ENOSPC;
	while ((word = tq_word(cursor))) {
		if (!strcmp(word, "discard")) {
			f.effect = TQ_FAULT_DISCARD;
			effects++;
			continue;
		}
		value = tq_split(word);
		if (!value)
			return -EINVAL;
		if (!strcmp(word, "seq")) {
			err = kstrtou64(value, 0, &f.seq);
		} else if (!strcmp(word, "dev")) {
			err = strscpy(f.dev, value, sizeof(f.dev)) < 0 ? -EINVAL : 0;
		} else if (!strcmp(word, "port")) {
			f.has_port = true;
			err = kstrtou32(value, 0, &f.port);
		} else if (!strcmp(word, "prop")) {
			f.has_prop = true;
			err = kstrtou32(value, 0, &f.prop);
		} else if (!strcmp(word, "req")) {
			err = kstrtou32(value, 0, &f.request);
		} else if (!strcmp(word, "errno")) {
			f.effect = TQ_FAULT_ERRNO;
			effects++;
			err = tq_parse_errno(value, &f.error);
		} else if (!strcmp(word, "status")) {
			f.effect = TQ_FAULT_STATUS;
			effects++;
			err = tq_parse_status(value, &f.status);
		} else if (!strcmp(word, "from")) {
			err = kstrtou32(value, 0, &f.from);
		} else if (!strcmp(word, "times")) {
			err = kstrtou32(value, 0, &f.times);
		} else {
			err = -EINVAL;
		}
		if (err)
			return err;
	}
	if (effects != 1 || f.from == 0)
		return -EINVAL;
	tq_faults[tq_fault_count++] = f;
	return 0;
}

int tq_control_line(char *line)
{
	char *comment = strchr(line, '#');
	char *command;

	if (comment)
		*comment = 0;
	command = tq_word(&line);
	if (!command)
		return 0;
	if (!strcmp(command, "reset"))
		return tq_word(&line) ? -EINVAL : tq_reset();
	if (!strcmp(command, "device"))
		return tq_cmd_device(&line);
	if (!strcmp(command, "property"))
		return tq_cmd_property(&line);
	if (!strcmp(command, "interface"))
		return tq_cmd_interface(&line);
	if (!strcmp(command, "size"))
		return tq_cmd_size(&line);
	if (!strcmp(command, "value"))
		return tq_cmd_value(&line);
	if (!strcmp(command, "fault"))
		return tq_cmd_fault(&line);
	return -EINVAL;
}
