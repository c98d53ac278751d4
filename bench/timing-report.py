#!/usr/bin/env python3
"""Summarises a phase trace of kpx2 (KPX2_PHASE_TRACE) against the nominal trial timings.

Every onset but "response" is taken once the window has painted the phase; "response" is the
input event's own time, so "response" to "green" is the latency from the key press to the
green option painted and handed to the window system.

With --screen, the same phases as bench/screen-probe saw them on the screen from outside: each
state's first sighting, and the moment each key was sent."""
import argparse
import statistics

NOMINAL = {"green": 500.0, "blank": 1000.0, "white": 2000.0}
PRECISE = 1.0  # ms: the sum of the half look windows at a measurement's two ends
# ms over nominal that the median of each phase in the application's trace may reach. These upper
# bounds depend on the machine's load, so they are judged here and not by the unit tests (which only
# hold that no phase is short). Green and blank are the waiter's pauses: a pause rounded up to the next
# whole millisecond would add half a millisecond to their median. White ends when the black options
# are painted, not on a timer left to Qt's millisecond.
MEDIAN_OVERRUN = {"green": 1.0, "blank": 1.0, "white": 1.5}


def percentile(values, fraction):
    ordered = sorted(values)
    index = min(len(ordered) - 1, max(0, round(fraction * (len(ordered) - 1))))
    return ordered[index]


def phases(path):
    with open(path, encoding="ascii") as trace:
        return [(name, float(ms)) for name, ms in (line.split() for line in trace if line.strip())]


def durations(events):
    """Length of each phase, from the onset of one phase to the onset of the next."""
    found = {name: [] for name in NOMINAL}
    latency = []
    for (name, ms), (following, later) in zip(events, events[1:]):
        if name == "response" and following == "green":
            latency.append(later - ms)
        elif name == "green" and following == "cleared":
            found["green"].append(later - ms)
        elif name in ("cleared", "continued") and following == "white":
            found["blank"].append(later - ms)  # after a break the blank second runs from its end
        elif name in ("white", "continued") and following == "answerable":
            found["white"].append(later - ms)  # the first trial's 2 s run from the first break's end
    return found, latency


def screen_durations(path):
    """Phase lengths and key-to-green latencies from the probe's log, in the trace's terms; each with
    the sum of the half look windows at its two ends, which bounds how far off it may be."""
    found = {name: [] for name in NOMINAL}
    found["after break"] = []
    latency = []
    windows = []
    shown, since, since_half, key, keyed, space, space_half = None, 0.0, 0.0, None, 0.0, None, 0.0
    with open(path, encoding="ascii") as log:
        for kind, name, ms, *width in (line.split() for line in log if line.strip()):
            ms = float(ms)
            windows += [float(each) for each in width]
            half = float(width[0]) / 2 if width else 0.0
            if kind == "key":
                key, keyed = name, ms
                continue
            if name in ("message", "unmessage"):
                space, space_half = (ms, half) if name == "unmessage" else (None, 0.0)
                continue
            if name == "green" and key in ("Left", "Right"):
                latency.append((ms - keyed, half))
            # A break ends when its message goes: one blank second, or the first trial's two white ones.
            if space is not None and name in ("white", "black"):
                found["after break"].append((ms - space - (1000.0 if name == "white" else 2000.0), space_half + half))
            elif (shown, name) in (("green", "blank"), ("blank", "white"), ("white", "black")):
                found[shown].append((ms - since, since_half + half))
            if name in ("white", "black"):
                space = None
            key = None if name == "green" else key
            shown, since, since_half = name, ms, half
    return found, latency, windows


def table(found, latency):
    print("ms               trials    median      p99      min      max")
    for name, values in found.items():
        label = f"{name} {NOMINAL[name]:.0f} dev" if name in NOMINAL else f"{name} dev"
        print(row(label, values) if values else f"{label:<16} {0:>6}")
    if latency:
        print(row("input to green", latency))


def row(label, values):
    return (f"{label:<16} {len(values):>6}  {statistics.median(values):>8.3f} {percentile(values, 0.99):>8.3f}"
            f" {min(values):>8.3f} {max(values):>8.3f}")


def checks(found):
    """Each phase of the application's trace never short, and its median overrun within its bound;
    False when one is not."""
    print("Bounds (the application's trace):")
    ok = True
    for name, bound in MEDIAN_OVERRUN.items():
        values = [value - NOMINAL[name] for value in found[name]]
        if not values:
            print(f"  {name}: no samples")
            ok = False
            continue
        median, least = statistics.median(values), min(values)
        good = least >= 0.0 and median < bound
        ok = ok and good
        print(f"  {name}: never short ({least:+.3f}), median {median:+.3f} under +{bound:.1f}:"
              f" {'yes' if good else 'NO'}")
    return ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("trace")
    parser.add_argument("--launch", type=float, required=True, help="seconds to the setup window")
    parser.add_argument("--break-cpu-ns", type=int, required=True, help="CPU time during a 10 s break")
    parser.add_argument("--peak-kb", type=int, required=True)
    parser.add_argument("--screen", help="bench/screen-probe's log")
    args = parser.parse_args()

    found, latency = durations(phases(args.trace))
    print("The application's trace:")
    table({name: [value - NOMINAL[name] for value in values] for name, values in found.items()}, latency)
    within = checks(found)
    if args.screen:
        found, latency, windows = screen_durations(args.screen)
        print(f"On the screen, seen from outside (each change placed within {statistics.median(windows):.3f} ms,"
              f" p99 {percentile(windows, 0.99):.3f}):")
        deviations = {name: [(value - NOMINAL.get(name, 0.0), off) for value, off in values]
                      for name, values in found.items()}
        table({name: [value for value, _ in values] for name, values in deviations.items()},
              [value for value, _ in latency])
        # A stalled probe places a change only within a wide window: these rows keep the samples it
        # placed to within half a millisecond at each end.
        print(f"The same, placed to within {PRECISE:.1f} ms:")
        table({name: [value for value, off in values if off <= PRECISE] for name, values in deviations.items()},
              [value for value, off in latency if off <= PRECISE])
    print(f"CPU during a 10 s break wait: {args.break_cpu_ns / 1e9 / 10 * 100:.3f}% of a core")
    print(f"peak resident memory: {args.peak_kb / 1024:.1f} MB")
    print(f"launch to setup window: {args.launch:.3f} s")
    return 0 if within else 1


if __name__ == "__main__":
    raise SystemExit(main())
