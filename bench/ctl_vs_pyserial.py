#!/usr/bin/env python3
"""A one-shot `ombrastel-ctl set` as a whole process against a minimal script with the
Python serial library doing the same exchanges, in the same order and with the same waits,
on the same simulated decade. Prints the median of each, their ratio and one table row
(ROW, figure, value, reference, goal, met). Exit 1 when the ratio misses the goal, 2 when
it could not be measured.

Usage: ctl_vs_pyserial.py OMBRASTEL_CTL DECADE_SIM [RUNS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

GOAL = 1.2
FIGURE = "`ombrastel-ctl set 100` as a whole process / the plain script (V212)"
REFERENCE = "a python3-serial script with the same 9 exchanges and 0.5 s wait, interleaved"

# The minimal script: what a technician writes by hand for the same setting on a V212:
# identity twice, remote, the value and its "Ok", the state read, local, and the half
# second the local command is given before the port closes.
PLAIN = r'''
import sys, time, serial
port = serial.Serial(sys.argv[1], 9600, timeout=1)
def ask(line):
    port.write(line.encode() + b"\r\n")
    return port.readline()
def send(line):
    port.write(line.encode() + b"\r\n")
ask("*IDN?"); ask("*IDN?")
send(":SYST:REM")
if not ask("A 100").startswith(b"Ok"):
    sys.exit(1)
for q in ("V?", "A?", "R?", "W?"):
    ask(q)
send(":SYST:LOC")
time.sleep(0.5)
port.close()
'''


def timed(command, cwd):
    start = time.perf_counter()
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        not_measured(f"{command[0]} failed ({result.returncode}): {result.stderr.decode().strip()}")
    return elapsed


def not_measured(why):
    """A failed measurement: the row says so instead of a number, and the exit status 2
    tells scripts/bench that the run failed (1 is a missed goal)."""
    print(why, file=sys.stderr)
    print(f"ROW\t{FIGURE}\tnot measured: {' '.join(why.split())}\t{REFERENCE}\t<= {GOAL}\tnot measured")
    sys.exit(2)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    ctl, sim = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    # Debian's interpreter, where python3-serial is installed.
    python = os.environ.get("OMBRASTEL_PYTHON", "/usr/bin/python3")
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    with tempfile.TemporaryDirectory() as folder:
        server = subprocess.Popen([sim, "--model", "V212", "--link", os.path.join(folder, "com1")],
                                  stdout=subprocess.PIPE)
        tty = server.stdout.readline().decode().strip()
        if not tty:
            not_measured("the simulator printed no terminal")
        script = os.path.join(folder, "plain.py")
        with open(script, "w") as f:
            f.write(PLAIN)
        try:
            ctl_times, plain_times = [], []
            for _ in range(runs):  # interleaved, so a busy moment hits both alike
                ctl_times.append(timed([ctl, "set", "100"], folder))
                plain_times.append(timed([python, script, tty], folder))
        finally:
            server.terminate()
            server.wait()
    ctl_median = statistics.median(ctl_times)
    plain_median = statistics.median(plain_times)
    ratio = ctl_median / plain_median
    print(f"ombrastel-ctl set 100: median {ctl_median * 1000:.1f} ms over {runs} runs")
    print(f"python3-serial script: median {plain_median * 1000:.1f} ms over {runs} runs")
    print(f"ratio: {ratio:.3f} (goal <= {GOAL})")
    met = "yes" if ratio <= GOAL else "no"
    print(f"ROW\t{FIGURE}, median of {runs} each\t{ratio:.3f} ({ctl_median * 1000:.0f} ms / "
          f"{plain_median * 1000:.0f} ms)\t{REFERENCE}\t<= {GOAL}\t{met}")
    return 0 if ratio <= GOAL else 1


if __name__ == "__main__":
    sys.exit(main())
