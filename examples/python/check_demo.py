# Imports the example module and checks that its message arrives on
# sys.stderr, where a Python program expects it.
import io
import sys

import hestrel_demo

captured = io.StringIO()
sys.stderr = captured
status = hestrel_demo.warn("hello from an extension module")
sys.stderr = sys.__stderr__
if status != 1 or captured.getvalue() != "WARNING hello from an extension module\n":
    sys.exit("unexpected: status %r, sys.stderr %r" % (status, captured.getvalue()))
print("message arrived on sys.stderr")
