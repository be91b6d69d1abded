#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy, on the compile commands of a configured
# build (WI_BUILD_DIR, default build/; any build made with scripts/test.sh has them).
#
#   scripts/tidy.sh                  the whole tree: every finding, then their count per check;
#                                    with none, HEAD goes into scripts/tidy-clean
#   scripts/tidy.sh --change [BASE]  the files changed since BASE, whole (a header through its
#                                    own source, else the first source that includes it)
#
# The change's BASE is, in order: the argument, WI_TIDY_BASE, the commit scripts/tidy-clean
# records (the whole tree had no finding there, so anything found since is the change's,
# even on a line it did not touch), or, where that commit is not in the history, the last
# commit made more than 3 hours before HEAD. The change runs up to the working tree.
# Exits 1 on any finding; a source that clang cannot compile is a finding too.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WI_BUILD_DIR:-build}
record=scripts/tidy-clean
if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy: no $build/compile_commands.json: configure the build first (scripts/test.sh)" >&2
  exit 2
fi
# The compile commands are GCC's: clang skips the options it does not know, and keeps its
# own warnings warnings.
args=(-quiet -extra-arg=-Wno-unknown-warning-option -extra-arg=-Wno-error)
jobs=${WI_TIDY_JOBS:-$(nproc)}

if [ "${1:-}" != "--change" ]; then
  log=$build/tidy.log
  # Generated sources (the embedded forms) stay out.
  run-clang-tidy -p "$build" -j "$jobs" "${args[@]}" "^$PWD/(?!$build/)" >"$log" 2>&1 || true
  # One finding in a header is reported by every source that includes it, by paths that
  # may go through "..": one line each.
  findings=$(sed 's/\x1b\[[0-9;]*m//g' "$log" |
    grep -oE '^/[^ ]+:[0-9]+:[0-9]+: (warning|error): .*\[[a-zA-Z0-9.,-]+\]$' |
    perl -pe '1 while s{/(?!\.\./)[^/]+/\.\./}{/}' | sort -u || true)
  if [ -n "$findings" ]; then
    echo "$findings" | sed "s|^$PWD/||"
    echo "tidy: $(echo "$findings" | wc -l) findings (full output in $log), by check:"
    echo "$findings" | grep -oE '\[[a-zA-Z0-9.,-]+\]$' | sort | uniq -c | sort -rn
    exit 1
  fi
  echo "tidy: no findings"
  # Recorded only when the sources looked at are HEAD's own.
  if [ -z "$(git status --porcelain --untracked-files=no | grep -v " $record\$")" ]; then
    {
      echo "# The last commit at which scripts/tidy.sh found the whole tree clean: the base of"
      echo "# scripts/tidy.sh --change (CI's check). Written by that run; commit it."
      git rev-parse HEAD
    } >"$record"
    echo "tidy: $record now records $(git rev-parse --short HEAD): commit it"
  fi
  exit 0
fi

base=${2:-${WI_TIDY_BASE:-}}
if [ -z "$base" ] && [ -f "$record" ]; then
  base=$(grep -vE '^(#|$)' "$record" | head -1)
  if ! git merge-base --is-ancestor "$base" HEAD 2>/dev/null; then
    echo "tidy: $base of $record is not in this history"
    base=
  fi
fi
if [ -z "$base" ]; then
  since=$(($(git log -1 --format=%ct HEAD) - 3 * 3600))
  base=$(git rev-list -1 --before="$since" HEAD)
  [ -n "$base" ] || base=$(git rev-list --max-parents=0 HEAD | tail -1)
fi
echo "tidy: the change since $(git rev-parse --short "$base")" \
  "($(git log -1 --format=%cr "$base"), $(git rev-list --count "$base"..HEAD) commits)"
list=$(mktemp)
trap 'rm -f "$list"' EXIT
git diff --name-only --diff-filter=AMR "$base" -- '*.cpp' '*.h' '*.c' >"$list"
python3 - "$list" "$build" "$jobs" "${args[@]}" <<'EOF'
import json, os, subprocess, sys
from concurrent.futures import ThreadPoolExecutor

listed, build, jobs, args = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
root = os.getcwd()
changed = [os.path.join(root, l.strip()) for l in open(listed) if l.strip()]
changed = [f for f in changed
           if os.path.exists(f) and not f.startswith(os.path.join(root, build) + "/")]
if not changed:
    print("tidy: no source changed")
    sys.exit(0)

# The compiled sources that hold the changed files: each changed source, and for a header
# its own source, else the first source that includes it.
with open(os.path.join(build, "compile_commands.json")) as f:
    sources = sorted({os.path.join(e["directory"], e["file"]) for e in json.load(f)})
units = set()
for f in changed:
    if f in sources:
        units.add(f)
        continue
    stem = os.path.splitext(f)[0]
    own = [s for s in sources if os.path.splitext(s)[0] == stem]
    if not own:
        # Included by its path from the root, or by its name from its own folder.
        rel, folder, name = os.path.relpath(f, root), os.path.dirname(f), os.path.basename(f)
        own = [s for s in sources if s.startswith(root) and (
                   f'"{rel}"' in (text := open(s, errors="replace").read()) or
                   (os.path.dirname(s) == folder and f'"{name}"' in text))]
    if own:
        units.add(own[0])
    else:
        print(f"tidy: {os.path.relpath(f, root)}: no compiled source includes it", flush=True)
todo = sorted(units)

def tidy(source):
    run = subprocess.run(["clang-tidy", "-p", build, "--warnings-as-errors=*", *args, source],
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
if len(todo) > 60:
    print("tidy: a long way from the last clean record: scripts/tidy.sh (the whole tree) "
          "records a newer one")
sys.exit(1 if failed else 0)
EOF
