# shellcheck shell=bash
# A throw-away PostgreSQL cluster for the benchmark, sourced by bench/run.
#
#   pg_cluster_start   makes and starts the cluster, sets pg_folder, pg_port and pg_role
#   pg_cluster_stop    stops it and removes its folder (nothing to do when none was started)
#   pg_uri DB          the libpq address of database DB as the role pg_role
#   pg_sql DB SQL      runs SQL in database DB with psql, printing bare values
#
# The cluster lives in a temporary folder of its own (under $TMPDIR, /tmp by default), with its
# Unix socket there and no TCP port (listen_addresses = ''). The role wikabay is its superuser and
# connects through the socket without a password (trust). initdb refuses to run as root, so a root
# caller runs the server's programs as the system user postgres (Debian's package makes it).
# Besides that, the server keeps its defaults but for 512 MB of shared buffers and 256 MB of
# maintenance memory (the trigram indexes are built with it), as a server given to a dictionary
# of a million entries would have.

pg_folder=""
pg_port=""
pg_role=wikabay
pg_bin=""

# The bin folder of the newest PostgreSQL under /usr/lib/postgresql (Debian keeps one folder per
# major version there).
pg_find_bin() {
    local best="" best_version=-1 dir version
    for dir in /usr/lib/postgresql/*/bin; do
        [ -x "$dir/initdb" ] || continue
        version=$(basename "$(dirname "$dir")")
        [[ "$version" =~ ^[0-9]+$ ]] || continue
        if [ "$version" -gt "$best_version" ]; then
            best_version=$version
            best=$dir
        fi
    done
    if [ -z "$best" ]; then
        echo "No PostgreSQL server in /usr/lib/postgresql/<version>/bin (Debian: postgresql)" >&2
        return 1
    fi
    pg_bin=$best
}

# Runs one of the server's programs, as postgres when the caller is root, in the cluster's folder.
pg_as_server() {
    local program=$1
    shift
    if [ "$(id -u)" -eq 0 ]; then
        (cd "$pg_folder" && runuser -u postgres -- "$pg_bin/$program" "$@")
    else
        (cd "$pg_folder" && "$pg_bin/$program" "$@")
    fi
}

pg_cluster_start() {
    pg_find_bin
    if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
        echo "Running as root, but there is no user 'postgres' to run the server as" >&2
        return 1
    fi
    pg_folder=$(mktemp -d -t wikabay-bench-pg-XXXXXX)
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$pg_folder"
    fi
    # The socket has a folder of its own, so no port can clash; one from the process id keeps
    # clusters apart in process lists and logs.
    pg_port=$((20000 + $$ % 40000))
    local log="$pg_folder/setup.log"
    if ! pg_as_server initdb -D "$pg_folder/data" -U "$pg_role" --auth=trust \
        --locale=C.UTF-8 --encoding=UTF8 --no-sync --no-instructions >"$log" 2>&1; then
        cat "$log" >&2
        echo "initdb failed in $pg_folder (it must be a folder the user postgres can reach)" >&2
        return 1
    fi
    # The files stay the server user's: appending and rewriting keep their owner.
    cat >>"$pg_folder/data/postgresql.conf" <<EOF

# Throw-away benchmark cluster: a Unix socket only.
listen_addresses = ''
unix_socket_directories = '$pg_folder'
port = $pg_port
shared_buffers = 512MB
maintenance_work_mem = 256MB
EOF
    cat >"$pg_folder/data/pg_hba.conf" <<EOF
local all $pg_role trust
local all all scram-sha-256
EOF
    if ! pg_as_server pg_ctl start -D "$pg_folder/data" -l "$pg_folder/server.log" -w -t 60 \
        >"$log" 2>&1; then
        cat "$log" >&2
        echo "The server did not start; its log ends:" >&2
        tail -n 20 "$pg_folder/server.log" >&2 || true
        return 1
    fi
}

pg_cluster_stop() {
    [ -n "$pg_folder" ] || return 0
    if [ -f "$pg_folder/data/postmaster.pid" ]; then
        pg_as_server pg_ctl stop -D "$pg_folder/data" -m fast -w >/dev/null 2>&1 ||
            pg_as_server pg_ctl stop -D "$pg_folder/data" -m immediate -w >/dev/null 2>&1 || true
    fi
    rm -rf -- "$pg_folder"
    pg_folder=""
}

pg_uri() {
    # The socket folder is the host, percent-encoded.
    local host
    host=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' \
        "$pg_folder")
    echo "postgresql://$pg_role@$host:$pg_port/$1"
}

pg_sql() {
    psql -X -q -A -t -v ON_ERROR_STOP=1 -h "$pg_folder" -p "$pg_port" -U "$pg_role" -d "$1" \
        -c "$2"
}
