"""The win32 build's stub, which the installer and package tests build with."""
import os
import sys

SKIPPED = 77  # ctest's skip code, in a host-only build only


def stub_or_skip():
    """The stub's path. Without it, a build configured as host-only skips the test and any other
    build fails it: the full build must never lose these tests unseen."""
    stub = os.environ["STUB"]
    if os.path.isfile(stub):
        return stub
    if os.environ.get("SFX_HOST_ONLY") == "1":
        print("skipped: no win32 stub at %s, which a host-only build does not make" % stub)
        sys.exit(SKIPPED)
    sys.exit("no win32 stub at %s: build the win32 build too (scripts/build.sh), or configure "
             "this build with -DSFX_HOST_ONLY=ON to skip the tests that need it" % stub)
