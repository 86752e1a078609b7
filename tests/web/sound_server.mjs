// A private PulseAudio server whose one sink plays into nothing, for a browser that plays its sound
// through a sound server (Firefox on Linux: without one its AudioContext never starts). Its own
// socket, runtime folder and cookie under a temporary folder: no user's sound server is touched.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

// Resolves to { env, close() }, env being what the browser's process needs to find the server; or
// to null when pulseaudio is not installed.
export async function start_sound_server() {
  if (spawnSync('sh', ['-c', 'command -v pulseaudio && command -v pactl']).status !== 0) return null;
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-pulse-'));
  for (const sub of ['run', 'home']) fs.mkdirSync(path.join(folder, sub), { mode: 0o700 });
  const socket = path.join(folder, 'pulse.sock');
  const env = {
    ...process.env, XDG_RUNTIME_DIR: path.join(folder, 'run'), PULSE_SERVER: `unix:${socket}`,
    PULSE_COOKIE: path.join(folder, 'cookie'),
  };
  const server = spawn('pulseaudio', ['--daemonize=no', '--exit-idle-time=-1', '-n', '--use-pid-file=no', '--realtime=no',
    `--log-target=file:${path.join(folder, 'pulse.log')}`,
    '-L', 'module-null-sink sink_name=velmorastik rate=44100 channels=2',
    '-L', `module-native-protocol-unix socket=${socket} auth-anonymous=1`],
  { env: { ...env, HOME: path.join(folder, 'home') }, stdio: 'ignore' });
  let ended = false;
  server.on('exit', () => { ended = true; });
  const close = () => {
    if (!ended) server.kill('SIGKILL');
    fs.rmSync(folder, { recursive: true, force: true });
  };
  for (let attempt = 0; attempt < 100 && !ended; attempt++) {
    if (spawnSync('pactl', ['info'], { env, stdio: 'ignore' }).status === 0) return { env, close };
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  const log = fs.existsSync(path.join(folder, 'pulse.log')) ? fs.readFileSync(path.join(folder, 'pulse.log'), 'utf8') : '';
  close();
  throw new Error(`PulseAudio did not answer within 10 s: ${log.trim().split('\n').slice(-3).join(' | ')}`);
}
