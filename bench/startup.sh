#!/bin/sh
# Start-up of the calendar window against an empty Qt Widgets program with one month
# calendar: time from process start to the window's first frame, and peak memory up to that
# frame and over the whole run (which ends just after it, with whatever the program loads
# right after its first frame).
#
#   bench/startup.sh <build directory> [runs]
#
# Runs under the offscreen platform, and under Xvfb as well when it is installed.
set -eu

build=${1:?usage: startup.sh <build directory> [runs]}
runs=${2:-20}
kakiva="$build/bench/bench_startup_kakiva"
empty="$build/bench/bench_startup_empty"
for exe in "$kakiva" "$empty"; do
    [ -x "$exe" ] || { echo "missing $exe: build bench_startup_kakiva bench_startup_empty" >&2; exit 1; }
done

runtime=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT

measure() {
    XDG_RUNTIME_DIR="$runtime" /usr/bin/python3 - "$runs" "$kakiva" "$empty" <<'PY'
import os, statistics, sys, time

runs = int(sys.argv[1])
programs = {"kakiva": sys.argv[2], "empty": sys.argv[3]}

def run_once(exe):
    read_end, write_end = os.pipe()
    started = time.monotonic_ns()
    pid = os.posix_spawn(exe, [exe], os.environ,
                         file_actions=[(os.POSIX_SPAWN_DUP2, write_end, 1),
                                       (os.POSIX_SPAWN_CLOSE, read_end),
                                       (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)])
    os.close(write_end)
    output = b""
    while chunk := os.read(read_end, 4096):
        output += chunk
    os.close(read_end)
    _, status, usage = os.wait4(pid, 0)
    ended = time.monotonic_ns()
    if status != 0 or not output.startswith(b"exposed "):
        sys.exit(f"{exe} failed: status {status}, output {output!r}")
    fields = output.split()
    shown = int(fields[1])
    whole_peak = usage.ru_maxrss / 1024
    # A probe from before this figure was printed: its peak is the whole run's.
    framed_peak = int(fields[2]) / 1024 if len(fields) > 2 else whole_peak
    return (shown - started) / 1e6, (ended - started) / 1e6, whole_peak, framed_peak

results = {name: [] for name in programs}
for exe in programs.values():
    run_once(exe)  # warm the page cache
for _ in range(runs):
    for name, exe in programs.items():  # interleaved, so drift hits both alike
        results[name].append(run_once(exe))

print(f"{'program':8} {'shown ms (median, min-max)':>28} {'whole run ms':>13} "
      f"{'RSS to frame MiB':>17} {'peak RSS MiB':>13}")
medians = {}
for name, samples in results.items():
    shown = [s[0] for s in samples]
    whole = [s[1] for s in samples]
    rss = [s[2] for s in samples]
    framed = [s[3] for s in samples]
    medians[name] = (statistics.median(shown), statistics.median(rss), statistics.median(framed))
    print(f"{name:8} {statistics.median(shown):12.1f} ({min(shown):6.1f}-{max(shown):6.1f}) "
          f"{statistics.median(whole):13.1f} {statistics.median(framed):17.1f} "
          f"{statistics.median(rss):13.1f}")
k, e = medians['kakiva'], medians['empty']
print(f"ratio kakiva/empty: start-up {k[0] / e[0]:.2f}x, memory to the first frame "
      f"{k[2] / e[2]:.2f}x, peak memory of the whole run {k[1] / e[1]:.2f}x ({runs} runs each)")
PY
}

echo "== QT_QPA_PLATFORM=offscreen"
QT_QPA_PLATFORM=offscreen measure

if command -v Xvfb >/dev/null 2>&1; then
    display=:$(( $$ % 400 + 100 ))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    socket=/tmp/.X11-unix/X${display#:}
    tries=0
    while [ ! -S "$socket" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
    echo "== Xvfb ($display, no window manager)"
    DISPLAY=$display QT_QPA_PLATFORM=xcb measure
fi
