"""Results of a test script in GoogleTest's XML form, so that the test script counts each case
as it counts those of the test programs; and the same cases on the console."""
import os
from xml.sax.saxutils import quoteattr


def write_results(path, name, suite, cases):
    """cases: (case name, failure messages, skip reason); failures None means skipped.
    Prints each case and a summary line; returns the number of failed cases."""
    failed = sum(1 for _, f, _ in cases if f)
    skipped = sum(1 for _, f, _ in cases if f is None)
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w", encoding="utf-8") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        out.write(f'<testsuites tests="{len(cases)}" failures="{failed}" disabled="0" errors="0" name="{name}">\n')
        out.write(f'  <testsuite name="{suite}" tests="{len(cases)}" failures="{failed}" disabled="0" errors="0">\n')
        for case, failures, reason in cases:
            if failures is None:
                print(f"[  SKIPPED ] {case}: {reason}")
                out.write(f'    <testcase name={quoteattr(case)} status="run" result="skipped">'
                          f'<skipped message={quoteattr(reason)}/></testcase>\n')
            elif failures:
                print(f"[  FAILED  ] {case}\n" + "\n".join(failures))
                out.write(f'    <testcase name={quoteattr(case)} status="run" result="completed">'
                          f'<failure message={quoteattr(chr(10).join(failures))}/></testcase>\n')
            else:
                print(f"[       OK ] {case}")
                out.write(f'    <testcase name={quoteattr(case)} status="run" result="completed"/>\n')
        out.write("  </testsuite>\n</testsuites>\n")
    print(f"{len(cases) - failed - skipped} passed, {failed} failed, {skipped} skipped")
    return failed
