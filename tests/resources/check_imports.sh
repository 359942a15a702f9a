#!/usr/bin/env bash
# The Windows monitor runs from a bare folder: it may import only DLLs that
# every Windows has, never a MinGW runtime DLL.
# Usage: check_imports.sh <objdump> <program.exe>
set -euo pipefail
allowed='^(ADVAPI32|GDI32|KERNEL32|msvcrt|OPENGL32|SHELL32|USER32|WINHTTP|WS2_32)\.dll$'
imports=$("$1" -p "$2" | awk '/DLL Name:/ { print $3 }')
[ -n "$imports" ] || { echo "FAIL: no imports read from $2"; exit 1; }
bad=$(grep -Eiv "$allowed" <<<"$imports" || true)
[ -z "$bad" ] || { echo "FAIL: $2 imports $bad"; exit 1; }
echo "imports only system DLLs:" $imports
