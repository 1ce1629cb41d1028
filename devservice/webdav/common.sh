# Shared by the start scripts (start-apache, start-lighttpd, start-nginx, start-rclone): options,
# users, the worker user, the port, the start-up and the wait. Sourced, not run. Each start script
# defines nbx_write_config PORT (which fills nbx_server_cmd) before calling nbx_start.

nbx_usage() {
    cat <<USAGE
usage: $(basename "$0") --data DIR [--state DIR] [--port N] [--user NAME:PASSWORD]...
                     [--users-file FILE] [--watch-pid PID]

  --data DIR        folder to serve; its folder NODE is at http://127.0.0.1:PORT/NODE/
  --state DIR       where the configuration, logs, pid and password files go (made if
                    missing; default a new folder under /tmp)
  --port N          port on 127.0.0.1; 0 (the default) picks a free one
  --user N:P        a login (repeatable); the password is everything after the first colon
  --users-file F    more logins, one NAME:PASSWORD a line; blank lines and # lines are skipped
  --watch-pid PID   stop the server as soon as that process has gone (a crashed test)

PUT is refused with 403 below any folder named no-upload right inside a node folder
(http://127.0.0.1:PORT/NODE/no-upload/...), except by rclone, which has no such rules.

Once the server answers, prints port=N, pid=N, url=http://127.0.0.1:N and state=DIR, one a
line. Stop it with: $(dirname "$0")/stop STATE_DIR
USAGE
}

nbx_die() {
    echo "$(basename "$0"): $*" >&2
    exit 1
}

nbx_here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)"
nbx_data=""
nbx_state=""
nbx_port=0
nbx_users=()
nbx_watch_pid=""

nbx_parse_args() {
    while (($#)); do
        case "$1" in
            --data | --state | --port | --user | --users-file | --watch-pid)
                (($# >= 2)) || { nbx_usage >&2; exit 2; }
                case "$1" in
                    --data) nbx_data="$2" ;;
                    --state) nbx_state="$2" ;;
                    --port) nbx_port="$2" ;;
                    --user) nbx_users+=("$2") ;;
                    --users-file)
                        [[ -r "$2" ]] || nbx_die "cannot read $2"
                        local line
                        while IFS= read -r line || [[ -n "$line" ]]; do
                            [[ -z "$line" || "$line" == \#* ]] && continue
                            nbx_users+=("$line")
                        done <"$2"
                        ;;
                    --watch-pid) nbx_watch_pid="$2" ;;
                esac
                shift 2
                ;;
            -h | --help) nbx_usage; exit 0 ;;
            *) nbx_usage >&2; exit 2 ;;
        esac
    done
    [[ -n "$nbx_data" ]] || { nbx_usage >&2; exit 2; }
    [[ "$nbx_port" =~ ^[0-9]{1,5}$ ]] && ((10#$nbx_port <= 65535)) || nbx_die "bad port: $nbx_port"
    nbx_port=$((10#$nbx_port))
    [[ -z "$nbx_watch_pid" || "$nbx_watch_pid" =~ ^[0-9]+$ ]] || nbx_die "bad pid: $nbx_watch_pid"
    ((${#nbx_users[@]} > 0)) || nbx_die "give at least one --user NAME:PASSWORD"
    local u
    for u in "${nbx_users[@]}"; do
        [[ "$u" == ?*:* ]] || nbx_die "a login is NAME:PASSWORD, not: $u"
    done

    [[ -d "$nbx_data" ]] || nbx_die "no such folder: $nbx_data"
    nbx_data="$(cd "$nbx_data" && pwd -P)"
    if [[ -z "$nbx_state" ]]; then
        nbx_state="$(mktemp -d /tmp/nbx-webdav-XXXXXX)"
        chmod 755 "$nbx_state"
    fi
    mkdir -p "$nbx_state"
    nbx_state="$(cd "$nbx_state" && pwd -P)"
    # Both paths go into configuration files between double quotes.
    [[ "$nbx_data$nbx_state" != *[\"\\$'\n']* ]] || nbx_die "paths with \" or \\ are not supported"
}

# True while the process runs; a zombie nobody has reaped yet counts as gone.
nbx_alive() {
    local state
    state="$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$1/status" 2>/dev/null)" || return 1
    [[ -n "$state" && "$state" != Z ]]
}

# As root the server drops to a worker user, since neither server will serve files as root
# (Apache refuses outright). That user is the data folder's owner when it is not root, so the
# worker may write where the caller may; otherwise www-data, which gets rwX through ACLs on
# what is there and default ACLs on every folder, so that files and folders the tests make as
# root later are still the server's to overwrite and delete (plain ownership would not carry over
# to them). As a normal user the server simply runs as that user.
nbx_worker=""
nbx_prepare_user() {
    [[ "$(id -u)" -eq 0 ]] || return 0
    local owner
    owner="$(stat -c %U "$nbx_data")"
    if [[ "$owner" != root && "$owner" != UNKNOWN ]]; then
        nbx_worker="$owner"
    else
        nbx_worker=www-data
        id -u "$nbx_worker" >/dev/null 2>&1 || nbx_die "no user $nbx_worker"
        if command -v setfacl >/dev/null 2>&1 &&
            setfacl -R -m "u:$nbx_worker:rwX" "$nbx_data" &&
            find "$nbx_data" -type d -exec setfacl -m "d:u:$nbx_worker:rwX" {} +; then
            :
        else
            echo "$(basename "$0"): no ACLs here; handing the data folder to $nbx_worker," \
                "so folders made later as root will not be writable by the server" >&2
            chown -R "$nbx_worker:" "$nbx_data"
        fi
    fi
    local check=(setpriv --reuid="$(id -u "$nbx_worker")" --regid="$(id -g "$nbx_worker")"
        --init-groups --)
    "${check[@]}" test -w "$nbx_data" -a -x "$nbx_data" ||
        nbx_die "$nbx_worker cannot write $nbx_data (is a folder above it private?)"
    "${check[@]}" test -x "$nbx_state" ||
        nbx_die "$nbx_worker cannot reach $nbx_state (is a folder above it private?)"
}

# Gives the worker the folders it writes to at run time, and the password file it reads.
nbx_hand_over() {
    [[ -n "$nbx_worker" ]] || return 0
    chown -R "$nbx_worker:" "$@"
}

nbx_write_users() {
    local file="$1" u
    : >"$file"
    chmod 600 "$file"
    for u in "${nbx_users[@]}"; do
        # MD5 (apr1) rather than bcrypt: both servers check it on every request, and tests make
        # thousands of them.
        printf '%s' "${u#*:}" | htpasswd -i -m "$file" "${u%%:*}" 2>/dev/null ||
            nbx_die "htpasswd failed for ${u%%:*}"
    done
}

# Written into the realm, so that the wait below knows the answer came from this very server
# and not from some other program that already held the port.
nbx_token="$(od -An -N4 -tx4 /dev/urandom | tr -d ' ')"
nbx_realm="NimbexShell test $nbx_token"

nbx_answers() {
    curl --noproxy '*' -s -o /dev/null -D - --max-time 2 "http://127.0.0.1:$1/" 2>/dev/null |
        grep -qi "^WWW-Authenticate:.*$nbx_token"
}

nbx_server_cmd=()
nbx_start() {
    local tries=1 port attempt pid deadline
    ((nbx_port == 0)) && tries=25
    for ((attempt = 0; attempt < tries; attempt++)); do
        port="$nbx_port"
        # Below the kernel's range for outgoing connections, so a client never holds the port.
        ((port == 0)) && port=$((20000 + (RANDOM * 32768 + RANDOM) % 12000))
        nbx_write_config "$port"
        : >"$nbx_state/error.log"
        "${nbx_server_cmd[@]}" </dev/null >"$nbx_state/server.out" 2>&1 &
        pid=$!
        echo "$pid" >"$nbx_state/server.pid"
        deadline=$((SECONDS + 20))
        while nbx_alive "$pid" && ! nbx_answers "$port"; do
            ((SECONDS < deadline)) || {
                kill -TERM "$pid" 2>/dev/null
                nbx_die "no answer on port $port within 20 s; see $nbx_state/error.log"
            }
            sleep 0.05
        done
        if nbx_alive "$pid"; then
            echo "$port" >"$nbx_state/server.port"
            nbx_watch "$pid"
            printf 'port=%s\npid=%s\nurl=http://127.0.0.1:%s\nstate=%s\n' \
                "$port" "$pid" "$port" "$nbx_state"
            return 0
        fi
        wait "$pid" 2>/dev/null || true
        rm -f "$nbx_state/server.pid"
        if ! grep -qi 'address already in use' "$nbx_state/error.log" "$nbx_state/server.out"; then
            cat "$nbx_state/server.out" "$nbx_state/error.log" >&2
            nbx_die "the server did not start; see $nbx_state"
        fi
        ((nbx_port == 0)) || nbx_die "port $port is in use"
    done
    nbx_die "no free port after $tries tries"
}

nbx_watch() {
    [[ -n "$nbx_watch_pid" ]] || return 0
    local server="$1"
    (
        while nbx_alive "$nbx_watch_pid" && nbx_alive "$server"; do
            sleep 1
        done
        if nbx_alive "$server"; then
            "$nbx_here/stop" "$nbx_state"
        fi
    ) </dev/null >/dev/null 2>&1 &
}
