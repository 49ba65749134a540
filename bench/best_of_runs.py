#!/usr/bin/env python3
"""Best of the runs of bench/run, per shape and size, against the targets.

    best_of_runs.py RUNS.csv SUMMARY.csv

Each figure is the best (smallest) of its runs; its spread is (worst - best) / best. The
ratios compare best with best: the collector's fetch phase with the mariadb client, its
ingest phase with curl posting the same rows in requests of the same size, its whole run
with the sum of the two floors. CPU share is the best CPU time over the best wall time;
resident memory is the largest of the runs.
"""
import csv
import sys
from collections import OrderedDict

TARGETS = [  # (column, limit, text); checked from 1,000,000 contracts on
    ("fetch_ratio", 1.05, "fetch <= 1.05 x client"),
    ("ingest_ratio", 1.10, "ingest <= 1.10 x floor"),
    ("whole_ratio", 1.15, "whole run <= 1.15 x (fetch floor + ingest floor)"),
    ("cpu_share", 0.10, "CPU <= 10 % of wall"),
    ("rss_per_contract_b", 1024, "RSS <= 1 KiB per contract"),
]
TIMES = ["fetch_floor_s", "tool_fetch_s", "ingest_floor_s", "tool_ingest_s", "tool_wall_s"]


def spread(column):  # fetch_floor_s -> fetch_floor_spread
    return column[: -len("_s")] + "_spread"


def main():
    runs_path, out_path = sys.argv[1:3]
    groups = OrderedDict()
    with open(runs_path, newline="") as f:
        for row in csv.DictReader(f):
            groups.setdefault((row["shape"], int(row["n"])), []).append(row)

    summary = []
    for (shape, n), rows in groups.items():
        col = lambda k: [float(r[k]) for r in rows]
        s = {"shape": shape, "n": n, "runs": len(rows)}
        for k in TIMES + ["tool_normalise_s", "tool_schema_s", "tool_cpu_s"]:
            s[k] = min(col(k))
            s[spread(k)] = max(col(k)) / min(col(k)) - 1 if min(col(k)) else 0
        s["fetch_ratio"] = s["tool_fetch_s"] / s["fetch_floor_s"]
        s["ingest_ratio"] = s["tool_ingest_s"] / s["ingest_floor_s"]
        s["whole_ratio"] = s["tool_wall_s"] / (s["fetch_floor_s"] + s["ingest_floor_s"])
        s["cpu_share"] = s["tool_cpu_s"] / s["tool_wall_s"]
        rss = max(col("tool_rss_kib"))
        s["peak_rss_mib"] = rss / 1024
        s["rss_per_contract_b"] = rss * 1024 / n if n else 0
        s["load_min"], s["load_max"] = min(col("load")), max(col("load"))
        summary.append(s)

    columns = list(summary[0].keys()) if summary else []
    with open(out_path, "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(columns)
        for s in summary:
            w.writerow([f"{v:.3f}" if isinstance(v, float) else v for v in s.values()])

    pct = lambda v: f"{100 * v:.0f}%"
    print()
    print(f"{'shape':8} {'N':>9} | {'fetch: client':>15} {'tool':>15} {'ratio':>5} | "
          f"{'ingest: floor':>14} {'tool':>14} {'ratio':>5} | {'whole':>14} {'ratio':>5} | "
          f"{'cpu':>5} {'cpu%':>5} | {'rss MiB':>7} {'B/contr':>7} | load")
    for s in summary:
        t = lambda k: f"{s[k]:.2f} s ±{pct(s[spread(k)])}"
        print(f"{s['shape']:8} {s['n']:>9} | {t('fetch_floor_s'):>15} {t('tool_fetch_s'):>15} "
              f"{s['fetch_ratio']:5.2f} | {t('ingest_floor_s'):>14} {t('tool_ingest_s'):>14} "
              f"{s['ingest_ratio']:5.2f} | {t('tool_wall_s'):>14} {s['whole_ratio']:5.2f} | "
              f"{s['tool_cpu_s']:5.2f} {100 * s['cpu_share']:4.1f}% | {s['peak_rss_mib']:7.0f} "
              f"{s['rss_per_contract_b']:7.0f} | {s['load_min']:.2f}-{s['load_max']:.2f}")
    print("(best of the runs; ±: worst over best)")
    big = [s for s in summary if s["n"] >= 1_000_000]
    if big:
        print()
        for key, limit, text in TARGETS:
            for s in big:
                verdict = "met" if s[key] <= limit else "MISSED"
                print(f"target {text}: {s['shape']} N={s['n']}: {s[key]:.3f} {verdict}")


if __name__ == "__main__":
    main()
