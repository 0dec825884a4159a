"""The closing count of scripts/test.sh, from the steps' JUnit reports: skipped tests are not
passes, and a failed step never vanishes from the count, with or without a report."""

import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]

PYTEST = ('<testsuites><testsuite name="pytest" tests="5" failures="1" errors="1" skipped="2">'
          '</testsuite></testsuites>')
CTEST = '<testsuite name="core" tests="4" failures="1" disabled="1" skipped="1"></testsuite>'
CLEAN = '<testsuites><testsuite name="pytest" tests="3" failures="0" errors="0" skipped="0"></testsuite></testsuites>'


def summary(tmp_path, steps):
    """steps: one (status, {report suffix: XML}) per step, numbered from 1 as test.sh does."""
    for number, (status, reports) in enumerate(steps, 1):
        (tmp_path / f"{number}.status").write_text(status + "\n")
        for suffix, xml in reports.items():
            (tmp_path / f"{number}{suffix}.xml").write_text(xml)
    result = subprocess.run([sys.executable, ROOT / "scripts" / "summarize_junit.py", tmp_path],
                            capture_output=True, text=True, check=True)
    return result.stdout.splitlines()[-1]


def test_reports_of_pytest_and_ctest_add_up_without_the_skipped(tmp_path):
    assert summary(tmp_path, [("failed", {"": PYTEST}), ("failed", {"": CTEST})]) == "total: 2 passed, 3 failed"


def test_several_reports_of_one_step_and_steps_without_a_report(tmp_path):
    steps = [("passed", {"-3.12": CLEAN, "-3.13": CLEAN}), ("passed", {}), ("failed", {})]
    assert summary(tmp_path, steps) == "total: 7 passed, 1 failed"


def test_a_failed_step_whose_report_shows_no_failure_still_fails(tmp_path):
    assert summary(tmp_path, [("failed", {"": CLEAN})]) == "total: 3 passed, 1 failed"
