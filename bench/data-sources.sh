#!/usr/bin/env bash
# The tool against its own data sources: a full run (no option) and a
# "-software" run, each beside the profiler command lines that the run needs,
# run alone one after another, each through its own /bin/sh into a new file as
# the tool runs them (sh -c "system_profiler <type> -xml >'<file>'"). What the
# tool adds to its data sources is the ratio of the two medians. The command lines are
# learnt from one run of each kind, through a recording system_profiler put
# first on PATH; "profiler runs" says how many the run started and for how many
# data types. The two sides are measured in turns within each round, so that
# other work on the machine falls on both alike. Each round also runs the tool
# once more, untimed, for the processor time it used itself (user and system,
# without its commands: bench/own_usage_preload.c), which other work on the
# machine disturbs far less than the wall times.
# Needs root, as the tool does.
#   sudo bench/data-sources.sh [runs]
#   BRIM_BENCH_BUILD=<dir> uses an existing Release build instead of build-bench;
#   TMPDIR=<dir> puts the sandbox there instead of /tmp.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-7}"
if [ "$(id -u)" -ne 0 ]; then echo "data-sources: needs root" >&2; exit 1; fi
. bench/sandbox.sh
mkdir -p "$root/record" "$root/sources"
cat >"$root/record/system_profiler" <<EOF
#!/bin/sh
echo "\$*" >>"$root/record/calls"
exec "$root/usr/local/bin/system_profiler" "\$@"
EOF
chmod +x "$root/record/system_profiler"

python3 - "$runs" "$install_dir" "$tool" "$root" "$preload" <<'PY'
import os, shlex, statistics, subprocess, sys, time

runs, install_dir, tool, root, preload = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
calls = os.path.join(root, "record", "calls")

datapost = os.path.join(install_dir, "datapost")

def run_tool(args, env=None):
    start = time.monotonic()
    subprocess.run([tool] + args, cwd=install_dir, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    took = time.monotonic() - start
    # The uploader takes each file; left here, the next run within the same
    # second would wait for a free time stamp.
    for name in os.listdir(datapost):
        os.remove(os.path.join(datapost, name))
    return took

def own_cpu(args):
    """Milliseconds of processor time the tool used itself in one run."""
    report = os.path.join(root, "own_cpu.txt")
    if os.path.exists(report):
        os.remove(report)
    run_tool(args, dict(os.environ, LD_PRELOAD=preload, BRIM_OWN_CPU_FILE=report))
    with open(report) as f:
        user, system = (int(field) for field in f.read().split())
    return (user + system) / 1000

def profiler_calls(args):
    """The profiler's arguments, call by call, in one run of the tool."""
    if os.path.exists(calls):
        os.remove(calls)
    env = dict(os.environ, PATH=os.path.join(root, "record") + ":" + os.environ["PATH"])
    run_tool(args, env)
    with open(calls) as f:
        return [line.rstrip("\n") for line in f]

def sources_script(arguments):
    """Each distinct command line through its own /bin/sh, one after another."""
    lines = []
    for argv in dict.fromkeys(arguments):
        target = os.path.join(root, "sources", "autodelete_%s.plist" % argv.split()[0])
        lines.append("/bin/sh -c " + shlex.quote("system_profiler %s >%s" % (argv, shlex.quote(target))))
    return "\n".join(lines) + "\n"

def run_sources(script):
    start = time.monotonic()
    subprocess.run(["/bin/sh", "-c", script], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    took = time.monotonic() - start
    # The tool's profiler files are new in each run, in a folder of the run's
    # own; files left here would be rewritten in place next time, which on
    # some file systems costs far less than making them.
    sources = os.path.join(root, "sources")
    for name in os.listdir(sources):
        os.remove(os.path.join(sources, name))
    return took

kinds = [("full inventory", []), ("software", ["-software"])]
scripts, counts = {}, {}
for name, args in kinds:
    arguments = profiler_calls(args)
    scripts[name] = sources_script(arguments)
    counts[name] = (len(arguments), len(set(arguments)))

samples = {name: ([], [], []) for name, _ in kinds}
for round_ in range(runs):
    for name, args in kinds:
        tool_side, sources_side, cpu_side = samples[name]
        cpu_side.append(own_cpu(args))
        # Which side goes first alternates from round to round.
        if round_ % 2 == 0:
            tool_side.append(run_tool(args))
            sources_side.append(run_sources(scripts[name]))
        else:
            sources_side.append(run_sources(scripts[name]))
            tool_side.append(run_tool(args))

print("%-16s %16s %12s %14s %8s %13s" % ("run", "profiler runs", "brim wall s", "sources wall s", "ratio",
                                         "brim cpu ms"))
for name, _ in kinds:
    tool_side, sources_side, cpu_side = samples[name]
    t, s = statistics.median(tool_side), statistics.median(sources_side)
    started, distinct = counts[name]
    print("%-16s %6d for %2d types %12.3f %14.3f %8.2f %13.1f" % (name, started, distinct, t, s, t / s,
                                                                 statistics.median(cpu_side)))
print("goal: one profiler run per data type; full inventory ratio <= 1.10 (median of %d runs each, interleaved);"
      " brim cpu ms: the tool's own processor time, its commands left out" % runs)
PY
