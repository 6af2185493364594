#!/usr/bin/env bash
# Checks a built velto.dll without running it:
#  - it exports exactly the five functions, by their undecorated names;
#  - it imports nothing but system DLLs (the compiler's runtime is linked in);
#  - on 32-bit x86 each export is __stdcall: it returns with "ret N", popping
#    its own N bytes of arguments.
# Usage: check_exports.sh DLL ARCH    (ARCH: i686 or x86_64)
# Prints one line per check and closes with "exports ARCH: N passed, N failed".
set -uo pipefail

dll=$1
arch=$2
objdump=$arch-w64-mingw32-objdump
passed=0
failed=0
report() {  # report OK NAME DETAIL
  if [ "$1" = 0 ]; then
    passed=$((passed + 1)); echo "ok   $2"
  else
    failed=$((failed + 1)); echo "FAIL $2: $3"
  fi
}

headers=$("$objdump" -p "$dll") || { echo "FAIL cannot read $dll"; echo "exports $arch: 0 passed, 1 failed"; exit 1; }

# Export names, from the name pointer table.
names=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | awk '/^\t\[/{print $NF}' | sort)
wanted=$(printf '%s\n' AdjustEpochDateTimeToLocal AdjustLocalDateTimeToEpoch GetDataStatus GetFileStatus GetStatus | sort)
[ "$names" = "$wanted" ]
report $? "exports are exactly the five undecorated names" "$(tr '\n' ' ' <<<"$names")"

# Imported DLLs: system DLLs only.
system_dlls='^(KERNEL32|msvcrt|SHLWAPI|USER32|ADVAPI32)\.dll$'
imports=$(awk '/DLL Name:/{print $3}' <<<"$headers")
foreign=$(grep -Eiv "$system_dlls" <<<"$imports")
[ -z "$foreign" ]
report $? "imports only system DLLs ($(tr '\n' ' ' <<<"$imports"| sed 's/ $//'))" "also imports: $(tr '\n' ' ' <<<"$foreign")"

if [ "$arch" = i686 ]; then
  image_base=$(awk '/^ImageBase/{print $2}' <<<"$headers")
  # Export address table: "[ i] +base[ o] RVA Export RVA", indexed like the name table.
  mapfile -t rvas < <(sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' <<<"$headers" | awk '/Export RVA/{print $(NF-2)}')
  mapfile -t ordered < <(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | awk '/^\t\[/{print $NF}')
  declare -A argument_bytes=([GetFileStatus]=8 [GetDataStatus]=8 [GetStatus]=8
                             [AdjustEpochDateTimeToLocal]=8 [AdjustLocalDateTimeToEpoch]=4)
  for i in "${!ordered[@]}"; do
    name=${ordered[$i]}
    start=$(printf '0x%x' $((0x$image_base + 0x${rvas[$i]})))
    # The first return of the function.
    first_ret=$("$objdump" -d --no-show-raw-insn --start-address="$start" \
                  --stop-address=$((start + 0x2000)) "$dll" | grep -m1 -E '\sret' | sed 's/.*\(ret.*\)/\1/')
    expected="ret    \$0x${argument_bytes[$name]}"
    [ "$(tr -s ' ' <<<"$first_ret")" = "$(tr -s ' ' <<<"$expected")" ]
    report $? "$name is __stdcall (returns with $expected)" "first return is \"$first_ret\""
  done
fi

echo "exports $arch: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
