#include "forge/audio/WavFile.h"

#include "forge/audio/Random.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace gloam::forge::audio {

namespace {

static_assert(std::endian::native == std::endian::little, "WAV data is written as little-endian memory");

void put16(std::vector<char>& out, std::uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}

void put32(std::vector<char>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void putTag(std::vector<char>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}

std::uint16_t get16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t get32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& what)
{
    throw WavError("WAV file " + path.string() + ": " + what);
}

} // namespace

void WavFile::write(const std::filesystem::path& path, const AudioBuffer& buffer)
{
    const auto channels = static_cast<std::uint32_t>(buffer.channelCount());
    if (channels == 0 || channels > 8)
        fail(path, "cannot write " + std::to_string(channels) + " channels");
    if (buffer.sampleRate <= 0)
        fail(path, "invalid sample rate " + std::to_string(buffer.sampleRate));
    for (const auto& channel : buffer.channels)
        if (channel.size() != buffer.frameCount())
            fail(path, "channels differ in length");

    const std::size_t frames = buffer.frameCount();
    const std::uint64_t dataBytes = static_cast<std::uint64_t>(frames) * channels * 2;
    if (dataBytes > 0xffffffffull - 44)
        fail(path, "too long for a WAV file");

    std::vector<char> bytes;
    bytes.reserve(44 + dataBytes);
    putTag(bytes, "RIFF");
    put32(bytes, static_cast<std::uint32_t>(36 + dataBytes));
    putTag(bytes, "WAVE");
    putTag(bytes, "fmt ");
    put32(bytes, 16);
    put16(bytes, 1); // PCM
    put16(bytes, static_cast<std::uint16_t>(channels));
    put32(bytes, static_cast<std::uint32_t>(buffer.sampleRate));
    put32(bytes, static_cast<std::uint32_t>(buffer.sampleRate) * channels * 2);
    put16(bytes, static_cast<std::uint16_t>(channels * 2));
    put16(bytes, 16);
    putTag(bytes, "data");
    put32(bytes, static_cast<std::uint32_t>(dataBytes));

    Random dither(0x5eed'0016u);
    for (std::size_t i = 0; i < frames; ++i)
        for (const auto& channel : buffer.channels) {
            const double tpdf = dither.uniform() - dither.uniform();
            const double scaled = static_cast<double>(channel[i]) * 32767.0 + tpdf;
            const auto value = static_cast<std::int16_t>(std::clamp(std::lround(scaled), -32767L, 32767L));
            put16(bytes, static_cast<std::uint16_t>(value));
        }

    const auto temporary = std::filesystem::path(path).concat(".partial");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            fail(path, "cannot open for writing");
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            fail(path, "write failed");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        fail(path, "cannot move into place");
    }
}

AudioBuffer WavFile::read(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail(path, "cannot open");
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        fail(path, "not a RIFF/WAVE file");

    std::uint16_t format = 0, channels = 0, bits = 0;
    std::uint32_t rate = 0;
    const unsigned char* data = nullptr;
    std::size_t dataSize = 0;
    std::size_t offset = 12;
    while (offset + 8 <= bytes.size()) {
        const unsigned char* chunk = bytes.data() + offset;
        const std::size_t size = get32(chunk + 4);
        const std::size_t available = bytes.size() - offset - 8;
        if (size > available)
            fail(path, "chunk runs past the end of the file");
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16)
                fail(path, "format chunk too short");
            format = get16(chunk + 8);
            channels = get16(chunk + 10);
            rate = get32(chunk + 12);
            bits = get16(chunk + 22);
            if (format == 0xfffe && size >= 40)
                format = get16(chunk + 32); // extensible: the sub-format's first two bytes
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            data = chunk + 8;
            dataSize = size;
        }
        offset += 8 + size + (size & 1);
    }
    if (channels == 0 || rate == 0)
        fail(path, "missing or empty format chunk");
    if (data == nullptr)
        fail(path, "missing data chunk");
    const bool pcm16 = format == 1 && bits == 16;
    const bool float32 = format == 3 && bits == 32;
    if (!pcm16 && !float32)
        fail(path, "unsupported sample format " + std::to_string(format) + " with " + std::to_string(bits) + " bits");

    const std::size_t bytesPerSample = bits / 8;
    const std::size_t frames = dataSize / (bytesPerSample * channels);
    AudioBuffer buffer(static_cast<int>(rate), channels, frames);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < channels; ++c) {
            const unsigned char* p = data + (i * channels + c) * bytesPerSample;
            if (pcm16) {
                buffer.channels[c][i] = static_cast<float>(static_cast<std::int16_t>(get16(p))) / 32768.0f;
            } else {
                const std::uint32_t raw = get32(p);
                buffer.channels[c][i] = std::bit_cast<float>(raw);
            }
        }
    return buffer;
}

} // namespace gloam::forge::audio
