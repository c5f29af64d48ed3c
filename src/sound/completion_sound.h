// The completion sound: played once after a successful backup.
#pragma once

/// Plays the embedded sound and waits until it has finished; does nothing
/// when no audio output can be opened.
void PlayCompletionSound();

/// Releases the audio output (the end of the run).
void CloseAudioOutput();
