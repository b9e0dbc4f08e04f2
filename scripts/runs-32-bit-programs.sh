#!/usr/bin/env bash
# Answers whether this machine runs 32-bit x86 programs, by running one: some kernels boot with
# 32-bit emulation off, and then every 32-bit program fails with "Exec format error", Wine's 32-bit
# loader included. Exit 0 when it runs; otherwise 1, with the reason on standard output.
#   TAVREL_RUNS_32_BIT=no makes the answer "no" on any machine, to try the other path.
set -euo pipefail

if [ "${TAVREL_RUNS_32_BIT:-}" = no ]; then
    echo "TAVREL_RUNS_32_BIT=no says so"
    exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The smallest 32-bit program: exit(0) through the 32-bit system call gate.
# shellcheck disable=SC2016 # assembly, not shell
printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$scratch/probe.s"
as --32 -o "$scratch/probe.o" "$scratch/probe.s"
ld -m elf_i386 -o "$scratch/probe" "$scratch/probe.o"
if error=$("$scratch/probe" 2>&1); then
    exit 0
fi
reason="a 32-bit program fails here${error:+ (${error##*: })}"
if grep -qw 'ia32_emulation=0\|ia32_emulation=off' /proc/cmdline 2>/dev/null ||
    [ "$(cat /sys/module/*/parameters/ia32_emulation 2>/dev/null)" = N ]; then
    reason="$reason: the kernel boots with 32-bit emulation off (ia32_emulation=on turns it on)"
else
    reason="$reason: the kernel's 32-bit emulation is off or missing (see ia32_emulation)"
fi
echo "$reason"
exit 1
