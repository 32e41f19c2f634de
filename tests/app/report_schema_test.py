#!/usr/bin/python3
"""Real report and analysis lines of the built program are valid against the report line's
JSON Schema: live runs on the simulated card's virtual time (with and without volts, a
channel switched off, silence and noise), then the analysis of the recording one of them
made.

usage: report_schema_test.py PROGRAM SCHEMA
"""
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

program, schema_path = sys.argv[1], sys.argv[2]
with open(schema_path, encoding="utf-8") as file:
    validator = jsonschema.Draft202012Validator(json.load(file))

live = ["--card", "simulated", "--headless", "--virtual-time", "--seconds", "1.5", "--report"]
with tempfile.TemporaryDirectory() as folder:
    recording = os.path.join(folder, "session.wav")
    runs = [
        live + ["--record", recording],
        live + ["--full-scale-volts", "1.2", "--ur", "noise:6000:1", "--ul", "silence"],
        live + ["--ur-range", "13", "--generator-frequency", "1000"],
        ["--analyze", recording, "--full-scale-volts", "0.9"],
    ]
    lines = 0
    for arguments in runs:
        run = subprocess.run([program] + arguments, capture_output=True, text=True, check=False,
                             env=dict(os.environ, XDG_RUNTIME_DIR=folder))
        if run.returncode != 0:
            sys.exit(f"{arguments}: exit {run.returncode}: {run.stderr}")
        for text in run.stdout.splitlines():
            errors = list(validator.iter_errors(json.loads(text)))
            if errors:
                sys.exit(f"{arguments}: {errors[0].message} in {text}")
            lines += 1
print(f"{lines} lines valid")
