// The headless game as a separate process, fed the same inputs as the page: the reference
// every screen of the browser's game is compared with, pixel for pixel.
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import path from 'node:path';
import { createInterface } from 'node:readline';
import { repo } from './support.mjs';

export function mirrorProgram() {
  const candidates = [process.env.BRINDLEWICK_MIRROR, path.join(repo, 'build', 'debug', 'tools', 'headless_mirror'),
    path.join(repo, 'build', 'native-rel', 'tools', 'headless_mirror')].filter(Boolean);
  return candidates.find((file) => existsSync(file));
}

const FACE = '/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf';

export class Mirror {
  constructor(startSecond) {
    const program = mirrorProgram();
    if (!program) throw new Error('no headless_mirror: build the native program first');
    // The whole face, as the system has it: the page's numbers come from the site's cut of it.
    this.process = spawn(program, [FACE, String(startSecond)],
      { stdio: ['pipe', 'pipe', 'inherit'] });
    this.lines = [];
    this.waiting = [];
    createInterface({ input: this.process.stdout }).on('line', (line) => {
      const waiter = this.waiting.shift();
      if (waiter) waiter(line);
      else this.lines.push(line);
    });
  }

  ask(line) {
    this.process.stdin.write(line + '\n');
    const ready = this.lines.shift();
    if (ready !== undefined) return Promise.resolve(ready);
    return new Promise((resolve) => this.waiting.push(resolve));
  }

  async send(...lines) {
    for (const line of lines) {
      const answer = await this.ask(line);
      if (answer !== 'ok') throw new Error(`the mirror did not take "${line}": ${answer}`);
    }
  }

  async screen() {
    const [, width, height, data] = (await this.ask('screen')).split(' ');
    const words = new Uint32Array(new Uint8Array(Buffer.from(data, 'base64')).buffer);
    return { width: +width, height: +height, pixels: Array.from(words, (w) => w & 0xFFFFFF) };
  }

  async solve() {
    const answer = await this.ask('solve');
    return answer.split(' ').slice(1).map(Number);
  }

  async close() {
    this.process.stdin.end('quit\n');
    await new Promise((resolve) => this.process.once('exit', resolve));
  }
}

// Where two screens differ: nothing when they are the same.
export function difference(actual, expected) {
  if (actual.width !== expected.width || actual.height !== expected.height) {
    return `size ${actual.width} x ${actual.height}, expected ${expected.width} x ${expected.height}`;
  }
  let count = 0;
  let first = null;
  for (let i = 0; i < expected.pixels.length; i++) {
    if (actual.pixels[i] === expected.pixels[i]) continue;
    count += 1;
    if (!first) first = { x: i % expected.width, y: Math.floor(i / expected.width), i };
  }
  if (!count) return null;
  const hex = (v) => v.toString(16).padStart(6, '0');
  return `${count} pixels differ, the first at (${first.x}, ${first.y}): ` +
    `${hex(actual.pixels[first.i])} where the headless game has ${hex(expected.pixels[first.i])}`;
}
