#!/usr/bin/env bash
# Runs a command against fake weather services in a network namespace of its own, where the
# service hosts are 127.0.0.1 and the only trusted root is a CA made for this run (so is
# foreign.example, a name the services answer too, which the weather clients must never reach):
#   run_isolated.sh --services PROGRAM [--services-arg ARG]... [--wine-prefix DIR] -- COMMAND [ARGS...]
# PROGRAM is the services' Python program: demo/demo_services.py for the demo,
# tests/fake_services/fake_services.py for the tests (tools/serving.py holds what both share).
# It listens on 443 and 8443 with a certificate of that CA, and on 9443 with a certificate
# nobody trusts; each --services-arg is passed on to it (for example --demo, or
# --delay-documents SECONDS). The services and the command see CORVANE_FAKE_SERVICES_LOG, the
# path of a request log (the test services write one JSON line per request there); the run
# exits with the command's status. With --wine-prefix, a fresh wineserver for that prefix is
# started inside the namespace and stopped afterwards: Wine's sockets are made by the wineserver,
# so one started outside would connect from outside, where no fake services listen; and Wine's
# crypt32 copies the Unix trusted roots into volatile registry keys that live in the
# wineserver's memory (never in the prefix's files), so a server kept from an earlier run would
# still trust the roots of that run.
# Needs root (ip netns). The namespace, its /etc/netns folder and every process in it are removed
# afterwards, whatever happens; failing to create them fails the run.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
# The hosts the services stand in for; a new service's name goes here (and its answers in the
# services program).
service_hosts=(api.weather.gov aviationweather.gov api.avalanche.org)
# The imagery hosts the map page loads pictures from itself (radar, satellite, base map); the
# services answer them too, with pictures made by demo/imagery.py.
imagery_hosts=(opengeo.ncep.noaa.gov gibs.earthdata.nasa.gov basemap.nationalmap.gov)
# Debian's Python, which has the packages scripts/setup.sh installs (python3-pil for the pictures).
python=/usr/bin/python3
[ -x "$python" ] || python=python3

usage="usage: run_isolated.sh --services PROGRAM [--services-arg ARG]... [--wine-prefix DIR] -- COMMAND [ARGS...]"
wine_prefix=""
services=""
services_args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --services) services="$(realpath -m "$2")"; shift 2 ;;
        --wine-prefix) wine_prefix="$(realpath -m "$2")"; shift 2 ;;
        --services-arg) services_args+=("$2"); shift 2 ;;
        --) shift; break ;;
        *) echo "run_isolated.sh: unknown option '$1'" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] && [ -n "$services" ] || { echo "$usage" >&2; exit 2; }

fail() {
    echo "run_isolated.sh: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || fail "needs root to create a network namespace (ip netns); refusing to run the test without one"
for tool in ip openssl python3; do
    command -v "$tool" >/dev/null || fail "'$tool' is missing; run scripts/setup.sh"
done

# Namespaces are named after the harness's process id. Removes those of runs that were killed
# outright (a CTest time-out, kill -9), which had no chance to clean up.
remove_namespace() {
    local namespace="$1" pids
    pids="$(ip netns pids "$namespace" 2>/dev/null)"
    if [ -n "$pids" ]; then
        kill $pids 2>/dev/null
        for _ in $(seq 50); do
            pids="$(ip netns pids "$namespace" 2>/dev/null)"
            [ -z "$pids" ] && break
            sleep 0.1
        done
        [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
    fi
    ip netns delete "$namespace"
}
for stale in $(ip netns list 2>/dev/null | awk '/^corvane-e2e-[0-9]+-/ {print $1}'); do
    owner="${stale#corvane-e2e-}"
    owner="${owner%%-*}"
    if ! kill -0 "$owner" 2>/dev/null; then
        echo "run_isolated.sh: removing $stale, left by an earlier run" >&2
        remove_namespace "$stale" || true
        rm -rf "/etc/netns/$stale"
    fi
done

name="corvane-e2e-$$-$(od -An -N4 -tx4 /dev/urandom | tr -d ' ')"
netns_etc="/etc/netns/$name"
work="$(mktemp -d /tmp/corvane-e2e.XXXXXX)"
namespace_created=0
wineserver_started=0

cleanup() {
    local status=$?
    set +e
    if [ "$wineserver_started" -eq 1 ]; then
        WINEPREFIX="$wine_prefix" wineserver --kill >/dev/null 2>&1
    fi
    if [ "$namespace_created" -eq 1 ]; then
        remove_namespace "$name" || status=1
    fi
    rm -rf "$netns_etc" "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Every name the services answer for; foreign.example is logged like the others.
answered_hosts=("${service_hosts[@]}" "${imagery_hosts[@]}" foreign.example)
dns_names() { local IFS=,; echo "${*/#/DNS:}"; }

# Throwaway CA, a server certificate for every name, and an untrusted self-signed one.
make_certificates() {
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=Corvane test CA $name" \
        -keyout "$work/ca.key" -out "$work/ca.pem" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
    openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=${service_hosts[0]}" \
        -keyout "$work/server.key" -out "$work/server.csr"
    printf '%s\n' "subjectAltName=$(dns_names "${answered_hosts[@]}")" \
        "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment" \
        "extendedKeyUsage=serverAuth" >"$work/server.ext"
    openssl x509 -req -sha256 -days 2 -in "$work/server.csr" -CA "$work/ca.pem" \
        -CAkey "$work/ca.key" -CAcreateserial -extfile "$work/server.ext" -out "$work/server.pem"
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=${service_hosts[0]}" \
        -addext "subjectAltName=$(dns_names "${service_hosts[@]}")" \
        -keyout "$work/untrusted.key" -out "$work/untrusted.pem"
}
make_certificates >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log" >&2; fail "cannot make certificates"; }

# ip netns exec bind-mounts each entry of /etc/netns/NAME over its namesake in /etc.
mkdir -p "$netns_etc/ssl/certs"
cp "$work/ca.pem" "$netns_etc/ssl/certs/ca-certificates.crt"
[ -f /etc/ssl/openssl.cnf ] && cp /etc/ssl/openssl.cnf "$netns_etc/ssl/"
openssl rehash "$netns_etc/ssl/certs" >/dev/null 2>&1 || true
printf '%s\n' "127.0.0.1 localhost" "::1 localhost" \
    "127.0.0.1 ${answered_hosts[*]}" \
    >"$netns_etc/hosts"
# No resolver: any other name fails at once instead of waiting for an unreachable server.
printf '%s\n' "nameserver 127.0.0.1" >"$netns_etc/resolv.conf"

ip netns add "$name" || fail "cannot create network namespace $name"
namespace_created=1
ip -n "$name" link set lo up || fail "cannot bring up lo in $name"
# glibc answers a lookup asked for IPv4 alone (AI_ADDRCONFIG, as GLib's resolver asks for WebKit)
# with "no such name", without reading the hosts file, while the namespace has no IPv4 address
# but 127.0.0.1; one from the documentation range, on lo, so nothing leaves the namespace.
ip -n "$name" address add 192.0.2.1/32 dev lo || fail "cannot add an address to lo in $name"

in_namespace() {
    ip netns exec "$name" "$@"
}

log="$work/requests.jsonl"
: >"$log"
in_namespace env CORVANE_FAKE_SERVICES_LOG="$log" "$python" "$services" \
    --cert "$work/server.pem" --key "$work/server.key" --port 443 --port 8443 --untrusted-port 9443 --untrusted-cert "$work/untrusted.pem" \
    --untrusted-key "$work/untrusted.key" --ready "$work/ready" \
    "${services_args[@]}" </dev/null >"$work/services.out" 2>&1 &
services_pid=$!
for _ in $(seq 100); do
    [ -f "$work/ready" ] && break
    kill -0 "$services_pid" 2>/dev/null || break
    sleep 0.1
done
[ -f "$work/ready" ] || { cat "$work/services.out" >&2; fail "the fake services did not start"; }

if [ -n "$wine_prefix" ]; then
    source "$here/../scripts/wine-env.sh"
    wine_environment "$wine_prefix"
    mkdir -p "$wine_prefix"
    # One run at a time per prefix; a server left from elsewhere would be shared, so stop it.
    exec 9>"$wine_prefix.lock"
    flock 9
    wineserver --kill >/dev/null 2>&1 || true
    wineserver --wait >/dev/null 2>&1 || true
    wineserver_started=1
    in_namespace "$here/../scripts/wine-prepare.sh" "$wine_prefix"
    # The server and Wine's services inside the namespace, detached from the command's output.
    in_namespace bash -c "source '$here/../scripts/wine-env.sh' && start_wine_services"
fi

set +e
in_namespace env CORVANE_FAKE_SERVICES_LOG="$log" "$@"
status=$?
set -e
if [ "$status" -ne 0 ] && [ -s "$work/services.out" ]; then
    echo "--- fake services output" >&2
    cat "$work/services.out" >&2
fi
exit "$status"
