#!/usr/bin/python3
"""Reference fits of the six discounting models, worked with SciPy and nothing of the analyzer.

Writes model-fits.csv beside this script: one row per profile with the seven indifference points
and, per model, the least-squares parameters within the ranges and the BIC, and the model with the
smallest BIC. The analyzer's test reads that table; run this again only to change the profiles:

    /usr/bin/python3 tests/tools/analyze/reference/model-fits.py      (Debian: python3-scipy)

Each fit is a global search of its own: a dense grid over the ranges (s on a linear scale, beta as
a parameter rather than solved for), least_squares polishing from the lowest local minima of the
grid, differential evolution besides, and L-BFGS-B on ln RSS from the best of them, so that a fit
at a range's edge gets all the way there. The lowest error of every candidate is the fit."""
import csv
import math
import os
import random

import numpy as np
from scipy import ndimage, optimize

DAYS = np.array([1, 7, 30, 90, 180, 365, 1825], dtype=float)
N = len(DAYS)
FLOOR = 1e-12
LN_RATE = (-20.0, 5.0)
SHAPE = (0.05, 5.0)

# name, parameter names, bounds, value(params, days), grid axes
MODELS = [
    ("noise", ("c",), [(0.0, 1.0)], lambda p, d: p[0] + 0 * d, [np.linspace(0, 1, 1001)]),
    ("exp", ("ln_k",), [LN_RATE], lambda p, d: np.exp(-np.exp(p[0]) * d), [np.linspace(*LN_RATE, 2501)]),
    ("hyp", ("ln_k",), [LN_RATE], lambda p, d: 1 / (1 + np.exp(p[0]) * d), [np.linspace(*LN_RATE, 2501)]),
    ("hyperboloid", ("ln_k", "s"), [LN_RATE, SHAPE], lambda p, d: (1 + np.exp(p[0]) * d) ** -p[1],
     [np.linspace(*LN_RATE, 501), np.linspace(*SHAPE, 199)]),
    ("rachlin", ("ln_k", "s"), [LN_RATE, SHAPE], lambda p, d: 1 / (1 + np.exp(p[0]) * d ** p[1]),
     [np.linspace(*LN_RATE, 501), np.linspace(*SHAPE, 199)]),
    ("betadelta", ("beta", "ln_r"), [(0.0, 1.0), LN_RATE], lambda p, d: p[0] * np.exp(-np.exp(p[1]) * d),
     [np.linspace(0, 1, 201), np.linspace(*LN_RATE, 501)]),
]


def bic(rss, parameters):
    return N * math.log(max(rss, FLOOR) / N) + parameters * math.log(N)


def fit(model, y):
    name, names, bounds, value, axes = model
    rss = lambda p: float(np.sum((y - value(p, DAYS)) ** 2))
    lower = [b[0] for b in bounds]
    upper = [b[1] for b in bounds]
    clip = lambda p: np.clip(p, lower, upper)

    # The grid, every node's error at once.
    mesh = np.meshgrid(*axes, indexing="ij")
    nodes = np.stack([m.ravel() for m in mesh], axis=1)
    errors = np.sum((y[None, :] - value(nodes.T[:, :, None], DAYS[None, :])) ** 2, axis=1)
    field = errors.reshape(mesh[0].shape)
    minima = np.flatnonzero((field == ndimage.minimum_filter(field, size=3, mode="nearest")).ravel())
    starts = [nodes[i] for i in minima[np.argsort(errors[minima], kind="stable")][:8]]
    candidates = [nodes[int(np.argmin(errors))]]

    for start in starts:
        candidates.append(start)
        interior = np.clip(start, np.array(lower) + 1e-9, np.array(upper) - 1e-9)
        result = optimize.least_squares(lambda p: y - value(p, DAYS), interior, bounds=(lower, upper),
                                        method="trf", x_scale="jac", ftol=1e-15, xtol=1e-15, gtol=1e-15,
                                        max_nfev=20000)
        candidates.append(clip(result.x))
    evolved = optimize.differential_evolution(rss, bounds, seed=1, tol=1e-12, polish=True, maxiter=3000)
    candidates.append(clip(evolved.x))

    best = min(candidates, key=rss)
    # ln RSS keeps its slope where the error itself has become tiny, so a minimum at an edge is reached.
    logged = optimize.minimize(lambda p: math.log(max(rss(p), 1e-300)), best, method="L-BFGS-B", bounds=bounds,
                               options={"ftol": 1e-15, "gtol": 1e-13, "maxiter": 20000})
    if rss(clip(logged.x)) <= rss(best):
        best = clip(logged.x)
    return dict(zip(names, best)), rss(best)


def profiles():
    cases = []
    exact = lambda name, f: cases.append((name, [100 * f(d) for d in DAYS]))
    for k in (0.000013, 0.001, 0.01, 0.1):
        exact(f"exp k={k}", lambda d, k=k: math.exp(-k * d))
    for k in (0.0005, 0.005, 0.05):
        exact(f"hyp k={k}", lambda d, k=k: 1 / (1 + k * d))
    for k, s in ((0.01, 0.5), (0.002, 2.0), (0.1, 0.3)):
        exact(f"hyperboloid k={k} s={s}", lambda d, k=k, s=s: (1 + k * d) ** -s)
    for k, s in ((0.05, 0.6), (0.0005, 1.3), (0.2, 0.4)):
        exact(f"rachlin k={k} s={s}", lambda d, k=k, s=s: 1 / (1 + k * d ** s))
    for beta, r in ((0.8, 0.002), (0.6, 0.0005), (0.9, 0.02)):
        exact(f"betadelta beta={beta} r={r}", lambda d, beta=beta, r=r: beta * math.exp(-r * d))

    for ip in (42.5, 97.5, 2.5, 100.0):
        cases.append((f"all {ip:g}", [ip] * N))

    cases.append(("README example", [97.5, 92.5, 62.5, 47.5, 32.5, 22.5, 2.5]))
    cases.append(("steep", [52.5, 22.5, 12.5, 7.5, 2.5, 2.5, 2.5]))
    cases.append(("rising", [2.5, 10.0, 20.0, 40.0, 60.0, 80.0, 97.5]))
    cases.append(("zigzag", [2.5, 97.5, 2.5, 97.5, 2.5, 97.5, 2.5]))
    cases.append(("flat then drop", [97.5, 97.5, 97.5, 97.5, 97.5, 97.5, 42.5]))
    cases.append(("drop then flat", [72.5, 42.5, 42.5, 42.5, 37.5, 42.5, 37.5]))
    # Profiles whose hyperboloid minimum lies on an edge of the ranges, where a search must slide along it.
    cases.append(("rise then drop", [91.4809635317076, 96.02301840445223, 100.0, 94.14543047722813,
                                     81.89572000197825, 75.55021739463407, 10.449786116889992]))
    cases.append(("unordered", [67.5, 72.5, 37.5, 72.5, 77.5, 57.5, 42.5]))

    # Titration-like profiles: a model's curve plus noise, on the task's points 2.5, 7.5, ..., 97.5.
    rng = random.Random(22)
    curves = [
        ("exp", lambda d, k: math.exp(-k * d)),
        ("hyp", lambda d, k: 1 / (1 + k * d)),
        ("hyperboloid", lambda d, k: (1 + 4 * k * d) ** -0.4),
        ("rachlin", lambda d, k: 1 / (1 + (k * 20) * d ** 0.5)),
        ("betadelta", lambda d, k: 0.75 * math.exp(-k * d / 3)),
    ]
    for i in range(25):
        label, curve = curves[i % len(curves)]
        k = 10 ** rng.uniform(-3.5, -0.5)
        sd = rng.choice((3.0, 8.0, 15.0))
        points = []
        for d in DAYS:
            v = 100 * curve(d, k) + rng.gauss(0, sd)
            points.append(min(97.5, max(2.5, 5 * round((v - 2.5) / 5) + 2.5)))
        cases.append((f"noisy {label} {i + 1}", points))
    return cases


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "model-fits.csv")
    header = ["profile", "ip_1d", "ip_1w", "ip_1m", "ip_3m", "ip_6m", "ip_1y", "ip_5y",
              "noise_c", "noise_bic", "exp_ln_k", "exp_bic", "hyp_ln_k", "hyp_bic",
              "hyperboloid_ln_k", "hyperboloid_ln_s", "hyperboloid_bic", "rachlin_ln_k", "rachlin_ln_s",
              "rachlin_bic", "betadelta_beta", "betadelta_ln_r", "betadelta_bic", "best_model"]
    with open(out, "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(header)
        for name, points in profiles():
            y = np.array(points) / 100
            row = [name] + [repr(float(p)) for p in points]
            bics = []
            for model in MODELS:
                params, rss = fit(model, y)
                b = bic(rss, len(model[1]))
                bics.append(b)
                for key, v in params.items():
                    row.append(repr(math.log(v) if key == "s" else float(v)))
                row.append(repr(b))
            best = min(range(len(MODELS)), key=lambda m: (bics[m], m))
            row.append(MODELS[best][0])
            writer.writerow(row)
            print(name, MODELS[best][0])


if __name__ == "__main__":
    main()
