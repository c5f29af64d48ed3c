// Tests of loading, playing and releasing sounds through ALSA, its default device sent to a file.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sound/completion_sound.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

void PutU16(Bytes& out, unsigned value) {
  out.push_back(value & 0xFF);
  out.push_back(value >> 8 & 0xFF);
}

void PutU32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(value >> shift & 0xFF);
}

// The plain RIFF/WAVE layout: "fmt " then "data".
Bytes WaveImage(unsigned channels, std::uint32_t rate, unsigned bits, const Bytes& samples) {
  Bytes out{'R', 'I', 'F', 'F'};
  PutU32(out, static_cast<std::uint32_t>(36 + samples.size()));
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutU32(out, 16);
  PutU16(out, 1);
  PutU16(out, channels);
  PutU32(out, rate);
  PutU32(out, rate * channels * bits / 8);
  PutU16(out, channels * bits / 8);
  PutU16(out, bits);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutU32(out, static_cast<std::uint32_t>(samples.size()));
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

Bytes Samples(std::size_t count) {
  Bytes samples(count);
  for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::uint8_t>(i * 13 + 5);
  return samples;
}

std::string HeaderLines(unsigned channels, unsigned bits, unsigned align, unsigned rate,
                        unsigned average, std::size_t size) {
  return "WAV Header Info: NbChannels " + std::to_string(channels) +
         ", BitsPerSamples: " + std::to_string(bits) + ", NbBlockAlign " + std::to_string(align) +
         "\n" + "WAV Header Info: SamplePerSec " + std::to_string(rate) +
         ", nAvgBytesPerSec: " + std::to_string(average) + ", WavSize " + std::to_string(size) +
         "\n";
}

// Points alsa-lib at a configuration of the test's own: either no devices at
// all, or a default device that writes what it plays, raw, to a file.
class SoundOutput : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillfort-sound-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    played_ = folder_ / "played.raw";
  }

  void TearDown() override {
    CloseAudioOutput();
    unsetenv("ALSA_CONFIG_PATH");
    std::filesystem::remove_all(folder_);
  }

  void UseConfiguration(const std::string& text) {
    const auto path = folder_ / "asound.conf";
    std::ofstream(path) << text;
    setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
  }

  void UseNoDevice() { UseConfiguration("# no devices\n"); }

  void UseFileDevice() {
    UseConfiguration(
        "pcm.null { type null }\n"
        "pcm.!default { type file slave.pcm \"null\" file \"" +
        played_.string() + "\" format \"raw\" }\n");
  }

  Bytes Played() const {
    std::ifstream in(played_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path folder_;
  std::filesystem::path played_;
};

TEST_F(SoundOutput, WithoutADeviceEverythingIsSkippedSilently) {
  UseNoDevice();
  testing::internal::CaptureStdout();
  const auto start = Clock::now();
  PlayCompletionSound();
  const auto elapsed = Clock::now() - start;
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_LT(elapsed, std::chrono::milliseconds(500));

  EXPECT_FALSE(OpenAudioOutput());
  testing::internal::CaptureStdout();
  EXPECT_FALSE(LoadWaveFromMemory(0, CompletionSoundImage()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(StartSound(0));
  EXPECT_EQ(GetSoundDuration(0), -1);
  ReleaseSound(0);
  CloseAudioOutput();
}

TEST_F(SoundOutput, PlaysEachFormatOnceAndWholly) {
  struct Case {
    unsigned channels;
    std::uint32_t rate;
    unsigned bits;
    std::size_t bytes;
    std::int64_t milliseconds;
  };
  const Case cases[] = {
      {2, 44100, 16, 35280, 200},
      {1, 8000, 8, 1203, 150},  // 150.375 ms
      {1, 22050, 16, 4410, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " ch " + std::to_string(c.bits) + " bit");
    UseFileDevice();
    ASSERT_TRUE(OpenAudioOutput());
    const Bytes samples = Samples(c.bytes);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(LoadWaveFromMemory(0, WaveImage(c.channels, c.rate, c.bits, samples)));
    const unsigned align = c.channels * c.bits / 8;
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              HeaderLines(c.channels, c.bits, align, c.rate, c.rate * align, c.bytes));
    const std::int64_t length = GetSoundDuration(0);
    EXPECT_EQ(length, c.milliseconds);
    EXPECT_TRUE(StartSound(0));
    WaitMilliseconds(static_cast<std::uint32_t>(length + 256));
    ReleaseSound(0);
    EXPECT_EQ(GetSoundDuration(0), -1);
    CloseAudioOutput();
    EXPECT_EQ(Played(), samples);
  }
}

TEST_F(SoundOutput, RefusalsAfterTheWalkStillPrintTheHeaderLines) {
  UseFileDevice();
  ASSERT_TRUE(OpenAudioOutput());
  EXPECT_TRUE(OpenAudioOutput());

  Bytes notRiff = WaveImage(2, 44100, 16, Samples(64));
  notRiff[0] = 'X';
  testing::internal::CaptureStdout();
  EXPECT_FALSE(LoadWaveFromMemory(0, notRiff));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  // The walk accepts 24-bit samples; the output does not.
  testing::internal::CaptureStdout();
  EXPECT_FALSE(LoadWaveFromMemory(0, WaveImage(2, 48000, 24, Samples(60))));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), HeaderLines(2, 24, 6, 48000, 288000, 60));
  EXPECT_EQ(GetSoundDuration(0), -1);
}

TEST_F(SoundOutput, ReloadingANumberReplacesItsSound) {
  UseFileDevice();
  ASSERT_TRUE(OpenAudioOutput());
  testing::internal::CaptureStdout();
  ASSERT_TRUE(LoadWaveFromMemory(0, CompletionSoundImage()));
  EXPECT_EQ(GetSoundDuration(0), 1996);
  ASSERT_TRUE(LoadWaveFromMemory(0, WaveImage(1, 8000, 8, Samples(800))));
  ASSERT_TRUE(LoadWaveFromMemory(3, WaveImage(1, 8000, 8, Samples(1600))));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(GetSoundDuration(0), 100);
  EXPECT_EQ(GetSoundDuration(3), 200);
  EXPECT_EQ(GetSoundDuration(1), -1);
  ReleaseSound(0);
  EXPECT_EQ(GetSoundDuration(0), -1);
  EXPECT_EQ(GetSoundDuration(3), 200);
}

TEST_F(SoundOutput, ReleasingAPlayingSoundCutsItOff) {
  UseFileDevice();
  ASSERT_TRUE(OpenAudioOutput());
  testing::internal::CaptureStdout();
  ASSERT_TRUE(LoadWaveFromMemory(0, CompletionSoundImage()));
  testing::internal::GetCapturedStdout();
  ASSERT_TRUE(StartSound(0));
  const auto start = Clock::now();
  ReleaseSound(0);
  CloseAudioOutput();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_LT(Played().size(), 352212u);
}

TEST(SoundWait, EndsCloseToTheRequestedTime) {
  for (std::uint32_t milliseconds : {0u, 30u, 120u}) {
    const auto start = Clock::now();
    WaitMilliseconds(milliseconds);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(milliseconds));
    EXPECT_LT(elapsed, std::chrono::milliseconds(milliseconds + 40));
  }
}

}  // namespace

