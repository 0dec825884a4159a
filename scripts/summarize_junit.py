"""Adds up the results of scripts/test.sh's steps from the test tools' own JUnit XML reports and
prints one closing line, "total: N passed, N failed".

Usage: summarize_junit.py LOGDIR. Step N left LOGDIR/N.status ("passed" or "failed") and its
reports as LOGDIR/N.xml or LOGDIR/N-*.xml. A step without a report (cargo test, the stub check)
counts as one test; a failed step whose reports show no failure counts one failure more, so that
a crash after or instead of the report is never a pass."""

import sys
import xml.etree.ElementTree as ET
from pathlib import Path


def counts(report: Path) -> tuple[int, int, int]:
    """(tests, failed, skipped) of one report: pytest's <testsuites> or ctest's lone <testsuite>."""
    root = ET.parse(report).getroot()
    suites = [root] if root.tag == "testsuite" else root.iter("testsuite")
    tests = failed = skipped = 0
    for suite in suites:
        def number(name):
            return int(suite.get(name, 0))
        tests += number("tests")
        failed += number("failures") + number("errors")
        skipped += number("skipped") + number("disabled")
    return tests, failed, skipped


def step_counts(status: Path) -> tuple[int, int, int]:
    step_failed = status.read_text().strip() != "passed"
    reports = [status.with_suffix(".xml"), *status.parent.glob(f"{status.stem}-*.xml")]
    reports = [r for r in reports if r.is_file()]
    if not reports:
        return 1, int(step_failed), 0
    tests, failed, skipped = (sum(c) for c in zip(*map(counts, reports)))
    if step_failed and failed == 0:
        tests, failed = tests + 1, 1
    return tests, failed, skipped


def main(logdir: Path) -> int:
    steps = [step_counts(status) for status in logdir.glob("*.status")]
    tests, failed, skipped = (sum(c) for c in zip(*steps)) if steps else (0, 0, 0)
    print(f"skipped: {skipped}")
    print(f"total: {tests - failed - skipped} passed, {failed} failed")
    return 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1])))
