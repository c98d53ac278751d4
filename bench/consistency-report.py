#!/usr/bin/env python3
"""Tabulates kpx2-analyze's consistency INDICES by the simulated noise level in each subject ID."""
import csv
import re
import statistics
import sys

INDICES = ("consistency", "distractor_consistency", "far_consistency")
CAREFUL = (0.0, 0.1)
CARELESS = 0.5


def roc_auc(careful, careless):
    """P(a careful participant scores higher than a careless one), ties counting half."""
    wins = sum((a > b) + 0.5 * (a == b) for a in careful for b in careless)
    return wins / (len(careful) * len(careless))


def main(path):
    by_noise = {}
    with open(path, newline="", encoding="utf-8") as summary:
        for row in csv.DictReader(summary):
            noise = float(re.fullmatch(r"k[0-9.]+_noise([0-9.]+)_[0-9]+", row["subject"]).group(1))
            values = by_noise.setdefault(noise, {index: [] for index in INDICES})
            for index in INDICES:
                if row[index] not in ("", None):
                    values[index].append(float(row[index]))

    print("| NOISE | runs | " + " | ".join(f"mean {index}" for index in INDICES) + " | runs without distractors |")
    print("|---" * (len(INDICES) + 3) + "|")
    for noise in sorted(by_noise):
        values = by_noise[noise]
        runs = len(values["consistency"])
        means = " | ".join(f"{statistics.mean(values[index]):.3f}" for index in INDICES)
        print(f"| {noise:g} | {runs} | {means} | {runs - len(values['distractor_consistency'])} |")
    print()
    print("| index | ROC AUC, NOISE <= 0.1 vs 0.5 |")
    print("|---|---|")
    for index in INDICES:
        careful = [v for noise in CAREFUL for v in by_noise[noise][index]]
        careless = by_noise[CARELESS][index]
        print(f"| {index} | {roc_auc(careful, careless):.3f} |")


if __name__ == "__main__":
    main(sys.argv[1])
