#!/usr/bin/env bash
# own-network.sh TEST [ARGS...]: runs TEST in a network namespace of its own
# with only its loopback up, so the program's fixed phone ports 3456 and
# 3455 meet no other program of this machine (a copy of the program left
# running, another checkout's tests) and leave the machine's own ports
# free. As root a plain network namespace; otherwise one inside a user
# namespace (unshare -rn). Where none can be made (no unshare or ip, user
# namespaces switched off), TEST is not run: exit code 77, which CTest
# counts as skipped (SKIP_RETURN_CODE), with the reason on standard error.
set -uo pipefail
readonly SKIPPED=77

skip() {
    echo "own-network.sh: $*; ${test_name:-the test} is skipped, since on this machine's own network it" \
         "would meet any other program on ports 3456 and 3455" >&2
    exit "$SKIPPED"
}

if [[ ${1:-} == --inside ]]; then
    shift
    test_name=${1##*/}
    ip link set lo up 2>/dev/null || skip "loopback cannot be brought up in the new namespace"
    exec "$@"
fi

test_name=${1:-}
test_name=${test_name##*/}
[[ $# -gt 0 ]] || { echo "usage: own-network.sh TEST [ARGS...]" >&2; exit 2; }
command -v unshare >/dev/null || skip "unshare (util-linux) is missing"
command -v ip >/dev/null || skip "ip (iproute2) is missing"
unshare=(unshare -n)
[[ $(id -u) -eq 0 ]] || unshare=(unshare -rn)
# Tried first on its own, so that a namespace refused is told from a test
# that failed.
why=$("${unshare[@]}" true 2>&1) || skip "no network namespace can be made (${unshare[*]}: ${why:-refused})"
exec "${unshare[@]}" "$0" --inside "$@"
