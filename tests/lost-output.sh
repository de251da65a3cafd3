#!/usr/bin/env bash
# Lost output is a failure however stdout is buffered: line-buffered or unbuffered, the write
# fails inside printf and leaves nothing for the final flush to report.
# Usage: lost-output.sh NAME BUFFERING STDBUF-REACHES [EMULATOR...] PATH-TO-PROGRAM, where
# BUFFERING is default, L or 0, and STDBUF-REACHES says whether stdbuf's preload can reach the
# program (it cannot reach a static or an emulated one, nor one of another C library: there only
# default buffering is checked).
name=$1 buffering=$2 reaches=$3
shift 3
if [ "$buffering" != default ]; then
    if [ "$reaches" = yes ]; then
        # stdbuf preloads its library after any already in LD_PRELOAD. A program built with
        # GCC's AddressSanitizer refuses to run unless its runtime comes first: so it does.
        asan=$(ldd "${@: -1}" | sed -n 's/^[[:space:]]*libasan\.so[^ ]* => \([^ ]*\).*/\1/p')
        set -- env ${asan:+LD_PRELOAD="$asan${LD_PRELOAD:+:$LD_PRELOAD}"} stdbuf -o"$buffering" "$@"
    else
        echo "stdbuf cannot reach a static program, an emulated one or one of another C library:" \
            "default buffering checked"
    fi
fi
err=$(echo 12 3 | "$@" 2>&1 >/dev/full)
status=$?
echo "status $status: $err"
[ $status = 1 ] && [ "$err" = "$name: cannot write output: No space left on device" ]
