#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy, on the compile commands of a configured
# build (WI_BUILD_DIR, default build/; any build made with scripts/test.sh has them).
#
#   scripts/tidy.sh                  the whole tree: every finding, then their count per check
#   scripts/tidy.sh --change [BASE]  the change since BASE: findings on the lines it added or
#                                    changed only (not on lines it moved), in the files it
#                                    touched (a header through a source file that includes it)
#
# The change's BASE is, in order: the argument, WI_TIDY_BASE, or the last commit made more
# than 3 hours (one working session) before HEAD, though not before the commit that brought
# .clang-tidy; the change runs up to the working tree.
# Exits 1 on any finding; a source that clang cannot compile is a finding too.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WI_BUILD_DIR:-build}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy: no $build/compile_commands.json: configure the build first (scripts/test.sh)" >&2
  exit 2
fi
# The compile commands are GCC's: clang skips the options it does not know, and keeps its
# own warnings warnings (-Werror would make them errors outside the lines looked at).
args=(-quiet -extra-arg=-Wno-unknown-warning-option -extra-arg=-Wno-error)
jobs=${WI_TIDY_JOBS:-$(nproc)}

if [ "${1:-}" != "--change" ]; then
  log=$build/tidy.log
  # Generated sources (the embedded forms) stay out.
  run-clang-tidy -p "$build" -j "$jobs" "${args[@]}" "^$PWD/(?!$build/)" >"$log" 2>&1 || true
  findings=$(sed 's/\x1b\[[0-9;]*m//g' "$log" |
    grep -oE '^/[^ ]+:[0-9]+:[0-9]+: (warning|error): .*\[[a-zA-Z0-9.,-]+\]$' | sort -u)
  if [ -z "$findings" ]; then
    echo "tidy: no findings"
    exit 0
  fi
  echo "$findings" | sed "s|^$PWD/||"
  echo "tidy: $(echo "$findings" | wc -l) findings (full output in $log), by check:"
  echo "$findings" | grep -oE '\[[a-zA-Z0-9.,-]+\]$' | sort | uniq -c | sort -rn
  exit 1
fi

base=${2:-${WI_TIDY_BASE:-}}
if [ -z "$base" ]; then
  since=$(($(git log -1 --format=%ct HEAD) - 3 * 3600))
  base=$(git rev-list -1 --before="$since" HEAD)
  # Lines written before the checks came are the whole-tree run's.
  checked=$(git log --format=%H --diff-filter=A -- .clang-tidy | tail -1)
  if [ -z "$base" ] || git merge-base --is-ancestor "$base" "$checked"; then base=$checked; fi
fi
echo "tidy: the change since $(git rev-parse --short "$base")"
diff=$(mktemp)
trap 'rm -f "$diff"' EXIT
git diff -U0 --no-color --diff-filter=AMR "$base" -- '*.cpp' '*.h' '*.c' >"$diff"
python3 - "$diff" "$build" "$jobs" "${args[@]}" <<'EOF'
import collections, json, os, re, subprocess, sys
from concurrent.futures import ThreadPoolExecutor

diff, build, jobs, args = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
root = os.getcwd()

# The lines the change added or changed, per file. A line that the change also removed
# somewhere (code moved to another place or file, or only indented again) is not new.
removed = collections.Counter()
for line in open(diff, errors="replace"):
    if line.startswith("-") and not line.startswith("---"):
        removed[line[1:].strip()] += 1
changed, name, at = {}, None, 0
for line in open(diff, errors="replace"):
    if line.startswith("+++ "):
        path = line[4:].strip()
        name = os.path.join(root, path[2:]) if path.startswith("b/") else None
    elif line.startswith("@@"):
        at = int(re.match(r"@@ -\S+ \+(\d+)", line).group(1))
    elif line.startswith("+") and name:
        text = line[1:].strip()
        if removed[text]:
            removed[text] -= 1
        else:
            ranges = changed.setdefault(name, [])
            if ranges and ranges[-1][1] == at - 1:
                ranges[-1][1] = at
            else:
                ranges.append([at, at])
        at += 1
changed = {f: r for f, r in changed.items()
           if os.path.exists(f) and not f.startswith(os.path.join(root, build) + "/")}
if not changed:
    print("tidy: no source lines changed")
    sys.exit(0)

# The compiled sources that hold the changed lines: each changed source, and for a header
# its own source, else the first source that includes it.
with open(os.path.join(build, "compile_commands.json")) as f:
    sources = sorted({os.path.join(e["directory"], e["file"]) for e in json.load(f)})
units = {}
for f in changed:
    if f in sources:
        units[f] = f
        continue
    stem = os.path.splitext(f)[0]
    own = [s for s in sources if os.path.splitext(s)[0] == stem]
    if not own:
        rel = os.path.relpath(f, root)
        own = [s for s in sources
               if s.startswith(root) and f'"{rel}"' in open(s, errors="replace").read()]
    if own:
        units[f] = own[0]
    else:
        print(f"tidy: {os.path.relpath(f, root)}: no compiled source includes it", flush=True)
todo = sorted(set(units.values()))
lines = json.dumps([{"name": f, "lines": r} for f, r in changed.items()])

def tidy(source):
    run = subprocess.run(["clang-tidy", "-p", build, "--warnings-as-errors=*",
                          "--line-filter=" + lines, *args, source],
                         capture_output=True, text=True)
    return run.returncode, run.stdout

failed = 0
with ThreadPoolExecutor(jobs) as pool:
    for source, (code, out) in zip(todo, pool.map(tidy, todo)):
        if code:
            failed += 1
            print(out.replace(root + "/", ""), end="", flush=True)
print(f"tidy: {len(todo)} sources looked at for {len(changed)} changed files, "
      f"{failed} with findings")
sys.exit(1 if failed else 0)
EOF
