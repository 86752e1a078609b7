# A private PulseAudio server whose one sink plays into nothing at 44.1 kHz stereo, for Wine's
# winepulse to play into and parec to record from the sink's monitor. Sourced by the scripts that
# listen to the Windows build; they give $work (a folder of their own) and fail (prints, exits).
# Its own socket, runtime folder and cookie: no user's sound server is touched.
pulse_pid=
parec_pid=

# start_pulse: the server, answering; its clients find it through PULSE_SERVER.
start_pulse() {
  mkdir -m 700 "$work/pulse-run" "$work/pulse-home"
  export XDG_RUNTIME_DIR=$work/pulse-run PULSE_SERVER=unix:$work/pulse.sock PULSE_COOKIE=$work/pulse-cookie
  HOME=$work/pulse-home pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --realtime=no \
    --high-priority=yes --log-target=file:"$work/pulse.log" \
    -L "module-null-sink sink_name=velmorastik rate=44100 channels=2 format=s16le" \
    -L "module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" &
  pulse_pid=$!
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    kill -0 "$pulse_pid" 2>/dev/null || fail "PulseAudio did not start: $(cat "$work/pulse.log")"
    sleep 0.1
  done
  fail "PulseAudio did not answer within 10 s"
}

# start_recording / stop_recording: what the sink plays, as raw 16-bit stereo in
# $work/recording.raw. The monitor gives nothing while nothing plays, so the recording starts
# with the first sound; what Wine plays first is often not heard (up to a second of it, as much
# with a program that queues all its sound at once).
start_recording() {
  parec -d velmorastik.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 \
    >"$work/recording.raw" 2>"$work/parec.log" &
  parec_pid=$!
  for _ in $(seq 100); do
    [ -n "$(pactl list short source-outputs 2>/dev/null)" ] && return 0
    kill -0 "$parec_pid" 2>/dev/null || fail "parec did not start: $(cat "$work/parec.log")"
    sleep 0.1
  done
  fail "parec did not connect within 10 s"
}
stop_recording() {
  sleep 1
  kill -INT "$parec_pid"
  wait "$parec_pid" 2>/dev/null || true
  parec_pid=
}

stop_pulse() {
  [ -z "$parec_pid" ] || kill "$parec_pid" 2>/dev/null || true
  [ -z "$pulse_pid" ] || { kill "$pulse_pid" 2>/dev/null; wait "$pulse_pid" 2>/dev/null; } || true
  parec_pid=
  pulse_pid=
}
