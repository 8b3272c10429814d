# Sourced by the end-to-end scripts.
# await_files DIR PATTERN N SECONDS: waits up to SECONDS until the folder DIR holds at least N
# files matching PATTERN; otherwise lists DIR, says what is missing and ends the script with 1.
await_files() {
  local n=0
  for _ in $(seq 1 $(( $4 * 5 ))); do
    n=$(find "$1" -maxdepth 1 -name "$2" | wc -l)
    [ "$n" -ge "$3" ] && return 0
    sleep 0.2
  done
  ls -la "$1"; echo "expected $3 files $2 in $1, found $n"; exit 1
}
