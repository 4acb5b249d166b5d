"""Holds tqvlkaectl's JSON documents to their schemas.

validateJson.py SCHEMA_DIR DOCUMENT...: each DOCUMENT is named
COMMAND-N.json and is validated against SCHEMA_DIR/COMMAND.schema.json
(JSON Schema 2020-12, every schema itself checked first). Prints each
failure and exits 1 when there is one.
"""
import json
import pathlib
import sys

import jsonschema


def main(schema_dir, documents):
    failures = 0
    validators = {}
    for path in map(pathlib.Path, documents):
        command = path.name.rsplit("-", 1)[0]
        if command not in validators:
            schema = json.loads((pathlib.Path(schema_dir) / f"{command}.schema.json").read_text())
            jsonschema.Draft202012Validator.check_schema(schema)
            validators[command] = jsonschema.Draft202012Validator(schema)
        text = path.read_bytes().decode("utf-8")  # strict: the document is UTF-8
        document = json.loads(text, parse_constant=lambda name: sys.exit(f"{path}: {name}"))
        for error in validators[command].iter_errors(document):
            failures += 1
            print(f"{path.name}: {error.json_path}: {error.message}\n  {text.strip()[:2000]}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
