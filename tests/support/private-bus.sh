# Sourced. write_bus_config DIR: a bus configuration whose sockets and only
# service folder ($DIR/services) lie in DIR; prints its path.
write_bus_config() {
    local dir=$1 here
    here=$(dirname "${BASH_SOURCE[0]}")
    mkdir -p "$dir/services"
    sed "s|@DIR@|$dir|g" "$here/session-bus.conf.in" > "$dir/session-bus.conf"
    echo "$dir/session-bus.conf"
}

# Processes whose environment carries NAME=VALUE (this shell excluded).
marked_processes() {
    local pid
    # grep runs without the mark, or it would find itself.
    for pid in $(env -u "${1%%=*}" grep -lzxF "$1" /proc/[0-9]*/environ 2>/dev/null); do
        pid=${pid#/proc/} && pid=${pid%/environ}
        [[ $pid == "$$" || $pid == "$BASHPID" ]] || echo "$pid"
    done
}

# Ends the processes marked NAME=VALUE: TERM, then KILL for what stays.
end_marked() {
    local entry=$1 pids
    for _ in $(seq 20); do
        pids=$(marked_processes "$entry")
        [[ -z $pids ]] && return 0
        kill -TERM $pids 2>/dev/null
        sleep 0.1
    done
    kill -KILL $(marked_processes "$entry") 2>/dev/null
    return 0
}
