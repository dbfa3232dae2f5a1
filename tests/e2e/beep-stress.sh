#!/bin/bash
# Several copies of the real program beeping every second on one sound server, on a machine
# kept busy, run inside desktop-session.sh:
#   beep-stress.sh [--copies N] [--seconds S] [--busy B] [--soak] <pingora program> <tone-onsets>
# Each copy gets its own settings ("Beep every 1 second", auto beep on at start), history log
# and null sink on the session's sound server (so that its beeps can be counted apart from
# the others'), and plays the default sound beside the program. B busy loops (started and
# stopped here by their PIDs) load the machine. At the end it prints how many copies died (and
# of what), the beeps logged and the beeps heard, and fails if any copy died, logged clearly
# fewer beeps than the seconds it ran, or was heard clearly fewer times than it logged.
#
# With --soak (use --copies 1) it also samples the program's resident memory, open files and
# threads every 10 s and prints their growth per hour.
set -u

copies=6
seconds=60
busy=2
soak=0
while [ $# -gt 0 ]; do
    case "$1" in
    --copies) copies=$2; shift ;;
    --seconds) seconds=$2; shift ;;
    --busy) busy=$2; shift ;;
    --soak) soak=1 ;;
    --) shift; break ;;
    -*) echo "beep-stress: unknown option $1" >&2; exit 64 ;;
    *) break ;;
    esac
    shift
done
program=${1:?usage: beep-stress.sh [options] <pingora program> <tone-onsets>}
tone_onsets=${2:?usage: beep-stress.sh [options] <pingora program> <tone-onsets>}
session=${PINGORA_SESSION_DIR:?run inside desktop-session.sh}
work="$session/beep-stress"
mkdir -p "$work"

program_pids=()
helper_pids=() # busy loops and the recorder
cleanup() {
    local pid
    for pid in "${helper_pids[@]}" "${program_pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null
    done
    wait 2>/dev/null
}
trap cleanup EXIT

# The copies: private settings, temporary folder and sink each, and a recorder of the sink.
for ((i = 0; i < copies; i++)); do
    dir="$work/copy$i"
    mkdir -p "$dir/config" "$dir/temp"
    printf '[Pingora]\nOftenIndex=1\nStartStopState=On\n' >"$dir/config/Wrenfield.ini"
    pactl load-module module-null-sink sink_name="stress$i" >/dev/null || exit 1
    # A short latency: with parec's default a null sink's monitor loses sound.
    parec -d "stress$i.monitor" --raw --format=s16le --rate=44100 --channels=2 --latency-msec=5 \
        >"$dir/monitor.raw" 2>"$dir/parec.log" &
    helper_pids+=($!)
done
for ((i = 0; i < copies; i++)); do
    dir="$work/copy$i"
    PULSE_SINK="stress$i" XDG_CONFIG_HOME="$dir/config" TEMP="$dir/temp" "$program" \
        >"$dir/output.log" 2>&1 &
    program_pids+=($!)
done
for ((i = 0; i < busy; i++)); do
    (while :; do :; done) &
    helper_pids+=($!)
done

# Resident memory (kB), open files and threads of the first copy.
sample() {
    local pid=${program_pids[0]}
    local rss threads files
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null) || return
    threads=$(awk '/^Threads:/ { print $2 }' "/proc/$pid/status" 2>/dev/null) || return
    files=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
    echo "$SECONDS $rss $files $threads" >>"$work/samples.txt"
}

start=$SECONDS
: >"$work/samples.txt"
while ((SECONDS - start < seconds)); do
    sleep 1
    ((soak && (SECONDS - start) % 10 == 0)) && sample
done
ran=$((SECONDS - start))

# Who died: a copy that is no longer running has ended by itself.
died=0
for ((i = 0; i < copies; i++)); do
    pid=${program_pids[$i]}
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        status=$?
        how="exit code $status"
        ((status > 128)) && how="signal $((status - 128)) ($(kill -l $((status - 128))))"
        echo "copy $i (pid $pid) died: $how"
        tail -n 5 "$work/copy$i/output.log" | sed 's/^/    /'
        died=$((died + 1))
    fi
done
# Stop everything before counting, so that the logs and the recordings cover the same time.
for pid in "${program_pids[@]}" "${helper_pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null
done
wait 2>/dev/null

logged=0
heard=0
short=0
unheard=0
for ((i = 0; i < copies; i++)); do
    lines=$(grep -c '^Beeped at ' "$work/copy$i/temp/Pingora.txt" 2>/dev/null)
    lines=${lines:-0}
    tones=$("$tone_onsets" "$work/copy$i/monitor.raw" 2>/dev/null | wc -l)
    logged=$((logged + lines))
    heard=$((heard + tones))
    # Start-up and a loaded machine may cost a few seconds, never most of them.
    ((lines < ran * 8 / 10)) && short=$((short + 1))
    # The last beep may still sound when the recording stops.
    ((tones < lines - 1)) && unheard=$((unheard + 1)) &&
        echo "copy $i: $lines beeps logged, $tones heard"
done

echo "copies: $copies for ${ran} s, busy loops: $busy"
echo "died: $died of $copies"
echo "beeps logged: $logged (copies that logged under 80 % of the seconds: $short)"
echo "beeps heard: $heard (copies with a beep not heard: $unheard)"
if ((soak)); then
    awk '
        { t[NR] = $1; r[NR] = $2; f[NR] = $3; h[NR] = $4 }
        END {
            if (NR < 3) { print "soak: too few samples"; exit }
            # Least-squares slope of resident memory against time, per hour.
            for (i = 1; i <= NR; i++) { st += t[i]; sr += r[i] }
            mt = st / NR; mr = sr / NR
            for (i = 1; i <= NR; i++) { num += (t[i] - mt) * (r[i] - mr); den += (t[i] - mt) ^ 2 }
            printf "soak: resident memory %.1f MiB at first, %.1f MiB at last, growth %+.2f MB/h\n",
                r[1] / 1024, r[NR] / 1024, num / den * 3600 * 1024 / 1e6
            printf "soak: open files %d at first, %d at last; threads %d at first, %d at last\n",
                f[1], f[NR], h[1], h[NR]
        }' "$work/samples.txt"
fi
((died == 0 && short == 0 && unheard == 0))
