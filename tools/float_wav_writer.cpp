#include "float_wav_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tolva {
namespace {

// "WAVE", the fmt and fact chunks and the data chunk's head: the RIFF size
// of a file without samples.
constexpr uint32_t kHeaderAfterRiffSize = FloatWavWriter::kHeaderSize - 8;
constexpr uint64_t kMaxRiffSize = 0xFFFFFFFFu;

void put16(unsigned char*& at, uint32_t value) {
    *at++ = static_cast<unsigned char>(value & 0xFF);
    *at++ = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void put32(unsigned char*& at, uint64_t value) {
    put16(at, static_cast<uint32_t>(value & 0xFFFF));
    put16(at, static_cast<uint32_t>((value >> 16) & 0xFFFF));
}

void putTag(unsigned char*& at, const char* tag) {
    std::memcpy(at, tag, 4);
    at += 4;
}

}  // namespace

FloatWavWriter::FloatWavWriter(int fd, int channels, int rate, int64_t frames)
    : fd_(fd), channels_(channels), rate_(rate), promised_(frames) {}

bool FloatWavWriter::writeAll(const void* bytes, size_t size, std::string* error) {
    const auto* at = static_cast<const unsigned char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd_, at, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            *error = std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::array<unsigned char, FloatWavWriter::kHeaderSize> FloatWavWriter::header(
    int64_t frames) const {
    const uint64_t frameBytes = 4u * static_cast<uint64_t>(channels_);
    const uint64_t most = (kMaxRiffSize - kHeaderAfterRiffSize) / frameBytes;
    const uint64_t count =
        frames >= 0 && static_cast<uint64_t>(frames) <= most ? static_cast<uint64_t>(frames) : most;
    std::array<unsigned char, kHeaderSize> bytes{};
    unsigned char* at = bytes.data();
    putTag(at, "RIFF");
    put32(at, kHeaderAfterRiffSize + count * frameBytes);
    putTag(at, "WAVE");
    putTag(at, "fmt ");
    put32(at, 18);
    put16(at, 3);  // IEEE float
    put16(at, static_cast<uint32_t>(channels_));
    put32(at, static_cast<uint32_t>(rate_));
    put32(at, static_cast<uint64_t>(rate_) * frameBytes);
    put16(at, static_cast<uint32_t>(frameBytes));
    put16(at, 32);
    put16(at, 0);
    putTag(at, "fact");
    put32(at, 4);
    put32(at, count);
    putTag(at, "data");
    put32(at, count * frameBytes);
    return bytes;
}

bool FloatWavWriter::begin(std::string* error) {
    struct stat st {};
    if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) {
        start_ = lseek(fd_, 0, SEEK_CUR);
    }
    const auto bytes = header(promised_);
    return writeAll(bytes.data(), bytes.size(), error);
}

bool FloatWavWriter::write(const float* interleaved, size_t frames, std::string* error) {
    const size_t samples = frames * static_cast<size_t>(channels_);
    const uint64_t bytes = samples * sizeof(float);
    if (kHeaderAfterRiffSize + dataBytes_ + bytes > kMaxRiffSize) {
        *error = "longer than a WAV file can be (4 GiB)";
        return false;
    }
    dataBytes_ += bytes;
    if constexpr (std::endian::native == std::endian::little) {
        return writeAll(interleaved, bytes, error);
    } else {
        std::vector<uint32_t> swapped(samples);
        std::memcpy(swapped.data(), interleaved, bytes);
        for (uint32_t& word : swapped) {
            word = __builtin_bswap32(word);
        }
        return writeAll(swapped.data(), bytes, error);
    }
}

bool FloatWavWriter::finish(std::string* error) {
    const auto frames = static_cast<int64_t>(dataBytes_ / (4u * static_cast<uint64_t>(channels_)));
    if (start_ >= 0) {
        const auto bytes = header(frames);
        if (pwrite(fd_, bytes.data(), bytes.size(), start_) != static_cast<ssize_t>(bytes.size())) {
            *error = std::strerror(errno);
            return false;
        }
        return true;
    }
    if (promised_ >= 0 && frames != promised_) {
        *error = "the input held " + std::to_string(frames) + " frames, not the " +
                 std::to_string(promised_) + " its header announced";
        return false;
    }
    return true;
}

}  // namespace tolva
