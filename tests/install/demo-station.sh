# Sourced by the install tests: starts the demo station on a free port.
#   start_demo_station STATION-PROGRAM LOG   sets port and station_pid, or fails
start_demo_station() {
    local program=$1 log=$2
    for _ in $(seq 1 20); do
        port=$((20000 + RANDOM % 20000))
        "$program" --port "$port" --song-seconds 3 --songs 3 --for 60 >"$log" 2>/dev/null &
        station_pid=$!
        for _ in $(seq 1 50); do
            grep -q "Demo station at" "$log" 2>/dev/null && return 0
            kill -0 "$station_pid" 2>/dev/null || break
            sleep 0.1
        done
        station_pid=""
    done
    fail "the demo station did not start"
}
