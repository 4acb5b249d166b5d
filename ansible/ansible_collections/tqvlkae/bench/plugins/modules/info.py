#!/usr/bin/python
# SPDX-License-Identifier: MIT
# What a bench holds, as facts: show's document (every device and its port
# values) and diff's verdict of the settings file against them. Reads only:
# never changed, the same in check mode.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: info
short_description: The devices of a bench, their values and the settings file's drift, as facts
description:
  - Sets the fact C(tqvlkae_show), the document of C(tqvlkaectl show --json) (every AE device and the
    value of each port property), and C(tqvlkae_diff), the document of C(tqvlkaectl diff --json) (each
    entry of the settings file against the live value, and C(inSync)).
  - Writes nothing, to the file or to a device.
version_added: "0.1.0"
author: tqvlkaepropinit developers
options:
  path:
    description: The settings file to compare; default the file that restore reads on the host.
    type: path
  executable:
    description: The C(tqvlkaectl) to run; default the one on PATH or in C(/usr/sbin).
    type: path
notes:
  - Supports check mode.
seealso:
  - module: tqvlkae.bench.settings
"""

EXAMPLES = r"""
- name: Read the bench
  tqvlkae.bench.info:

- name: Say which benches drifted from their file
  ansible.builtin.debug:
    msg: "{{ inventory_hostname }} is out of sync"
  when: not tqvlkae_diff.inSync
"""

RETURN = r"""
ansible_facts:
  description: The facts set.
  returned: always
  type: complex
  contains:
    tqvlkae_show:
      description: The document of C(tqvlkaectl show --json) (/usr/share/tqvlkaepropinit/schemas/show.schema.json).
      type: dict
    tqvlkae_diff:
      description: The document of C(tqvlkaectl diff --json) (/usr/share/tqvlkaepropinit/schemas/diff.schema.json); C(inSync) is the verdict.
      type: dict
in_sync:
  description: Every entry of the settings file holds on the devices (diff exit status 0).
  returned: always
  type: bool
"""

from ansible.module_utils.basic import AnsibleModule

from ansible_collections.tqvlkae.bench.plugins.module_utils import tqvlkaectl


def main():
    module = AnsibleModule(
        argument_spec=dict(path=dict(type="path"), **tqvlkaectl.COMMON_OPTIONS),
        supports_check_mode=True,
    )
    _, shown = tqvlkaectl.run(module, ["show", "--json"])
    arguments = ["diff", "--json"]
    if module.params["path"]:
        arguments += ["--", module.params["path"]]
    status, compared = tqvlkaectl.run(module, arguments)
    module.exit_json(changed=False, in_sync=status == tqvlkaectl.CLEAN,
                     ansible_facts=dict(tqvlkae_show=shown, tqvlkae_diff=compared))


if __name__ == "__main__":
    main()
