#!/usr/bin/env python3
"""The Zabbix templates agree with the program and with their README.

    tests/zabbix/template_check.py TEMPLATE.yaml TEMPLATE-6.0.yaml README.md PROGRAM

Each template (7.0 and 6.0 export formats) is checked on its own:

- every UUID is a distinct version-4 UUID in Zabbix's form (32 hex digits);
- the run item is an external check of type text whose key passes the nine arguments in
  the program's order, {HOST.HOST} last; run with the key's parameters, the program takes
  them as its nine arguments and puts user, host, port and database where they belong;
- every macro the template uses is defined in it and every macro it defines is used; the
  MySQL password macro is secret and empty;
- every item a trigger names is an item of the template;
- the README's macro table lists exactly the 7.0 template's macros, with the same defaults;
- the 6.0 file is what scripts/zabbix-template-6.0 makes of the 7.0 one.
"""
import os
import re
import subprocess
import sys
import uuid

import yaml

# The program's command line, after the mode: DB_HOST DB_PORT DB_USER DB_PASSWORD DATABASE
# QUESTDB_IP QUESTDB_PORT ZABBIX_HOST.
ARGUMENTS = ["{$TESSIM.MODE}", "{$TESSIM.DB.HOST}", "{$TESSIM.DB.PORT}", "{$TESSIM.DB.USER}",
             "{$TESSIM.DB.PASSWORD}", "{$TESSIM.DB.NAME}", "{$TESSIM.QUESTDB.IP}",
             "{$TESSIM.QUESTDB.PORT}", "{HOST.HOST}"]
MACRO = re.compile(r"\{\$[A-Z0-9_.]+\}")
failures = []


def check(condition, text):
    if not condition:
        failures.append(text)


def walk(node, path=""):
    """Every (path, key, value) of the document."""
    if isinstance(node, dict):
        for key, value in node.items():
            yield path, key, value
            yield from walk(value, f"{path}/{key}")
    elif isinstance(node, list):
        for i, value in enumerate(node):
            yield from walk(value, f"{path}[{i}]")


def key_parameters(key):
    """The parameters of an item key name["a","b",...] (quoted ones, as Zabbix writes them)."""
    inside = key[key.index("[") + 1:key.rindex("]")]
    return [p.replace('\\"', '"') for p in re.findall(r'"((?:[^"\\]|\\.)*)"\s*(?:,|$)', inside)]


def item_references(expression, template):
    """The item keys that `expression` names on `template`, e.g. last(/T/key[...],#2)."""
    keys, mark = [], f"/{template}/"
    start = expression.find(mark)
    while start >= 0:
        i, depth, quoted = start + len(mark), 0, False
        begin = i
        while i < len(expression):
            c = expression[i]
            if quoted:
                if c == "\\":
                    i += 1
                elif c == '"':
                    quoted = False
            elif c == '"':
                quoted = True
            elif c == "[":
                depth += 1
            elif c == "]":
                depth -= 1
            elif depth == 0 and c in ",)":
                break
            i += 1
        keys.append(expression[begin:i])
        start = expression.find(mark, i)
    return keys


def check_template(template_file, version, program):
    """Checks one template; returns its macros' defaults."""
    document = yaml.safe_load(open(template_file))["zabbix_export"]
    check(document["version"] == version, f"{template_file}: not the {version} export format")
    groups = "template_groups" if version == "7.0" else "groups"
    check(groups in document, f"{template_file}: no {groups}")

    uuids = [v for _, k, v in walk(document) if k == "uuid"]
    for u in uuids:
        parsed = uuid.UUID(hex=u) if re.fullmatch(r"[0-9a-f]{32}", u) else None
        check(parsed is not None and parsed.version == 4 and parsed.variant == uuid.RFC_4122,
              f"not a version-4 UUID: {u}")
    check(len(set(uuids)) == len(uuids), "a UUID is used twice")

    [template] = document["templates"]
    name = template["template"]
    items = {i["key"]: i for i in template["items"]}
    [run] = [i for i in template["items"] if i["key"].startswith("tessim_clientes[")]
    check(run["type"] == "EXTERNAL" and run["value_type"] == "TEXT", "run item: external check, text")
    parameters = key_parameters(run["key"])
    check(parameters == ARGUMENTS, f"run item key passes {parameters}, not {ARGUMENTS}")

    macros = {m["macro"]: m for m in template["macros"]}
    used = set()
    for _, _, value in walk({k: v for k, v in template.items() if k != "macros"}):
        if isinstance(value, str):
            used.update(MACRO.findall(value))
    check(used <= set(macros), f"used but not defined: {sorted(used - set(macros))}")
    check(set(macros) <= used, f"defined but not used: {sorted(set(macros) - used)}")
    password = macros.get("{$TESSIM.DB.PASSWORD}", {})
    check(password.get("type") == "SECRET_TEXT" and not password.get("value"),
          "the MySQL password macro must be secret and empty")

    triggers = [t for i in template["items"] for t in i.get("triggers", [])]
    triggers += document.get("triggers", [])
    for trigger in triggers:
        references = item_references(trigger["expression"], name)
        check(references, f"trigger {trigger['name']!r} names no item of {name!r}")
        for key in references:
            check(key in items, f"trigger {trigger['name']!r} names {key!r}, not an item of {name!r}")

    defaults = {m: macros[m].get("value", "") for m in macros}

    # The key's parameters, as a poller would pass them (a closed port keeps it short; a
    # password keeps the option files out of it): the program must see nine arguments and
    # read user, host, port and database from the places the template puts them.
    values = {**defaults, "{$TESSIM.DB.HOST}": "127.0.0.1", "{$TESSIM.DB.PORT}": "1",
              "{$TESSIM.DB.USER}": "u-check", "{$TESSIM.DB.PASSWORD}": "p-check",
              "{$TESSIM.DB.NAME}": "d-check", "{HOST.HOST}": "h-check"}
    result = subprocess.run([program] + [values[p] for p in parameters], capture_output=True,
                            text=True, stdin=subprocess.DEVNULL, timeout=60)
    expected = "usuário 'u-check' em 127.0.0.1:1, banco 'd-check'"
    check(result.returncode == 1 and expected in result.stderr,
          f"the program read the key's parameters otherwise: status {result.returncode}, "
          f"{result.stdout!r} {result.stderr!r}")
    return defaults


def readme_macros(readme_file):
    table = {}
    for line in open(readme_file):
        if line.startswith("| `{$"):
            cells = [c.strip().strip("`") for c in line.strip().strip("|").split("|")]
            table[cells[0]] = cells[1]
    return table


def main(template_file, template_6_file, readme_file, program):
    defaults = check_template(template_file, "7.0", program)
    check_template(template_6_file, "6.0", program)
    table = readme_macros(readme_file)
    check(table == defaults, f"README macro table {table} differs from the template {defaults}")
    generator = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                             "zabbix-template-6.0")
    stale = subprocess.run([generator, "--check"], capture_output=True, text=True)
    check(stale.returncode == 0, stale.stdout.strip() or stale.stderr.strip())
    for failure in failures:
        print(f"template_check: {failure}")
    print(f"template_check: {len(failures)} problem(s) in {template_file}, {template_6_file}")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
