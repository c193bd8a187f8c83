#!/usr/bin/env python3
"""scripts/usage_report.py over damaged and hostile day files: each counts as empty and the
report still prints; the command line takes options as options, never as a folder."""

import contextlib
import io
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import usage_report  # noqa: E402

DAY = "2026-12-06"
GOOD = {"usage": '{"com.a": 90.5}', "activity": "[[1765000000, 1765000060]]",
        "segments": '[["com.a", 1765000000, 1765000090.5]]'}
HOSTILE = {
    "usage": ['{"a":"x"}', "[1,2]", '[["a",1]]', "5", '{"a":null}', '{"a":true}', '{"a":1e400}',
              '{"a":Infinity}', '{"a":1,"a":2}', '{"a":', b'{"a\xff":1}', '{"a":1} {}', "",
              "[" * 100000],
    "activity": ['{"a":"x"}', "[1,2]", '[["a",1]]', '[[1,"x"]]', "[[NaN,1]]", "[[1,null]]", "null",
                 "[[1," + "[" * 5000 + "]" * 5000 + "]]"],
    "segments": ['{"a":"x"}', "[1,2]", '[["a",1]]', "[[1,2,3]]", '[["k",1e308,1e999]]', '["k"]',
                 '[["k",18446744073709551616e300,2]]'],
}


def report(*args):
    out, err = io.StringIO(), io.StringIO()
    with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
        status = usage_report.main(["usage_report.py", *args])
    return status, out.getvalue(), err.getvalue()


class UsageReport(unittest.TestCase):
    def setUp(self):
        self.path = self.enterContext(tempfile.TemporaryDirectory())

    def write(self, kind, content):
        with open(os.path.join(self.path, f"{kind}_{DAY}.json"), "wb") as f:
            f.write(content if isinstance(content, bytes) else content.encode())

    def test_each_hostile_file_counts_as_empty_and_the_others_still_show(self):
        for kind, content in ((k, c) for k, cases in HOSTILE.items() for c in cases):
            with self.subTest(kind=kind, content=content[:40]):
                for good_kind, good in dict(GOOD, **{kind: content}).items():
                    self.write(good_kind, good)
                loaded = dict(zip(GOOD, usage_report.load_day(self.path, DAY)))
                self.assertEqual(loaded[kind], {} if kind == "usage" else [])
                status, out, _ = report(self.path, DAY)
                self.assertEqual(status, 0)
                self.assertIn(DAY, out)
                if kind != "usage":
                    self.assertIn("com.a", out)

    def test_what_is_not_a_regular_small_file_counts_as_missing(self):
        os.mkfifo(os.path.join(self.path, f"usage_{DAY}.json"))  # Must not block.
        os.mkdir(os.path.join(self.path, f"segments_{DAY}.json"))
        self.write("activity", b" " * (usage_report.MAX_FILE_BYTES + 1))
        self.assertEqual(usage_report.load_day(self.path, DAY), ({}, [], []))

    def test_short_elements_are_dropped_and_extreme_numbers_still_print(self):
        self.write("usage", '{"a":1e308,"b":1e308}')
        self.write("segments", '[["k",1], ["k",1,2,"extra"], ["k",1e300,-1e300]]')
        self.assertEqual(usage_report.load_day(self.path, DAY)[2],
                         [["k", 1.0, 2.0], ["k", 1e300, -1e300]])
        self.assertEqual(report(self.path, DAY)[0], 0)

    def test_options_are_not_folder_names(self):
        self.write("usage", GOOD["usage"])
        for args, status, stream in ((["--help"], 0, 1), (["-h"], 0, 1), ([], 2, 2),
                                     (["--bogus"], 2, 2), ([self.path, "../x"], 2, 2),
                                     ([self.path, DAY, "x"], 2, 2)):
            with self.subTest(args=args):
                result = report(*args)
                self.assertEqual(result[0], status)
                self.assertIn("usage_report.py DATA_DIR", result[stream])
        self.assertEqual(report(self.path)[0], 0)


if __name__ == "__main__":
    unittest.main()
