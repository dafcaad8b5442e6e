#!/usr/bin/env bash
# Checks the built driver library without running it: its only export is DyxMain; it imports from
# nothing but Windows system libraries, the C runtime and TARNEL.DLL, and from TARNEL.DLL only err;
# DyxMain removes its argument (stdcall); and nothing of ours runs when the library is loaded (no TLS
# callback, C or C++ initializer or DllMain beyond the MinGW runtime's own).
#
# Usage: check-dll-binary.sh [--expect-fault KIND] LIBRARY
#   Prints one line per finding, "FAULT KIND: detail", and exits 1 when there is any. With
#   --expect-fault it exits 0 only when a finding of that KIND is among them (to show the check can
#   fail). KINDs: exports, imports, runtime-dll, host-imports, entry-convention, load-code, symbols.
set -euo pipefail

expected_fault=""
if [ "${1:-}" = --expect-fault ]; then
    expected_fault="$2"
    shift 2
fi
[ $# -eq 1 ] || { sed -n '2,10p' "$0" >&2; exit 64; }
library="$1"
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
nm=${NM:-i686-w64-mingw32-nm}

# What the MinGW-w64 runtime itself puts into a library: its TLS callbacks and initializers, and the
# frame-registration constructor of libgcc.
readonly runtime_load_code="_pre_c_init _pre_cpp_init ___dyn_tls_init@12 ___dyn_tls_dtor@12 ___mingw_TLScallback _register_frame_ctor"
readonly system_libraries="kernel32.dll ntdll.dll advapi32.dll user32.dll msvcrt.dll"

faults=()
fault() {
    faults+=("$1")
    echo "FAULT $1: $2"
}

headers=$("$objdump" -p "$library")
symbols=$("$nm" "$library" 2> /dev/null || true)
image_base=$(awk '$1 == "ImageBase" { print $2 }' <<< "$headers")

# The name of the symbol at an address ("" when none); section and local labels are not names.
symbol_at() {
    awk -v address="$(printf '%08x' "$1")" '$1 == address && $3 !~ /^\./ { print $3; exit }' <<< "$symbols"
}

# The 32-bit little-endian words of the image from one address up to another, one per line in hex.
words_between() {
    "$objdump" -s --start-address="$1" --stop-address="$2" "$library" |
        awk '/^ [0-9a-f]+ / { for (i = 2; i <= 5 && length($i) == 8 && $i ~ /^[0-9a-f]+$/; i++)
                 print substr($i, 7, 2) substr($i, 5, 2) substr($i, 3, 2) substr($i, 1, 2) }'
}

if [ -z "$symbols" ]; then
    fault symbols "the library has no symbol table, so what runs at load cannot be named"
fi

# Exports.
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
               table && /^\t\[ *[0-9]+\]/ { print $NF; next }
               table && NF == 0 { table = 0 }' <<< "$headers")
[ "$exports" = DyxMain ] || fault exports "exports are [$(echo $exports)], expected [DyxMain]"

# Imports, library by library.
imports=$(awk '/^\tDLL Name:/ { library = $3; next }
               library != "" && /^\t[0-9a-f]+\t/ { print library, $NF; next }
               NF == 0 && library != "" && seen { library = "" }
               library != "" { seen = 1 }' <<< "$headers")
for imported in $(awk '{ print $1 }' <<< "$imports" | sort -u); do
    lower=$(tr 'A-Z' 'a-z' <<< "$imported")
    case "$lower" in
        tarnel.dll) ;;
        libgcc_s* | libstdc++* | libwinpthread*) fault runtime-dll "imports from the MinGW runtime library $imported" ;;
        *) [[ " $system_libraries " == *" $lower "* ]] || fault imports "imports from $imported" ;;
    esac
done
host_imports=$(awk 'tolower($1) == "tarnel.dll" { print $2 }' <<< "$imports")
[ "$host_imports" = err ] || fault host-imports "imports [$(echo $host_imports)] from TARNEL.DLL, expected [err]"

# DyxMain: every return pops its 4-byte argument.
entry_rva=$(awk '/Export Address Table --/ { table = 1; next } table && /Export RVA/ { print $(NF - 2); exit }' <<< "$headers")
if [ -n "$entry_rva" ] && [ -n "$symbols" ]; then
    entry=$((0x$image_base + 0x$entry_rva))
    entry_name=$(symbol_at "$entry")
    next_symbol=$(awk -v address="$(printf '%08x' "$entry")" '$1 > address && ($2 == "T" || $2 == "t") { print $1 }' <<< "$symbols" |
        sort | head -1)
    returns=$("$objdump" -d --start-address="$entry" --stop-address="0x${next_symbol:-$(printf '%x' $((entry + 4096)))}" "$library" |
        awk -F'\t' '$3 ~ /^ret/ { gsub(/ +/, " ", $3); print $3 }' | sort -u)
    if [ -z "$returns" ]; then
        fault entry-convention "no return found in the exported entry ${entry_name:-at $entry_rva}"
    elif [ "$returns" != 'ret $0x4' ]; then
        fault entry-convention "the exported entry ${entry_name:-at $entry_rva} returns with [$(echo $returns)], expected [ret \$0x4] (stdcall)"
    fi
fi

# What runs at load: the entry point must be the runtime's, DllMain the runtime's default, and every
# TLS callback, initializer and constructor the runtime's own.
if [ -n "$symbols" ]; then
    entry_point=$(awk '$1 == "AddressOfEntryPoint" { print $2 }' <<< "$headers")
    startup=$(symbol_at $((0x$image_base + 0x$entry_point)))
    [ "$startup" = "_DllMainCRTStartup@12" ] || fault load-code "the load entry point is ${startup:-unnamed}"

    dll_main=$(awk '$3 == "_DllMain@12" { print $1; exit }' <<< "$symbols")
    if [ -n "$dll_main" ]; then
        body=$("$objdump" -d --start-address="0x$dll_main" --stop-address="$(printf '0x%x' $((0x$dll_main + 16)))" "$library" |
            awk -F'\t' 'NF >= 3 && $3 !~ /^(nop|xchg +%ax,%ax|lea +0x0)/ { gsub(/ +/, " ", $3); print $3 }' | head -2 | tr '\n' ';')
        [ "$body" = 'mov $0x1,%eax;ret $0xc;' ] || fault load-code "DllMain is not the runtime's default one: $body"
    fi

    load_code=()
    tls_directory=$(awk '/Thread Storage Directory/ { print $3, $4 }' <<< "$headers")
    read -r tls_rva tls_size <<< "$tls_directory"
    if [ -n "$tls_size" ] && [ $((0x$tls_size)) -ne 0 ]; then
        tls=$((0x$image_base + 0x$tls_rva))
        callbacks=$(words_between "$tls" $((tls + 24)) | sed -n 4p)
        for callback in $(words_between $((0x$callbacks)) $((0x$callbacks + 64)) | awk '$1 == "00000000" { exit } { print }'); do
            load_code+=("TLS callback:$(symbol_at $((0x$callback)))")
        done
    fi
    crt=$(awk '$2 == ".CRT" { print $4, $3 }' < <("$objdump" -h "$library"))
    if [ -n "$crt" ]; then
        read -r crt_start crt_size <<< "$crt"
        for pointer in $(words_between $((0x$crt_start)) $((0x$crt_start + 0x$crt_size)) | grep -v '^00000000$'); do
            load_code+=("initializer:$(symbol_at $((0x$pointer)))")
        done
    fi
    ctor_list=$(awk '$3 == "___CTOR_LIST__" { print $1 }' <<< "$symbols")
    dtor_list=$(awk '$3 == "___DTOR_LIST__" { print $1 }' <<< "$symbols")
    if [ -n "$ctor_list" ] && [ -n "$dtor_list" ]; then
        for pointer in $(words_between $((0x$ctor_list)) $((0x$dtor_list)) | grep -v -e '^ffffffff$' -e '^00000000$'); do
            load_code+=("constructor:$(symbol_at $((0x$pointer)))")
        done
    fi
    for item in "${load_code[@]}"; do
        name=${item#*:}
        [[ -n "$name" && " $runtime_load_code " == *" $name "* ]] ||
            fault load-code "${item%%:*} ${name:-at an unnamed address} runs at load"
    done
fi

if [ -n "$expected_fault" ]; then
    for found in "${faults[@]}"; do
        [ "$found" = "$expected_fault" ] && { echo "found the expected $expected_fault fault"; exit 0; }
    done
    echo "check-dll-binary: expected a $expected_fault fault in $library, found none"
    exit 1
fi
[ ${#faults[@]} -eq 0 ] || exit 1
echo "ok: $library exports only DyxMain (stdcall), imports err alone from TARNEL.DLL, runs nothing of its own at load"
