# Argument checks the benchmark scripts share (sourced, not run): each takes an
# argument's whole text or names the argument, says what is wrong on standard error
# and ends the script with exit code 2.
script_name=${0##*/}

bad_argument() {  # NAME TEXT WHAT
  echo "$script_name: $1: '$2' $3" >&2
  exit 2
}

# whole_number NAME VALUE MIN MAX: digits only, from MIN to MAX (at most 9 digits).
whole_number() {
  case "$2" in
    '' | *[!0-9]*) ;;
    *)
      digits=$(printf '%s' "$2" | sed 's/^0*\([0-9]\)/\1/')
      if [ "${#digits}" -le 9 ] && [ "$digits" -ge "$3" ] && [ "$digits" -le "$4" ]; then
        return 0
      fi
      ;;
  esac
  bad_argument "$1" "$2" "is not a whole number from $3 to $4"
}

# program NAME PATH: a regular file that may be run.
program() {
  [ -f "$2" ] && [ -x "$2" ] || bad_argument "$1" "$2" "is not a program (a regular file that may be run)"
}
