#!/bin/bash
# Several copies of the real program beeping every second on one sound server, on a machine
# kept busy, run inside desktop-session.sh:
#   beep-stress.sh [--copies N] [--seconds S] [--busy B] [--soak] [--warm-up W]
#                  [--stalls "P1 P2 ..."] <pingora program> <tone-onsets>
# Each copy gets its own settings ("Beep every 1 second", auto beep on at start), history log
# and null sink on the session's sound server (so that its beeps can be counted apart from
# the others'), and plays the default sound beside the program. B busy loops (started and
# stopped here by their PIDs) load the machine. At the end it prints how many copies died (and
# of what), the beeps logged and the beeps heard, and fails if any copy died, logged clearly
# fewer beeps than the seconds it ran, or was heard clearly fewer times than it logged.
#
# With --soak (use --copies 1; S defaults to an hour then) it also samples, every 10 s, the
# first copy's resident memory, open files, threads and playback streams on the sound server,
# and the sound server's resident memory, and prints how they changed after the first W seconds
# (default 120: the program's start-up, its first sounds and the server's caches settling), each
# against its target: flat; every copy's resident memory is sampled too and the copy that grew
# most is printed. A soak never fails on its figures.
#
# For every run it also prints the beeps missing: the lines a copy wrote short of the seconds
# from its first line to its last, summed over the copies, and the longest gap between lines.
#
# With --stalls, before the S seconds, the sound server is paused (SIGSTOP, as a suspend or a
# hung server does) for P1 seconds, then for P2 ..., and after each pause the copies' playback
# streams left on the server are printed: at most one a copy, the beep playing, is the target.
# Beeps logged during a pause are not heard.
set -u

copies=6
seconds=
busy=2
soak=0
warm_up=120
stalls=
while [ $# -gt 0 ]; do
    case "$1" in
    --copies) copies=$2; shift ;;
    --seconds) seconds=$2; shift ;;
    --busy) busy=$2; shift ;;
    --soak) soak=1 ;;
    --warm-up) warm_up=$2; shift ;;
    --stalls) stalls=$2; shift ;;
    --) shift; break ;;
    -*) echo "beep-stress: unknown option $1" >&2; exit 64 ;;
    *) break ;;
    esac
    shift
done
[ -n "$seconds" ] || seconds=$((soak ? 3600 : 60))
program=${1:?usage: beep-stress.sh [options] <pingora program> <tone-onsets>}
tone_onsets=${2:?usage: beep-stress.sh [options] <pingora program> <tone-onsets>}
session=${PINGORA_SESSION_DIR:?run inside desktop-session.sh}
work="$session/beep-stress"
mkdir -p "$work"

program_pids=()
helper_pids=() # busy loops and the recorder
server_pid=
cleanup() {
    local pid
    [ -n "$server_pid" ] && kill -CONT "$server_pid" 2>/dev/null
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

# The session's sound server, found by its private configuration file.
server_pid=$(pgrep -f -- "$session/pulse-session.pa" | head -n1)

# The playback streams of the process $1 on the sound server.
streams_of() {
    pactl list sink-inputs 2>/dev/null | grep -c "application.process.id = \"$1\""
}

server_rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$server_pid/status" 2>/dev/null; }

# Resident memory (kB), open files, threads and playback streams on the sound server of the
# first copy, and the sound server's resident memory (kB).
sample() {
    local pid=${program_pids[0]}
    local rss threads files streams server_rss
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null) || return
    threads=$(awk '/^Threads:/ { print $2 }' "/proc/$pid/status" 2>/dev/null) || return
    files=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
    streams=$(streams_of "$pid")
    server_rss=$(server_rss)
    echo "$SECONDS $rss $files $threads $streams ${server_rss:-0}" >>"$work/samples.txt"
    local i
    for ((i = 0; i < copies; i++)); do
        rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/${program_pids[$i]}/status" 2>/dev/null)
        [ -n "$rss" ] && echo "$SECONDS $rss" >>"$work/copy$i/rss.txt"
    done
}

if [ -n "$stalls" ]; then
    sleep 10 # the copies beeping
    echo "sound server: $(server_rss) kB resident before the pauses"
    for pause in $stalls; do
        kill -STOP "$server_pid"
        sleep "$pause"
        kill -CONT "$server_pid"
        sleep 5 # the server catching up
        left=0
        for pid in "${program_pids[@]}"; do
            left=$((left + $(streams_of "$pid")))
        done
        verdict=met
        ((left > copies)) && verdict="NOT met"
        echo "after a pause of $pause s: $left playback streams of the copies on the sound" \
            "server (target at most $copies, the beeps playing: $verdict), server $(server_rss) kB"
    done
fi

start=$SECONDS
: >"$work/samples.txt"
for ((i = 0; i < copies; i++)); do
    : >"$work/copy$i/rss.txt"
done
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
# Beeps missing: a copy writes one line a second, so from its first line to its last it should
# have written as many lines as seconds passed (a tick late across a second's edge puts two
# lines in one second and none in the next, so lines are counted, not seconds with a line).
# Each line ends with the time of day it was written, in the user's format (h:mm:ss with AM or
# PM, or HH:MM:SS).
python3 - "$work" "$copies" <<'PY'
import re, sys
work, copies = sys.argv[1], int(sys.argv[2])
clock = re.compile(r"(\d{1,2}):(\d{2}):(\d{2})(?:\s*([AaPp])[Mm])?\s*$")
missing = worst = longest = 0
for i in range(copies):
    seconds, day = [], 0
    try:
        with open(f"{work}/copy{i}/temp/Pingora.txt", encoding="latin-1") as log:
            for line in log:
                match = clock.search(line.strip()) if line.startswith("Beeped at ") else None
                if not match:
                    continue
                h, m, s, half = int(match[1]), int(match[2]), int(match[3]), match[4]
                if half:
                    h = h % 12 + (12 if half in "Pp" else 0)
                t = day + h * 3600 + m * 60 + s
                if seconds and t < seconds[-1] - 43200:  # past midnight
                    day += 86400
                    t += 86400
                seconds.append(t)
    except OSError:
        pass
    if len(seconds) < 2:
        continue
    lost = max(0, (seconds[-1] - seconds[0] + 1) - len(seconds))
    missing += lost
    worst = max(worst, lost)
    longest = max([longest] + [b - a for a, b in zip(seconds, seconds[1:])])
print(f"beeps missing (lines short of the seconds from a copy's first line to its last): "
      f"{missing} over all copies, at most {worst} in one copy; longest gap between lines "
      f"{longest} s")
PY
if ((soak)); then
    awk -v start="$start" -v warm_up="$warm_up" '
        # Least-squares slope of column c against time over the samples after the warm-up, in
        # MB/h of the kB sampled, and its standard error.
        function slope(c,    i, st, sv, mt, mv, num, den, res, b) {
            st = sv = num = den = res = 0
            for (i = 1; i <= n; i++) { st += t[i]; sv += v[i, c] }
            mt = st / n; mv = sv / n
            for (i = 1; i <= n; i++) { num += (t[i] - mt) * (v[i, c] - mv); den += (t[i] - mt) ^ 2 }
            b = num / den
            for (i = 1; i <= n; i++) res += (v[i, c] - mv - b * (t[i] - mt)) ^ 2
            se = sqrt(res / (n - 2) / den) * 3600 * 1024 / 1e6
            return b * 3600 * 1024 / 1e6
        }
        function most(c,    i, m) { m = v[1, c]; for (i = 2; i <= n; i++) if (v[i, c] > m) m = v[i, c]; return m }
        # Flat: under 0.1 MB/h (under 1 GB in a year) or no more than the scatter makes.
        function memory(what, c,    g) {
            g = slope(c)
            printf "soak: %s %.1f MiB after the warm-up, %.1f MiB at last, growth %+.2f MB/h (+-%.2f): %s\n",
                what, v[1, c] / 1024, v[n, c] / 1024, g, se,
                (g < 0.1 || g < 2 * se) ? "flat, met" : "GROWS, target flat (under 0.1 MB/h) not met"
        }
        function count(what, c, target,    verdict) {
            verdict = (most(c) <= target) ? "met" : "NOT met"
            printf "soak: %s %d after the warm-up, %d at last, %d at most: target at most %d, %s\n",
                what, v[1, c], v[n, c], most(c), target, verdict
        }
        $1 - start >= warm_up { n++; t[n] = $1; for (c = 2; c <= NF; c++) v[n, c] = $c }
        END {
            if (n < 3) { print "soak: too few samples after the warm-up"; exit }
            printf "soak: %d samples over %d s after a warm-up of %d s\n", n, t[n] - t[1], warm_up
            memory("resident memory", 2)
            # Files and threads: as many as after the warm-up, whatever the program keeps open.
            count("open files", 3, v[1, 3])
            count("threads", 4, v[1, 4])
            # Streams: the beep playing, if any; none left behind.
            count("playback streams on the sound server", 5, 1)
            memory("sound server resident memory", 6)
        }' "$work/samples.txt"
    # Every copy's growth after the warm-up (least squares, MB/h), and the one that grew most.
    for ((i = 0; i < copies; i++)); do
        awk -v start="$start" -v warm_up="$warm_up" -v copy="$i" '
            $1 - start >= warm_up { n++; t[n] = $1; v[n] = $2 }
            END {
                if (n < 3) exit
                for (i = 1; i <= n; i++) { st += t[i]; sv += v[i] }
                mt = st / n; mv = sv / n
                for (i = 1; i <= n; i++) { num += (t[i] - mt) * (v[i] - mv); den += (t[i] - mt) ^ 2 }
                printf "%.3f %d %.1f %.1f\n", num / den * 3600 * 1024 / 1e6, copy, v[1] / 1024, v[n] / 1024
            }' "$work/copy$i/rss.txt"
    done | sort -n | awk '
        { n++; growth[n] = $1; line[n] = $0 }
        END {
            if (n == 0) exit
            split(line[n], most, " ")
            printf "soak: resident memory of %d copies: growth after the warm-up from %+.2f to %+.2f MB/h (median %+.2f); most: copy %d, %.1f MiB after the warm-up, %.1f MiB at last\n",
                n, growth[1], growth[n], growth[int((n + 1) / 2)], most[2], most[3], most[4]
        }'
fi
((died == 0 && short == 0 && unheard == 0))
