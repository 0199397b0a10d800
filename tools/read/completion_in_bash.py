#!/usr/bin/env python3
"""vx414-read's completion as a person meets it: an interactive bash on a pseudo-terminal,
the line typed with TAB in it and Enter, and the words the command then receives.

Usage: completion_in_bash.py COMPLETION-FILE PROGRAM. Exit status 1 when a line completes
wrong."""
import os
import pty
import select
import sys
import time

# The line typed (\t is TAB), and the arguments the command must receive.
CASES = [
    ("--make sma\t", ["--make", "smart smart city"]),
    ("--make 'sm\t", ["--make", "smart smart city"]),
    ('--make "land\t', ["--make", "land rover"]),
    ("--make=sm\t", ["--make=smart smart city"]),
    ("--make=land\t", ["--make=land rover"]),
    ("--make='alf\t", ["--make=alfa romeo"]),
    ("--format=j\t", ["--format=json"]),
    ("--no-h\t", ["--no-header"]),
    ("--make vw\t", ["--make", "vw"]),
    ("--make=Range\t", ["--make=range rover"]),
]


def read_for(fd, seconds, until=None):
    """Reads what the shell prints for at most `seconds`, or until `until` shows."""
    out = b""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        ready, _, _ = select.select([fd], [], [], 0.05)
        if ready:
            try:
                chunk = os.read(fd, 65536)
            except OSError:
                break
            if not chunk:
                break
            out += chunk
            if until is not None and until in out:
                break
    return out


def complete(completion, program, typed):
    pid, fd = pty.fork()
    if pid == 0:
        os.environ.update(PS1="$ ", INPUTRC="/dev/null", HISTFILE="/dev/null")
        os.execvp("bash", ["bash", "--norc", "--noprofile", "-i"])
    try:
        # Every wait below is bounded: a shell that never answers fails the case.
        read_for(fd, 2, b"$ ")
        # The completion asks the program's --help for the makes; anything else shows
        # the arguments the command received.
        os.write(fd, ("source '%s'; vx414-read() { if [ \"$1\" = --help ]; then '%s' --help; return; fi; "
                      "printf 'ARGS'; printf '<%%s>' \"$@\"; echo; }\n" % (completion, program)).encode())
        read_for(fd, 2, b"$ ")
        os.write(fd, ("vx414-read " + typed).encode())
        read_for(fd, 1)  # the completion is inserted
        os.write(fd, b"\n")
        out = read_for(fd, 3, b">\r\n").decode(errors="replace")
    finally:
        os.kill(pid, 9)
        os.waitpid(pid, 0)
        os.close(fd)
    start = out.rfind("ARGS<")
    if start < 0:
        return None
    line = out[start + 4:].split("\r\n", 1)[0]
    return line[1:-1].split("><") if line else []


def main():
    completion = os.path.abspath(sys.argv[1])
    program = os.path.abspath(sys.argv[2])
    failures = 0
    for typed, expected in CASES:
        got = complete(completion, program, typed)
        if got != expected:
            print("completion in bash: FAIL: %r gave %r, not %r" % (typed, got, expected))
            failures += 1
    if failures == 0:
        print("completion in bash: PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
