#!/usr/bin/python3
# Checks every line of a tarvel-cli --json file against the published schema:
# check_json_records.py SCHEMA FILE. Prints one line per fault; exit 1 on any.
import json
import sys

import jsonschema

schema = json.load(open(sys.argv[1], encoding="utf-8"))
validator = jsonschema.Draft7Validator(schema)
faults = 0
with open(sys.argv[2], encoding="utf-8") as records:
    for number, line in enumerate(records, 1):
        if not line.strip():
            continue
        try:
            record = json.loads(line)
        except json.JSONDecodeError as error:
            print(f"record {number}: not JSON: {error}")
            faults += 1
            continue
        if validator.is_valid(record):
            continue
        # The branch the record's type names says more than "not one of".
        branch = {"step": "step", "summary": "summary"}.get(record.get("type") if isinstance(record, dict) else None)
        errors = (jsonschema.Draft7Validator({**schema["definitions"][branch], "definitions": schema["definitions"]})
                  .iter_errors(record) if branch else validator.iter_errors(record))
        for error in errors:
            where = "/".join(str(p) for p in error.absolute_path) or "(record)"
            print(f"record {number} ({record.get('type') if isinstance(record, dict) else '?'}): {where}: {error.message}")
            faults += 1
sys.exit(1 if faults else 0)
