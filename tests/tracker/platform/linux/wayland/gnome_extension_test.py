#!/usr/bin/env python3
"""The GNOME Shell extension as the bundle carries it: each module form parses as what its
shells load (a script before 45, an ES module from 45 on) and names those shells, and the helper
installs the form the installed shell takes.
    gnome_extension_test.py CONTENTS   (the bundle's)"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

UUID = "quillmoss-focus@velbrook.com"
FORMS = {"40": ["40", "41", "42", "43", "44"], "45": ["45", "46", "47", "48"]}
# What `gnome-shell --version` says (None: not installed), and the form to install.
CASES = [("GNOME Shell 40.0", "40"), ("GNOME Shell 43.9", "40"), ("GNOME Shell 44.beta", "40"),
         ("GNOME Shell 45.0", "45"), ("GNOME Shell 47.2", "45"), (None, "45"),
         ("GNOME Shell 3.38.6", None)]


def check_forms(resources, root):
    for form, versions in FORMS.items():
        folder = os.path.join(resources, form, UUID)
        with open(os.path.join(folder, "metadata.json")) as f:
            metadata = json.load(f)
        assert metadata["uuid"] == UUID and metadata["shell-version"] == versions, metadata
        # Node parses .cjs as a script (an import there is an error) and .mjs as a module.
        copy = os.path.join(root, "extension" + (".mjs" if form == "45" else ".cjs"))
        shutil.copy(os.path.join(folder, "extension.js"), copy)
        result = subprocess.run(["node", "--check", copy], capture_output=True, text=True)
        assert result.returncode == 0, f"form {form}: {result.stderr}"


def check_helper(helper, resources, root):
    tools = os.path.join(root, "tools")
    os.makedirs(tools)
    for tool in ("sh", "sed", "dirname", "readlink", "mkdir", "rm", "cp"):
        os.symlink(shutil.which(tool), os.path.join(tools, tool))
    for said, form in CASES:
        shell = os.path.join(tools, "gnome-shell")
        if os.path.exists(shell):
            os.remove(shell)
        if said is not None:
            with open(shell, "w") as f:
                f.write(f"#!/bin/sh\necho '{said}'\n")
            os.chmod(shell, 0o755)
        target = os.path.join(root, "extensions")
        shutil.rmtree(target, ignore_errors=True)
        result = subprocess.run([helper, target], env={"PATH": tools}, capture_output=True,
                                text=True)
        if form is None:
            assert result.returncode == 1 and "too old" in result.stderr \
                and not os.path.exists(target), (said, result)
            continue
        assert result.returncode == 0 and not result.stderr, (said, result)
        for name in ("extension.js", "metadata.json"):
            with open(os.path.join(target, UUID, name)) as f, \
                    open(os.path.join(resources, form, UUID, name)) as g:
                assert f.read() == g.read(), f"{said}: {name} is not the form {form}"


if __name__ == "__main__":
    contents = os.path.abspath(sys.argv[1])
    resources = os.path.join(contents, "Resources", "gnome-shell")
    with tempfile.TemporaryDirectory(prefix="qm-extension-") as root:
        check_forms(resources, root)
        check_helper(os.path.join(contents, "Helpers", "quillmoss-gnome-extension"), resources,
                     root)
