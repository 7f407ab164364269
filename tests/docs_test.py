#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# The documents say what is there: every test case that README.md,
# CONTRIBUTING.md, CHANGELOG.md and docs/ name exists, and the manual page's
# source, installed as it stands, names the project's version.
# Usage: docs_test.py SOURCE_DIR VERSION
import glob, os, re, sys

source, version = sys.argv[1], sys.argv[2]
failures = []
for doc in ["README.md", "CONTRIBUTING.md", "CHANGELOG.md"] + glob.glob(source + "/docs/*.md"):
    text = open(os.path.join(source, doc), encoding="utf-8").read()
    for name in sorted(set(re.findall(r"\bcase\.([a-z0-9-]+)", text))):
        if not os.path.exists(os.path.join(source, "tests", "cases", name + ".case")):
            failures.append("%s names case.%s, which does not exist" % (doc, name))
page = open(os.path.join(source, "travorn.1"), encoding="utf-8").read()
if '"travorn %s"' % version not in page.split("\n.SH", 1)[0] or "@" in page:
    failures.append("travorn.1 does not name version %s as it stands" % version)
print("\n".join(failures) or "the documents name what is there")
sys.exit(1 if failures else 0)
