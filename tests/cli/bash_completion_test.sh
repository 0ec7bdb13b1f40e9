#!/usr/bin/env bash
# Catches completions that offer the wrong words where a user presses Tab: a subcommand, an
# option's value, a feature label with its blanks, a file where a file is expected, or values
# of the option the cursor is not at. Usage: bash_completion_test.sh PATH/TO/ctrltool-cli
set -u
cli=$1
script=$(mktemp)
workdir=$(mktemp -d)
trap 'rm -rf "$script" "$workdir"' EXIT
"$cli" completion bash >"$script" || { echo "completion bash failed"; exit 1; }
# shellcheck disable=SC1090
source "$script"
complete -p ctrltool-cli >/dev/null || { echo "no completion registered"; exit 1; }
cd "$workdir" && touch golden.cam line.csv

failures=0
# line (the cursor at its end) | a word that must be offered | a word that must not be
cases=(
  "ctrltool-cli |identify|completion"
  "ctrltool-cli --simulate |QX-4096TR-PCL|golden.cam"
  "ctrltool-cli --simulate |get|"
  "ctrltool-cli --simulate QX-8192M-PCL |dump|QX-4096M-PCL"
  "ctrltool-cli --baud |115200|identify"
  "ctrltool-cli --category |cl2001|identify"
  "ctrltool-cli --log |golden.cam|identify"
  "ctrltool-cli --j|--json|--raw"
  "ctrltool-cli get Expo|Exposure Time|Gain"
  "ctrltool-cli --simulate get Exposure\\ T|Exposure Time|"
  "ctrltool-cli --simulate set \"Pixel F|Pixel Format|"
  "ctrltool-cli --device /dev/ttyUSB0 describe Line|Line Trigger Mode|identify"
  "ctrltool-cli set Exposure\\ Time ||Exposure Time"
  "ctrltool-cli load-settings |golden.cam|Exposure Time"
  "ctrltool-cli diff golden.cam |line.csv|"
  "ctrltool-cli lut |write|line.csv"
  "ctrltool-cli lut read |line.csv|write"
  "ctrltool-cli lut --table |green|line.csv"
  "ctrltool-cli lut --table red |read|green"
  "ctrltool-cli userset |store|factory"
  "ctrltool-cli shell --k|--keep-going|--json"
  "ctrltool-cli save-settings --|--shipping|--simulate"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r line wanted unwanted <<<"$entry"
  # Split as bash would, quotes and escapes kept in the words.
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=("")
  # A quoted or escaped blank keeps its word whole.
  words=()
  for w in "${COMP_WORDS[@]}"; do
    if (( ${#words[@]} )) && [[ ${words[-1]} == *\\ || ${words[-1]} == \"* && ${words[-1]} != *\" ]]; then
      words[-1]+=" $w"
    else
      words+=("$w")
    fi
  done
  COMP_WORDS=("${words[@]}")
  COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
  COMPREPLY=()
  _ctrltool_cli
  offered=$(printf '%s\n' "${COMPREPLY[@]}")
  if [[ -n $wanted ]] && ! grep -qxF -- "$wanted" <<<"$offered"; then
    echo "FAIL [$line]: '$wanted' not offered; got: $(tr '\n' ',' <<<"$offered")"
    failures=$((failures + 1))
  fi
  if [[ -n $unwanted ]] && grep -qxF -- "$unwanted" <<<"$offered"; then
    echo "FAIL [$line]: '$unwanted' offered"
    failures=$((failures + 1))
  fi
done
echo "${#cases[@]} cases, $failures failures"
[[ $failures -eq 0 ]]
