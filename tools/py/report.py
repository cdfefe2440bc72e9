"""Stand-in renderer until the real one lands: the record's rows as plain lines."""


def render(record: dict, fmt: str) -> str:
    lines = [f"{n['label']}: {n['text']}" for n in record["notes"]]
    lines += [f"{e['label']}: {e['path']}, {e.get('sha256', e.get('absent'))}" for e in record["exes"]]
    lines.append(record["same_build"])
    if record["image"]:
        lines += [f"{', '.join(r['windows'])}: {r['namespace']}" for r in record["image"]["read_as"]]
    for r in record["rows"]:
        files = ", ".join(f"{f['kind']} {f['state']}" for f in r["files"])
        lines.append(" | ".join(str(x) for x in ("!" if r["missing"] else "", r["windows"], r["codec"],
                                                   r["not_run"] or r["package"], r["helper"], files, r["status"], r["marker"])))
    lines.append(f"Run with {record['run_with']}.")
    return "\n".join(lines) + "\n"
