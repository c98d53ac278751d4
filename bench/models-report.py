#!/usr/bin/env python3
"""The plan and the report of bench/models.

    models-report.py plan RUNS              one line per simulated participant: subject, model,
                                            noise, kpx2-sim's --participant and the true ED50
    models-report.py report PLAN SUMMARY    model recovery and ED50 recovery tables
    models-report.py rate ANALYZER DIR OUT  files a second kpx2-analyze scores, summary only

Each generating model gets its parameters from one spread, the same for every noise level: an ED50
between 7 days and 1,000 days (log-uniform, so within the delays the titration sees), and for the
two-parameter models a second parameter from a range that is common in the literature. The
no-discounting model is betadelta with R = 0: the same value at every delay."""
import csv
import math
import pathlib
import random
import statistics
import subprocess
import sys
import time

MODELS = ("noise", "exp", "hyp", "hyperboloid", "rachlin", "betadelta")
NOISES = (0.0, 0.1)


def draw(model, rng):
    """kpx2-sim's participant and the true ED50 (None when there is none)."""
    ed50 = math.exp(rng.uniform(math.log(7), math.log(1000)))
    if model == "noise":
        return f"betadelta:{rng.uniform(0.1, 0.9):.6f}:0", None
    if model == "exp":
        return f"exp:{math.log(2) / ed50:.9g}", ed50
    if model == "hyp":
        return f"hyperbolic:{1 / ed50:.9g}", ed50
    if model == "hyperboloid":
        s = math.exp(rng.uniform(math.log(0.2), math.log(3)))
        return f"hyperboloid:{(2 ** (1 / s) - 1) / ed50:.9g}:{s:.6f}", ed50
    if model == "rachlin":
        s = math.exp(rng.uniform(math.log(0.25), math.log(2)))
        return f"rachlin:{ed50 ** -s:.9g}:{s:.6f}", ed50
    beta = rng.uniform(0.6, 0.95)
    return f"betadelta:{beta:.6f}:{math.log(2 * beta) / ed50:.9g}", ed50


def plan(runs):
    rng = random.Random(2015)
    writer = csv.writer(sys.stdout, lineterminator="\n")
    writer.writerow(("subject", "model", "noise", "participant", "ed50"))
    for noise in NOISES:
        for model in MODELS:
            for i in range(int(runs)):
                participant, ed50 = draw(model, rng)
                writer.writerow((f"{model}_n{noise:g}_{i + 1}", model, f"{noise:g}", f"{participant}:{noise:g}",
                                 "" if ed50 is None else f"{ed50:.9g}"))


def report(plan_path, summary_path):
    with open(plan_path, newline="") as f:
        truth = {row["subject"]: row for row in csv.DictReader(f)}
    found = {}
    with open(summary_path, newline="", encoding="utf-8") as f:
        for row in csv.DictReader(f):
            found[row["subject"]] = row

    for noise in NOISES:
        print(f"Model recovery, NOISE {noise:g}: share of runs whose best_model is each model")
        print()
        print("| generated \\ best | " + " | ".join(MODELS) + " |")
        print("|---" * (len(MODELS) + 1) + "|")
        for model in MODELS:
            rows = [found[s] for s, t in truth.items() if t["model"] == model and float(t["noise"]) == noise]
            shares = [sum(r["best_model"] == m for r in rows) / len(rows) for m in MODELS]
            print(f"| {model} ({len(rows)}) | " + " | ".join(f"**{v:.2f}**" if m == model else f"{v:.2f}"
                                                          for m, v in zip(MODELS, shares)) + " |")
        print()

    print("ED50 recovery: median |ln(ED50 found / ED50 true)|, the best model's ED50 and the hyperbola's")
    print()
    print("| generated | NOISE | runs | best model's ED50 | runs without one | hyperbola's ED50 |")
    print("|---|---|---|---|---|---|")
    for noise in NOISES:
        for model in MODELS[1:]:
            pairs = [(found[s], float(t["ed50"])) for s, t in truth.items()
                     if t["model"] == model and float(t["noise"]) == noise]
            best = [abs(math.log(float(r["ed50_best_days"]) / e)) for r, e in pairs if r["ed50_best_days"]]
            hyp = [abs(math.log(float(r["ed50_days"]) / e)) for r, e in pairs]
            print(f"| {model} | {noise:g} | {len(pairs)} | {statistics.median(best):.3f} | {len(pairs) - len(best)} "
                  f"| {statistics.median(hyp):.3f} |")


def rate(analyzer, directory, out):
    files = sum(1 for _ in pathlib.Path(directory).glob("*.KPX"))
    times = []
    for _ in range(7):
        start = time.perf_counter()
        subprocess.run([analyzer, "--out", out, directory], check=True)
        times.append(time.perf_counter() - start)
    print(f"Scoring rate, summary only: {files} .KPX files in {min(times):.3f} s at best, "
          f"{statistics.median(times):.3f} s median of 7: {files / min(times):,.0f} files a second at best, "
          f"{files / statistics.median(times):,.0f} median")


if __name__ == "__main__":
    {"plan": plan, "report": report, "rate": rate}[sys.argv[1]](*sys.argv[2:])
