# SPDX-License-Identifier: MIT
# The controller's side of tqvlkae.bench.settings: src names a file on the
# controller (found as the copy module finds one: the role's or playbook's
# files/ first), whose text reaches the module as content. A file that is
# not UTF-8 is refused rather than passed on altered.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

from ansible.errors import AnsibleError
from ansible.module_utils.common.text.converters import to_text
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):
    TRANSFERS_FILES = False

    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        arguments = self._task.args.copy()
        src = arguments.pop("src", None)
        if src is not None:
            if arguments.get("content") is not None or arguments.get("entries") is not None:
                result.update(failed=True, msg="src is mutually exclusive with content and entries")
                return result
            try:
                found = self._find_needle("files", src)
                with open(found, "rb") as stream:
                    arguments["content"] = to_text(stream.read(), errors="strict")
            except (AnsibleError, OSError) as error:
                result.update(failed=True, msg="src %s: %s" % (src, to_text(error)))
                return result
            except UnicodeDecodeError:
                result.update(failed=True, msg="src %s is not UTF-8 text" % src)
                return result
        result.update(self._execute_module(module_name="tqvlkae.bench.settings", module_args=arguments,
                                           task_vars=task_vars))
        return result
