// The program's beep: a short tone through Web Audio. No sound is nothing the player needs
// to be told about, so every failure is quiet.
let audio = null;
let beeps = 0;

export function beep() {
  try {
    const AudioContext = window.AudioContext || window.webkitAudioContext;
    if (!AudioContext) return;
    if (!audio) audio = new AudioContext();
    if (audio.state === 'suspended') audio.resume();
    const tone = audio.createOscillator();
    const level = audio.createGain();
    tone.type = 'sine';
    tone.frequency.value = 880;
    const now = audio.currentTime;
    level.gain.setValueAtTime(0.0001, now);
    level.gain.exponentialRampToValueAtTime(0.25, now + 0.01);
    level.gain.exponentialRampToValueAtTime(0.0001, now + 0.3);
    tone.connect(level).connect(audio.destination);
    tone.start(now);
    tone.stop(now + 0.32);
    beeps += 1;
  } catch (error) {
    // Quiet, as said.
  }
}

export function beepCount() { return beeps; }
