# Records what the desktop session's sound server plays (its null sink's monitor), for
# sounds-heard.py; source it inside desktop-session.sh.
#
# An idle null sink renders two seconds at a time and only then takes a lower latency: a stream
# that starts within such a stretch is not read until it ends. Wine's sound driver keeps its own
# clock and drops what the server has not taken by then, so a short sound would be lost. The
# recorder asks for a short latency, and start_recording returns once it is being fed, that is,
# once the sink plays in short pieces.

# start_recording <file>: false if the recorder got nothing within 10 seconds.
start_recording() {
    recording_file=$1
    parec --device="${PULSE_SINK:-pingora_test}.monitor" --format=s16le --rate=48000 \
        --channels=1 --latency-msec=20 >"$recording_file" &
    recorder=$!
    local deadline=$((SECONDS + 10))
    until [ -s "$recording_file" ]; do
        [ $SECONDS -lt $deadline ] && kill -0 "$recorder" 2>/dev/null || return 1
        sleep 0.1
    done
}

# stop_recording: after the last sound has had time to play out.
stop_recording() {
    [ -n "${recorder:-}" ] || return 0
    kill "$recorder" 2>/dev/null
    wait "$recorder" 2>/dev/null
    recorder=
}
