#!/usr/bin/env bash
# Checks the C++ sources with the project's .clang-format and .clang-tidy. Exits 1 on any finding,
# after a summary of them all; 2 on a wrong command line.
#
#   scripts/lint.sh            format of every file; clang-tidy on the .cc files that changed
#   scripts/lint.sh --all      format of every file; clang-tidy on every .cc file
#   scripts/lint.sh --fix      first rewrites every file with clang-format -i, then checks as above
#   scripts/lint.sh -j N       N clang-tidy processes at once (default: the number of cores)
#
# "Changed" means the .cc files that differ from where this branch left main (git merge-base HEAD
# main, or origin/main where there is no local main), uncommitted and untracked files included.
# On main itself, where that point is HEAD (a clean clone of main), the last commit's files are
# checked instead; with no main at all, or in a shallow clone of main, the uncommitted ones alone.
# A changed header does not bring in the .cc files that include it: --all checks them.
#
# clang-tidy reads build/default/compile_commands.json: the preset is configured here when it is
# missing (nothing has to be built: the one generated source, the schema texts, is no file that
# the checked ones include). Files that are not in it are format-checked alone: the Windows-only
# sources, which the Linux database cannot compile.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

all=0
fix=0
jobs="$(nproc)"
while [ $# -gt 0 ]; do
  case "$1" in
    --all) all=1 ;;
    --fix) fix=1 ;;
    -j) shift; jobs="${1:-}" ;;
    -j*) jobs="${1#-j}" ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "lint.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
  shift
done
if ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "lint.sh: -j wants a number of processes, not '$jobs'" >&2
  exit 2
fi
for tool in clang-format clang-tidy git python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "lint.sh: $tool is missing: run scripts/install-deps.sh" >&2
    exit 2
  fi
done

# Every tracked C++ file, and those still untracked but not ignored (a new file is checked before
# its first commit).
mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- \
  'src/*.h' 'src/*.cc' 'tests/*.h' 'tests/*.cc' 'bench/*.h' 'bench/*.cc' | sort -u)
existing=()
for file in "${sources[@]}"; do
  [ -f "$file" ] && existing+=("$file")
done
sources=("${existing[@]}")

if [ "$fix" = 1 ]; then
  echo "== clang-format -i on ${#sources[@]} files"
  printf '%s\0' "${sources[@]}" | xargs -0 -n 50 clang-format -i --style=file || exit 1
fi

# Formatting: clang-format names each file that it would change, with the first lines concerned.
echo "== clang-format: ${#sources[@]} files"
format_log="$(mktemp)"
tidy_dir="$(mktemp -d)"
trap 'rm -rf "$format_log" "$tidy_dir"' EXIT
printf '%s\0' "${sources[@]}" |
  xargs -0 -n 50 clang-format --dry-run --Werror --style=file >"$format_log" 2>&1
mapfile -t unformatted < <(grep -oE '^[^:]+\.(h|cc):[0-9]+:[0-9]+: error:' "$format_log" |
  cut -d: -f1 | sort -u)
if [ ${#unformatted[@]} -eq 0 ] && grep -q . "$format_log"; then
  # clang-format itself failed (a bad .clang-format, say): no file named, but output all the same.
  cat "$format_log"
  unformatted=("(clang-format failed: see above)")
fi

# The .cc files for clang-tidy.
if [ "$all" = 1 ]; then
  candidates=()
  for file in "${sources[@]}"; do
    [[ "$file" == *.cc ]] && candidates+=("$file")
  done
  what="every .cc file"
else
  base=""
  for ref in main origin/main; do
    if git rev-parse --verify -q "$ref^{commit}" >/dev/null; then
      base="$(git merge-base HEAD "$ref" 2>/dev/null)" && break
    fi
  done
  if [ -n "$base" ] && [ "$base" = "$(git rev-parse HEAD)" ]; then
    if git rev-parse --verify -q HEAD~1 >/dev/null; then
      base="$(git rev-parse HEAD~1)"
      what="the .cc files of the last commit and uncommitted ones"
    elif [ "$(git rev-parse --is-shallow-repository)" = true ]; then
      base=HEAD  # a shallow clone: the last commit's parent is not there to compare with
      what="the uncommitted .cc files (a shallow clone)"
    else
      base="$(git hash-object -t tree /dev/null)"  # the only commit: all of it
      what="the .cc files of the only commit"
    fi
  elif [ -n "$base" ]; then
    what="the .cc files changed since main ($(git rev-parse --short "$base"))"
  else
    base=HEAD
    what="the uncommitted .cc files (no main to compare with)"
  fi
  mapfile -t candidates < <({
      git diff --name-only --diff-filter=d "$base" -- 'src/*.cc' 'tests/*.cc' 'bench/*.cc'
      git ls-files --others --exclude-standard -- 'src/*.cc' 'tests/*.cc' 'bench/*.cc'
    } | sort -u)
fi

database="build/default/compile_commands.json"
if [ ${#candidates[@]} -gt 0 ] && [ ! -f "$database" ]; then
  echo "== configuring the default preset for $database"
  cmake --preset default >/dev/null || exit 1
fi
tidied=()
skipped=()
if [ ${#candidates[@]} -gt 0 ]; then
  mapfile -t in_database < <(python3 -c '
import json, os, sys
root = sys.argv[2]
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    if path.startswith(root + os.sep):
        print(os.path.relpath(path, root))
' "$database" "$root" | sort -u)
  for file in "${candidates[@]}"; do
    if printf '%s\n' "${in_database[@]}" | grep -qxF -- "$file"; then
      tidied+=("$file")
    else
      skipped+=("$file")
    fi
  done
fi

# clang-tidy, one process per file, its output kept apart so that the findings of one file stay
# together. A header's finding comes once per file that includes it: the summary shows it once.
echo "== clang-tidy: ${#tidied[@]} files ($what), $jobs at a time"
if [ ${#skipped[@]} -gt 0 ]; then
  echo "   not in $database, format-checked only: ${skipped[*]}"
fi
failed_runs=()
if [ ${#tidied[@]} -gt 0 ]; then
  # The database holds GCC's command lines: clang would take GCC's own -Wno-restrict for an error.
  export root tidy_dir database
  printf '%s\0' "${tidied[@]}" | xargs -0 -P "$jobs" -I{} bash -c '
    log="$tidy_dir/$(printf %s "$1" | tr / _).log"
    if ! clang-tidy --quiet -p "$root/build/default" --config-file="$root/.clang-tidy" \
        --extra-arg=-Wno-unknown-warning-option \
        "$root/$1" >"$log" 2>&1; then
      printf "%s\n" "$1" >>"$tidy_dir/failed"
    fi' _ {}
  [ -f "$tidy_dir/failed" ] && mapfile -t failed_runs < <(sort "$tidy_dir/failed")
fi
findings="$tidy_dir/findings"
cat "$tidy_dir"/*.log 2>/dev/null | grep -E '^/.*:[0-9]+:[0-9]+: (warning|error):' |
  sed "s|^$root/||" | sort -u >"$findings"

# The details first (clang-tidy's text with the code and its notes), the summary last.
for log in "$tidy_dir"/*.log; do
  [ -f "$log" ] || continue
  if grep -qE ': (warning|error):' "$log"; then
    sed "s|$root/||" "$log"
  fi
done
for file in "${failed_runs[@]}"; do
  log="$tidy_dir/$(printf %s "$file" | tr / _).log"
  if ! grep -qE ': (warning|error):' "$log"; then
    echo "clang-tidy failed on $file without a finding:"
    cat "$log"
  fi
done

echo
echo "== lint summary"
status=0
if [ ${#unformatted[@]} -gt 0 ]; then
  status=1
  echo "clang-format: ${#unformatted[@]} files not formatted (scripts/lint.sh --fix rewrites them):"
  printf '  %s\n' "${unformatted[@]}"
else
  echo "clang-format: all ${#sources[@]} files formatted"
fi
if [ -s "$findings" ]; then
  status=1
  echo "clang-tidy: $(wc -l <"$findings") findings in ${#tidied[@]} files checked:"
  sed 's/^/  /' "$findings"
else
  echo "clang-tidy: no findings in ${#tidied[@]} files checked"
fi
if [ ${#failed_runs[@]} -gt 0 ]; then
  status=1
  echo "clang-tidy failed on: ${failed_runs[*]}"
fi
exit $status
