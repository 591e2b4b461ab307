#!/usr/bin/env python3
"""Runs the benchmarks a goal table names and prints one line per goal.

The table (bench/goals.tsv) pairs each of our benchmarks with the reference
that does the same work at the same size and thread count; nothing is paired
by name. Columns, tab-separated: binary, goal, ours, reference, target.
  ours, reference  full benchmark names as Google Benchmark prints them,
                   without the "/real_time" or "/manual_time" suffix;
                   reference "-" when the target is a time of its own.
  target           "1.5" (ours / reference at most 1.5), "16.7ms" (ours at
                   most 16.7 ms), "peak_MiB<=300" (a counter of ours at most
                   300), or "-" (a ratio shown for information).
Usage: bench_goals.py TABLE BINDIR OUTDIR [filter] [-- extra benchmark flags]
"""
import json
import os
import re
import subprocess
import sys


counters = {}  # benchmark name -> its JSON record, for counter targets


def escape(name):
    return re.sub(r'([.\[\](){}*+?|^$\\])', r'\\\1', name)


def read_table(path):
    rows = []
    with open(path, encoding='utf-8') as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if not line.strip() or line.lstrip().startswith('#'):
                continue
            cols = [c.strip() for c in line.split('\t') if c.strip()]
            if len(cols) != 5:
                sys.exit(f'{path}:{n}: expected 5 tab-separated columns, found {len(cols)}')
            row = dict(zip(('binary', 'goal', 'ours', 'ref', 'target'), cols))
            for k in ('ours', 'ref'):
                row[k] = re.sub(r'/(real|manual)_time$', '', row[k])
            rows.append(row)
    return rows


def to_ms(b):
    t = b['real_time']
    return t * {'ns': 1e-6, 'us': 1e-3, 'ms': 1.0, 's': 1e3}[b.get('time_unit', 'ns')]


def run_binary(path, names, out, extra):
    pattern = '^(' + '|'.join(escape(n) for n in sorted(names)) + ')(/real_time|/manual_time)?$'
    cmd = [path, '--benchmark_filter=' + pattern, '--benchmark_out=' + out,
           '--benchmark_out_format=json'] + extra
    with open(os.devnull, 'w') as null:
        rc = subprocess.call(cmd, stdout=null, stderr=null)
    times = {}
    global counters
    try:
        with open(out, encoding='utf-8') as f:
            data = json.load(f)
    except (OSError, ValueError):
        return times, rc or 1
    for b in data.get('benchmarks', []):
        if b.get('run_type', 'iteration') != 'iteration':
            continue
        name = re.sub(r'/(real|manual)_time$', '', b['name'])
        if b.get('error_occurred'):
            times[name] = b.get('error_message', 'error')
        else:
            times[name] = to_ms(b)
            counters[name] = b
    return times, rc


def main():
    args = sys.argv[1:]
    extra = []
    if '--' in args:
        extra = args[args.index('--') + 1:]
        args = args[:args.index('--')]
    table, bindir, outdir = args[:3]
    filt = args[3] if len(args) > 3 else ''
    rows = [r for r in read_table(table) if filt in r['binary']]
    os.makedirs(outdir, exist_ok=True)
    failed = False
    for binary in dict.fromkeys(r['binary'] for r in rows):
        mine = [r for r in rows if r['binary'] == binary]
        names = {r['ours'] for r in mine} | {r['ref'] for r in mine if r['ref'] != '-'}
        print(f'== {binary}', flush=True)
        times, rc = run_binary(os.path.join(bindir, binary), names, os.path.join(outdir, binary + '.json'), extra)
        if rc:
            print(f'  {binary} exited with status {rc}')
            failed = True
        for r in mine:
            ours = times.get(r['ours'])
            ref = times.get(r['ref']) if r['ref'] != '-' else None
            missing = [n for n, t in ((r['ours'], ours), (r['ref'], ref))
                       if n != '-' and not isinstance(t, float)]
            if missing:
                why = '; '.join(f'{n}: {times.get(n, "not run")}' for n in missing)
                print(f'  {r["goal"]:<60} NOT MEASURED ({why})')
                failed = True
                continue
            target = r['target']
            counter = re.fullmatch(r'(\w+)<=([0-9.]+)', target)
            if counter:
                value = counters.get(r['ours'], {}).get(counter.group(1))
                if value is None:
                    print(f'  {r["goal"]:<60} NOT MEASURED (no counter {counter.group(1)})')
                    failed = True
                else:
                    limit = float(counter.group(2))
                    print(f'  {r["goal"]:<60} ours {ours:10.3f} ms  {counter.group(1)} {value:.1f}'
                          f'  goal <= {limit:g}  {"met" if value <= limit else "NOT MET"}')
                continue
            if r['ref'] == '-':
                line = f'  {r["goal"]:<60} ours {ours:10.3f} ms'
                if target.endswith('ms'):
                    limit = float(target[:-2])
                    line += f'  {"":>26}  goal <= {limit:g} ms  {"met" if ours <= limit else "NOT MET"}'
                print(line)
                continue
            ratio = ours / ref if ref > 0 else float('inf')
            line = (f'  {r["goal"]:<60} ours {ours:10.3f} ms  ref {ref:10.3f} ms  x{ratio:6.2f}')
            if target.endswith('ms'):
                limit = float(target[:-2])
                line += f'  goal <= {limit:g} ms  {"met" if ours <= limit else "NOT MET"}'
            elif target != '-':
                limit = float(target)
                line += f'  goal <= x{limit:g}  {"met" if ratio <= limit else "NOT MET"}'
            print(line)
            print(f'  {"":<60}   ({r["ours"]} / {r["ref"]})')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
