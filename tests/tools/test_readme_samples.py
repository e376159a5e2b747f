"""readme_samples.py on a page of its own: a stale block is named with a diff and rewritten,
what varies is masked, and a failing command shows its exit status."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
SCRIPT = os.path.join(TOOLS, "readme_samples.py")

PAGE = """# A page

<!-- sample -->
```
$ build/se/Quorlin --timetable examples/day.csv --B 5 --N 20 --seed 1 --outpath r.xml
Running SE with B=5 and N=20
optimal number of chains = 7
Run time: 0.1 sec.
$ grep -c opt_number_of_chains r.xml; ls missing.csv
```

Text between.

<!-- sample -->
```
$ build/localsearch/Parvel --timetable examples/day.csv --min_turn 45
```
"""


@unittest.skipUnless(os.environ.get("PARVEL_BIN"), "the built programs are named by CTest")
class SamplesTest(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.directory)
        self.page = os.path.join(self.directory, "page.md")
        with open(self.page, "w", encoding="utf-8") as stream:
            stream.write(PAGE)

    def samples(self, mode):
        return subprocess.run([sys.executable, SCRIPT, mode, self.page], capture_output=True,
                              text=True, timeout=120)

    def test_stale_block_named_then_rewritten_and_current(self):
        result = self.samples("--check")
        self.assertEqual(result.returncode, 1)
        self.assertIn("stale sample ", result.stdout)
        self.assertIn("page.md:3: $ build/se/Quorlin --timetable examples/day.csv", result.stdout)
        self.assertIn("\n-optimal number of chains = 7\n", result.stdout)
        self.assertIn("\n+optimal number of chains = 6\n", result.stdout)
        self.assertIn("page.md:14: $ build/localsearch/Parvel", result.stdout)

        self.assertEqual(self.samples("--write").returncode, 0)
        with open(self.page, encoding="utf-8") as stream:
            written = stream.read()
        quorlin = subprocess.run([os.environ["QUORLIN_BIN"], "--timetable",
                                  os.path.join(TOOLS, "..", "examples", "day.csv"), "--B", "5",
                                  "--N", "20", "--seed", "1"], capture_output=True, text=True)
        for line in quorlin.stdout.splitlines()[:-1]:  # all but the run time
            self.assertIn("\n" + line + "\n", written)
        self.assertIn("\n1\nls: cannot access 'missing.csv'", written)
        self.assertIn("No such file or directory\n[exit status 2]\n```", written)
        self.assertIn('--min_turn must be a number of hours from 0 to 24: "45"\n[exit status 1]\n```',
                      written)
        self.assertTrue(written.startswith("# A page\n") and "\nText between.\n" in written)

        # Another run time is no change; another count is.
        with open(self.page, "w", encoding="utf-8") as stream:
            stream.write(written.replace("Run time: 0.", "Run time: 9."))
        self.assertEqual((self.samples("--check").returncode, self.samples("--check").stdout),
                         (0, ""))
        with open(self.page, "w", encoding="utf-8") as stream:
            stream.write(written.replace("mean estimator = ", "mean estimator = 1"))
        self.assertEqual(self.samples("--check").returncode, 1)


if __name__ == "__main__":
    unittest.main()
