#!/usr/bin/env python3
"""Tabulates kpx2-analyze's consistency indices by the simulated noise level in each subject ID.

With the logs' directory it also computes a candidate index that kpx2-analyze does not report:
the consistency of answers at amounts at least FAR dollars from the block's indifference point,
distractor or not (the first trials of every block are drawn from the whole scale too)."""
import csv
import os
import re
import statistics
import sys

INDICES = ("consistency", "distractor_consistency")
CAREFUL = (0.0, 0.1)
CARELESS = 0.5
FAR = 20
CANDIDATE = "far_consistency"


def far_consistency(log_path):
    with open(log_path, newline="", encoding="utf-8") as log:
        rows = list(csv.DictReader(log))
    points = {row["block"]: float(row["indifference_point"]) for row in rows if row["block_ended"] == "1"}
    scored = [(int(row["amount"]) > points[row["block"]]) == (row["choice"] == "immediate")
              for row in rows if row["block"] in points and abs(int(row["amount"]) - points[row["block"]]) >= FAR]
    return sum(scored) / len(scored) if scored else None


def roc_auc(careful, careless):
    """P(a careful participant scores higher than a careless one), ties counting half."""
    wins = sum((a > b) + 0.5 * (a == b) for a in careful for b in careless)
    return wins / (len(careful) * len(careless))


def main(path, logs=None):
    indices = INDICES + ((CANDIDATE,) if logs else ())
    by_noise = {}
    with open(path, newline="", encoding="utf-8") as summary:
        for row in csv.DictReader(summary):
            noise = float(re.fullmatch(r"k[0-9.]+_noise([0-9.]+)_[0-9]+", row["subject"]).group(1))
            values = by_noise.setdefault(noise, {index: [] for index in indices})
            if logs:
                row[CANDIDATE] = far_consistency(os.path.join(logs, os.path.basename(row["trial_log"])))
            for index in indices:
                if row[index] not in ("", None):
                    values[index].append(float(row[index]))

    print("| NOISE | runs | " + " | ".join(f"mean {index}" for index in indices) + " | runs without distractors |")
    print("|---" * (len(indices) + 3) + "|")
    for noise in sorted(by_noise):
        values = by_noise[noise]
        runs = len(values["consistency"])
        means = " | ".join(f"{statistics.mean(values[index]):.3f}" for index in indices)
        print(f"| {noise:g} | {runs} | {means} | {runs - len(values['distractor_consistency'])} |")
    print()
    print("| index | ROC AUC, NOISE <= 0.1 vs 0.5 |")
    print("|---|---|")
    for index in indices:
        careful = [v for noise in CAREFUL for v in by_noise[noise][index]]
        careless = by_noise[CARELESS][index]
        print(f"| {index} | {roc_auc(careful, careless):.3f} |")
    if logs:
        print()
        print(f"{CANDIDATE}: the consistency of answers at amounts ${FAR} or more from the block's point.")


if __name__ == "__main__":
    main(*sys.argv[1:3])
