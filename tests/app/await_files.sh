# Sourced by the end-to-end scripts. Each wait ends as soon as its condition holds; the bound only
# decides when to give up, and is measured on the clock, so a busy machine gets the whole of it.

# within SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds (returns 0) or SECONDS
# have passed (returns 1).
within() {
  local deadline=$(( SECONDS + $1 ))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# count_files DIR PATTERN: the number of files in the folder DIR matching PATTERN.
count_files() {
  find "$1" -maxdepth 1 -name "$2" | wc -l
}

# files_at_least DIR PATTERN N, files_at_most DIR PATTERN N: whether the folder DIR holds at
# least (at most) N files matching PATTERN.
files_at_least() {
  [ "$(count_files "$1" "$2")" -ge "$3" ]
}
files_at_most() {
  [ "$(count_files "$1" "$2")" -le "$3" ]
}

# await_files DIR PATTERN N SECONDS: waits up to SECONDS until the folder DIR holds at least N
# files matching PATTERN; otherwise lists DIR, says what is missing and ends the script with 1.
await_files() {
  within "$4" files_at_least "$1" "$2" "$3" && return 0
  ls -la "$1"; echo "expected $3 files $2 in $1, found $(count_files "$1" "$2")"; exit 1
}

# await_no_files DIR PATTERN SECONDS: waits up to SECONDS until the folder DIR holds no file
# matching PATTERN; otherwise lists DIR, says what stayed and ends the script with 1.
await_no_files() {
  within "$3" files_at_most "$1" "$2" 0 && return 0
  ls -la "$1"; echo "files $2 stayed in $1 for $3 s"; exit 1
}

# await_same FILE COPY SECONDS: waits up to SECONDS until COPY holds the bytes of FILE (a copy
# still being written is waited for); otherwise says so and ends the script with 1.
await_same() {
  within "$3" cmp -s "$1" "$2" && return 0
  echo "$2 differs from $1 after $3 s"; exit 1
}
