#!/usr/bin/env bash
# Succeeds when this machine executes 32-bit x86 Linux programs, which Debian's Wine needs for
# 32-bit Windows programs. Decided by running one: some kernels are built without 32-bit
# support or have it switched off, and no setting tells that as surely as a try.
# The program tried is a 93-byte static one made here, which exits with status 42.
set -u

program=$(mktemp)
trap 'rm -f "$program"' EXIT
# An ELF header, one loadable segment, and: xor ebx,ebx; mov bl,42; xor eax,eax; inc eax;
# int 0x80 (the 32-bit exit system call).
printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'\
'\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00'\
'\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'\
'\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb'\
'\xb3\x2a\x31\xc0\x40\xcd\x80' >"$program"
chmod +x "$program"
"$program" 2>/dev/null
[[ $? -eq 42 ]]
