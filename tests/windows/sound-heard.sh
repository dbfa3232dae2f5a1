#!/usr/bin/env bash
# Plays a tone in every format the player reads, and one long enough to be streamed, through
# the Windows build's media player under Wine (tst_windows_sound), records what Wine sends to
# the desktop session's sound server, and checks that each tone was heard once and whole.
# Runs inside desktop-session.sh, whose PulseAudio null sink Wine plays to.
# Usage: sound-heard.sh <run-qtest.sh> <wine-run.sh> <tst_windows_sound.exe>
set -euo pipefail
run_qtest=$1
shift
[[ -n ${PULSE_SERVER:-} ]] || { echo "sound-heard: no sound server; run inside desktop-session.sh"; exit 1; }
here=$(dirname "$0")
source "$here/sink-recording.sh"
dir=$(mktemp -d)
trap 'stop_recording; rm -rf "$dir"' EXIT

# Each sound: file name, length in seconds, how to make it from the 0.4 s tone.
tone=$dir/source.wav
sox -n -r 44100 -b 16 -c 1 "$tone" synth 0.4 sine 660 vol 0.5 fade 0.005 0.4 0.005
sounds=(
    "s16.wav|0.4|cp $tone {out}"
    "float.wav|0.4|sox $tone -e floating-point -b 32 {out}"
    "tone.flac|0.4|sox $tone {out}"
    "tone.ogg|0.4|sox $tone {out}"
    "tone.opus|0.4|opusenc --quiet $tone {out}"
    "tone.mp3|0.4|lame --quiet $tone {out}"
    "tone.aiff|0.4|sox $tone {out}"
    "tone.au|0.4|sox $tone {out}"
    "tone.wv|0.4|sox $tone {out}"
    "mulaw.wav|0.4|sox $tone -e u-law {out}"
    "ms.wav|0.4|sox $tone -e ms-adpcm {out}"
    "ima.wav|0.4|sox $tone -e ima-adpcm {out}"
    "gsm.wav|0.4|sox $tone -e gsm-full-rate -r 8000 {out}"
    # More than a sound held whole may take: read and played piece by piece.
    "long.wav|3|sox -n -r 192000 -c 2 -b 16 {out} synth 3 sine 440 vol 0.5 fade 0.005 3 0.005"
)
: >"$dir/list"
for sound in "${sounds[@]}"; do
    IFS='|' read -r name seconds command <<<"$sound"
    ${command//\{out\}/$dir/$name}
    echo "Z:$dir/$name|$seconds" >>"$dir/list"
done
# Cut off by close() half a second in; a short one played over and over for a second, less
# the moment that each new start takes (it is handed over again once played out).
echo "Z:$dir/long.wav|0.5|close" >>"$dir/list"
echo "Z:$dir/s16.wav|1.0|loop" >>"$dir/list"
sounds+=("long.wav closed|0.5" "s16.wav looped|0.95")

# One attempt: records while the test plays, then finds the sounds in the recording. A machine
# so busy that it stalled Wine's sound thread for long spoils one attempt, not three; a real
# fault fails them all.
attempt() {
    start_recording "$dir/heard.raw" || { echo "sound-heard: the recorder heard nothing"; exit 1; }
    PINGORA_SOUND_LIST=Z:$dir/list "$run_qtest" "$@" || exit 1
    sleep 1
    stop_recording
    python3 "$here/sounds-heard.py" "$dir/heard.raw" "${sounds[@]}"
}
for try in 1 2 3; do
    attempt "$@" && exit 0
    echo "sound-heard: attempt $try failed"
done
exit 1
