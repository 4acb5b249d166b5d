// SPDX-License-Identifier: GPL-2.0
/*
 * tqtest: a test driver for the AE device interfaces.
 *
 * It publishes the driver tree the tool reads (/proc/driver/tq), one misc
 * character device per interface, and answers the property requests
 * 0x200109 (set) and 0x20010A (get) and the other AE requests, these by
 * their record layouts, in the driver's framing. Everything is
 * configured at run time through /proc/tqtest/control; every request is
 * logged, decoded, in /proc/tqtest/log, and the stored property values are
 * listed in /proc/tqtest/values.
 */

#define pr_fmt(fmt) KBUILD_MODNAME ": " fmt

#include <linux/module.h>
#include <linux/proc_fs.h>
#include <linux/seq_file.h>
#include <linux/slab.h>
#include <linux/uaccess.h>
#include <linux/vmalloc.h>

#include "tqtest.h"

DEFINE_MUTEX(tq_lock);
DEFINE_MUTEX(tq_log_lock);
LIST_HEAD(tq_devices);
LIST_HEAD(tq_values);
struct tq_fault tq_faults[TQ_MAX_FAULTS];
unsigned int tq_fault_count;
struct tq_size tq_sizes[TQ_MAX_SIZES];
unsigned int tq_size_count;
u64 tq_sequence;

static struct proc_dir_entry *tq_driver_root; /* /proc/driver/tq */
static struct proc_dir_entry *tq_test_root; /* /proc/tqtest */

static char *tq_log_text;
static size_t tq_log_length;
static bool tq_log_overflow;

/* The property sizes a freshly reset driver knows. */
static const struct tq_size tq_default_sizes[] = {
	{ 0x0210FEEA, 1 }, /* forcelinkdisable */
	{ 0x13FFFE, 4 },   { 0x13FFFD, 4 }, { 0x13FFF7, 4 },
	{ 0x13FFF5, 4 },   { 0x13FFF3, 4 }, { 0x13FFEF, 4 },
};

/* Log */

void tq_log_vappend(const char *fmt, va_list args)
{
	size_t room = TQ_LOG_CAPACITY - tq_log_length;
	int n;

	if (tq_log_overflow)
		return;
	n = vsnprintf(tq_log_text + tq_log_length, room, fmt, args);
	if (n < 0 || (size_t)n >= room) {
		tq_log_text[tq_log_length] = 0;
		tq_log_overflow = true;
		return;
	}
	tq_log_length += n;
}

void tq_log_append(const char *fmt, ...)
{
	va_list args;

	va_start(args, fmt);
	tq_log_vappend(fmt, args);
	va_end(args);
}

void tq_log_hex(const void *data, size_t length)
{
	const u8 *p = data;
	size_t i;

	for (i = 0; i < length; i++)
		tq_log_append("%02x", p[i]);
}

static int tq_log_show(struct seq_file *m, void *v)
{
	mutex_lock(&tq_log_lock);
	seq_write(m, tq_log_text, tq_log_length);
	if (tq_log_overflow)
		seq_puts(m, "log overflow\n");
	mutex_unlock(&tq_log_lock);
	return 0;
}

static int tq_log_open(struct inode *inode, struct file *file)
{
	/* The log can outgrow the first buffer that single_open tries. */
	return single_open_size(file, tq_log_show, NULL, TQ_LOG_CAPACITY + PAGE_SIZE);
}

static const struct proc_ops tq_log_ops = {
	.proc_open = tq_log_open,
	.proc_read = seq_read,
	.proc_lseek = seq_lseek,
	.proc_release = single_release,
};

/* Stored values, in the order of device directory, port and property. */

static int tq_value_compare(const struct tq_value *a, const struct tq_device *dev, u32 port,
			    u32 prop)
{
	int c = strcmp(a->dev->dir, dev->dir);

	if (c)
		return c;
	if (a->port != port)
		return a->port < port ? -1 : 1;
	if (a->prop != prop)
		return a->prop < prop ? -1 : 1;
	return 0;
}

struct tq_value *tq_value_find(struct tq_device *dev, u32 port, u32 prop)
{
	struct tq_value *v;

	list_for_each_entry(v, &tq_values, node)
		if (!tq_value_compare(v, dev, port, prop))
			return v;
	return NULL;
}

int tq_value_store(struct tq_device *dev, u32 port, u32 prop, const void *bytes, u32 size)
{
	struct tq_value *v, *pos;

	if (size > TQ_MAX_VALUE)
		return -EINVAL;
	v = tq_value_find(dev, port, prop);
	if (!v) {
		v = kzalloc(sizeof(*v), GFP_KERNEL);
		if (!v)
			return -ENOMEM;
		v->dev = dev;
		v->port = port;
		v->prop = prop;
		list_for_each_entry(pos, &tq_values, node)
			if (tq_value_compare(pos, dev, port, prop) > 0)
				break;
		list_add_tail(&v->node, &pos->node);
	}
	memcpy(v->bytes, bytes, size);
	v->size = size;
	return 0;
}

static int tq_values_show(struct seq_file *m, void *unused)
{
	struct tq_value *v;

	mutex_lock(&tq_lock);
	list_for_each_entry(v, &tq_values, node) {
		seq_printf(m, "value dev=%s port=%u prop=0x%08x value=%*phN\n", v->dev->dir,
			   v->port, v->prop, (int)v->size, v->bytes);
	}
	mutex_unlock(&tq_lock);
	return 0;
}

/* Property sizes */

bool tq_size_of(u32 prop, u32 *size)
{
	unsigned int i;

	for (i = 0; i < tq_size_count; i++) {
		if (tq_sizes[i].prop == prop) {
			*size = tq_sizes[i].size;
			return true;
		}
	}
	return false;
}

int tq_size_set(u32 prop, u32 size)
{
	unsigned int i;

	if (size > TQ_MAX_VALUE)
		return -EINVAL;
	for (i = 0; i < tq_size_count; i++) {
		if (tq_sizes[i].prop == prop) {
			tq_sizes[i].size = size;
			return 0;
		}
	}
	if (tq_size_count == TQ_MAX_SIZES)
		return -ENOSPC;
	tq_sizes[tq_size_count].prop = prop;
	tq_sizes[tq_size_count].size = size;
	tq_size_count++;
	return 0;
}

/* Devices and their /proc tree */

static int tq_raw_word_show(struct seq_file *m, void *unused)
{
	const u32 *word = m->private;

	/* Raw bytes in host order, no newline: the tool reads the file whole. */
	seq_write(m, word, sizeof(*word));
	return 0;
}

static int tq_interface_path_show(struct seq_file *m, void *unused)
{
	const struct tq_interface *iface = m->private;

	seq_write(m, iface->path, strlen(iface->path));
	return 0;
}

struct tq_device *tq_device_find(const char *dir)
{
	struct tq_device *dev;

	list_for_each_entry(dev, &tq_devices, node)
		if (!strcmp(dev->dir, dir))
			return dev;
	return NULL;
}

int tq_device_add(const char *dir, u32 serial, u32 ports, u32 pid)
{
	struct proc_dir_entry *props;
	struct tq_device *dev;

	if (!*dir || strlen(dir) >= TQ_NAME_MAX || strchr(dir, '/'))
		return -EINVAL;
	if (tq_device_find(dir))
		return -EEXIST;
	dev = kzalloc(sizeof(*dev), GFP_KERNEL);
	if (!dev)
		return -ENOMEM;
	strscpy(dev->dir, dir, sizeof(dev->dir));
	dev->serial = serial;
	dev->ports = ports;
	dev->pid = pid;
	INIT_LIST_HEAD(&dev->interfaces);
	INIT_LIST_HEAD(&dev->raw_files);
	dev->root = proc_mkdir(dir, tq_driver_root);
	if (!dev->root)
		goto fail;
	props = proc_mkdir("deviceProperties", dev->root);
	dev->property_root = props;
	dev->interface_root = proc_mkdir("deviceInterfaces", dev->root);
	if (!props || !dev->interface_root ||
	    !proc_create_single_data("SerialNum", 0444, props, tq_raw_word_show, &dev->serial) ||
	    !proc_create_single_data("NumPorts", 0444, props, tq_raw_word_show, &dev->ports) ||
	    !proc_create_single_data("PID", 0444, props, tq_raw_word_show, &dev->pid))
		goto fail;
	list_add_tail(&dev->node, &tq_devices);
	return 0;
fail:
	proc_remove(dev->root);
	kfree(dev);
	return -ENOMEM;
}

static int tq_raw_file_show(struct seq_file *m, void *unused)
{
	const struct tq_raw_file *file = m->private;

	seq_write(m, file->bytes, file->length);
	return 0;
}

/* Replaces or adds one deviceProperties entry. */
int tq_property_set(const char *dir, const char *name, const u8 *bytes, size_t length,
		    bool directory)
{
	struct tq_device *dev = tq_device_find(dir);
	struct tq_raw_file *file;
	struct proc_dir_entry *entry;

	if (!dev)
		return -ENOENT;
	if (!*name || strchr(name, '/') || length > TQ_MAX_RAW_FILE)
		return -EINVAL;
	file = kzalloc(sizeof(*file), GFP_KERNEL);
	if (!file)
		return -ENOMEM;
	memcpy(file->bytes, bytes, length);
	file->length = length;
	remove_proc_subtree(name, dev->property_root);
	if (directory)
		entry = proc_mkdir(name, dev->property_root);
	else
		entry = proc_create_single_data(name, 0444, dev->property_root,
						tq_raw_file_show, file);
	if (!entry) {
		kfree(file);
		return -ENOMEM;
	}
	/* Kept until reset; a replaced entry's bytes are simply no longer shown. */
	list_add_tail(&file->node, &dev->raw_files);
	return 0;
}

int tq_interface_add(const char *dir, const char *name, const char *node, const char *text,
		     bool missing)
{
	struct tq_device *dev = tq_device_find(dir);
	struct tq_interface *iface;
	const char *base;
	int err;

	if (!dev)
		return -ENOENT;
	/* Nodes live in devtmpfs: /dev/<misc device name>. */
	if (!*name || strchr(name, '/') || strncmp(node, "/dev/", 5))
		return -EINVAL;
	base = node + 5;
	if (!*base || strchr(base, '/') || strlen(base) >= TQ_NAME_MAX)
		return -EINVAL;
	if (strlen(name) >= TQ_NAME_MAX || strlen(text ? text : node) > TQ_PATH_MAX)
		return -EINVAL;
	iface = kzalloc(sizeof(*iface), GFP_KERNEL);
	if (!iface)
		return -ENOMEM;
	iface->dev = dev;
	strscpy(iface->name, name, sizeof(iface->name));
	strscpy(iface->node_path, node, sizeof(iface->node_path));
	strscpy(iface->misc_name, base, sizeof(iface->misc_name));
	strscpy(iface->path, text ? text : node, sizeof(iface->path));
	iface->dir = proc_mkdir(name, dev->interface_root);
	if (!iface->dir ||
	    !proc_create_single_data("interfacePath", 0444, iface->dir, tq_interface_path_show,
				     iface)) {
		err = -ENOMEM;
		goto fail;
	}
	if (!missing) {
		err = tq_node_register(iface);
		if (err)
			goto fail;
	}
	list_add_tail(&iface->node, &dev->interfaces);
	return 0;
fail:
	proc_remove(iface->dir);
	kfree(iface);
	return err;
}

/*
 * Removes every device, value, fault and log line; refused while a node is
 * open. The nodes are opened only by the tool between two configurations,
 * never while the control file is written.
 */
int tq_reset(void)
{
	struct tq_device *dev, *dev_next;
	struct tq_interface *iface, *if_next;
	struct tq_value *v, *v_next;

	list_for_each_entry(dev, &tq_devices, node)
		list_for_each_entry(iface, &dev->interfaces, node)
			if (atomic_read(&iface->open_count))
				return -EBUSY;
	list_for_each_entry_safe(dev, dev_next, &tq_devices, node) {
		list_for_each_entry_safe(iface, if_next, &dev->interfaces, node) {
			tq_node_unregister(iface);
			list_del(&iface->node);
			kfree(iface);
		}
		proc_remove(dev->root);
		while (!list_empty(&dev->raw_files)) {
			struct tq_raw_file *file =
				list_first_entry(&dev->raw_files, struct tq_raw_file, node);

			list_del(&file->node);
			kfree(file);
		}
		list_del(&dev->node);
		kfree(dev);
	}
	list_for_each_entry_safe(v, v_next, &tq_values, node) {
		list_del(&v->node);
		kfree(v);
	}
	tq_fault_count = 0;
	memcpy(tq_sizes, tq_default_sizes, sizeof(tq_default_sizes));
	tq_size_count = ARRAY_SIZE(tq_default_sizes);
	tq_sequence = 0;
	mutex_lock(&tq_log_lock);
	tq_log_length = 0;
	tq_log_overflow = false;
	tq_log_text[0] = 0;
	mutex_unlock(&tq_log_lock);
	return 0;
}

/* Control file: one command per line; a write fails on the first bad line. */

static ssize_t tq_control_write(struct file *file, const char __user *data, size_t count,
				loff_t *pos)
{
	char *text, *cursor, *line;
	int err = 0;

	if (count > PAGE_SIZE)
		return -E2BIG;
	text = memdup_user_nul(data, count);
	if (IS_ERR(text))
		return PTR_ERR(text);
	mutex_lock(&tq_lock);
	cursor = text;
	while (!err && (line = strsep(&cursor, "\n")) != NULL)
		err = tq_control_line(line);
	mutex_unlock(&tq_lock);
	kfree(text);
	return err ? err : count;
}

static const struct proc_ops tq_control_ops = {
	.proc_write = tq_control_write,
	.proc_lseek = noop_llseek,
};

static int __init tq_init(void)
{
	tq_log_text = vzalloc(TQ_LOG_CAPACITY);
	if (!tq_log_text)
		return -ENOMEM;
	tq_driver_root = proc_mkdir("driver/tq", NULL);
	tq_test_root = proc_mkdir("tqtest", NULL);
	if (!tq_driver_root || !tq_test_root ||
	    !proc_create("control", 0200, tq_test_root, &tq_control_ops) ||
	    !proc_create("log", 0444, tq_test_root, &tq_log_ops) ||
	    !proc_create_single("values", 0444, tq_test_root, tq_values_show)) {
		proc_remove(tq_test_root);
		proc_remove(tq_driver_root);
		vfree(tq_log_text);
		return -ENOMEM;
	}
	mutex_lock(&tq_lock);
	tq_reset();
	mutex_unlock(&tq_lock);
	return 0;
}

static void __exit tq_exit(void)
{
	/* Module references held by open nodes keep us from getting here early. */
	mutex_lock(&tq_lock);
	tq_reset();
	mutex_unlock(&tq_lock);
	proc_remove(tq_test_root);
	proc_remove(tq_driver_root);
	vfree(tq_log_text);
}

module_init(tq_init);
module_exit(tq_exit);

MODULE_LICENSE("GPL");
MODULE_DESCRIPTION("Test driver for the AE device interfaces");
