// SPDX-License-Identifier: GPL-2.0
/*
 * The device nodes: one misc character device per interface, answering the
 * AE requests. The argument is a 32-byte block that points at the request
 * and reply records in the caller's memory; the set request's record points
 * once more, at the value bytes. Every pointer is followed with the user
 * copy routines, so a bad address fails the call with EFAULT.
 */

#include <linux/build_bug.h>
#include <linux/fs.h>
#include <linux/slab.h>
#include <linux/stddef.h>
#include <linux/uaccess.h>

#include "tqtest.h"

static void tq_layout_checks(void)
{
	BUILD_BUG_ON(sizeof(struct tq_compact_status) != 32);
	BUILD_BUG_ON(offsetof(struct tq_compact_status, line) != 4);
	BUILD_BUG_ON(offsetof(struct tq_compact_status, file) != 8);
	BUILD_BUG_ON(sizeof(struct tq_ioctl_block) != 32);
	BUILD_BUG_ON(offsetof(struct tq_ioctl_block, out) != 8);
	BUILD_BUG_ON(offsetof(struct tq_ioctl_block, in_size) != 16);
	BUILD_BUG_ON(offsetof(struct tq_ioctl_block, out_size) != 20);
	BUILD_BUG_ON(offsetof(struct tq_ioctl_block, bytes_returned) != 24);
	BUILD_BUG_ON(sizeof(struct tq_property_record) != 64);
	BUILD_BUG_ON(offsetof(struct tq_property_record, selector) != 4);
	BUILD_BUG_ON(offsetof(struct tq_property_record, prop) != 8);
	BUILD_BUG_ON(offsetof(struct tq_property_record, buffer) != 16);
	BUILD_BUG_ON(offsetof(struct tq_property_record, buffer_size) != 24);
	BUILD_BUG_ON(offsetof(struct tq_property_record, status) != 28);
	BUILD_BUG_ON(sizeof(struct tq_get_reply) != 36);
	BUILD_BUG_ON(offsetof(struct tq_get_reply, status) != 4);
}

struct tq_request {
	struct tq_interface *iface;
	u32 code;
	u64 seq;
	u64 block_address;
	struct tq_ioctl_block block;
	bool is_property;
	struct tq_property_record record;
};

static struct tq_compact_status tq_status(s32 code, u32 line, const char *file)
{
	struct tq_compact_status s = { .code = code, .line = line };

	strscpy(s.file, file, sizeof(s.file));
	return s;
}

/*
 * code:line:file; bytes of the file name that are not printable, and
 * spaces, are written as \xNN so that a log line stays one line of words.
 */
static void tq_log_status(const struct tq_compact_status *s)
{
	size_t i;

	tq_log_append("%d:%u:", s->code, s->line);
	for (i = 0; i < sizeof(s->file) && s->file[i]; i++) {
		u8 c = s->file[i];

		if (c > 0x20 && c < 0x7f)
			tq_log_append("%c", c);
		else
			tq_log_append("\\x%02x", c);
	}
}

static bool tq_fault_fires(struct tq_fault *f)
{
	++f->seen;
	return f->seen >= f->from && (f->times == 0 || f->seen < f->from + f->times);
}

/* The first matching fault of the kind that fires now; counts every match. */
static struct tq_fault *tq_fault_match(const struct tq_request *r, enum tq_fault_effect effect)
{
	struct tq_fault *hit = NULL;
	unsigned int i;

	for (i = 0; i < tq_fault_count; i++) {
		struct tq_fault *f = &tq_faults[i];

		if (f->effect != effect)
			continue;
		if (effect == TQ_FAULT_DISCARD && r->code != TQ_SET_PROPERTY)
			continue;
		if (f->seq && f->seq != r->seq)
			continue;
		if (f->dev[0] && strcmp(f->dev, r->iface->dev->dir))
			continue;
		/* req= names the whole code or only the request number (its low byte). */
		if (f->request && f->request != r->code && f->request != (r->code & 0xFF))
			continue;
		if ((f->has_port || f->has_prop) && !r->is_property)
			continue;
		if (f->has_port && f->port != r->record.port)
			continue;
		if (f->has_prop && f->prop != r->record.prop)
			continue;
		if (tq_fault_fires(f) && !hit)
			hit = f;
	}
	return hit;
}

static void tq_log_fault(const struct tq_request *r, const struct tq_fault *f,
			 const struct tq_compact_status *status)
{
	tq_log_append("fault ioctl seq=%llu dev=%s ", r->seq, r->iface->dev->dir);
	if (status) {
		tq_log_append("status=");
		tq_log_status(status);
		tq_log_append("\n");
	} else {
		tq_log_append("errno=%d\n", f->error);
	}
}

static void tq_set_bytes_returned(const struct tq_request *r)
{
	u32 returned = r->block.out_size;

	/* Informational only: the tool does not rely on it. */
	if (copy_to_user((void __user *)(uintptr_t)(r->block_address +
						    offsetof(struct tq_ioctl_block, bytes_returned)),
			 &returned, sizeof(returned)))
		return;
}

static long tq_property(struct tq_request *r)
{
	const struct tq_property_record *q = &r->record;
	struct tq_device *dev = r->iface->dev;
	bool is_set = r->code == TQ_SET_PROPERTY;
	bool readable = true, known, stored = false;
	struct tq_compact_status status = {};
	struct tq_fault *f;
	u8 *value = NULL;
	u32 size = 0;
	long ret = 0;

	if (is_set && q->buffer) {
		if (q->buffer_size > TQ_MAX_RECORD) {
			readable = false;
		} else {
			value = kmalloc(q->buffer_size ? q->buffer_size : 1, GFP_KERNEL);
			if (!value)
				return -ENOMEM;
			readable = !copy_from_user(value, (const void __user *)(uintptr_t)q->buffer,
						   q->buffer_size);
		}
	}
	tq_log_append("ioctl dev=%s req=0x%06x in=%u out=%u port=%u sel=0x%08x prop=0x%08x bufsize=%u value=",
		      dev->dir, r->code, r->block.in_size, r->block.out_size, q->port, q->selector,
		      q->prop, q->buffer_size);
	if (!is_set || !q->buffer)
		tq_log_append("-");
	else if (readable)
		tq_log_hex(value, q->buffer_size);
	else
		tq_log_append("unreadable");
	tq_log_append(" status=");
	tq_log_status(&q->status);
	tq_log_append("\n");
	if (!readable) {
		ret = q->buffer_size > TQ_MAX_RECORD ? -EINVAL : -EFAULT;
		goto out;
	}
	f = tq_fault_match(r, TQ_FAULT_ERRNO);
	if (f) {
		tq_log_fault(r, f, NULL);
		ret = -f->error;
		goto out;
	}

	/* The driver's own verdict first; an injected status replaces it. */
	known = tq_size_of(q->prop, &size);
	if (q->port >= dev->ports)
		status = tq_status(TQ_REPLY_INVALID_PARAMETER, 1, TQ_REPLY_FILE);
	else if (!known)
		status = tq_status(TQ_REPLY_UNKNOWN_PROPERTY, 2, TQ_REPLY_FILE);
	else if (is_set && (!q->buffer || q->buffer_size != size))
		status = tq_status(TQ_REPLY_INVALID_PARAMETER, 3, TQ_REPLY_FILE);
	else if (!is_set && q->buffer && q->buffer_size < size)
		status = tq_status(TQ_REPLY_BUFFER_TOO_SMALL, 4, TQ_REPLY_FILE);
	else
		stored = true;
	f = tq_fault_match(r, TQ_FAULT_STATUS);
	if (f) {
		status = f->status;
		stored = stored && status.code >= 0;
		tq_log_fault(r, f, &status);
	}
	if (is_set && tq_fault_match(r, TQ_FAULT_DISCARD)) {
		stored = false;
		tq_log_append("fault ioctl seq=%llu dev=%s discard\n", r->seq, r->iface->dev->dir);
	}

	if (is_set) {
		if (stored) {
			ret = tq_value_store(dev, q->port, q->prop, value, size);
			if (ret)
				goto out;
		}
		if (copy_to_user((void __user *)(uintptr_t)r->block.out, &status, sizeof(status))) {
			ret = -EFAULT;
			goto out;
		}
	} else {
		struct tq_get_reply reply = { .size = size, .status = status };

		if (stored && q->buffer) {
			struct tq_value *v = tq_value_find(dev, q->port, q->prop);
			u8 zeros[TQ_MAX_VALUE] = {};

			if (copy_to_user((void __user *)(uintptr_t)q->buffer, v ? v->bytes : zeros,
					 size)) {
				ret = -EFAULT;
				goto out;
			}
		}
		if (copy_to_user((void __user *)(uintptr_t)r->block.out, &reply, sizeof(reply))) {
			ret = -EFAULT;
			goto out;
		}
	}
	tq_set_bytes_returned(r);
out:
	kfree(value);
	return ret;
}

/* A field of a record in host byte order. */
static u64 tq_field_get(const u8 *record, const struct tq_field *field)
{
	u32 v32;
	u64 v64;

	if (field->width == sizeof(v32)) {
		memcpy(&v32, record + field->offset, sizeof(v32));
		return v32;
	}
	memcpy(&v64, record + field->offset, sizeof(v64));
	return v64;
}

static void tq_field_put(u8 *record, const struct tq_field *field, u64 value)
{
	u32 v32 = value;

	if (field->width == sizeof(v32))
		memcpy(record + field->offset, &v32, sizeof(v32));
	else
		memcpy(record + field->offset, &value, sizeof(value));
}

/*
 * Requests the tool does not issue: decoded by their record layout, logged
 * field by field, and answered with success and recognisable results: result
 * field number n (from 1) holds the request number in its top byte and n in
 * its low byte.
 */
static long tq_other_request(struct tq_request *r, const struct tq_layout *layout)
{
	const struct tq_field *field;
	struct tq_fault *f;
	u8 *input, *reply;
	unsigned int index = 0;
	long ret = 0;

	input = kmalloc(layout->in_size, GFP_KERNEL);
	reply = kzalloc(layout->out_size, GFP_KERNEL);
	if (!input || !reply) {
		ret = -ENOMEM;
		goto out;
	}
	if (copy_from_user(input, (const void __user *)(uintptr_t)r->block.in, layout->in_size)) {
		tq_log_append("ioctl dev=%s req=0x%06x in=%u out=%u input=unreadable\n",
			      r->iface->dev->dir, r->code, r->block.in_size, r->block.out_size);
		ret = -EFAULT;
		goto out;
	}
	tq_log_append("ioctl dev=%s req=0x%06x in=%u out=%u", r->iface->dev->dir, r->code,
		      r->block.in_size, r->block.out_size);
	for (field = layout->in; field->name; field++)
		tq_log_append(" %s=0x%llx", field->name, tq_field_get(input, field));
	tq_log_append(" status=");
	tq_log_status((const struct tq_compact_status *)(input + layout->in_status));
	tq_log_append("\n");
	f = tq_fault_match(r, TQ_FAULT_ERRNO);
	if (f) {
		tq_log_fault(r, f, NULL);
		ret = -f->error;
		goto out;
	}
	for (field = layout->out; field->name; field++)
		tq_field_put(reply, field,
			     ((u64)layout->number << (field->width * 8 - 8)) | ++index);
	f = tq_fault_match(r, TQ_FAULT_STATUS);
	if (f) {
		memcpy(reply + layout->out_status, &f->status, sizeof(f->status));
		tq_log_fault(r, f, &f->status);
	}
	if (copy_to_user((void __user *)(uintptr_t)r->block.out, reply, layout->out_size)) {
		ret = -EFAULT;
		goto out;
	}
	tq_set_bytes_returned(r);
out:
	kfree(input);
	kfree(reply);
	return ret;
}

static long tq_node_ioctl(struct file *file, unsigned int cmd, unsigned long arg)
{
	struct tq_interface *iface = container_of(file->private_data, struct tq_interface, misc);
	struct tq_request r = { .iface = iface, .code = cmd, .block_address = arg };
	bool property_code = cmd == TQ_SET_PROPERTY || cmd == TQ_GET_PROPERTY;
	const struct tq_layout *layout = tq_layout_of(cmd);
	u32 expected_out;
	long ret;

	tq_layout_checks();
	mutex_lock(&tq_lock);
	mutex_lock(&tq_log_lock);
	r.seq = ++tq_sequence;
	if (!property_code && !layout) {
		tq_log_append("ioctl dev=%s req=0x%06x unknown\n", iface->dev->dir, cmd);
		ret = -ENOTTY;
		goto out;
	}
	if (copy_from_user(&r.block, (const void __user *)arg, sizeof(r.block))) {
		tq_log_append("ioctl dev=%s req=0x%06x block=unreadable\n", iface->dev->dir, cmd);
		ret = -EFAULT;
		goto out;
	}
	/* The caller hands over a clean block: nothing returned yet, last word 0. */
	if (r.block.bytes_returned || r.block.zero) {
		tq_log_append("ioctl dev=%s req=0x%06x returned=%u zero=%u block=dirty\n",
			      iface->dev->dir, cmd, r.block.bytes_returned, r.block.zero);
		ret = -EINVAL;
		goto out;
	}
	expected_out = cmd == TQ_GET_PROPERTY ? sizeof(struct tq_get_reply)
					      : sizeof(struct tq_compact_status);
	r.is_property = property_code && r.block.in_size == sizeof(r.record) &&
			r.block.out_size == expected_out;
	if (r.is_property) {
		if (copy_from_user(&r.record, (const void __user *)(uintptr_t)r.block.in,
				   sizeof(r.record))) {
			tq_log_append("ioctl dev=%s req=0x%06x in=%u out=%u input=unreadable\n",
				      iface->dev->dir, cmd, r.block.in_size, r.block.out_size);
			ret = -EFAULT;
			goto out;
		}
		ret = tq_property(&r);
		goto out;
	}
	if (!layout || r.block.in_size != layout->in_size ||
	    r.block.out_size != layout->out_size) {
		tq_log_append("ioctl dev=%s req=0x%06x in=%u out=%u sizes=wrong\n",
			      iface->dev->dir, cmd, r.block.in_size, r.block.out_size);
		ret = -EINVAL;
		goto out;
	}
	ret = tq_other_request(&r, layout);
out:
	mutex_unlock(&tq_log_lock);
	mutex_unlock(&tq_lock);
	return ret;
}

static int tq_node_open(struct inode *inode, struct file *file)
{
	struct tq_interface *iface = container_of(file->private_data, struct tq_interface, misc);

	atomic_inc(&iface->open_count);
	mutex_lock(&tq_log_lock);
	tq_log_append("open dev=%s node=%s\n", iface->dev->dir, iface->node_path);
	mutex_unlock(&tq_log_lock);
	return 0;
}

static int tq_node_release(struct inode *inode, struct file *file)
{
	struct tq_interface *iface = container_of(file->private_data, struct tq_interface, misc);

	mutex_lock(&tq_log_lock);
	tq_log_append("close dev=%s\n", iface->dev->dir);
	mutex_unlock(&tq_log_lock);
	atomic_dec(&iface->open_count);
	return 0;
}

static const struct file_operations tq_node_fops = {
	.owner = THIS_MODULE,
	.open = tq_node_open,
	.release = tq_node_release,
	.unlocked_ioctl = tq_node_ioctl,
	.llseek = noop_llseek,
};

int tq_node_register(struct tq_interface *iface)
{
	int err;

	iface->misc.minor = MISC_DYNAMIC_MINOR;
	iface->misc.name = iface->misc_name;
	iface->misc.fops = &tq_node_fops;
	iface->misc.mode = 0600;
	err = misc_register(&iface->misc);
	if (!err)
		iface->registered = true;
	return err;
}

void tq_node_unregister(struct tq_interface *iface)
{
	if (iface->registered)
		misc_deregister(&iface->misc);
	iface->registered = false;
}
