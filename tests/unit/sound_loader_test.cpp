// Tests of the RIFF chunk walk, the header lines and the duration rule, over crafted images.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sound/completion_sound.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU16(Bytes& out, unsigned value) {
  out.push_back(value & 0xFF);
  out.push_back(value >> 8 & 0xFF);
}

void PutU32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(value >> shift & 0xFF);
}

Bytes PcmFormat(unsigned channels, std::uint32_t rate, unsigned bits, std::size_t extra = 0) {
  Bytes body;
  PutU16(body, 1);
  PutU16(body, channels);
  PutU32(body, rate);
  PutU32(body, rate * channels * bits / 8);
  PutU16(body, channels * bits / 8);
  PutU16(body, bits);
  body.resize(body.size() + extra, 0xEE);
  return body;
}

Bytes Samples(std::size_t count) {
  Bytes samples(count);
  for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return samples;
}

// A chunk as it goes into an image: its size field may lie, and its pad byte
// after an odd body may be left out.
struct Chunk {
  Chunk(std::string id, Bytes body, std::optional<std::uint32_t> sizeField = std::nullopt,
        bool pad = true)
      : id(std::move(id)), body(std::move(body)), sizeField(sizeField), pad(pad) {}
  std::string id;
  Bytes body;
  std::optional<std::uint32_t> sizeField;
  bool pad;
};

Bytes Image(const std::vector<Chunk>& chunks, const std::string& tag = "RIFF") {
  Bytes out(tag.begin(), tag.end());
  PutU32(out, 0);  // The walk never reads the RIFF size; its value does not matter.
  out.insert(out.end(), {'W', 'A', 'V', 'E'});
  for (const Chunk& c : chunks) {
    out.insert(out.end(), c.id.begin(), c.id.end());
    PutU32(out, c.sizeField.value_or(static_cast<std::uint32_t>(c.body.size())));
    out.insert(out.end(), c.body.begin(), c.body.end());
    if (c.pad && c.body.size() % 2 == 1) out.push_back(0);
  }
  return out;
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

struct Parsed {
  platform::AudioFormat format;
  Bytes samples;
};

// Parses a copy in a heap block of exactly the image's size, so that
// AddressSanitizer sees any read past its end.
std::optional<Parsed> Parse(const Bytes& bytes) {
  auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  const std::span<const std::uint8_t> image(copy.get(), bytes.size());
  WaveImage wave;
  if (!ParseWaveImage(image, wave)) return std::nullopt;
  EXPECT_GE(wave.samples.data(), image.data());
  EXPECT_LE(wave.samples.data() + wave.samples.size(), image.data() + image.size());
  return Parsed{wave.format, Bytes(wave.samples.begin(), wave.samples.end())};
}

TEST(SoundLoader, FindsFormatAndDataWhateverChunksLieAround) {
  const Bytes fmt = PcmFormat(2, 44100, 16);
  const Bytes data = Samples(40);
  struct Case {
    const char* name;
    std::vector<Chunk> chunks;
  };
  const Case cases[] = {
      {"plain", {{"fmt ", fmt}, {"data", data}}},
      {"chunks before fmt",
       {{"JUNK", Bytes(28, 0)}, {"bext", Samples(6)}, {"fmt ", fmt}, {"data", data}}},
      {"chunk between fmt and data", {{"fmt ", fmt}, {"fact", Bytes(4, 1)}, {"data", data}}},
      {"both",
       {{"LIST", Samples(10)},
        {"fmt ", fmt},
        {"fact", Bytes(4, 1)},
        {"PEAK", Samples(24)},
        {"data", data}}},
      {"odd chunk before fmt, with its pad byte",
       {{"JUNK", Samples(5)}, {"fmt ", fmt}, {"data", data}}},
      {"odd chunk between, with its pad byte",
       {{"fmt ", fmt}, {"note", Samples(3)}, {"data", data}}},
      {"format body longer than 16 bytes", {{"fmt ", PcmFormat(2, 44100, 16, 2)}, {"data", data}}},
      {"odd format body", {{"fmt ", PcmFormat(2, 44100, 16, 3)}, {"data", data}}},
      {"a second fmt between counts as any chunk",
       {{"fmt ", fmt}, {"fmt ", PcmFormat(1, 8000, 8)}, {"data", data}}},
      {"chunks after data are never read, however they lie",
       {{"fmt ", fmt}, {"data", data}, {"LIST", Bytes(2, 0), 0xFFFFFFF0u}}},
      {"a second data chunk is ignored", {{"fmt ", fmt}, {"data", data}, {"data", Samples(8)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto parsed = Parse(Image(c.chunks));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->format.formatTag, 1);
    EXPECT_EQ(parsed->format.channels, 2);
    EXPECT_EQ(parsed->format.samplesPerSecond, 44100u);
    EXPECT_EQ(parsed->format.averageBytesPerSecond, 176400u);
    EXPECT_EQ(parsed->format.blockAlign, 4);
    EXPECT_EQ(parsed->format.bitsPerSample, 16);
    EXPECT_EQ(parsed->samples, data);
  }
}

TEST(SoundLoader, TakesTheFormatAsItStands) {
  // The loader judges no format: that is the audio output's business.
  Bytes odd;
  PutU16(odd, 0x55);  // not PCM
  PutU16(odd, 7);
  PutU32(odd, 12345);
  PutU32(odd, 99);
  PutU16(odd, 3);
  PutU16(odd, 24);
  const auto parsed = Parse(Image({{"fmt ", odd}, {"data", Samples(9)}}));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->format.formatTag, 0x55);
  EXPECT_EQ(parsed->format.channels, 7);
  EXPECT_EQ(parsed->format.samplesPerSecond, 12345u);
  EXPECT_EQ(parsed->format.averageBytesPerSecond, 99u);
  EXPECT_EQ(parsed->format.blockAlign, 3);
  EXPECT_EQ(parsed->format.bitsPerSample, 24);
  EXPECT_EQ(parsed->samples, Samples(9));
}

TEST(SoundLoader, AcceptsAnEmptyDataChunkAtTheVeryEnd) {
  const auto parsed = Parse(Image({{"fmt ", PcmFormat(1, 8000, 8)}, {"data", {}}}));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_TRUE(parsed->samples.empty());
}

TEST(SoundLoader, RefusesMalformedImagesWithoutReadingOutside) {
  const Bytes fmt = PcmFormat(2, 44100, 16);
  const Bytes data = Samples(40);
  const Bytes good = Image({{"fmt ", fmt}, {"data", data}});
  struct Case {
    const char* name;
    Bytes image;
  };
  const Case cases[] = {
      {"empty", {}},
      {"three bytes of RIFF", Bytes{'R', 'I', 'F'}},
      {"big-endian RIFX", Image({{"fmt ", fmt}, {"data", data}}, "RIFX")},
      {"lower case riff", Image({{"fmt ", fmt}, {"data", data}}, "riff")},
      {"not a RIFF at all", Bytes{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"RIFF header only", Cut(good, 12)},
      {"ends inside the fmt header", Cut(good, 16)},
      {"ends inside the format body", Cut(good, 30)},
      {"ends inside the data header", Cut(good, 40)},
      {"data one byte short", Cut(good, good.size() - 1)},
      {"no fmt chunk", Image({{"JUNK", Samples(4)}, {"data", data}})},
      {"no data chunk", Image({{"fmt ", fmt}, {"fact", Bytes(4, 0)}})},
      {"data before fmt only", Image({{"data", data}, {"fmt ", fmt}})},
      {"format body under 16 bytes", Image({{"fmt ", Cut(fmt, 14)}, {"data", data}})},
      {"fmt size past the end", Image({{"fmt ", fmt, 0x7FFFFFFFu}, {"data", data}})},
      {"data size past the end", Image({{"fmt ", fmt}, {"data", data, 41u}})},
      {"data size near 4 GiB", Image({{"fmt ", fmt}, {"data", data, 0xFFFFFFFFu}})},
      // 8 + size wraps to a small step in 32-bit arithmetic: the walk would
      // land inside the chunk or loop without end.
      {"size that wraps before fmt",
       Image({{"JUNK", Bytes(8, 0), 0xFFFFFFF8u}, {"fmt ", fmt}, {"data", data}})},
      {"size that wraps between",
       Image({{"fmt ", fmt}, {"JUNK", Bytes(8, 0), 0xFFFFFFF8u}, {"data", data}})},
      {"chunk before fmt runs past the end",
       Image({{"JUNK", Bytes(4, 0), 1000u}, {"fmt ", fmt}, {"data", data}})},
      // A writer that leaves out the pad byte shifts every later header by one.
      {"odd chunk without its pad byte",
       Image({{"JUNK", Samples(5), std::nullopt, false}, {"fmt ", fmt}, {"data", data}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(Parse(c.image).has_value());
  }
}

TEST(SoundLoader, RefusesEveryTruncationOfAGoodImage) {
  const Bytes good =
      Image({{"JUNK", Samples(6)}, {"fmt ", PcmFormat(1, 8000, 8)}, {"data", Samples(5)}});
  ASSERT_TRUE(Parse(good).has_value());
  // The pad byte after the odd data body is not needed.
  for (std::size_t size = 0; size < good.size() - 1; ++size) {
    SCOPED_TRACE(size);
    EXPECT_FALSE(Parse(Cut(good, size)).has_value());
  }
}

TEST(SoundLoader, EmbeddedImageHasTheExpectedLayout) {
  const std::span<const std::uint8_t> image = CompletionSoundImage();
  ASSERT_EQ(image.size(), 352318u);
  WaveImage wave;
  ASSERT_TRUE(ParseWaveImage(image, wave));
  EXPECT_EQ(wave.samples.data(), image.data() + 44);
  EXPECT_EQ(wave.samples.size(), 352212u);
  EXPECT_EQ(WaveHeaderInfo(wave),
            "WAV Header Info: NbChannels 2, BitsPerSamples: 16, NbBlockAlign 4\n"
            "WAV Header Info: SamplePerSec 44100, nAvgBytesPerSec: 176400, WavSize 352212\n");
  const std::string tail(image.begin() + 352256, image.begin() + 352276);
  EXPECT_EQ(tail.substr(0, 4), "LIST");
  EXPECT_EQ(image[352260], 54);
  EXPECT_EQ(tail.substr(8, 8), "INFOISFT");
  EXPECT_EQ(image.back(), 0);  // the name of the generator ends with its NUL
}

TEST(SoundLoader, DurationFollowsTheTruncatingRule) {
  struct Case {
    std::uint64_t bytes;
    unsigned bits, channels;
    std::uint32_t frequency;
    std::int64_t milliseconds;
  };
  const Case cases[] = {
      {352212, 16, 2, 44100, 1996},  // 88,053 frames: 1996.6 ms, truncated
      {176400, 16, 2, 44100, 1000},
      {176399, 16, 2, 44100, 999},  // the partial frame at the end does not count
      {8000, 8, 1, 8000, 1000},
      {12, 24, 2, 1000, 2},  // 3 bytes a sample
      {7, 12, 1, 1000, 7},   // 12 bits count as one byte, as integer division has it
      {0, 16, 2, 44100, 0},
      {0xFFFFFFFFull, 8, 1, 1, 4294967295000ll},  // no overflow in 64 bits
      {352212, 4, 2, 44100, -1},                  // under one byte a sample
      {352212, 16, 0, 44100, -1},
      {352212, 16, 2, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(SoundDurationMilliseconds(c.bytes, c.bits, c.channels, c.frequency), c.milliseconds);
  }
}

}  // namespace
